#include "base/file.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/files.h"
#include "platform/os_services.h"

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

File::OpenExcept::OpenExcept(const String& name) : FileExcept(FormatText("Error opening file %1", name.c_str())) {}
File::ReadExcept::ReadExcept(const String& name) : FileExcept(FormatText("Error reading file %1", name.c_str())) {}
File::WriteExcept::WriteExcept(const String& name) : FileExcept(FormatText("Error writing file %1", name.c_str())) {}
File::SeekExcept::SeekExcept(const String& name) : FileExcept(FormatText("Error positioning file %1", name.c_str())) {}

String ExpandFileName(const String& name) {
  const std::string& s = name.str();
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%') {
      size_t close = s.find('%', i + 1);
      if (close != std::string::npos) {
        out += GetEnvironment(s.substr(i + 1, close - i - 1).c_str());
        i = close;
        continue;
      }
    }
    out += s[i] == '\\' ? '/' : s[i];
  }
  return String(std::move(out));
}

void SplitPath(const String& path, char* drive, String* directory, String* name) {
  std::string s = path.str();
  char d = 0;
  if (s.size() >= 2 && s[1] == ':') {
    d = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    s.erase(0, 2);
  }
  size_t sep = s.find_last_of("/\\");
  std::string dir = sep == std::string::npos ? std::string() : s.substr(0, sep + 1);
  std::string file = sep == std::string::npos ? s : s.substr(sep + 1);
  if (file.size() > 32000) file.resize(32000);
  if (drive) *drive = d;
  if (directory) *directory = String(std::move(dir));
  if (name) *name = String(std::move(file));
}

String MakePath(char drive, const String& directory, const String& name) {
  String r;
  if (drive) {
    r += static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
    r += ':';
  }
  r += directory;
  r += name;
  return r;
}

File::~File() {
  try {
    Close();
  } catch (...) {
  }
}

void File::SetName(const String& name) {
  if (IsOpen()) Close();
  name_ = name;
}

void File::SetMode(uint32_t mode) {
  if (IsOpen()) Close();
  mode_ = mode;
}

bool File::TryOpen() {
  if (IsOpen()) return true;
  error_ = false;
  pos_ = len_ = 0;
  writing_ = false;
  if (mode_ & kTemporary) {
    mode_ = (mode_ & ~kApp) | kIn | kOut | kTrunc | kBinary;
    std::string path;
    int fd = MakeUniqueFile(TempDirectory(), "KWR", path);
    if (fd < 0) throw WinExcept(LastSystemError(), __LINE__, "file.cpp");
    name_ = String(path);
    fd_ = fd;
    temporary_ = true;
    osPos_ = osSize_ = 0;
    return true;
  }
  String path = ExpandFileName(name_);
  const bool in = mode_ & kIn, out = mode_ & kOut, app = mode_ & kApp, trunc = mode_ & kTrunc;
  if (in && !out && !app && !PathExists(path.c_str())) return false;
  if ((mode_ & kCreate) && out && PathExists(path.c_str())) return false;
  RawOpenMode m;
  if (!in && !out && !app) return false;
  m.read = in;
  m.write = out || app;
  m.append = app;
  if (m.write) {
    // Writing alone creates the file; reading and writing creates it only
    // when it is cut or appended to, as the standard streams do.
    m.create = !in || trunc || app;
    m.truncate = trunc ? !app : (!in && !app);
    m.exclusive = (mode_ & kCreate) != 0;
  }
  fd_ = RawOpen(path.c_str(), m);
  if (fd_ < 0) return false;
  osSize_ = std::max<int64_t>(0, RawSize(fd_));
  osPos_ = 0;
  if ((mode_ & kAte) || app) osPos_ = std::max<int64_t>(0, RawSeek(fd_, 0, true));
  streamSent_ = streamDropped_ = osPos_;
  return true;
}

void File::Open() {
  if (!TryOpen()) throw OpenExcept(name_);
}

void File::Reopen(const String& name, uint32_t mode) {
  Close();
  name_ = name;
  mode_ = mode;
  Open();
}

void File::FlushWrites() {
  if (!writing_) return;
  if (len_ > 0 && fd_ >= 0) {
    if (!RawWrite(fd_, buf_.get(), len_)) error_ = true;
    osPos_ += static_cast<int64_t>(len_);
    if (mode_ & kApp) osPos_ = std::max<int64_t>(osPos_, RawSeek(fd_, 0, true));
    osSize_ = std::max(osSize_, osPos_);
  }
  len_ = pos_ = 0;
  writing_ = false;
}

void File::DropReadAhead() {
  if (pos_ == len_) {
    pos_ = len_ = 0;
    return;
  }
  // Put the descriptor back where the program is.
  int64_t at = osPos_ - static_cast<int64_t>(len_ - pos_);
  osPos_ = RawSeek(fd_, at);
  pos_ = len_ = 0;
}

void File::Close() {
  if (!IsOpen()) return;
  FlushWrites();
  if (!RawClose(fd_)) error_ = true;
  fd_ = -1;
  pos_ = len_ = 0;
  buf_.reset();
  if (temporary_) {
    temporary_ = false;
    if (!RemovePath(name_.c_str())) throw WinExcept(LastSystemError(), __LINE__, "file.cpp");
  }
}

bool File::Exists() const { return IsOpen() || PathExists(ExpandFileName(name_).c_str()); }

