// Input sources of the command language and the stream that reads from them.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

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

 private:
  unsigned char kind_;
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

// The interpreter's console stream with the stack of input sources and the log file.
class LogStream : public ConsoleStream {
 public:
  explicit LogStream(ConsoleDevice* device = nullptr) : ConsoleStream(device) {}
  ~LogStream() override;

  void Write(const char* text) override;
  bool IsInteractive() const override;
  // Writes to the log file only, when it is open.
  void WriteLog(const char* text);

  // Reads the next line from the current source; `ended` is set when a source
  // that reports its end has ended.
  String ReadLine(const String& prompt, bool& ended);

  void PushSource(std::unique_ptr<CommandSource> source);
  void PushMemory(const String& text);
  void PushKeyboard();
  void PopSource();
  virtual void ResetSources();

  bool CurrentReportsEnd() const;
  int CurrentKind() const;
  int SourceDepth() const { return static_cast<int>(sources_.size()); }

  bool Echo() const { return echo_; }
  void SetEcho(bool on) { echo_ = on; }
  // Called with every non-empty line read.
  void AddLineObserver(std::function<void(const String&)> observer) {
    observers_.push_back(std::move(observer));
  }

 private:
  bool echo_ = true;
  std::vector<std::function<void(const String&)>> observers_;
  std::deque<std::unique_ptr<CommandSource>> sources_;
};
