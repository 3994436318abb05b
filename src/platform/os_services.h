// Operating-system services behind the program's own types. Nothing above
// this folder calls the C library's output or the system directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The "Fatal Error" box: "Fatal Error: " and the text on standard error.
void ShowFatalError(const char* text);
// Text on standard output or standard error as it is, flushed.
void WriteStandardOutput(const char* text);
void WriteStandardError(const char* text);
// Whether standard error is a terminal.
bool StandardErrorIsTerminal();

// Ends the process through the runtime's normal exit (static objects are destroyed).
[[noreturn]] void ProcessExit(int code);

// Milliseconds of a steady clock since the program started.
uint32_t ProcessClockMs();
void SleepMilliseconds(int ms);

// Seconds since 1 January 1970.
int64_t CalendarNow();
// The C library's 24-character calendar text of a time in local time,
// "Www Mmm dd hh:mm:ss yyyy" and a new line (English names in every locale).
std::string CalendarText(int64_t time);

// The value of an environment variable; `found` tells whether it is set.
std::string GetEnvironment(const char* name, bool* found = nullptr);
// Sets (or, with a null value, removes) a variable for the program and the
// processes it starts; false when that failed.
bool SetEnvironment(const char* name, const char* value);

// The current directory, empty when it cannot be read.
std::string WorkingDirectory();
bool ChangeWorkingDirectory(const char* path);
// Bytes available to the program in the file system that holds `path`;
// UINT64_MAX when it cannot be told.
uint64_t FreeBytesAt(const char* path);

// Names (without their directory) of the entries that match a wildcard
// pattern ("*.dat", "dir/a?.sav"), in name order; directories only when asked.
std::vector<std::string> MatchingFiles(const char* pattern, bool directories);

// Whether standard input is a terminal.
bool StdinIsTerminal();

// Runs a command through /bin/sh and waits for it; with an empty command
// starts `shell` interactively (only when standard input is a terminal).
// Standard input of a command is the terminal, or /dev/null when the
// program's input is a pipe, so the command cannot eat the program's input.
// The exit status, or -1 when nothing was run.
int RunShell(const char* command, const char* shell);

// Heap statistics of the C library: bytes lying free and bytes in use.
void HeapStatistics(uint64_t& freeBytes, uint64_t& usedBytes);

// Bytes of physical memory of the machine; 0 when it cannot be told.
uint64_t PhysicalMemoryBytes();
// Bytes the program could still be given: available physical memory plus
// free swap (the totals when the kernel does not tell); 0 when unknown.
uint64_t AvailableMemoryBytes();

// A fresh zero-filled area of the address space, aligned to 2 MiB and marked
// so that the kernel may back it with huge pages; pages take memory only when
// first touched. Null when the system refuses.
void* MapLargeArea(uint64_t bytes);
// Hands back an area of MapLargeArea with the byte count it was asked for.
void UnmapLargeArea(void* area, uint64_t bytes);
