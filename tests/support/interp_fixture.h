// Runs typed lines through an interpreter on a fake device, as the terminal
// would with piped input, and collects what it prints.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "support/fake_device.h"

struct ProgramExit {
  int code;
};

inline void ThrowProgramExit(int code) { throw ProgramExit{code}; }

// Feeds `lines` to the interpreter's command loop until the input ends or the
// program exits; answers the exit code (0 at the end of the input).
template <class Interp>
int RunLines(Interp& interp, FakeDevice& device, std::initializer_list<const char*> lines) {
  for (const char* l : lines) device.lines.push_back(l);
  SetExitHandler(ThrowProgramExit);
  int code = 0;
  try {
    interp.Run(String("Terrax>"));
  } catch (const ProgramExit& e) {
    code = e.code;
  }
  SetExitHandler(nullptr);
  interp.ResetSources();
  return code;
}
