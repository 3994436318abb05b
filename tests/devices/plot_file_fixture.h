// What the tests of the file devices share: a folder of their own, the
// program's names, an interpreter on a fake console whose current line a test
// sets, and the standard tools that check written files when installed.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "base/temp_dir.h"
#include "support/fake_device.h"

class PlotFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  ProgramIdentity saved = Identity();
  FakeDevice console;
  MacroTable macros;
  CommandType interp{0, &macros, true, &console};

  void SetUp() override {
    Identity().upperName = "TERRAX";
    Identity().lowerName = "terrax";
    PlotOutputName() = String();
  }
  void TearDown() override {
    Identity() = saved;
    PlotOutputName() = String();
  }

  // Makes `text` the interpreter's current line, read from its first word.
  CommandType& Line(const char* text) {
    interp.ClearTokens();
    interp.Expand(text);
    return interp;
  }
  // The message of the exception that `action` raises ("" when none).
  template <class Action>
  static std::string Failure(Action action) {
    try {
      action();
    } catch (const KWRExcept& e) {
      return e.Text();
    }
    return "";
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
  static size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }
};

// Whether a program is on the path.
inline bool HaveTool(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; its standard output and error, and its exit status.
inline int RunTool(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
