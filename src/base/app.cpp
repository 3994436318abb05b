#include "base/app.h"

#include <cstdio>

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "platform/system.h"

namespace {
Application* g_application = nullptr;
bool g_exiting = false;
void (*g_exitHandler)(int) = nullptr;
}  // namespace

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

String VersionText() {
  const ProgramIdentity& id = Identity();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f-%03d", static_cast<double>(id.versionNumber), id.updateNumber);
  return String(buf);
}

void ExitProgram(int code) {
  if (g_exitHandler) {
    g_exitHandler(code);
    return;
  }
  if (g_exiting) return;
  g_exiting = true;
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

bool GuiApplication::PushSettingsFile(const String&) { return false; }

bool GuiApplication::ReadIniFile() { return PushSettingsFile(Identity().lowerName + ".ini"); }

void GuiApplication::RunStartupFile(int, const char* const*) {}

int GuiApplication::Run(int argc, const char* const* argv) {
  RegisterHelpTopics();
  CommandType& interp = *interpreter_;
  interp.SetApp(this);
  try {
    bool first = true;
    for (;;) {
      interp.ClearMacros();
      Reset();
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
