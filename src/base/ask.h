// Asking the user for one value where a command needs it.
#pragma once

#include <cstdint>

#include "base/string.h"

class ConsoleStream;

// Asks for an integer between the bounds (both count as inside), offering
// the current value. At a terminal the prompt repeats until the answer lies
// inside the bounds; an empty answer takes the value offered; the end of the
// input (Ctrl-D) cancels. Where no one can answer (a pipe or a file), the
// question is cancelled without reading. Answers true when a value inside the
// bounds was accepted; otherwise false, and the value holds the last number
// typed. A null stream means the main interpreter's console.
bool AskInteger(int32_t* value, const String& title, int32_t minimum, int32_t maximum, ConsoleStream* parent = nullptr);
