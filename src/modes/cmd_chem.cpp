// CHEM: runs the chemistry update or lists the last exchange with the
// chemistry application; the "Available Chemicals" choice; and how the
// chemistry mode installs itself.
#include "base/command.h"
#include "base/except.h"
#include "model/calc_module.h"
#include "model/model_interpreter.h"
#include "model/zone_chem.h"
#include "modes/chem_link.h"
#include "modes/chem_module.h"
#include "platform/console_device.h"

void ChemCommand(ModelInterpreter& interp) {
  ChemModule* chem = TheChemModule();
  if (!chem) return;  // nothing to do without the chemistry mode
  int word = 0;
  const int code = interp.MatchKeyword("update dump", word);
  if (code == CommandType::kMissing) return;
  if (code != CommandType::kOk) interp.ThrowParamError(code);
  if (word == 1)
    chem->Update();
  else
    chem->Dump(interp);
}

// At a terminal the components are listed by number and one is chosen by
// its number (0 or an empty answer cancels); with no one to ask it cancels.
bool ChemModule::ChooseComponents(CommandType& interp, String* name) {
  if (!interp.IsInteractive() || !interp.Device() || !interp.Device()->IsTerminal()) return false;
  const int count = ComponentCount();
  interp << "Available Chemicals\n";
  for (int i = 1; i <= count; ++i) interp << "  " << i << "  " << ComponentName(i).c_str() << "\n";
  bool ended = false;
  String answer = interp.ReadLine(String("Choose a number (0 to cancel): "), ended);
  while (!answer.IsEmpty() && (answer.GetAt(answer.Length() - 1) == '\n' || answer.GetAt(answer.Length() - 1) == '\r'))
    answer.SetLength(answer.Length() - 1);
  if (ended || answer.IsEmpty() || !answer.IsNumeric()) return false;
  const int chosen = answer.ToInt();
  if (chosen < 1 || chosen > count) return false;
  if (name) *name = ComponentName(chosen);
  return true;
}

namespace {
std::unique_ptr<CalcModule> MakeChemModule() { return std::make_unique<ChemModule>(); }
}  // namespace

void InstallChemistry() {
  InstallModuleFactory(CalcModule::kChemistry, &MakeChemModule);
  InstallZoneChemRecords();
  InstallModelCommand("chem", &ChemCommand);
}
