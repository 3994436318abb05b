// The save-file header that begins every save file and the restore versions
// that restore code compares against.
#pragma once

#include <cstdint>

class SaveStream;

struct SaveHeader {
  int32_t productCode = 0;
  int32_t formatVersion = 0;
  int32_t programVersion = 0;
  int32_t betaNumber = 0;
  int32_t releaseNumber = 0;
  int32_t identityWord = 0;
  float versionNumber = 0.0f;
};

// Writes the identifying fields of the program, up to the version number.
void WriteSaveHeader(SaveStream& stream);
// Reads the identifying fields as the file's versions gate them and refuses a
// file of another program ("Not %s save file"), of a far older build or of
// a later version. Sets the restore versions to the file's.
void ReadSaveHeader(SaveStream& stream, SaveHeader& header);

// Sets the restore versions back to the program's own when it goes out of
// scope, whatever way the restore ends.
class RestoreVersionGuard {
 public:
  RestoreVersionGuard() = default;
  ~RestoreVersionGuard();
  RestoreVersionGuard(const RestoreVersionGuard&) = delete;
  RestoreVersionGuard& operator=(const RestoreVersionGuard&) = delete;
};
