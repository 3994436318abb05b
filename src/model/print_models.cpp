#include "model/print_models.h"

#include <iomanip>

#include "base/stream.h"
#include "cmodels/constitutive_model.h"

namespace {
const MaterialModelList* g_fluidModels = nullptr;
const MaterialModelList* g_thermalModels = nullptr;

const char* const kModelListWords = "properties states list";
enum Choice { kProperties = 1, kStates, kList };

// The names of a mechanical model on lines of under 78 characters: the first
// line starts with 21 blanks, each further one with 22 before its first name.
void WriteModelNames(CommandType& interp, const char* const* names) {
  String line(' ', 21);
  for (int i = 0; names && names[i]; ++i) {
    String name(names[i]);
    if (line.Length() + name.Length() < 78) {
      line += " ";
      line += name;
    } else {
      interp << line << "\n";
      line = String(' ', 22) + name;
    }
  }
  interp << line << "\n";
}

// The property keywords of a fluid or thermal model, wrapped the same way
// from lines that start with one blank (two after a break).
void WriteKeywords(CommandType& interp, String keywords) {
  String line(' ', 1);
  for (;;) {
    String word = keywords.NextToken(" ");
    if (word.IsEmpty()) break;
    if (line.Length() + word.Length() < 78) {
      line += " ";
      line += word;
    } else {
      interp << line << "\n";
      line = String(' ', 2) + word;
    }
  }
  if (line.Length() > 1) interp << line << "\n";
}

void WriteMaterialModels(CommandType& interp, const MaterialModelList* list, bool properties) {
  if (!list) return;
  for (int type = 0; type < list->Count(); ++type) {
    interp << std::right << std::setw(25) << list->Name(type).c_str() << ":\n";
    if (properties) WriteKeywords(interp, list->Keywords(type));
  }
}
}  // namespace

void SetFluidModelList(const MaterialModelList* list) { g_fluidModels = list; }
void SetThermalModelList(const MaterialModelList* list) { g_thermalModels = list; }

int PrintModels(CommandType& interp) {
  PageGuard guard(interp);
  int choice = kList;
  if (interp.MatchKeyword(kModelListWords, choice) != CommandType::kOk) choice = kList;
  const char* title = choice == kProperties ? "Constitutive Model Properties\n-----------------------------\n"
                      : choice == kStates   ? "Mechanical Constitutive Model States\n"
                                              "------------------------------------\n"
                                            : "Constitutive Models Available\n-----------------------------\n";
  interp << title;
  interp.SetPageHeader(String(title));
  for (int i = 0; i < ConstitutiveModel::NumberAvailable(); ++i) {
    const ConstitutiveModel* model = ConstitutiveModel::FindByIndex(i);
    if (!model) continue;
    interp << std::right << std::setw(25) << model->Title() << ":  Type = " << std::setw(3) << model->Type()
           << "   Version = " << std::setw(3) << model->Version() << "\n";
    if (choice == kProperties) WriteModelNames(interp, model->Properties());
    if (choice == kStates) WriteModelNames(interp, model->States());
  }
  if (choice != kStates) {
    WriteMaterialModels(interp, g_fluidModels, choice == kProperties);
    WriteMaterialModels(interp, g_thermalModels, choice == kProperties);
  }
  return CommandType::kDone;
}
