// Input sources of the command language and the stream that reads from them.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "base/file.h"
#include "base/stream.h"
#include "base/string.h"

class LogStream;

// A source of command lines: the command window, a command file, a memory
// buffer, or a scripting COMMAND block.
class CommandSource {
 public:
  enum Kind : unsigned char { kKeyboard = 0, kMemory = 1, kFile = 2 };
  explicit CommandSource(unsigned char kind) : kind_(kind) {}
  virtual ~CommandSource() = default;
  // Resume reading (the source became the current one again).
  virtual void Open() {}
  // Suspend reading (another source was pushed over it, or it is being dropped).
  virtual void Close() {}
  // The next line; an empty String means the source has ended.
  virtual String ReadLine(const String& prompt) = 0;
  virtual bool IsInteractive() const { return false; }
  // Whether the end of this source is reported to the caller of Process
  // instead of the source simply being dropped.
  virtual bool ReportsEnd() const { return false; }
  virtual String Name() const { return String(" "); }
  unsigned char Kind() const { return kind_; }
  // A source kept when an error drops the sources above it (the QUIT of
  // the command line, which must still end the run).
  bool KeptOnError() const { return keptOnError_; }
  void KeepOnError() { keptOnError_ = true; }

 private:
  unsigned char kind_;
  bool keptOnError_ = false;
};

// Lines typed in the command window. It never ends: an empty line comes back
// as a single new-line character; the end of the terminal's input ends the program.
class KeyboardSource : public CommandSource {
 public:
  explicit KeyboardSource(LogStream* reader) : CommandSource(kKeyboard), reader_(reader) {}
  String ReadLine(const String& prompt) override;
  bool IsInteractive() const override { return true; }
  String Name() const override;

 private:
  LogStream* reader_;
};

// Lines of a text held in memory, up to each new line.
class MemorySource : public CommandSource {
 public:
  explicit MemorySource(const String& text) : CommandSource(kMemory), text_(text) {}
  String ReadLine(const String& prompt) override;
  String Name() const override;

 private:
  String text_;
  size_t pos_ = 0;
};

// Lines of a command file. Only the file at the top of the stack is open:
// it is closed (its position kept) while another source is read and reopened
// where it stopped.
class FileSource : public CommandSource {
 public:
  explicit FileSource(const String& name) : CommandSource(kFile), file_(name, File::kIn | File::kBinary) {}
  void Open() override;
  void Close() override;
  String ReadLine(const String& prompt) override;
  String Name() const override;
  const String& FileName() const { return file_.Name(); }

 private:
  File file_;
  int64_t position_ = 0;
};

// The interpreter's console stream with the stack of input sources and the log file.
class LogStream : public ConsoleStream {
 public:
  explicit LogStream(ConsoleDevice* device = nullptr);
  ~LogStream() override;

  void Write(const char* text) override;
  bool IsInteractive() const override;
  // Writes to the log file only, when it is open.
  void WriteLog(const char* text);

  // Reads the next line from the current source; `ended` is set when a source
  // that reports its end has ended.
  String ReadLine(const String& prompt, bool& ended);

  // "Macro or CALL nesting too deep" beyond kMaxSourceDepth sources.
  void PushSource(std::unique_ptr<CommandSource> source);
  static constexpr size_t kMaxSourceDepth = 64;
  // A command file; File::OpenExcept when it cannot be opened.
  void PushFile(const String& name);
  void PushMemory(const String& text, bool keptOnError = false);
  void PushKeyboard();
  void PopSource();
  virtual void ResetSources();

  bool CurrentReportsEnd() const;
  int CurrentKind() const;
  int SourceDepth() const { return static_cast<int>(sources_.size()); }

  // The log file: OpenLog writes its header, CloseLog its footer. A log
  // opened again in the same run is appended to.
  void OpenLog();
  void CloseLog();
  // Writes out what the log holds so far.
  void FlushLog();
  bool LogOpen() const { return log_.IsOpen(); }
  // The log file's name; the program's name with ".log" until one is set.
  String LogName() const;
  // Closes the log, names the new file and reopens it when it was open.
  void SetLogFile(const String& name, uint32_t mode);
  // Before a command creates a file: "*** File already exists!" and, at a
  // terminal, the question whether to append, overwrite or cancel (cancel
  // ends the command silently); elsewhere a text file is appended to and a
  // binary file overwritten. Sets the file's mode accordingly.
  void ConfirmOverwrite(File& file, bool quiet);

  bool Echo() const { return echo_; }
  void SetEcho(bool on) { echo_ = on; }
  // Called with every non-empty line read.
  void AddLineObserver(std::function<void(const String&)> observer) { observers_.push_back(std::move(observer)); }

 private:
  static void CloseLogAtExit(void* self);

  File log_;
  bool logOpenedOnce_ = false;
  bool echo_ = true;
  std::vector<std::function<void(const String&)>> observers_;
  std::deque<std::unique_ptr<CommandSource>> sources_;
};
