// Raw files of the operating system: descriptors, paths and unique names.
// The program's File type (base/file.h) buffers on top of these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How a file is opened.
struct RawOpenMode {
  bool read = false;
  bool write = false;
  bool create = false;     // make it when it does not exist
  bool truncate = false;   // cut an existing file to 0 bytes
  bool append = false;     // every write goes to the end
  bool exclusive = false;  // with create: fail when it exists
};

// A descriptor, or -1 when the file cannot be opened. New files get 0666
// less the process's mask.
int RawOpen(const char* path, const RawOpenMode& mode);
// Bytes read (0 at the end of the file), -1 on an error.
int64_t RawRead(int fd, void* buffer, size_t count);
// Writes all the bytes; false on an error (a full disk included).
bool RawWrite(int fd, const void* buffer, size_t count);
// Moves to an absolute position (from the end when `fromEnd`); the new
// position, or -1 on an error.
int64_t RawSeek(int fd, int64_t position, bool fromEnd = false);
// Size of an open file, -1 on an error.
int64_t RawSize(int fd);
bool RawClose(int fd);
// For a long file written in order: starts the range on its way to the disk
// without waiting for it.
void RawStartWriteBack(int fd, int64_t offset, int64_t bytes);
// Waits until the range is on the disk, then lets the system drop its cached
// pages. False when the disk failed to take it; other answers of the system
// (a descriptor that is not a disk file) change nothing and give true.
bool RawWriteBackAndDrop(int fd, int64_t offset, int64_t bytes);

bool PathExists(const char* path);
bool PathIsDirectory(const char* path);
// Size in bytes of the named file, -1 when it cannot be read.
int64_t PathSize(const char* path);
bool RemovePath(const char* path);
// Replaces `to` by `from` in one step (both in the same file system).
bool RenamePath(const char* from, const char* to);

// $TMPDIR when set and not empty, else "/tmp".
std::string TempDirectory();
// Creates a new file with a unique name "<dir>/<prefix>XXXXXX", open for
// reading and writing; the descriptor, or -1 (the name is then unchanged).
int MakeUniqueFile(const std::string& dir, const char* prefix, std::string& path);
// Gives a file the permission bits of `like` when that exists, else 0666
// less the process's mask (a file made by MakeUniqueFile has 0600).
void MatchPermissions(const char* path, const char* like);

// The error code of the last failed system call.
uint32_t LastSystemError();
