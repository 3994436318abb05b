// The file intrinsics (open, close, read, write on one file at a time) and
// the splitting of text into tokens (parse, pre_parse).
#include <cstdlib>
#include <cstring>

#include "base/file.h"
#include "zolt/zolt_error.h"
#include "zolt/zolt_intrinsics.h"
#include "zolt/zolt_state.h"

namespace {
constexpr uint32_t kCheckWord = 0x0AA05200u;
constexpr int kMaxText = 100;

struct ZoltFile {
  File file;
  int kind = 0;  // 0 binary values, 1 text lines, 2 raw bytes
  bool reading = false;
  bool writing = false;
};
ZoltFile g_file;

// The array an "a" argument refers to, with at least `count` elements
// (error 54 otherwise).
ZoltArray& ArrayOf(const ZoltValue& v, int32_t count) {
  ZoltArray* array = nullptr;
  if (v.TypeTag() == ZoltValue::kReference && v.Node()) {
    ZoltSymbol* s = static_cast<ZoltSymbol*>(v.Node());
    if (s->value.TypeTag() == ZoltValue::kArray) array = s->value.Array();
  } else if (v.TypeTag() == ZoltValue::kArray) {
    array = v.Array();
  }
  if (!array || count < 0 || array->Count() < static_cast<uint32_t>(count)) ZoltError(54);
  return *array;
}

int32_t Open(const ZoltValue* a) {
  if (g_file.file.IsOpen()) return 7;
  if (a[0].TypeTag() != ZoltValue::kString) return 1;
  if (a[0].Str().IsEmpty()) return 2;
  if (a[1].TypeTag() != ZoltValue::kInteger || a[2].TypeTag() != ZoltValue::kInteger) return 3;
  const int32_t access = a[1].Int(), type = a[2].Int();
  if (type < 0 || type > 2) return 4;
  if (access < 0 || access > 2 || (type == 2 && access != 0)) return 5;
  uint32_t mode = access == 0 ? File::kIn : access == 1 ? (File::kOut | File::kTrunc) : (File::kOut | File::kApp);
  if (type != 1) mode |= File::kBinary;
  g_file.file.SetName(a[0].Str());
  g_file.file.SetMode(mode);
  if (!g_file.file.TryOpen()) return 6;
  g_file.kind = type;
  g_file.reading = access == 0;
  g_file.writing = access != 0;
  try {
    if (type == 0 && access == 0) {
      uint32_t word = 0;
      unsigned char b[4];
      if (!g_file.file.TryRead(b, 4) ||
          (word = b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24)) != kCheckWord) {
        g_file.file.Close();
        return 8;
      }
    } else if (type == 0) {
      g_file.file.WriteU32(kCheckWord);
    }
  } catch (...) {
    g_file.file.Close();
    return 6;
  }
  return 0;
}

// One binary value record; false at the end of the file or a bad record.
bool ReadRecord(ZoltValue& v) {
  File& f = g_file.file;
  v.SetInt(0);
  unsigned char b[8];
  if (!f.TryRead(b, 4)) return false;
  const uint32_t type = b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
  switch (type) {
    case 1: {
      if (!f.TryRead(b, 4)) return false;
      v.SetInt(static_cast<int32_t>(b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24)));
      return true;
    }
    case 2: {
      if (!f.TryRead(b, 8)) return false;
      uint64_t u = 0;
      for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
      double d;
      std::memcpy(&d, &u, 8);
      v.SetFloat(d);
      return true;
    }
    case 3: {
      if (!f.TryRead(b, 4)) return false;
      const uint32_t length = b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
      const uint64_t padded = (uint64_t{length} + 3) & ~uint64_t{3};
      if (padded > f.Remaining()) return false;
      char text[kMaxText + 4];
      const uint32_t kept = length > kMaxText ? kMaxText : length;
      const uint64_t keptPadded = (kept + 3u) & ~3u;
      if (!f.TryRead(text, keptPadded)) return false;
      // The rest of a longer text is consumed and dropped.
      for (uint64_t left = padded - keptPadded; left > 0;) {
        char skip[64];
        const size_t n = left > sizeof skip ? sizeof skip : static_cast<size_t>(left);
        if (!f.TryRead(skip, n)) return false;
        left -= n;
      }
      v.SetString(String(text, static_cast<int>(kept)));
      return true;
    }
    default:
      // Any other record type (an appended file's check word) ends the read.
      return false;
  }
}

