// The sections of the whole-model save file that follow the interpreter
// state, in the order of the file. Each section is written, read, turned
// back into pointers and cleared (NEW) by the subsystem that owns its data;
// the model owns the grid's sections and the subsystems above it install
// theirs at start-up. A subsystem that is not built yet has its empty form
// installed in its place, so every file written today restores tomorrow.
#pragma once

#include <cstdint>
#include <vector>

class SaveStream;

// The check value that follows every section of the save file.
constexpr uint32_t kSaveCheckValue = 0x4995CDD1;
// Reads the check value of a file that has them (program version 312 on):
// "Error reading save file (checkbit mismatch)." when it differs.
void ReadCheckValue(SaveStream& stream);

struct SaveSection {
  const char* name;
  int32_t since = 0;         // the first file version that has the section
  int32_t checkSince = 312;  // the first file version with a check value after it
  void (*save)(SaveStream& stream) = nullptr;
  void (*restore)(SaveStream& stream) = nullptr;
  // Once every section is read: saved indices back into pointers.
  void (*remap)() = nullptr;
  // NEW: the section's objects deleted and its settings at their defaults.
  void (*clear)() = nullptr;
};

class SaveSections {
 public:
  // The sections in the order of the file, without owners.
  SaveSections();

  // The owner's operations of a section. A name that is not in the table,
  // or a section that has another owner already, is a programming error and
  // fails at start-up; installing the same owner again changes nothing.
  void Install(const char* name, void (*save)(SaveStream&), void (*restore)(SaveStream&), void (*remap)() = nullptr,
               void (*clear)() = nullptr);
  const std::vector<SaveSection>& List() const { return sections_; }
  const SaveSection* Find(const char* name) const;

  // Every section followed by the check value.
  void SaveAll(SaveStream& stream) const;
  // Every section that a file of that program version has, with the check
  // values the version has.
  void RestoreAll(SaveStream& stream, int32_t fileVersion) const;
  // Every owner's remapping, in the order of the file.
  void RemapAll() const;
  // NEW of one section (nothing when its owner keeps nothing to clear).
  void Clear(const char* name) const;

 private:
  const SaveSection& Owned(const char* name) const;
  std::vector<SaveSection> sections_;
};

// The grid model's own sections: groups, grid-points, zones, ranges, zone
// faces, settings and modules.
void InstallGridSections(SaveSections& sections);