int64_t File::Size() const {
  int64_t n = PathSize(ExpandFileName(name_).c_str());
  return n < 0 ? 0 : n;
}

void File::Write(const void* data, size_t count) {
  if (!IsOpen()) {
    error_ = true;
    throw WriteExcept(name_);
  }
  if (!writing_) {
    DropReadAhead();
    writing_ = true;
  }
  if (!buf_) buf_.reset(new char[kBufferSize]);
  const char* p = static_cast<const char*>(data);
  if (count >= kBufferSize) {
    FlushWrites();
    writing_ = true;
    if (!RawWrite(fd_, p, count)) error_ = true;
    osPos_ += static_cast<int64_t>(count);
    osSize_ = std::max(osSize_, osPos_);
  } else {
    if (len_ + count > kBufferSize) {
      FlushWrites();
      writing_ = true;
    }
    std::memcpy(buf_.get() + len_, p, count);
    len_ += count;
  }
  if (error_) throw WriteExcept(name_);
}

void File::Flush() {
  if (IsOpen()) FlushWrites();
  if (error_) throw WriteExcept(name_);
}

namespace {
// A long file passes the disk in steps of 8 MiB; the pages of a written step
// are let go once 64 MiB more have been sent after it, so that the disk works
// while the program writes on.
constexpr int64_t kStreamStep = int64_t{8} << 20;
constexpr int64_t kStreamLag = int64_t{64} << 20;
}  // namespace

void File::StreamOut() {
  if (!IsOpen()) return;
  if (osPos_ < streamSent_) streamSent_ = streamDropped_ = osPos_;  // moved back: start afresh
  if (osPos_ - streamSent_ < kStreamStep) return;
  RawStartWriteBack(fd_, streamSent_, osPos_ - streamSent_);
  streamSent_ = osPos_;
  while (streamSent_ - streamDropped_ > kStreamLag) {
    if (!RawWriteBackAndDrop(fd_, streamDropped_, kStreamStep)) error_ = true;
    streamDropped_ += kStreamStep;
  }
}

bool File::FillBuffer() {
  if (!buf_) buf_.reset(new char[kBufferSize]);
  int64_t n = RawRead(fd_, buf_.get(), kBufferSize);
  if (n <= 0) {
    pos_ = len_ = 0;
    if (n < 0) error_ = true;
    return false;
  }
  pos_ = 0;
  len_ = static_cast<size_t>(n);
  osPos_ += n;
  return true;
}

bool File::TryRead(void* data, size_t count) {
  if (!IsOpen()) return false;
  if (writing_) FlushWrites();
  char* p = static_cast<char*>(data);
  while (count > 0) {
    if (pos_ == len_) {
      if (count >= kBufferSize) {
        pos_ = len_ = 0;
        int64_t n = RawRead(fd_, p, count);
        if (n <= 0) break;
        osPos_ += n;
        p += n;
        count -= static_cast<size_t>(n);
        continue;
      }
      if (!FillBuffer()) break;
    }
    size_t take = std::min(count, len_ - pos_);
    std::memcpy(p, buf_.get() + pos_, take);
    pos_ += take;
    p += take;
    count -= take;
  }
  if (count > 0) {
    error_ = false;
    return false;
  }
  return true;
}

void File::Read(void* data, size_t count) {
  if (!TryRead(data, count)) throw ReadExcept(name_);
}

int64_t File::Tell() const {
  if (!IsOpen()) return 0;
  if (writing_) return osPos_ + static_cast<int64_t>(len_);
  return osPos_ - static_cast<int64_t>(len_ - pos_);
}

uint64_t File::Remaining() const {
  if (!IsOpen()) return 0;
  int64_t size = std::max(osSize_, Tell());
  return static_cast<uint64_t>(size - Tell());
}

void File::ReadFailure() const { throw ReadExcept(name_); }

void File::Seek(int64_t position) {
  if (!IsOpen()) throw SeekExcept(name_);
  FlushWrites();
  pos_ = len_ = 0;
  osPos_ = RawSeek(fd_, position);
  if (osPos_ != position) {
    if (osPos_ < 0) osPos_ = 0;
    throw SeekExcept(name_);
  }
}

bool File::TryReadLine(String& line, int maximum) {
  line = String();
  std::string text;
  char c;
  if (!TryRead(&c, 1)) return false;
  if (c == 0) return true;
  while (c != '\r' && c != '\n') {
    if (maximum <= 0 || static_cast<int>(text.size()) < maximum) text += c;
    if (!TryRead(&c, 1)) return false;
    if (c == 0) break;
  }
  line = String(std::move(text));
  return true;
}

void File::ReadLine(String& line, int maximum) {
  if (!TryReadLine(line, maximum)) throw ReadExcept(name_);
}

void File::ReadWord(String& word, const char* delimiters, int maximum) {
  const char* delims = (delimiters && *delimiters) ? delimiters : " \r\n\t";
  auto isDelim = [delims](char c) { return c != 0 && std::strchr(delims, c) != nullptr; };
  std::string text;
  char c;
  do {
    Read(&c, 1);
  } while (isDelim(c));
  for (;;) {
    text += c;
    if (maximum > 0 && static_cast<int>(text.size()) >= maximum) break;
    if (!TryRead(&c, 1) || isDelim(c)) break;
  }
  word = String(std::move(text));
}
