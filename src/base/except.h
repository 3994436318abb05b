// The program's exception family. Every failure travels as one of these;
// each carries its own message and fatal flag, which the top-level handlers read.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "base/string.h"

class KWRExcept : public std::exception {
 public:
  // A null text gives "Unknown exception" and makes the exception fatal.
  explicit KWRExcept(const char* text, bool fatal = false);
  KWRExcept(const String& text, bool fatal = false) : KWRExcept(text.c_str(), fatal) {}  // NOLINT
  const char* Text() const { return text_.c_str(); }
  bool IsFatal() const { return fatal_; }
  const char* what() const noexcept override { return text_.c_str(); }

  static constexpr size_t kMaxText = 1023;

 private:
  std::string text_;
  bool fatal_;
};

#define TERRAX_DERIVED_EXCEPT(Name, Base)                                      \
  class Name : public Base {                                                   \
   public:                                                                     \
    explicit Name(const char* text, bool fatal = false) : Base(text, fatal) {} \
    Name(const String& text, bool fatal = false) : Base(text, fatal) {}        \
  }

// Model errors of every subsystem.
TERRAX_DERIVED_EXCEPT(QJExcept, KWRExcept);
TERRAX_DERIVED_EXCEPT(AttachExcept, QJExcept);
TERRAX_DERIVED_EXCEPT(SolidExcept, QJExcept);
TERRAX_DERIVED_EXCEPT(SELExcept, QJExcept);
TERRAX_DERIVED_EXCEPT(InterfaceExcept, QJExcept);
TERRAX_DERIVED_EXCEPT(FEMExcept, KWRExcept);
TERRAX_DERIVED_EXCEPT(GenExcept, KWRExcept);
TERRAX_DERIVED_EXCEPT(IndexRangeExcept, KWRExcept);
TERRAX_DERIVED_EXCEPT(GuiExcept, KWRExcept);
TERRAX_DERIVED_EXCEPT(DeviceExcept, KWRExcept);

class MemExcept : public KWRExcept {
 public:
  MemExcept() : KWRExcept("Memory allocation error") {}
};

// A stop by ESC. With the report flag clear the command ends silently.
class ESCInterrupt : public KWRExcept {
 public:
  explicit ESCInterrupt(bool report = true, const char* text = "ESC key pressed to halt")
      : KWRExcept(text), report_(report) {}
  bool Report() const { return report_; }

 private:
  bool report_;
};

// A failed system call: fatal. The "Fatal Error" box is shown when it is raised.
class WinExcept : public KWRExcept {
 public:
  WinExcept(uint32_t errorCode, uint32_t line, const char* file);
  uint32_t ErrorCode() const { return code_; }
  uint32_t Line() const { return line_; }

 private:
  uint32_t code_;
  uint32_t line_;
};

// "On"/"Off" and "Yes"/"No" for listings of settings.
const char* OnOffText(bool flag);
const char* YesNoText(bool flag);
