// A fresh folder that a test works in: made and entered at the start,
// left and removed at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDir {
 public:
  TempDir() : old_(std::filesystem::current_path()) {
    std::string templ = (std::filesystem::temp_directory_path() / "terrax-test-XXXXXX").string();
    path_ = mkdtemp(templ.data());
    std::filesystem::current_path(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

  static void Write(const std::string& name, const std::string& bytes) {
    std::ofstream f(name, std::ios::binary);
    f << bytes;
  }
  static std::string Read(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  // A save file without its checksum trailer (20 bytes), as files were
  // written before it: damage to a section then meets the section's checks.
  static std::string ReadSections(const std::string& name) {
    std::string bytes = Read(name);
    bytes.resize(bytes.size() >= 20 ? bytes.size() - 20 : 0);
    return bytes;
  }

 private:
  std::filesystem::path old_;
  std::filesystem::path path_;
};

// A save stream over bytes in memory.
#include <cstring>
#include "base/except.h"
#include "base/savestream.h"

class BufferStream : public SaveStream {
 public:
  std::string bytes;
  size_t pos = 0;
  void Write(const void* data, size_t count) override { bytes.append(static_cast<const char*>(data), count); }
  void Read(void* data, size_t count) override {
    if (count > bytes.size() - pos) ReadFailure();
    std::memcpy(data, bytes.data() + pos, count);
    pos += count;
  }
  uint64_t Remaining() const override { return bytes.size() - pos; }
};
