// The save-file sections of the subsystems that are not built yet, as each
// of them writes its section with nothing in it, so that a file written now
// restores when the subsystem exists. Reading accepts only such an empty
// section; anything else in it is the file's read error. When a subsystem
// arrives, its empty form leaves this file for the subsystem's own section.
#include "gui/install_subsystems.h"

#include <vector>

#include "base/savestream.h"
#include "model/model.h"
#include "model/restore_fields.h"

namespace {

// A list count in a section that can only be empty here.
void ReadEmptyCount(SaveStream& s) {
  if (s.ReadU32() != 0) s.ReadFailure();
}

// Structural elements: the element list with its highest component id and
// id, the node list and the link list with their highest ids, then the
// settings at their defaults: rotational mass scaling, damping scheme,
// Rayleigh alpha and beta, safety factor, critical time step, liner gap
// factor, zone and node tolerances, version-2.0 node command.
void SaveNoStructures(SaveStream& s) {
  for (int i = 0; i < 7; ++i) s.WriteU32(0);
  s.WriteU8(0);
  s.WriteI32(1);
  s.WriteF64(0.0);
  s.WriteF64(0.0);
  s.WriteF64(1.0);
  s.WriteF64(1.0);
  s.WriteF64(0.1);
  s.WriteF64(1e-5);
  s.WriteF64(1e-5);
  s.WriteU8(0);
}
void RestoreNoStructures(SaveStream& s) {
  const int32_t v = FileVersion();
  ReadEmptyCount(s);
  s.ReadI32();
  s.ReadI32();
  ReadEmptyCount(s);
  s.ReadI32();
  ReadEmptyCount(s);
  s.ReadI32();
  s.ReadU8();
  s.ReadI32();
  for (int i = 0; i < 4; ++i) s.ReadF64();
  if (v >= 157)
    for (int i = 0; i < 3; ++i) s.ReadF64();
  if (v >= 159) s.ReadU8();
}

struct AbsentSection {
  const char* name;
  void (*save)(SaveStream&);
  void (*restore)(SaveStream&);
};

const AbsentSection kAbsent[] = {
    {"structures", &SaveNoStructures, &RestoreNoStructures},
};

}  // namespace

void InstallAbsentSections(Model& model) {
  SaveSections& sections = model.Sections();
  for (const AbsentSection& a : kAbsent) {
    const SaveSection* section = sections.Find(a.name);
    if (!section || !section->save) sections.Install(a.name, a.save, a.restore);
  }
}

std::vector<const char*> AbsentSectionNames() {
  std::vector<const char*> names;
  for (const AbsentSection& a : kAbsent) names.push_back(a.name);
  return names;
}
