// Readers that the model's restore code shares: the program version of the
// file being read, a presence byte, and a real that older files stored as a
// 4-byte float.
#pragma once

#include <cstdint>

#include "base/app.h"
#include "base/savestream.h"

// The program version of the file that RESTORE is reading.
inline int32_t FileVersion() { return CurrentRestoreVersions().program; }

// A byte that tells whether a record follows: 0 or 1; any other value makes
// the file unreadable.
inline uint8_t ReadPresence(SaveStream& stream) {
  const uint8_t b = stream.ReadU8();
  if (b > 1) stream.ReadFailure();
  return b;
}

// A real of a file written before doubles were stored (asFloat): a 4-byte float.
inline double ReadReal(SaveStream& stream, bool asFloat) { return asFloat ? stream.ReadF32() : stream.ReadF64(); }
