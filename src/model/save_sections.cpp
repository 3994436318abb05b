#include "model/save_sections.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "base/except.h"
#include "base/savestream.h"
#include "model/restore_fields.h"

void ReadCheckValue(SaveStream& s) {
  if (FileVersion() < 312) return;
  if (s.ReadU32() != kSaveCheckValue) throw QJExcept("Error reading save file (checkbit mismatch).");
}

namespace {
SaveSection Section(const char* name, int32_t since = 0, int32_t checkSince = 312) {
  SaveSection section{name};
  section.since = since;
  section.checkSince = checkSince;
  return section;
}
}  // namespace

// The order of the file. Structural elements came with program version 16;
// the particles' check value and the zone-face section with 316.
SaveSections::SaveSections()
    : sections_{Section("tables"), Section("generate"),          Section("groups"),          Section("grid-points"),
                Section("zones"),  Section("structures", 16),    Section("apply"),           Section("histories"),
                Section("views"),  Section("interfaces"),        Section("attach"),          Section("water"),
                Section("ranges"), Section("particles", 0, 316), Section("zone faces", 316), Section("settings"),
                Section("modules")} {}

void SaveSections::Install(const char* name, void (*save)(SaveStream&), void (*restore)(SaveStream&), void (*remap)(),
                           void (*clear)()) {
  for (SaveSection& section : sections_) {
    if (std::strcmp(section.name, name) != 0) continue;
    const bool same =
        section.save == save && section.restore == restore && section.remap == remap && section.clear == clear;
    if (same) return;  // the same owner again
    if (section.save || section.restore)
      throw std::logic_error(std::string("save-file section installed twice: ") + name);
    section.save = save;
    section.restore = restore;
    section.remap = remap;
    section.clear = clear;
    return;
  }
  throw std::logic_error(std::string("no save-file section named ") + name);
}

const SaveSection* SaveSections::Find(const char* name) const {
  for (const SaveSection& section : sections_)
    if (std::strcmp(section.name, name) == 0) return &section;
  return nullptr;
}

const SaveSection& SaveSections::Owned(const char* name) const {
  const SaveSection* section = Find(name);
  if (!section) throw std::logic_error(std::string("no save-file section named ") + name);
  return *section;
}

void SaveSections::SaveAll(SaveStream& s) const {
  for (const SaveSection& section : sections_) {
    if (!section.save) throw std::logic_error(std::string("save-file section without owner: ") + section.name);
    section.save(s);
    s.WriteU32(kSaveCheckValue);
  }
}

void SaveSections::RestoreAll(SaveStream& s, int32_t fileVersion) const {
  for (const SaveSection& section : sections_) {
    if (fileVersion < section.since) continue;
    if (!section.restore) throw std::logic_error(std::string("save-file section without owner: ") + section.name);
    section.restore(s);
    if (fileVersion >= section.checkSince) ReadCheckValue(s);
  }
}

void SaveSections::RemapAll() const {
  for (const SaveSection& section : sections_)
    if (section.remap) section.remap();
}

void SaveSections::Clear(const char* name) const {
  if (auto clear = Owned(name).clear) clear();
}
