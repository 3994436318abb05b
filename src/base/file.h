// The program's file stream: a named file with mode bits, opened and closed
// explicitly, read and written as bytes through its own buffer. It is also
// the save stream that SAVE and RESTORE write and read.
#pragma once

#include <cstdint>
#include <memory>

#include "base/except.h"
#include "base/savestream.h"
#include "base/string.h"

class File : public SaveStream {
 public:
  // Mode bits.
  enum : uint32_t {
    kIn = 0x1,      // read; the file must exist
    kOut = 0x2,     // write
    kAte = 0x4,     // start at the end
    kApp = 0x8,     // append at the end
    kTrunc = 0x10,  // cut an existing file
    kBinary = 0x20,
    kTemporary = 0x1000,  // a new file in the temporary directory, deleted on close
    kCreate = 0x2000,     // with out: fail when the file exists
  };

  class FileExcept : public KWRExcept {
   public:
    using KWRExcept::KWRExcept;
  };
  class OpenExcept : public FileExcept {
   public:
    explicit OpenExcept(const String& name);
  };
  class ReadExcept : public FileExcept {
   public:
    explicit ReadExcept(const String& name);
  };
  class WriteExcept : public FileExcept {
   public:
    explicit WriteExcept(const String& name);
  };
  class SeekExcept : public FileExcept {
   public:
    explicit SeekExcept(const String& name);
  };

  File() = default;
  File(const String& name, uint32_t mode) : name_(name), mode_(mode) {}
  ~File() override;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Changing the name or the mode of an open file closes it first.
  void SetName(const String& name);
  void SetMode(uint32_t mode);
  const String& Name() const { return name_; }
  uint32_t Mode() const { return mode_; }
  bool IsAppend() const { return (mode_ & kApp) != 0; }

  // False for an ordinary failure (no such file, no permission, an existing
  // file with create); a temporary file that cannot be made is fatal.
  bool TryOpen();
  void Open();  // File::OpenExcept on failure
  void Reopen(const String& name, uint32_t mode);
  // Writes out the buffer and closes; a temporary file is deleted. A failed
  // write sets the error state (see Flush).
  void Close();
  virtual bool IsOpen() const { return fd_ >= 0; }
  // Open, or a file of that name exists.
  bool Exists() const;
  // Size of the named file, 0 when it cannot be read.
  int64_t Size() const;

  void Write(const void* data, size_t count) override;
  void Read(void* data, size_t count) override;
  // Like Read without the exception; false (error state cleared) when fewer bytes came.
  virtual bool TryRead(void* data, size_t count);
  uint64_t Remaining() const override;
  [[noreturn]] void ReadFailure() const override;
  // Writes out the buffer; File::WriteExcept when that failed now or before.
  void Flush();
  // For a long file written in order: sends what was written since the last
  // call on its way to the disk, and lets the system drop the cached pages
  // of what was written well before, once it is on the disk, so that a file
  // of gigabytes does not take as much memory on its way out. A disk
  // failure sets the error state.
  void StreamOut();
  void Seek(int64_t position);
  int64_t Tell() const;
  bool Failed() const { return error_; }
  void ClearError() { error_ = false; }

  // A line up to a carriage return or line feed (consumed, not stored) or a
  // zero byte; characters beyond `maximum` (0: no limit) are read and dropped.
  bool TryReadLine(String& line, int maximum = 0);
  void ReadLine(String& line, int maximum = 0);
  // The next word between delimiters (" \r\n\t" when empty or null).
  void ReadWord(String& word, const char* delimiters = nullptr, int maximum = 0);

 private:
  void FlushWrites();
  void DropReadAhead();
  bool FillBuffer();

  String name_;
  uint32_t mode_ = kIn;
  int fd_ = -1;
  bool temporary_ = false;
  bool error_ = false;
  // One buffer for reading or writing: while writing, bytes [0, len_) wait
  // to be written at the descriptor's position; while reading, bytes
  // [pos_, len_) are read ahead of the program's position.
  std::unique_ptr<char[]> buf_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool writing_ = false;
  int64_t osPos_ = 0;          // the descriptor's position
  int64_t osSize_ = 0;         // size of the file as far as known
  int64_t streamSent_ = 0;     // bytes sent on their way to the disk (StreamOut)
  int64_t streamDropped_ = 0;  // bytes written whose cached pages were let go
};

// The name as it is opened: each %NAME% pair is replaced by the value of that
// environment variable (empty when unset), a lone '%' stays, and "\" becomes "/".
String ExpandFileName(const String& name);

// Splits a path into its drive letter (0 without one), its directory (up to
// and including the last "/" or "\") and its file name; any output may be null.
void SplitPath(const String& path, char* drive, String* directory, String* name);
// The drive letter and ":" when the letter is not 0, then the directory and the name.
String MakePath(char drive, const String& directory, const String& name);
