// Operating-system services behind the program's own types. Nothing above
// this folder calls the C library's output or the system directly.
#pragma once

#include <cstdint>
#include <string>

// The "Fatal Error" box: "Fatal Error: " and the text on standard error.
void ShowFatalError(const char* text);

// Ends the process through the runtime's normal exit (static objects are destroyed).
[[noreturn]] void ProcessExit(int code);

// Milliseconds of a steady clock since the program started.
uint32_t ProcessClockMs();
