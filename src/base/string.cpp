#include "base/string.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/savestream.h"

namespace {
bool g_caseSensitive = false;

int Fold(char c) {
  // Characters compare as signed bytes, so 128..255 sort before ASCII.
  int v = static_cast<signed char>(c);
  if (!g_caseSensitive && v >= 0) v = std::toupper(v);
  return v;
}
}  // namespace

bool IsCaseSensitive() { return g_caseSensitive; }
void SetCaseSensitive(bool on) { g_caseSensitive = on; }

String::String(const char* text, int maxLength) {
  if (!text) return;
  size_t n = std::strlen(text);
  if (maxLength >= 0 && static_cast<size_t>(maxLength) < n) n = static_cast<size_t>(maxLength);
  s_.assign(text, n);
}

String::String(char fill, int length) {
  if (length > 0) s_.assign(static_cast<size_t>(length), fill);
}

String& String::operator=(const char* text) {
  if (text)
    s_.assign(text);
  else
    s_.clear();
  return *this;
}

int String::Find(char c) const {
  size_t p = s_.find(c);
  return p == std::string::npos ? -1 : static_cast<int>(p);
}

String String::Mid(int start, int count) const {
  if (start < 0 || static_cast<size_t>(start) >= s_.size() || count <= 0) return String();
  return String(s_.substr(static_cast<size_t>(start), static_cast<size_t>(count)));
}

void String::Resize(int length, char fill) {
  if (length < 0) length = 0;
  s_.resize(static_cast<size_t>(length), fill ? fill : ' ');
}

void String::SetLength(int length) { Resize(length < 0 ? 0 : length, ' '); }

void String::SetAt(int index, char c) {
  if (index < 0) return;
  if (static_cast<size_t>(index) >= s_.size()) s_.resize(static_cast<size_t>(index) + 1, ' ');
  s_[static_cast<size_t>(index)] = c;
}

int String::Insert(char c, int index) {
  if (index < 0) index = 0;
  if (static_cast<size_t>(index) <= s_.size())
    s_.insert(s_.begin() + index, c);
  else
    SetAt(index, c);
  return Length();
}

int String::Delete(int index) {
  if (index >= 0 && static_cast<size_t>(index) < s_.size()) s_.erase(static_cast<size_t>(index), 1);
  return Length();
}

String& String::operator+=(const String& other) {
  s_ += other.s_;
  return *this;
}
String& String::operator+=(const char* text) {
  if (text) s_ += text;
  return *this;
}
String& String::operator+=(char c) {
  s_ += c;
  return *this;
}

