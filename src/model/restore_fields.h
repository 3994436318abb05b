// Readers that the model's restore code shares: the program version of the
// file being read and a real that older files stored as a 4-byte float.
// A presence byte is the save stream's flag byte (SaveStream::ReadFlag).
#pragma once

#include <cstdint>

#include "base/app.h"
#include "base/savestream.h"

// The program version of the file that RESTORE is reading.
inline int32_t FileVersion() { return CurrentRestoreVersions().program; }

// A real of a file written before doubles were stored (asFloat): a 4-byte float.
inline double ReadReal(SaveStream& stream, bool asFloat) { return asFloat ? stream.ReadF32() : stream.ReadF64(); }