void WriteRecord(const ZoltValue& v) {
  File& f = g_file.file;
  f.WriteU32(v.TypeTag() + 1);
  switch (v.TypeTag()) {
    case ZoltValue::kInteger:
      f.WriteI32(v.Int());
      break;
    case ZoltValue::kFloat:
      f.WriteF64(v.Float());
      break;
    case ZoltValue::kString: {
      const int n = v.Str().Length() > kMaxText ? kMaxText : v.Str().Length();
      f.WriteU32(static_cast<uint32_t>(n));
      f.Write(v.Str().c_str(), static_cast<size_t>(n));
      static const char kZeros[4] = {0, 0, 0, 0};
      if (n % 4) f.Write(kZeros, static_cast<size_t>(4 - n % 4));
      break;
    }
    default:
      break;
  }
}

int32_t Read(ZoltValue* a) {
  if (!g_file.file.IsOpen() || !a[1].IsNumeric()) return -1;
  const int32_t count = a[1].GetInt(kZoltIntMin, kZoltIntMax);
  ZoltArray& array = ArrayOf(a[0], count);
  if (!g_file.reading) ZoltError(57);
  for (int32_t i = 0; i < count; ++i) {
    ZoltValue& e = array.At(static_cast<uint32_t>(i));
    switch (g_file.kind) {
      case 1: {
        String line;
        if (!g_file.file.TryReadLine(line, kMaxText)) return i > 0 ? i : 1;
        e.SetString(line);
        break;
      }
      case 2: {
        unsigned char b = 0;
        if (!g_file.file.TryRead(&b, 1)) return i;
        e.SetInt(b);
        break;
      }
      default:
        if (!ReadRecord(e)) return -1;
        break;
    }
  }
  return 0;
}

int32_t Write(ZoltValue* a) {
  if (!g_file.file.IsOpen() || !a[1].IsNumeric()) return -1;
  const int32_t count = a[1].GetInt(kZoltIntMin, kZoltIntMax);
  ZoltArray& array = ArrayOf(a[0], count);
  if (!g_file.writing) ZoltError(58);
  if (g_file.kind == 2) return 0;
  for (int32_t i = 0; i < count; ++i) {
    const ZoltValue& e = array.At(static_cast<uint32_t>(i));
    if (g_file.kind == 1) {
      if (e.TypeTag() != ZoltValue::kString) ZoltError(56);
      g_file.file.Write(e.Str().c_str(), static_cast<size_t>(e.Str().Length()));
      g_file.file.Write("\n", 1);
      g_file.file.Flush();
    } else {
      WriteRecord(e);
    }
  }
  return 0;
}
}  // namespace

int32_t ZoltFileIo(int mode, ZoltValue* arguments) {
  switch (mode) {
    case 0:
      return Open(arguments);
    case 1:
      ZoltCloseFile();
      return 0;
    case 2:
      return Read(arguments);
    case 3:
      return Write(arguments);
    default:
      return -1;
  }
}

ZoltArray& ZoltArrayArgument(const ZoltValue& v, int32_t count) { return ArrayOf(v, count); }

void ZoltCloseFile() {
  if (g_file.file.IsOpen()) g_file.file.Close();
  g_file.reading = g_file.writing = false;
}

void ZoltParse(const ZoltValue* a, ZoltValue& value, bool pre) {
  value.SetInt(0);
  if (a[0].TypeTag() != ZoltValue::kString || !a[1].IsNumeric()) ZoltError(55);
  const int32_t n = a[1].GetInt(kZoltIntMin, kZoltIntMax);
  const String& text = a[0].Str();
  const char* const separators = " (),=\t";
  int count = 0;
  int i = 0;
  const int length = text.Length();
  while (i < length) {
    while (i < length && std::strchr(separators, text.GetAt(i))) ++i;
    if (i >= length) break;
    const int start = i;
    while (i < length && !std::strchr(separators, text.GetAt(i))) ++i;
    if (++count != n) continue;
    // 1 integer, 2 float, 3 string.
    const char first = text.GetAt(start);
    int kind = (first == '+' || first == '-' || (first >= '0' && first <= '9')) ? 1 : first == '.' ? 2 : 3;
    for (int k = start + 1; k < i && kind != 3; ++k) {
      const char c = text.GetAt(k);
      const bool digit = c >= '0' && c <= '9';
      if (kind == 1 && !digit)
        kind = (c == '.' || c == 'E' || c == 'e') ? 2 : 3;
      else if (kind == 2 && !(digit || c == '.' || c == '+' || c == '-' || c == 'E' || c == 'e'))
        kind = 3;
    }
    const String token = text.Mid(start, i - start);
    if (pre)
      value.SetInt(kind);
    else if (kind == 1)
      value.SetInt(static_cast<int32_t>(std::strtol(token.c_str(), nullptr, 10)));
    else if (kind == 2)
      value.SetFloat(std::strtod(token.c_str(), nullptr));
    else
      value.SetString(token);
    return;
  }
}
