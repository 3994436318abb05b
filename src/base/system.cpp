#include "base/system.h"

#include "base/app.h"
#include "base/file.h"
#include "platform/files.h"
#include "platform/os_services.h"

namespace {
int64_t (*g_timeSource)() = nullptr;

// The value of the "OLVENA=" line of the program's configuration file.
String ConfiguredHome() {
  String home = System::GetEnv("HOME");
  if (home.IsEmpty()) return String();
  const String& prog = Identity().lowerName;
  File conf(home + "/.config/" + prog + "/" + prog + ".conf", File::kIn);
  if (!conf.TryOpen()) return String();
  std::string text;
  char buf[512];
  for (;;) {
    uint64_t left = conf.Remaining();
    size_t n = left < sizeof buf ? static_cast<size_t>(left) : sizeof buf;
    if (n == 0 || !conf.TryRead(buf, n)) break;
    text.append(buf, n);
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.compare(0, 7, "OLVENA=") == 0) return String(line.substr(7));
    start = end + 1;
  }
  return String();
}
}  // namespace

String GetInstallDirectory() {
  String dir = System::GetEnv("OLVENA");
  if (dir.IsEmpty()) dir = ConfiguredHome();
  if (dir.IsEmpty()) dir = ".";
  HomeDirectory() = dir;
  return dir;
}

String VersionString() {
  const ProgramIdentity& id = Identity();
  String text = DoubleToString(static_cast<double>(id.versionNumber), 2, 4, 0) + "-";
  String build = IntToString(id.updateNumber);
  while (build.Length() < 3) build = "0" + build;
  text += build;
  if (id.releaseKind == 1) text += " Alpha " + IntToString(id.alphaNumber);
  if (id.releaseKind == 2) text += " Beta " + IntToString(id.betaNumber);
  return text;
}

int64_t System::Time() { return g_timeSource ? g_timeSource() : CalendarNow(); }

uint32_t System::Clock() { return ProcessClockMs(); }

void System::SetTimeSource(int64_t (*source)()) { g_timeSource = source; }

String System::CalendarText(int64_t time) { return String(::CalendarText(time)); }

String System::TimeStamp(int64_t time) {
  String c = CalendarText(time);
  return c.Mid(11, 9) + c.Mid(0, 11) + c.Mid(20, 4);
}

String System::GetEnv(const String& name) { return String(GetEnvironment(name.c_str())); }

void System::SetEnv(const String& name, const String& value) { SetEnvironment(name.c_str(), value.c_str()); }

String System::CurrentDirectory() {
  std::string d = WorkingDirectory();
  if (d.empty()) return String();
  if (d.back() != '/') d += '/';
  return String(std::move(d));
}

bool System::ChangeDirectory(const String& path) {
  String p = ExpandFileName(path);
  if (p.Length() > 1 && p.GetAt(p.Length() - 1) == '/') p.SetLength(p.Length() - 1);
  return ChangeWorkingDirectory(p.c_str());
}

int System::Remove(const String& name) {
  if (name.IsEmpty()) return -1;
  return RemovePath(ExpandFileName(name).c_str()) ? 0 : -1;
}

uint64_t System::FreeDiskSpace(const String& path) {
  String p = ExpandFileName(path);
  if (p.IsEmpty()) p = ".";
  if (!PathIsDirectory(p.c_str())) {
    String dir;
    SplitPath(p, nullptr, &dir, nullptr);
    p = dir.IsEmpty() ? String(".") : dir;
  }
  return FreeBytesAt(p.c_str());
}

bool System::Shell(const String& command) {
  bool hadPrompt = false;
  std::string prompt = GetEnvironment("PROMPT", &hadPrompt);
  SetEnvironment("PROMPT", "$i[]_$p$g");
  String shell = GetEnv("COMSPEC");
  if (shell.IsEmpty()) shell = GetEnv("SHELL");
  RunShell(command.c_str(), shell.c_str());
  SetEnvironment("PROMPT", hadPrompt ? prompt.c_str() : nullptr);
  return true;
}

String System::FindFirst(const String& pattern, uint32_t attributes) {
  if (searching_ || pattern.IsEmpty()) return String();
  found_ = MatchingFiles(ExpandFileName(pattern).c_str(), (attributes & 0x10) != 0);
  next_ = 0;
  searching_ = true;
  return FindNext();
}

String System::FindNext() {
  if (!searching_) return String();
  if (next_ >= found_.size()) {
    FindClose();
    return String();
  }
  return String(found_[next_++]);
}

void System::FindClose() {
  searching_ = false;
  found_.clear();
  next_ = 0;
}
