// A save stream over a byte buffer for the model tests.
#pragma once

#include <cstring>
#include <vector>

#include "base/savestream.h"

class MemoryStream : public SaveStream {
 public:
  std::vector<unsigned char> bytes;
  size_t pos = 0;
  void Write(const void* data, size_t count) override {
    auto p = static_cast<const unsigned char*>(data);
    bytes.insert(bytes.end(), p, p + count);
  }
  void Read(void* data, size_t count) override {
    if (count > bytes.size() - pos) ReadFailure();
    std::memcpy(data, bytes.data() + pos, count);
    pos += count;
  }
  uint64_t Remaining() const override { return bytes.size() - pos; }
};
