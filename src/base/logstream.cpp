#include "base/logstream.h"

#include "base/app.h"
#include "base/except.h"
#include "base/message.h"
#include "base/system.h"
#include "platform/console_device.h"

String KeyboardSource::ReadLine(const String& prompt) {
  String line;
  if (!reader_->ReadInput(line, prompt.c_str(), "")) ExitProgram(NormalExitCode());
  if (line.IsEmpty()) return String("\n");
  return line;
}

String KeyboardSource::Name() const { return MessageText("Keyboard"); }

String MemorySource::ReadLine(const String&) {
  const std::string& t = text_.str();
  if (pos_ >= t.size()) return String();
  size_t nl = t.find('\n', pos_);
  String line;
  if (nl == std::string::npos) {
    line = String(t.substr(pos_));
    pos_ = t.size();
  } else {
    line = String(t.substr(pos_, nl - pos_));
    pos_ = nl + 1;
  }
  // A blank line inside the buffer is a blank command, not the end of it.
  return line.IsEmpty() ? String(" ") : line;
}

String MemorySource::Name() const { return MessageText("Memory Buffer"); }

void FileSource::Open() {
  file_.Open();
  if (position_ > 0) file_.Seek(position_);
}

void FileSource::Close() {
  if (!file_.IsOpen()) return;
  position_ = file_.Tell();
  file_.Close();
}

String FileSource::ReadLine(const String&) {
  if (!file_.IsOpen()) Open();
  std::string line;
  char c;
  for (;;) {
    if (!file_.TryRead(&c, 1) || c == 26) return String(std::move(line));
    if (c == '\r') continue;
    if (c == '\n' || c == 0) break;
    line += c;
  }
  // An empty line is a blank command, not the end of the file.
  return line.empty() ? String(" ") : String(std::move(line));
}

String FileSource::Name() const { return MessageText("File %s", file_.Name()); }

LogStream::LogStream(ConsoleDevice* device) : ConsoleStream(device) {}

LogStream::~LogStream() {
  sources_.clear();
  try {
    CloseLog();
  } catch (...) {
  }
  RemoveExitHook(CloseLogAtExit, this);
}

void LogStream::CloseLogAtExit(void* self) { static_cast<LogStream*>(self)->CloseLog(); }

void LogStream::Write(const char* text) {
  WriteLog(text);
  ConsoleStream::Write(text);
}

void LogStream::WriteLog(const char* text) {
  if (!log_.IsOpen() || !text || !*text) return;
  try {
    log_.Write(text, std::char_traits<char>::length(text));
  } catch (const KWRExcept&) {
    // A log that cannot be written (a full disk) is given up quietly: the
    // console must go on working.
    log_.ClearError();
    try {
      log_.Close();
    } catch (...) {
    }
    RemoveExitHook(CloseLogAtExit, this);
  }
}

String LogStream::LogName() const { return log_.Name().IsEmpty() ? Identity().lowerName + ".log" : log_.Name(); }

void LogStream::OpenLog() {
  if (log_.IsOpen()) return;
  if (log_.Name().IsEmpty()) log_.SetName(LogName());
  uint32_t mode = (log_.Mode() | File::kOut) & ~(File::kBinary | File::kIn);
  if (logOpenedOnce_) mode |= File::kApp;
  log_.SetMode(mode);
  ConfirmOverwrite(log_, false);
  log_.Open();
  logOpenedOnce_ = true;
  AddExitHook(CloseLogAtExit, this);
  String header = String(";") + String('*', 40) + "\n";
  header += MessageText(";Log File Started %s", System::TimeStamp()) + "\n";
  header += MessageText(";Using %s version %s", Identity().upperName, VersionString()) + "\n";
  header += MessageText(";By: %s", CustomerLine1()) + "\n";
  header += MessageText(";    %s", CustomerLine2()) + "\n";
  header += MessageText(";Job:%s", JobTitle()) + "\n";
  WriteLog(header.c_str());
  FlushLog();
}

void LogStream::CloseLog() {
  if (!log_.IsOpen()) return;
  String footer = MessageText(";Log File Ended %s", System::TimeStamp()) + "\n;" + String('*', 40) + "\n";
  WriteLog(footer.c_str());
  RemoveExitHook(CloseLogAtExit, this);
  log_.ClearError();
  log_.Close();
}

void LogStream::FlushLog() {
  if (!log_.IsOpen()) return;
  try {
    log_.Flush();
  } catch (const KWRExcept&) {
    log_.ClearError();
  }
}

void LogStream::SetLogFile(const String& name, uint32_t mode) {
  bool wasOpen = log_.IsOpen();
  CloseLog();
  logOpenedOnce_ = false;
  log_.SetName(name);
  log_.SetMode(mode | File::kOut);
  if (wasOpen) OpenLog();
}

namespace {
// Names that stand for devices rather than files.
bool IsDeviceName(const String& name) {
  String n = ExpandFileName(name);
  if (n.str().rfind("/dev/", 0) == 0) return true;
  if (n.Length() > 4) return false;
  String head = n.Mid(0, 3);
  head.ToLower();
  return head.str() == "prn" || head.str() == "lpt" || head.str() == "com";
}
}  // namespace

