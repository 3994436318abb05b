#include "base/stream.h"

#include <cstring>

#include "base/app.h"
#include "base/except.h"
#include "platform/console_device.h"

std::streamsize TextStreamBuf::xsputn(const char* s, std::streamsize n) {
  std::streamsize done = 0;
  while (done < n) {
    std::streamsize piece = n - done < 255 ? n - done : 255;
    std::memcpy(buffer_, s + done, static_cast<size_t>(piece));
    buffer_[piece] = 0;
    owner_->Write(buffer_);
    done += piece;
  }
  return n;
}

TextStreamBuf::int_type TextStreamBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::eof();
  char text[2] = {traits_type::to_char_type(c), 0};
  owner_->Write(text);
  return c;
}

std::ostream& operator<<(std::ostream& os, const String& s) {
  if (!s.IsEmpty()) os.write(s.c_str(), s.Length());
  return os;
}

void ConsoleStream::Emit(const char* text) {
  if (device_) device_->Write(text);
}

void ConsoleStream::Write(const char* text) {
  if (!text) return;
  lastText_ = text;
  if (!pagination_ || depth_ == 0 || !IsInteractive() || !device_ || !device_->Paginates()) {
    Emit(text);
    return;
  }
  char line[256];
  int n = 0;
  for (const char* p = text; *p; ++p) {
    if (n == 254) {
      line[n] = 0;
      Emit(line);
      n = 0;
    }
    line[n++] = *p;
    if (*p == '\n') {
      line[n] = 0;
      Emit(line);
      n = 0;
      // The page header's own lines count on the page it opens but never
      // page: a header as long as the page would otherwise repeat for ever.
      if (++lineCount_ >= pageLength_ && !writingHeader_) {
        lineCount_ = 1;
        if (device_->PagePrompt()) throw ESCInterrupt(false);
        if (!pageHeader_.IsEmpty()) {
          writingHeader_ = true;
          try {
            Write(pageHeader_.c_str());
          } catch (...) {
            writingHeader_ = false;
            throw;
          }
          writingHeader_ = false;
        }
      }
    }
  }
  if (n) {
    line[n] = 0;
    Emit(line);
  }
}

void ConsoleStream::SetTitle(const char* text) {
  if (device_) device_->SetTitle(text);
}

String ConsoleStream::GetTitle() const { return device_ ? String(device_->GetTitle()) : String(" "); }

void ConsoleStream::ResetTitle() {
  if (device_) device_->RestoreTitle();
}

int ConsoleStream::WaitKey() {
  flush();
  return device_ ? device_->GetKey() : 0;
}

bool ConsoleStream::KeyPressed(int key) { return device_ && device_->KeyPressed(key); }

bool ConsoleStream::ReadInput(String& line, const char* prompt, const char* initial) {
  flush();
  if (!device_) return false;
  std::string text;
  bool ok = device_->ReadLine(text, prompt, initial);
  line = String(std::move(text));
  return ok;
}

String ConsoleStream::DeviceName() const { return device_ ? String(device_->Name()) : String(); }

void ConsoleStream::ReportError(const KWRExcept& e) {
  NoteCommandFailed();
  Write("*** ");
  Write(e.Text());
  Write("\n");
  flush();
  if (e.IsFatal()) ExitProgram(-1);
}

void ConsoleStream::Echo(const char* text) {
  if (device_) device_->Echo(text);
}

void ConsoleStream::GetDeviceVector(double rect[4]) const {
  if (device_) {
    device_->GetPlacement(rect);
  } else {
    for (int i = 0; i < 4; ++i) rect[i] = 0;
  }
}

void ConsoleStream::SetMainWindow(const double rect[4]) {
  if (device_) device_->SetPlacement(rect);
}

void ConsoleStream::SetDeviceText(const char* text) {
  if (device_) device_->SetText(text);
}

PageGuard::PageGuard(ConsoleStream& stream) : stream_(stream) {
  if (stream_.depth_ == 0) stream_.lineCount_ = 1;
  ++stream_.depth_;
}

PageGuard::~PageGuard() {
  if (stream_.depth_ > 0) --stream_.depth_;
  if (stream_.depth_ == 0) {
    stream_.lineCount_ = 1;
    stream_.pageHeader_ = String();
  }
}
