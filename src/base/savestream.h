// The save stream: anything that writes and reads a run of bytes. Values are
// stored little-endian, field by field, whatever the machine.
#pragma once

#include <bit>
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
  // A stream that only measures: a record of fixed size may then pass over
  // its bytes with Skip instead of writing them.
  virtual bool Measuring() const { return false; }
  virtual void Skip(uint64_t /*count*/) {}

  void WriteU8(uint8_t v) {
    if (put_ != putEnd_) {
      *put_++ = v;
      return;
    }
    Write(&v, 1);
  }
  void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
  void WriteU32(uint32_t v) {
    unsigned char b[4];
    Store(b, v, 4);
    if (putEnd_ - put_ >= 4) {
      std::memcpy(put_, b, 4);
      put_ += 4;
      return;
    }
    Write(b, 4);
  }
  void WriteU64(uint64_t v) {
    unsigned char b[8];
    Store(b, v, 8);
    if (putEnd_ - put_ >= 8) {
      std::memcpy(put_, b, 8);
      put_ += 8;
      return;
    }
    Write(b, 8);
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
  // A run of doubles, stored as WriteF64 stores each of them.
  void WriteF64s(const double* v, size_t n) {
    if constexpr (std::endian::native == std::endian::little) {
      if (static_cast<size_t>(putEnd_ - put_) >= n * 8) {
        std::memcpy(put_, v, n * 8);
        put_ += n * 8;
        return;
      }
    }
    for (size_t i = 0; i < n; ++i) WriteF64(v[i]);
  }

  uint8_t ReadU8() {
    if (get_ != getEnd_) return *get_++;
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
    if (getEnd_ - get_ >= 4) {
      std::memcpy(b, get_, 4);
      get_ += 4;
    } else {
      Read(b, 4);
    }
    return static_cast<uint32_t>(Load(b, 4));
  }
  uint64_t ReadU64() {
    unsigned char b[8];
    if (getEnd_ - get_ >= 8) {
      std::memcpy(b, get_, 8);
      get_ += 8;
    } else {
      Read(b, 8);
    }
    return Load(b, 8);
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

 protected:
  // A stream with a buffer of its own may lend room in it: the typed writers
  // then store their bytes at put_ (up to putEnd_) and the typed readers take
  // them from get_ (up to getEnd_), calling the virtual Write or Read only
  // when the lent room is used up. A stream that lends nothing sees every
  // value through Write and Read.
  unsigned char* put_ = nullptr;
  unsigned char* putEnd_ = nullptr;
  const unsigned char* get_ = nullptr;
  const unsigned char* getEnd_ = nullptr;

 private:
  // The n low bytes of v, least significant first.
  static void Store(unsigned char* b, uint64_t v, int n) {
    if constexpr (std::endian::native == std::endian::little) {
      if (n == 4) {
        const uint32_t w = static_cast<uint32_t>(v);
        std::memcpy(b, &w, 4);
      } else {
        std::memcpy(b, &v, 8);
      }
    } else {
      for (int i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
    }
  }
  static uint64_t Load(const unsigned char* b, int n) {
    if constexpr (std::endian::native == std::endian::little) {
      if (n == 4) {
        uint32_t w;
        std::memcpy(&w, b, 4);
        return w;
      }
      uint64_t v;
      std::memcpy(&v, b, 8);
      return v;
    } else {
      uint64_t v = 0;
      for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(b[i]) << (8 * i);
      return v;
    }
  }
};

// One double read through the stream (restore code reading single values).
inline double ReadDouble(SaveStream& stream) { return stream.ReadF64(); }

// A save stream that writes nothing and only counts the bytes: SAVE measures
// the file with it before the disk-space check.
class CountFile : public SaveStream {
 public:
  CountFile() { Lend(); }
  CountFile(const CountFile&) = delete;
  CountFile& operator=(const CountFile&) = delete;
  void Write(const void*, size_t count) override {
    count_ += Lent() + count;
    Lend();
  }
  void Read(void*, size_t) override { ReadFailure(); }
  uint64_t Remaining() const override { return 0; }
  bool Measuring() const override { return true; }
  void Skip(uint64_t count) override { count_ += count; }
  uint64_t Count() const { return count_ + Lent(); }

 private:
  // The typed writers store into scratch room that is counted and reused.
  void Lend() {
    put_ = scratch_;
    putEnd_ = scratch_ + sizeof scratch_;
  }
  uint64_t Lent() const { return static_cast<uint64_t>(put_ - scratch_); }

  uint64_t count_ = 0;
  unsigned char scratch_[256];
};
