// Typed parameter checks and getters of the command interpreter.
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/command.h"
#include "base/message.h"

namespace {
bool AllOf(const String& s, bool (*ok)(char, size_t)) {
  for (int i = 0; i < s.Length(); ++i)
    if (!ok(s.GetAt(i), static_cast<size_t>(i))) return false;
  return true;
}
}  // namespace

int CommandType::CheckInteger(int32_t* out, int* index) {
  if (!out) return kConvert;
  int& idx = index ? *index : TokenIndex();
  if (!HasToken(&idx)) return kMissing;
  if (int code; Script() && Script()->CheckInteger(*this, out, idx, code)) return code;
  String t = Token(idx);
  if (IsHelp(t)) {
    AddHelpLine(MessageText("Checking for Integer"));
    return kConvert;
  }
  if (t.IsEmpty() || !AllOf(t, [](char c, size_t) { return (c >= '0' && c <= '9') || c == '-' || c == '+'; }))
    return kConvert;
  // A value outside 32 bits is a conversion failure, not an overflow.
  errno = 0;
  long long v = std::strtoll(t.c_str(), nullptr, 10);
  if (errno == ERANGE || v > INT32_MAX || v < INT32_MIN) return kConvert;
  ++idx;
  *out = static_cast<int32_t>(v);
  return kOk;
}

int CommandType::CheckNumber(double* out, int* index) {
  if (!out) return kConvert;
  int& idx = index ? *index : TokenIndex();
  if (!HasToken(&idx)) return kMissing;
  if (int code; Script() && Script()->CheckNumber(*this, out, idx, code)) return code;
  String t = Token(idx);
  if (IsHelp(t)) {
    AddHelpLine(MessageText("Checking for Number"));
    return kConvert;
  }
  auto ok = [](char c, size_t i) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || ((c == 'e' || c == 'E') && i > 0);
  };
  if (t.IsEmpty() || !AllOf(t, ok)) return kConvert;
  ++idx;
  *out = t.ToDouble();
  return kOk;
}

int CommandType::CheckString(String* out, int* index, int* quoted, bool helpAllowed) {
  if (!out) return kConvert;
  int& idx = index ? *index : TokenIndex();
  if (!HasToken(&idx)) return kMissing;
  if (int code; Script() && Script()->CheckString(*this, out, idx, quoted, code)) return code;
  String t = Token(idx);
  if (helpAllowed && IsHelp(t)) {
    AddHelpLine(MessageText("Checking for String"));
    return kConvert;
  }
  ++idx;
  char q = t.IsEmpty() ? 0 : t.GetAt(0);
  if (q == '\'' || q == '"') {
    if (quoted) *quoted = 1;
    // The tokeniser always closes a quote; a token without its closing quote
    // keeps its last character.
    int n = t.Length() - 1;
    if (n > 0 && t.GetAt(t.Length() - 1) == q) --n;
    *out = t.Mid(1, n);
  } else {
    if (quoted) *quoted = 0;
    *out = t;
  }
  return kOk;
}

int CommandType::CheckBool(bool* out, int* index) {
  if (!out) return kConvert;
  {
    int& idx = index ? *index : TokenIndex();
    if (int code; HasToken(&idx) && Script() && Script()->CheckBool(*this, out, idx, code)) return code;
  }
  int k = 0;
  int code = MatchKeyword("on off true false", k, index);
  if (code == kUnrecognized) return kConvert;
  if (code != kOk) return code;
  *out = (k == 1 || k == 3);
  return kOk;
}

int CommandType::CheckVector2(double out[2], int* index) {
  int& idx = index ? *index : TokenIndex();
  for (int i = 0; i < 2; ++i)
    if (int code = CheckNumber(&out[i], &idx)) return code;
  return kOk;
}

int CommandType::CheckVector(double out[3], int* index) {
  int& idx = index ? *index : TokenIndex();
  for (int i = 0; i < 3; ++i)
    if (int code = CheckNumber(&out[i], &idx)) return code;
  return kOk;
}

int CommandType::CheckPointer(void** out, uint32_t* kind, int* index) {
  if (kind) *kind = 0;
  if (!out) return kConvert;
  int& idx = index ? *index : TokenIndex();
  if (int code; Script() && Script()->CheckPointer(*this, out, kind, idx, code)) return code;
  // Only the scripting level gives pointer parameters a meaning.
  return kConvert;
}

int CommandType::CheckInt(int32_t* out, int* index) {
  int32_t v = 0;
  int code = CheckInteger(&v, index);
  if (code == kOk && out) *out = v;
  return code;
}

int CommandType::CheckNonNegInt(int32_t* out, int* index) {
  int& idx = index ? *index : TokenIndex();
  int32_t v = 0;
  int code = CheckInteger(&v, &idx);
  if (code != kOk) return code;
  if (v < 0) {
    --idx;
    return kConvert;
  }
  if (out) *out = v;
  return kOk;
}

int CommandType::CheckFileName(String* out, const char* defaultExtension, int* index) {
  if (int code = CheckString(out, index, nullptr, true)) return code;
  String& name = *out;
  if (name.Length() <= 4) {
    String head = name.Mid(0, 3);
    head.ToLower();
    if (head.str() == "prn" || head.str() == "lpt" || head.str() == "com") return kOk;
  }
  if (name.Find('.') < 0 && defaultExtension && *defaultExtension) {
    name += ".";
    name += defaultExtension;
  }
  return kOk;
}

void CommandType::ThrowParamError(int code, int* index) {
  int idx = index ? *index : TokenIndex();
  switch (code) {
    case kConvert:
      throw ConvertExcept(idx, Token(idx));
    case kMissing:
      throw MissingExcept(idx);
    case kUnrecognized:
      throw UnrecognizedExcept(idx, Token(idx));
    default:
      return;
  }
}

int32_t CommandType::GetInt(int* index) {
  int32_t v = 0;
  if (int code = CheckInteger(&v, index)) ThrowParamError(code, index);
  return v;
}

double CommandType::GetReal(int* index) {
  double v = 0;
  if (int code = CheckNumber(&v, index)) ThrowParamError(code, index);
  return v;
}

String CommandType::GetString(int* index, int* quoted) {
  String v;
  if (int code = CheckString(&v, index, quoted, true)) ThrowParamError(code, index);
  return v;
}

String CommandType::GetFileName(const char* defaultExtension, int* index) {
  String v;
  if (int code = CheckFileName(&v, defaultExtension, index)) ThrowParamError(code, index);
  return v;
}

bool CommandType::GetBool(int* index) {
  bool v = false;
  if (int code = CheckBool(&v, index)) ThrowParamError(code, index);
  return v;
}

int CommandType::GetKeyword(const char* list, int* index) {
  int k = 0;
  if (int code = MatchKeyword(list, k, index)) ThrowParamError(code, index);
  return k;
}

void CommandType::GetVector2(double out[2], int* index) {
  if (int code = CheckVector2(out, index)) ThrowParamError(code, index);
}

void CommandType::GetVector(double out[3], int* index) {
  if (int code = CheckVector(out, index)) ThrowParamError(code, index);
}

uint32_t CommandType::GetFileMode(int* index) {
  int k = 0;
  if (MatchKeyword("append overwrite create", k, index) != kOk) return 0;
  switch (k) {
    case 1:
      return 8;  // append
    case 2:
      return 16;  // truncate
    default:
      return 8192;  // create
  }
}
