#include "base/logstream.h"

#include "base/app.h"
#include "base/message.h"
#include "platform/console_device.h"

String KeyboardSource::ReadLine(const String& prompt) {
  String line;
  if (!reader_->ReadInput(line, prompt.c_str(), "")) ExitProgram(0);
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

LogStream::~LogStream() { sources_.clear(); }

void LogStream::Write(const char* text) {
  WriteLog(text);
  ConsoleStream::Write(text);
}

void LogStream::WriteLog(const char*) {}

bool LogStream::IsInteractive() const {
  return sources_.empty() || sources_.front()->IsInteractive();
}

String LogStream::ReadLine(const String& prompt, bool& ended) {
  ended = false;
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
  source->Open();
  if (!sources_.empty()) sources_.front()->Close();
  String name = source->Name();
  sources_.push_front(std::move(source));
  ConsoleStream::Echo(MessageText("From: %s", name).c_str());
}

void LogStream::PushMemory(const String& text) { PushSource(std::make_unique<MemorySource>(text)); }

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

void LogStream::ResetSources() { sources_.clear(); }

bool LogStream::CurrentReportsEnd() const {
  return !sources_.empty() && sources_.front()->ReportsEnd();
}

int LogStream::CurrentKind() const { return sources_.empty() ? 0 : sources_.front()->Kind(); }
