// Program entry: builds the application and its interpreter on the terminal,
// installs the subsystems' commands and runs it with the command-line arguments.
#include "base/command.h"
#include "gui/install_subsystems.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "platform/terminal_device.h"
#include "zolt/zolt_interpreter.h"

int main(int argc, char** argv) {
  // Objects that live for the whole run; the runtime's exit destroys them in reverse order.
  static TerminalDevice terminal;
  static MacroTable macros;
  static ModelInterpreter interpreter(&macros, &terminal);
  static ZoltInterpreter zolt;
  static ModelApp app(&interpreter);
  interpreter.SetScriptLevel(&zolt);
  InstallSubsystems(interpreter.TheModel());
  zolt.Install(interpreter, interpreter.TheModel());
  InstallInterruptHandler();

  return ProgramEntry(argc, argv);
}
