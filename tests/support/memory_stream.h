// A save stream over bytes in memory. A short read fills the target with
// zeros and then fails with the stream's read error.
#pragma once

#include <cstring>
#include <string>

#include "base/savestream.h"

class MemoryStream : public SaveStream {
 public:
  std::string bytes;
  size_t pos = 0;
  void Write(const void* data, size_t count) override { bytes.append(static_cast<const char*>(data), count); }
  void Read(void* data, size_t count) override {
    std::memset(data, 0, count);
    if (count > Remaining()) ReadFailure();
    bytes.copy(static_cast<char*>(data), count, pos);
    pos += count;
  }
  uint64_t Remaining() const override { return bytes.size() - pos; }
};
