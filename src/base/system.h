// System services: the home directory, the version text, the clock and time
// stamps, the environment, directories and directory searches, free disk
// space and the system shell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string.h"

// The home directory: the environment variable OLVENA, else the "OLVENA="
// line of $HOME/.config/<program>/<program>.conf, else "." (the current
// directory). Kept in HomeDirectory() and returned.
String GetInstallDirectory();

// "3.00-261": the version number with two decimals, "-" and the update
// number with at least three digits; then " Alpha n" or " Beta n" for such
// releases.
String VersionString();

class System {
 public:
  // Seconds since 1 January 1970.
  static int64_t Time();
  static int TicksPerSecond() { return 1000; }
  // Milliseconds since the program started.
  static uint32_t Clock();
  // The C library's 24-character calendar text with its new line.
  static String CalendarText(int64_t time);
  // "hh:mm:ss Www Mmm dd yyyy", from the calendar text.
  static String TimeStamp(int64_t time);
  static String TimeStamp() { return TimeStamp(Time()); }
  // Tests put a fixed clock in place of the calendar (null restores it).
  static void SetTimeSource(int64_t (*source)());

  // Empty when not set.
  static String GetEnv(const String& name);
  // Failures are ignored.
  static void SetEnv(const String& name, const String& value);

  // The current directory, ending in "/"; empty when it cannot be read.
  static String CurrentDirectory();
  // A trailing separator is dropped from paths longer than one character.
  static bool ChangeDirectory(const String& path);
  // 0 on success, -1 on failure or for an empty name.
  static int Remove(const String& name);
  // Bytes available in the file system that holds the path (its directory
  // when the path names a file that does not exist yet); UINT64_MAX when it
  // cannot be told.
  static uint64_t FreeDiskSpace(const String& path);

  // Runs a command through the system shell and waits for it; an empty text
  // starts an interactive shell ($COMSPEC, else $SHELL, else /bin/sh) when
  // standard input is a terminal. PROMPT is set for it and restored after.
  static bool Shell(const String& command);

  // Directory search with a wildcard pattern; the attribute 0x10 includes
  // directories. FindFirst starts a search when none is active.
  String FindFirst(const String& pattern, uint32_t attributes = 0);
  String FindNext();
  void FindClose();
  bool Searching() const { return searching_; }

 private:
  bool searching_ = false;
  std::vector<std::string> found_;
  size_t next_ = 0;
};
