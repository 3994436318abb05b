#pragma once

#include <cstring>
#include <string>

#include "base/savefile.h"

// A save file's bytes with the save time in its header blanked, and the
// checksum at the end, which covers that time, blanked too: two saves of one
// model compare equal whatever second they were written in.
inline std::string UntimedSave(std::string bytes) {
  constexpr size_t kTimeOffset = 28;
  if (bytes.size() >= kTimeOffset + 4) bytes.replace(kTimeOffset, 4, 4, '\0');
  if (bytes.size() >= kSaveTrailerBytes && bytes.compare(bytes.size() - kSaveTrailerBytes, 8, "TRXCRC32") == 0)
    bytes.replace(bytes.size() - 4, 4, 4, '\0');
  return bytes;
}
