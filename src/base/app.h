// The application object, the run loop and the program's identity.
#pragma once

#include <cstdint>

#include "base/string.h"

class CommandType;
class MacroTable;

// What the program calls itself and the versions it writes into save files.
// The set-up hook of the concrete application fills it in.
struct ProgramIdentity {
  String upperName = "Code";
  String prompt = "Code>";
  String lowerName = "code";
  int32_t productCode = 0;
  int32_t formatVersion = 134;   // save-file format version
  int32_t programVersion = 316;  // program build written into save files
  int32_t betaNumber = 0;
  int32_t alphaNumber = 0;
  int32_t releaseNumber = 0;
  int32_t identityWord = 0;
  int32_t updateNumber = 0;
  int32_t releaseKind = 0;  // 0 release, 1 alpha, 2 beta
  float versionNumber = 0.0f;
};
ProgramIdentity& Identity();

// The versions of the save file being restored; the program's own outside RESTORE.
struct RestoreVersions {
  int32_t format = 134;
  int32_t program = 316;
};
RestoreVersions& CurrentRestoreVersions();
void ResetRestoreVersions();

// Program-wide texts: the job title (TITLE), the customer lines (SET CUST1,
// SET CUST2), the home directory and the plot output file name.
String& JobTitle();
String& CustomerLine1();
String& CustomerLine2();
String& HomeDirectory();
String& PlotOutputName();

// "3.00-261": the version number and the update number.
String VersionText();
// The text of --help.
String UsageText();

// Ends the process in order; only the first call acts: the model memory pool
// stops taking blocks back, the exit hooks run (newest first; the log file is
// closed with its footer there) and the process exits.
void ExitProgram(int code);
// Steps of the orderly exit; a hook is removed when its owner goes first.
void AddExitHook(void (*hook)(void* context), void* context);
void RemoveExitHook(void (*hook)(void* context), void* context);
// Tests put a handler in place of the process exit (it may throw).
void SetExitHandler(void (*handler)(int code));

// A command of this run failed: a run that is not interactive (commands
// from a pipe, a file or the command line) then ends with exit code 1.
void NoteCommandFailed();
// The exit code of a run that ends normally (QUIT, STOP, end of input).
int NormalExitCode();
// The run reads its commands from somewhere other than a person at a terminal.
void SetNonInteractiveRun(bool on);

class Application {
 public:
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
  // argv[0] is always null; argv[1..argc-1] are the arguments.
  virtual int Run(int argc, const char* const* argv);
  // The set-up hook: message categories and restore versions.
  virtual void RegisterHelpTopics();
  virtual void Exit();
};
Application* TheApplication();

// Cuts a command line into at most 20 arguments at blanks and runs the
// application; its result is the exit code (-1 without an application).
int ProgramEntry(const char* commandLine);
// The same from the program's own argument vector (argv[0], the program's
// name, is not passed on): arguments keep their blanks; at most 20 are used.
int ProgramEntry(int argc, const char* const* argv);

// The windowed application: the run loop, start-up arguments and settings file.
class GuiApplication : public Application {
 public:
  explicit GuiApplication(CommandType* interpreter);
  ~GuiApplication() override;

  int Run(int argc, const char* const* argv) override;
  // The NEW hook: clears the macros and the job title.
  virtual void Reset();
  void Exit() override {}
  virtual void Banner() {}
  // Finds the settings file and pushes it; true when one was found.
  virtual bool ReadIniFile();
  void RunStartupFile(int argc, const char* const* argv);
  // Options and files of the command line before anything runs: --help and
  // --version answer on standard output and give 0; an unknown option or a
  // file that cannot be opened is reported on standard error and gives 2;
  // -1 when the run may start.
  int CheckStartupArguments(int argc, const char* const* argv);

  CommandType* Interpreter() const { return interpreter_; }

 protected:
  // Pushes the named settings file from the current or the home directory.
  bool PushSettingsFile(const String& name);

 private:
  CommandType* interpreter_;
  bool ownsInterpreter_ = false;
  MacroTable* ownMacros_ = nullptr;
};
