// The save-file header that begins every save file and the restore versions
// that restore code compares against.
#pragma once

#include <cstddef>
#include <cstdint>

class File;
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

// The CRC-32 (IEEE 802.3, reflected, as zlib computes it) of the bytes,
// continued from `crc` (0 to begin).
uint32_t Crc32(const void* data, size_t count, uint32_t crc = 0);

// The checksum trailer that follows the last section of a save file: the
// marker "TRXCRC32", the number of bytes before the trailer (64 bits) and
// their CRC-32, little-endian like every field. Restore code reads the
// sections as laid out and never reaches it.
constexpr size_t kSaveTrailerBytes = 20;
void WriteSaveTrailer(File& file, uint64_t contentBytes, uint32_t crc);
// A file with a trailer whose checksum does not match what precedes it
// raises the file's read error; a file without a trailer passes. Leaves the
// file at its start.
void CheckSaveTrailer(File& file);