void String::ToLower() {
  for (char& c : s_) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void String::ToUpper() {
  for (char& c : s_) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

int String::Compare(const char* text) const {
  if (!text) return 1;
  const char* a = s_.c_str();
  const char* b = text;
  for (;; ++a, ++b) {
    if (!*a) return *b ? -1 : 0;
    if (!*b) return 1;
    int ca = Fold(*a), cb = Fold(*b);
    if (ca != cb) return ca > cb ? 1 : -1;
  }
}

int String::ComparePrefix(const char* word) const {
  size_t wl = word ? std::strlen(word) : 0;
  if (s_.empty()) return wl == 0 ? 0 : -1;
  if (wl == 0 || wl > s_.size()) return 1;
  for (size_t i = 0; i < wl; ++i) {
    int ca = Fold(s_[i]), cb = Fold(word[i]);
    if (ca != cb) return ca > cb ? 1 : -1;
  }
  return 0;
}

int32_t String::ToInt() const {
  long long v = std::strtoll(s_.c_str(), nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

uint32_t String::ToUnsigned() const {
  unsigned long long v = std::strtoull(s_.c_str(), nullptr, 0);
  return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
}

double String::ToDouble() const { return std::strtod(s_.c_str(), nullptr); }

bool String::IsNumeric() const {
  bool digit = false;
  for (char c : s_) {
    if (c == ' ' || c == ',') continue;
    if (c >= '0' && c <= '9') {
      digit = true;
      continue;
    }
    if (c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E') continue;
    return false;
  }
  return digit;
}

String String::NextToken(const char* delimiters) {
  auto isDelim = [delimiters](char c) { return std::strchr(delimiters, c) != nullptr && c != 0; };
  size_t i = 0;
  while (i < s_.size() && isDelim(s_[i])) ++i;
  size_t j = i;
  while (j < s_.size() && !isDelim(s_[j])) ++j;
  String token(s_.substr(i, j - i));
  s_.erase(0, j);
  return token;
}

String operator+(const String& a, const String& b) {
  String r(a);
  r += b;
  return r;
}
String operator+(const char* a, const String& b) {
  String r(a);
  r += b;
  return r;
}
String operator+(const String& a, const char* b) {
  String r(a);
  r += b;
  return r;
}
String ToString(const char* text) { return String(text); }

String IntToString(int32_t value) { return String(std::to_string(value)); }
String UIntToString(uint32_t value) { return String(std::to_string(value)); }

String DoubleToString(double value, int precision, int width, int notation) {
  char fmt[16];
  char conv = notation == 0 ? 'f' : notation == 1 ? 'e' : 'g';
  int prec = precision ? precision : 6;
  std::snprintf(fmt, sizeof fmt, "%%*.*%c", conv);
  char buf[100];
  std::snprintf(buf, sizeof buf, fmt, width, prec, value);
  return String(buf);
}

String FormatText(const char* text, const char* a1, const char* a2, const char* a3, const char* a4, const char* a5,
                  const char* a6) {
  String r;
  if (!text) return r;
  const char* args[6] = {a1, a2, a3, a4, a5, a6};
  for (const char* p = text; *p; ++p) {
    if (*p != '%') {
      r += *p;
      continue;
    }
    char n = p[1];
    if (!n) {
      r += '%';
      break;
    }
    if (n >= '1' && n <= '6') {
      r += args[n - '1'] ? args[n - '1'] : "";
    } else {
      r += '%';
      r += n;
    }
    ++p;
  }
  return r;
}

String KeyText(uint32_t code) {
  auto fkey = [](const char* prefix, uint32_t n) { return String(prefix) + IntToString(static_cast<int32_t>(n)); };
  if (code == 32) return String("SPACE");
  if (code >= 'A' && code <= 'Z') return String("Shft+") + String(static_cast<char>(code), 1);
  if (code >= 'a' && code <= 'z') return String(static_cast<char>(code - 'a' + 'A'), 1);
  if (code >= 33 && code <= 127) return String(static_cast<char>(code), 1);
  if (code >= 0x10001 && code <= 0x1001A) return String("Ctrl+") + String(static_cast<char>('A' + code - 0x10001), 1);
  if (code >= 0x10000070 && code <= 0x1000007B) return fkey("F", code - 0x10000070 + 1);
  if (code >= 0x10010070 && code <= 0x1001007B) return fkey("Ctrl+F", code - 0x10010070 + 1);
  if (code == 0x1001002D) return String("Ctrl+Ins");
  if (code >= 0x10020070 && code <= 0x1002007B) return fkey("Alt+F", code - 0x10020070 + 1);
  if (code >= 0x10020030 && code <= 0x10020039)
    return String("Alt+") + String(static_cast<char>('0' + code - 0x10020030), 1);
  if (code == 0x10020041 || (code >= 0x10020043 && code <= 0x1002005A))
    return String("Alt+") + String(static_cast<char>('A' + code - 0x10020041), 1);
  return String();
}

void SaveString(SaveStream& stream, const String& s) {
  int32_t n = s.Length();
  stream.WriteI32(n);
  if (n) stream.Write(s.c_str(), static_cast<size_t>(n));
}

void RestoreString(SaveStream& stream, String& s) {
  int32_t n = stream.ReadI32();
  if (n < 0) n = 0;
  stream.CheckAvailable(static_cast<uint64_t>(n));
  std::string buf(static_cast<size_t>(n), ' ');
  if (n) stream.Read(buf.data(), static_cast<size_t>(n));
  s = String(std::move(buf));
}
