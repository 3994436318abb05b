#include "base/app.h"

#include <utility>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/file.h"
#include "base/memory.h"
#include "base/message.h"
#include "base/system.h"
#include "platform/console_device.h"
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

namespace {
bool g_commandFailed = false;
bool g_nonInteractive = false;
}  // namespace

void NoteCommandFailed() { g_commandFailed = true; }
int NormalExitCode() { return g_nonInteractive && g_commandFailed ? 1 : 0; }
void SetNonInteractiveRun(bool on) {
  g_nonInteractive = on;
  g_commandFailed = false;
}

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

String& JobTitle() {
  static String s;
  return s;
}
String& CustomerLine1() {
  static String s(" ");
  return s;
}
String& CustomerLine2() {
  static String s(" ");
  return s;
}
String& HomeDirectory() {
  static String s(".");
  return s;
}
String& PlotOutputName() {
  static String s;
  return s;
}

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

namespace {
bool IsQuitWord(const char* arg) {
  String lower(arg);
  lower.ToLower();
  return lower.str() == "quit";
}
}  // namespace

String UsageText() {
  const String& name = Identity().lowerName;
  return "Usage: " + name +
         " [--help | --version] [FILE ...] [quit]\n"
         "  " +
         name +
         "                  commands from the terminal, or from a pipe or file on standard input\n"
         "  " +
         name +
         " job.dat          run the command file job.dat, then read commands as above\n"
         "  " +
         name +
         " job.dat quit     run job.dat, then stop\n"
         "  " +
         name +
         " model.sav        restore the save file model.sav\n"
         "  --help                  this text\n"
         "  --version               the version line\n"
         "Exit status: 0 when the run ends normally; 1 when a command failed in a run whose commands\n"
         "come from a pipe, a file or the command line; 2 when the program could not start.\n";
}

int GuiApplication::CheckStartupArguments(int argc, const char* const* argv) {
  for (int i = 1; i < argc && argv; ++i) {
    const char* arg = argv[i];
    if (!arg || IsQuitWord(arg)) continue;
    if (arg[0] == '-' && arg[1] == '-') {
      const std::string option(arg);
      if (option == "--help") {
        WriteStandardOutput(UsageText().c_str());
        return 0;
      }
      if (option == "--version") {
        WriteStandardOutput((Identity().upperName + " version " + VersionString() + "\n").c_str());
        return 0;
      }
      WriteStandardError((Identity().lowerName + ": unknown option " + arg + "\n" + UsageText()).c_str());
      return 2;
    }
    File file{String(arg), File::kIn | File::kBinary};
    if (!file.TryOpen()) {
      WriteStandardError((Identity().lowerName + ": cannot open " + arg + "\n").c_str());
      return 2;
    }
    file.Close();
  }
  return -1;
}

void GuiApplication::RunStartupFile(int argc, const char* const* argv) {
  if (argc < 2 || !argv) return;
  // The keyword list of the start-up commands: word 2 is "stop", 5 "call"
  // and 14 "restore".
  static const char* const kWords[] = {"quit", "stop",   "exit", "macro", "call", "return", "print",
                                       "set",  "system", "gui",  "debug", "new",  "save",   "restore"};
  bool quitFollows = false;
  for (int i = argc - 1; i >= 1; --i) {
    if (!argv[i]) continue;
    String arg(argv[i]);
    if (IsQuitWord(argv[i])) {
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
    // The QUIT that follows a file runs also when the file stops at an
    // error: it stays when the error drops the file's commands.
    if (quitFollows) {
      interpreter_->PushMemory(String(kWords[1]), true);
      quitFollows = false;
    }
    // File names keep their case: the file system tells them apart.
    interpreter_->PushMemory(String(kWords[saved ? 13 : 4]) + " " + FileNameWord(arg));
  }
}

int GuiApplication::Run(int argc, const char* const* argv) {
  RegisterHelpTopics();
  const int refused = CheckStartupArguments(argc, argv);
  if (refused >= 0) {
    ExitProgram(refused);
    return refused;
  }
  CommandType& interp = *interpreter_;
  interp.SetApp(this);
  const bool terminal = interp.Device() && interp.Device()->IsTerminal();
  SetNonInteractiveRun(!terminal || argc > 1);
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
  const int code = NormalExitCode();
  ExitProgram(code);
  return code;
}
