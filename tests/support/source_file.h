// A file of the source tree, found from the test program: a source path the
// compiler was given relative to the build folder is taken from there (the
// test programs lie one folder below it).
#pragma once

#include <filesystem>
#include <string>

inline std::string SourceTreeFile(const char* thisFile, const std::string& relative) {
  std::filesystem::path source(thisFile);
  if (source.is_relative()) {
    const std::filesystem::path build = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
    source = build / source;
  }
  return (source.parent_path() / relative).lexically_normal().string();
}
