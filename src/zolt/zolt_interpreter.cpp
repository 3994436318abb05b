#include "zolt/zolt_interpreter.h"

#include "base/savestream.h"

int ZoltInterpreter::Dispatch(CommandType& interp) { return interp.ExecuteGeneral(); }

int ZoltInterpreter::Print(CommandType& interp) { return interp.PrintGeneral(); }

int ZoltInterpreter::Set(CommandType& interp) { return interp.SetGeneral(); }

// No scripting state exists yet: nothing to clear.
void ZoltInterpreter::Clear(CommandType&) {}

namespace {
// Statements, symbols, the fifty zoltcall lists and the memory blocks.
constexpr int kStateLists = 53;
}  // namespace

// No scripting state exists yet: every list is empty and the options are off.
void ZoltInterpreter::SaveState(CommandType&, SaveStream& stream) {
  for (int i = 0; i < kStateLists; ++i) stream.WriteU32(0);
  for (int i = 0; i < 4; ++i) stream.WriteU8(0);
}

// Only a state without statements, symbols, registrations or memory blocks
// can be read; the options are dropped.
void ZoltInterpreter::RestoreState(CommandType&, SaveStream& stream) {
  for (int i = 0; i < kStateLists; ++i)
    if (stream.ReadU32() != 0) stream.ReadFailure();
  for (int i = 0; i < 4; ++i) stream.ReadU8();
}
