// An interpreter with the scripting level installed on a fake console, and
// helpers that type lines and read back what was printed.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "base/command.h"
#include "support/interp_fixture.h"
#include "zolt/zolt_interpreter.h"

class ZoltFixture : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, false, &device};
  ZoltInterpreter zolt;

  ZoltFixture() { interp.SetScriptLevel(&zolt); }
  ~ZoltFixture() override { SetCaseSensitive(false); }

  // Types the lines and answers everything printed (typed lines echoed).
  std::string Run(std::initializer_list<std::string> lines) {
    for (const std::string& l : lines) device.lines.push_back(l);
    RunLines(interp, device, {});
    return device.Take();
  }
  std::string Run(const std::vector<std::string>& lines) {
    for (const std::string& l : lines) device.lines.push_back(l);
    RunLines(interp, device, {});
    return device.Take();
  }

  // Defines t with the lines as its body, runs it and prints x: answers
  // what came after the PRINT (or the error that ended the definition or the run).
  std::string ValueOf(std::initializer_list<std::string> body, const std::string& name = "x") {
    std::vector<std::string> lines{"define fn"};
    lines.insert(lines.end(), body.begin(), body.end());
    lines.insert(lines.end(), {"end", "fn", "print " + name});
    const std::string out = Run(lines);
    const std::string marker = "Terrax>print " + name + "\n";
    const size_t at = out.rfind(marker);
    return at == std::string::npos ? out : out.substr(at + marker.size());
  }

  // The first line that starts with "*** " (the error message), or "".
  static std::string Error(const std::string& out) {
    const size_t at = out.find("*** ");
    if (at == std::string::npos) return "";
    return out.substr(at + 4, out.find('\n', at) - at - 4);
  }

  ZoltSymbol* Symbol(const char* name) { return zolt.State().symbols.Find(String(name)); }
};
