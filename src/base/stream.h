// Output streams of the program: every text it prints goes through a
// TextOStream; ConsoleStream sends it to the console device and pages listings.
#pragma once

#include <ostream>
#include <streambuf>

#include "base/string.h"

class ConsoleDevice;
class KWRExcept;
class TextOStream;

// Hands written text to its owner's Write in pieces of at most 255 characters.
class TextStreamBuf : public std::streambuf {
 public:
  explicit TextStreamBuf(TextOStream* owner) : owner_(owner) {}

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int_type overflow(int_type c) override;

 private:
  TextOStream* owner_;
  char buffer_[256];
};

class TextOStream : public std::ostream {
 public:
  // An exception thrown by Write (ESC at the page prompt) passes through the
  // stream to the caller instead of being swallowed as a stream failure.
  TextOStream() : std::ostream(nullptr), buf_(this) {
    rdbuf(&buf_);
    exceptions(std::ios::badbit);
  }
  TextOStream(const TextOStream&) = delete;
  TextOStream& operator=(const TextOStream&) = delete;
  virtual void Write(const char* text) = 0;

 private:
  TextStreamBuf buf_;
};

std::ostream& operator<<(std::ostream& os, const String& s);

// Collects what is written into a String.
class StringOStream : public String, public TextOStream {
 public:
  void Write(const char* text) override { *static_cast<String*>(this) += text; }
};

// The interpreter's message stream. Inside a listing (see PageGuard) it counts
// lines and, on a device that pages, pauses at the end of every page.
class ConsoleStream : public TextOStream {
 public:
  explicit ConsoleStream(ConsoleDevice* device = nullptr) : device_(device) {}

  void Write(const char* text) override;
  virtual bool IsInteractive() const { return true; }
  virtual void SetTitle(const char* text);
  virtual String GetTitle() const;
  virtual void ResetTitle();

  void SetDevice(ConsoleDevice* device) { device_ = device; }
  ConsoleDevice* Device() const { return device_; }

  int WaitKey();
  bool KeyPressed(int key);
  bool EscPressed() { return KeyPressed(27); }
  // Reads a typed line; false when the input has ended for good.
  bool ReadInput(String& line, const char* prompt, const char* initial);
  String DeviceName() const;
  // "*** " and the message; a fatal exception then ends the program.
  void ReportError(const KWRExcept& e);
  void Echo(const char* text);
  void GetDeviceVector(double rect[4]) const;
  void SetMainWindow(const double rect[4]);
  void SetDeviceText(const char* text);

  bool Pagination() const { return pagination_; }
  void SetPagination(bool on) { pagination_ = on; }
  int PageLength() const { return pageLength_; }
  void SetPageLength(int n) { pageLength_ = n; }
  void SetPageHeader(const String& header) { pageHeader_ = header; }
  const String& LastText() const { return lastText_; }

 private:
  friend class PageGuard;
  void Emit(const char* text);

  bool pagination_ = true;
  int depth_ = 0;
  int pageLength_ = 25;
  int lineCount_ = 1;
  bool writingHeader_ = false;
  String lastText_;
  String pageHeader_;
  ConsoleDevice* device_;
};

// Brackets one listing on a console stream; every listing opens one.
class PageGuard {
 public:
  explicit PageGuard(ConsoleStream& stream);
  ~PageGuard();
  PageGuard(const PageGuard&) = delete;
  PageGuard& operator=(const PageGuard&) = delete;

 private:
  ConsoleStream& stream_;
};

// Puts the stream's number format back when a listing ends, however it ends.
class FormatKeeper {
 public:
  explicit FormatKeeper(std::ostream& os) : os_(os), flags_(os.flags()), precision_(os.precision()) {}
  ~FormatKeeper() {
    os_.flags(flags_);
    os_.precision(precision_);
  }
  FormatKeeper(const FormatKeeper&) = delete;
  FormatKeeper& operator=(const FormatKeeper&) = delete;

 private:
  std::ostream& os_;
  std::ios::fmtflags flags_;
  std::streamsize precision_;
};
