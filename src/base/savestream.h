// The save stream: anything that writes and reads a run of bytes. Values are
// stored little-endian, field by field, whatever the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class SaveStream {
 public:
  virtual ~SaveStream() = default;
  virtual void Write(const void* data, size_t count) = 0;
  // Reads exactly `count` bytes or throws the stream's read error.
  virtual void Read(void* data, size_t count) = 0;
  // Bytes left to read; streams that cannot tell answer the largest value.
  virtual uint64_t Remaining() const { return UINT64_MAX; }
  // Throws the stream's read error unless `count` more bytes can be read:
  // counts taken from a file are checked with it before anything is sized by them.
  void CheckAvailable(uint64_t count) const {
    if (count > Remaining()) ReadFailure();
  }
  [[noreturn]] virtual void ReadFailure() const;

  void WriteU8(uint8_t v) { Write(&v, 1); }
  void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
  void WriteU32(uint32_t v) {
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    Write(b, 4);
  }
  void WriteU64(uint64_t v) {
    WriteU32(static_cast<uint32_t>(v));
    WriteU32(static_cast<uint32_t>(v >> 32));
  }
  void WriteF32(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    WriteU32(u);
  }
  void WriteF64(double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    WriteU64(u);
  }

  uint8_t ReadU8() {
    uint8_t v;
    Read(&v, 1);
    return v;
  }
  // A flag byte of a save record: 0 or 1, anything else is a corrupt record.
  uint8_t ReadFlag() {
    uint8_t v = ReadU8();
    if (v > 1) ReadFailure();
    return v;
  }
  int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
  uint32_t ReadU32() {
    unsigned char b[4];
    Read(b, 4);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
  }
  uint64_t ReadU64() {
    uint64_t lo = ReadU32();
    return lo | static_cast<uint64_t>(ReadU32()) << 32;
  }
  float ReadF32() {
    uint32_t u = ReadU32();
    float v;
    std::memcpy(&v, &u, 4);
    return v;
  }
  double ReadF64() {
    uint64_t u = ReadU64();
    double v;
    std::memcpy(&v, &u, 8);
    return v;
  }
};

// One double read through the stream (restore code reading single values).
inline double ReadDouble(SaveStream& stream) { return stream.ReadF64(); }

// A save stream that writes nothing and only counts the bytes: SAVE measures
// the file with it before the disk-space check.
class CountFile : public SaveStream {
 public:
  CountFile() = default;
  void Write(const void*, size_t count) override { count_ += count; }
  void Read(void*, size_t) override { ReadFailure(); }
  uint64_t Remaining() const override { return 0; }
  uint64_t Count() const { return count_; }

 private:
  uint64_t count_ = 0;
};
