// The program's own text type and the free functions that build texts.
#pragma once

#include <cstdint>
#include <string>

class SaveStream;

// Global switch of SET case_sensitivity: every name and keyword comparison
// of the program follows it.
bool IsCaseSensitive();
void SetCaseSensitive(bool on);

// A text of 8-bit characters. Comparisons fold case unless the global
// case-sensitivity switch is on. Copies are cheap; a change never shows
// through another copy.
class String {
 public:
  String() = default;
  String(const char* text, int maxLength = -1);  // NOLINT: texts convert freely
  String(char fill, int length);
  String(const std::string& text) : s_(text) {}        // NOLINT
  String(std::string&& text) : s_(std::move(text)) {}  // NOLINT
  ~String() = default;
  String(const String&) = default;
  String(String&&) = default;
  String& operator=(const String&) = default;
  String& operator=(String&&) = default;
  String& operator=(const char* text);

  int Length() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  const char* c_str() const { return s_.c_str(); }
  const std::string& str() const { return s_; }
  // Size of the character buffer in the granule of 8 bytes (length + terminator).
  int Capacity() const { return static_cast<int>(8 * ((s_.size() + 1 + 7) / 8)); }

  char GetAt(int index) const { return s_[static_cast<size_t>(index)]; }
  int Find(char c) const;
  String Mid(int start, int count) const;

  void Resize(int length, char fill);
  void SetLength(int length);
  void SetAt(int index, char c);
  int Insert(char c, int index);
  int Delete(int index);
  String& operator+=(const String& other);
  String& operator+=(const char* text);
  String& operator+=(char c);
  void ToLower();
  void ToUpper();

  // -1, 0 or 1; case folded unless the switch is on; bytes compare as signed.
  int Compare(const char* text) const;
  int CompareString(const String& other) const { return Compare(other.c_str()); }
  // 0 when `word` is a leading part of this string (the abbreviation test).
  int ComparePrefix(const char* word) const;

  int32_t ToInt() const;
  uint32_t ToUnsigned() const;
  double ToDouble() const;
  bool IsNumeric() const;

  // Takes the next token off the front, skipping leading delimiters; the
  // delimiter that ends the token stays at the front.
  String NextToken(const char* delimiters);

 private:
  std::string s_;
};

// Equality as the program compares names: case folded unless the switch is on.
inline bool operator==(const String& a, const String& b) { return a.CompareString(b) == 0; }
inline bool operator==(const String& a, const char* b) { return a.Compare(b) == 0; }
inline bool operator!=(const String& a, const String& b) { return !(a == b); }
inline bool operator!=(const String& a, const char* b) { return !(a == b); }

String operator+(const String& a, const String& b);
String operator+(const char* a, const String& b);
String operator+(const String& a, const char* b);
String ToString(const char* text);

String IntToString(int32_t value);
String UIntToString(uint32_t value);
inline String FormatInt(int32_t value) { return IntToString(value); }
inline String FormatUInt(uint32_t value) { return UIntToString(value); }
// notation 0 fixed, 1 scientific, 2 general; precision and width apply when not 0.
String DoubleToString(double value, int precision = 0, int width = 0, int notation = 2);
// Replaces %1 to %6 by the arguments in order; other %x pairs stay as they are.
String FormatText(const char* text, const char* a1 = nullptr, const char* a2 = nullptr, const char* a3 = nullptr,
                  const char* a4 = nullptr, const char* a5 = nullptr, const char* a6 = nullptr);
// The text shown for a key code in menus ("Ctrl+C", "F5", ...).
String KeyText(uint32_t code);

// Save form: a 32-bit length and the bytes, no terminator.
void SaveString(SaveStream& stream, const String& s);
void RestoreString(SaveStream& stream, String& s);