void LogStream::ConfirmOverwrite(File& file, bool quiet) {
  if (file.IsOpen()) return;
  uint32_t mode = file.Mode();
  // Appending (asked for, or a log opened again) leaves nothing to confirm.
  if (!file.Exists() || IsDeviceName(file.Name()) || (mode & File::kApp)) return;
  const bool tell = (mode & File::kOut) && !(mode & File::kTemporary) && !quiet;
  const bool text = !(mode & File::kBinary);
  const bool asked = IsInteractive() && Device() && Device()->IsTerminal();
  if (!asked && !(mode & (File::kTrunc | File::kCreate))) {
    // No one to ask: a text file is added to, any other file replaced.
    file.SetMode(mode | (text ? File::kApp : File::kTrunc));
    if (tell) *this << "File " << file.Name() << (text ? " appended\n" : " overwritten\n");
    return;
  }
  if (tell) *this << "*** File already exists!\n";
  if (mode & (File::kTrunc | File::kCreate)) return;
  *this << (text ? "    A)ppend, O)verwrite, or C)ancel ? " : "    O)verwrite or C)ancel ? ");
  flush();
  for (;;) {
    int key = WaitKey();
    if ((text && (key == 'a' || key == 'A')) || key == 'o' || key == 'O') {
      file.SetMode(mode | ((key == 'a' || key == 'A') ? File::kApp : File::kTrunc));
      *this << static_cast<char>(key) << "\n";
      return;
    }
    // ESC, or a terminal that has nothing more to read, cancels as C does.
    if (key == 'c' || key == 'C' || key == 27 || key == 0) {
      *this << "\r*** File operation canceled.              \n";
      throw ESCInterrupt(false);
    }
  }
}

bool LogStream::IsInteractive() const { return sources_.empty() || sources_.front()->IsInteractive(); }

String LogStream::ReadLine(const String& prompt, bool& ended) {
  ended = false;
  // What was written so far is in the log before the program waits.
  FlushLog();
  String line;
  for (;;) {
    if (sources_.empty()) PushSource(std::make_unique<KeyboardSource>(this));
    CommandSource& current = *sources_.front();
    line = current.ReadLine(prompt);
    if (!line.IsEmpty()) break;
    if (current.ReportsEnd()) {
      ended = true;
      return String();
    }
    PopSource();
  }
  for (auto& observer : observers_) observer(line);
  String shown = prompt + line;
  if (shown.IsEmpty() || shown.GetAt(shown.Length() - 1) != '\n') shown += '\n';
  if (echo_) {
    bool keyboard = sources_.front()->Kind() == CommandSource::kKeyboard;
    if (!keyboard || DeviceName() == "GUI Terminal") ConsoleStream::Write(shown.c_str());
  }
  WriteLog(shown.c_str());
  return line;
}

void LogStream::PushSource(std::unique_ptr<CommandSource> source) {
  // A command file that calls itself, or macros and files that call each
  // other, stop here instead of growing without end.
  if (sources_.size() >= kMaxSourceDepth) throw KWRExcept(String("Macro or CALL nesting too deep"));
  source->Open();
  if (!sources_.empty()) sources_.front()->Close();
  String name = source->Name();
  sources_.push_front(std::move(source));
  ConsoleStream::Echo(MessageText("From: %s", name).c_str());
}

void LogStream::PushFile(const String& name) {
  if (name.IsEmpty()) return;
  PushSource(std::make_unique<FileSource>(name));
  ResetTitle();
  SetTitle((GetTitle() + " - " + name).c_str());
}

void LogStream::PushMemory(const String& text, bool keptOnError) {
  auto source = std::make_unique<MemorySource>(text);
  if (keptOnError) source->KeepOnError();
  PushSource(std::move(source));
}

void LogStream::PushKeyboard() { PushSource(std::make_unique<KeyboardSource>(this)); }

void LogStream::PopSource() {
  if (sources_.empty()) return;
  std::unique_ptr<CommandSource> top = std::move(sources_.front());
  sources_.pop_front();
  top->Close();
  top.reset();
  if (sources_.empty()) return;
  CommandSource& next = *sources_.front();
  next.Open();
  if (next.Kind() == CommandSource::kFile) {
    ResetTitle();
    SetTitle((GetTitle() + " - " + next.Name()).c_str());
  }
  ConsoleStream::Echo(MessageText("From: %s", next.Name()).c_str());
}

void LogStream::ResetSources() {
  while (!sources_.empty() && !sources_.front()->KeptOnError()) sources_.pop_front();
  if (!sources_.empty()) sources_.front()->Open();
}

bool LogStream::CurrentReportsEnd() const { return !sources_.empty() && sources_.front()->ReportsEnd(); }

int LogStream::CurrentKind() const { return sources_.empty() ? 0 : sources_.front()->Kind(); }
