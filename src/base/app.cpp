#include "base/app.h"

#include <utility>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/file.h"
#include "base/memory.h"
#include "base/message.h"
#include "base/system.h"
#include "platform/os_services.h"

namespace {
Application* g_application = nullptr;
bool g_exiting = false;
void (*g_exitHandler)(int) = nullptr;

std::vector<std::pair<void (*)(void*), void*>>& ExitHooks() {
  static auto* hooks = new std::vector<std::pair<void (*)(void*), void*>>;
  return *hooks;
}

// Runs the exit hooks, newest first; each runs once.
void RunExitHooks() {
  auto& hooks = ExitHooks();
  while (!hooks.empty()) {
    auto hook = hooks.back();
    hooks.pop_back();
    try {
      hook.first(hook.second);
    } catch (...) {
      // The exit goes on whatever one step reports.
    }
  }
}
// A file name as one word of a command: quoted (with its backslashes and
// double quotes escaped) when it holds a blank, a separator or a comment mark.
String FileNameWord(const String& name) {
  const std::string& s = name.str();
  if (s.find_first_of(" ,=\t()';\"") == std::string::npos) return name;
  std::string word = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') word += '\\';
    word += c;
  }
  word += '"';
  return String(std::move(word));
}
}  // namespace

void AddExitHook(void (*hook)(void*), void* context) {
  RemoveExitHook(hook, context);
  ExitHooks().push_back({hook, context});
}

void RemoveExitHook(void (*hook)(void*), void* context) {
  auto& hooks = ExitHooks();
  for (auto it = hooks.begin(); it != hooks.end(); ++it) {
    if (it->first == hook && it->second == context) {
      hooks.erase(it);
      return;
    }
  }
}

void SetExitHandler(void (*handler)(int)) { g_exitHandler = handler; }

ProgramIdentity& Identity() {
  static ProgramIdentity identity;
  return identity;
}

RestoreVersions& CurrentRestoreVersions() {
  static RestoreVersions versions;
  return versions;
}

void ResetRestoreVersions() {
  CurrentRestoreVersions().format = Identity().formatVersion;
  CurrentRestoreVersions().program = Identity().programVersion;
}

String& JobTitle() { static String s; return s; }
String& CustomerLine1() { static String s(" "); return s; }
String& CustomerLine2() { static String s(" "); return s; }
String& HomeDirectory() { static String s("."); return s; }
String& PlotOutputName() { static String s; return s; }

String VersionText() { return VersionString(); }

void ExitProgram(int code) {
  if (g_exitHandler) {
    RunExitHooks();
    g_exitHandler(code);
    return;
  }
  if (g_exiting) return;
  g_exiting = true;
  // Objects destroyed from here on do not hand their memory back one by one.
  BeginModelDiscard();
  RunExitHooks();
  ProcessExit(code);
}

Application::Application() {
  if (!g_application) g_application = this;
}

Application::~Application() {
  if (g_application == this) g_application = nullptr;
}

int Application::Run(int, const char* const*) {
  RegisterHelpTopics();
  Exit();
  return 0;
}

void Application::RegisterHelpTopics() { ResetRestoreVersions(); }

void Application::Exit() { ExitProgram(0); }

Application* TheApplication() { return g_application; }

int ProgramEntry(const char* commandLine) {
  if (!g_application) return -1;
  String line(commandLine);
  String args[20];
  const char* argv[21] = {nullptr};
  int argc = 1;
  while (argc <= 20) {
    String piece = line.NextToken(" ");
    if (piece.IsEmpty()) break;
    args[argc - 1] = piece;
    argv[argc] = args[argc - 1].c_str();
    ++argc;
  }
  return g_application->Run(argc, argv);
}

int ProgramEntry(int argc, const char* const* argv) {
  if (!g_application) return -1;
  const char* args[21] = {nullptr};
  int n = 1;
  for (int i = 1; i < argc && n <= 20 && argv; ++i) args[n++] = argv[i];
  return g_application->Run(n, args);
}

GuiApplication::GuiApplication(CommandType* interpreter) : interpreter_(interpreter) {
  if (!interpreter_) {
    ownMacros_ = new MacroTable;
    interpreter_ = new CommandType(0, ownMacros_, true);
    ownsInterpreter_ = true;
  }
}

GuiApplication::~GuiApplication() {
  if (ownsInterpreter_) {
    delete interpreter_;
    delete ownMacros_;
  }
}

void GuiApplication::Reset() {
  if (interpreter_ && interpreter_->Macros()) interpreter_->Macros()->Clear();
  JobTitle() = String();
}

bool GuiApplication::PushSettingsFile(const String& name) {
  File file(name, File::kIn);
  if (!file.TryOpen()) {
    file.SetName(GetInstallDirectory() + "/" + name);
    if (!file.TryOpen()) return false;
  }
  file.Close();
  interpreter_->PushFile(file.Name());
  return true;
}

bool GuiApplication::ReadIniFile() { return PushSettingsFile(Identity().lowerName + ".ini"); }

void GuiApplication::RunStartupFile(int argc, const char* const* argv) {
  if (argc < 2 || !argv) return;
  // The keyword list of the start-up commands: word 2 is "stop", 5 "call"
  // and 14 "restore".
  static const char* const kWords[] = {"quit", "stop", "exit", "macro", "call", "return", "print",
                                       "set", "system", "gui", "debug", "new", "save", "restore"};
  bool quitFollows = false;
  for (int i = argc - 1; i >= 1; --i) {
    if (!argv[i]) continue;
    String arg(argv[i]);
    String lower = arg;
    lower.ToLower();
    if (lower.str() == "quit") {
      quitFollows = true;
      continue;
    }
    File file(arg, File::kIn | File::kBinary);
    if (!file.TryOpen()) {
      *interpreter_ << "*** Unable to open file " << arg << "\n";
      continue;
    }
    // A file that begins with the product code is a save file; anything
    // else, a file shorter than the code included, is a command file.
    bool saved = file.Remaining() >= 4 && file.ReadI32() == Identity().productCode;
    file.Close();
    // File names keep their case: the file system tells them apart.
    String text = String(kWords[saved ? 13 : 4]) + " " + FileNameWord(arg);
    if (quitFollows) {
      text += "\n";
      text += kWords[1];
      quitFollows = false;
    }
    interpreter_->PushMemory(text);
  }
}

int GuiApplication::Run(int argc, const char* const* argv) {
  RegisterHelpTopics();
  CommandType& interp = *interpreter_;
  interp.SetApp(this);
  try {
    bool first = true;
    for (;;) {
      // The old model goes in one go: objects freed while it is cleared do
      // not hand their memory back one by one, and the pool is then emptied.
      BeginModelDiscard();
      interp.ClearMacros();
      Reset();
      EmptyModelMemory();
      Banner();
      if (first) {
        RunStartupFile(argc, argv);
        first = false;
      }
      ReadIniFile();
      if (!interp.Run(Identity().prompt)) break;
    }
  } catch (const KWRExcept& e) {
    ShowFatalError(e.Text());
    ExitProgram(-1);
  } catch (...) {
    ShowFatalError(MessageText("Unknown Fatal Exception").c_str());
    ExitProgram(-1);
  }
  ExitProgram(0);
  return 0;
}
