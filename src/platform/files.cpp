#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

int RawOpen(const char* path, const RawOpenMode& mode) {
  if (!path || !*path) return -1;
  int flags = O_CLOEXEC;
  if (mode.read && mode.write)
    flags |= O_RDWR;
  else if (mode.write)
    flags |= O_WRONLY;
  else
    flags |= O_RDONLY;
  if (mode.create) flags |= O_CREAT;
  if (mode.create && mode.exclusive) flags |= O_EXCL;
  if (mode.truncate) flags |= O_TRUNC;
  if (mode.append) flags |= O_APPEND;
  int fd;
  do {
    fd = ::open(path, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    struct stat st;
    // A directory opens for reading but is no file.
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      errno = EISDIR;
      return -1;
    }
  }
  return fd;
}

int64_t RawRead(int fd, void* buffer, size_t count) {
  for (;;) {
    ssize_t n = ::read(fd, buffer, count);
    if (n >= 0) return n;
    if (errno != EINTR) return -1;
  }
}

bool RawWrite(int fd, const void* buffer, size_t count) {
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    ssize_t n = ::write(fd, p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    p += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

void RawStartWriteBack(int fd, int64_t offset, int64_t bytes) {
  ::sync_file_range(fd, offset, bytes, SYNC_FILE_RANGE_WRITE);
}

bool RawWriteBackAndDrop(int fd, int64_t offset, int64_t bytes) {
  const unsigned flags = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  while (::sync_file_range(fd, offset, bytes, flags) != 0) {
    if (errno == EINTR) continue;
    return errno != EIO && errno != ENOSPC;
  }
  ::posix_fadvise(fd, offset, bytes, POSIX_FADV_DONTNEED);
  return true;
}

int64_t RawSeek(int fd, int64_t position, bool fromEnd) {
  off_t r = ::lseek(fd, static_cast<off_t>(position), fromEnd ? SEEK_END : SEEK_SET);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t RawSize(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool RawClose(int fd) { return ::close(fd) == 0; }

bool PathExists(const char* path) {
  struct stat st;
  return path && *path && ::stat(path, &st) == 0;
}

bool PathIsDirectory(const char* path) {
  struct stat st;
  return path && *path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t PathSize(const char* path) {
  struct stat st;
  if (!path || !*path || ::stat(path, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool RemovePath(const char* path) { return path && ::unlink(path) == 0; }

bool RenamePath(const char* from, const char* to) { return from && to && std::rename(from, to) == 0; }

std::string TempDirectory() {
  const char* t = std::getenv("TMPDIR");
  return (t && *t) ? std::string(t) : std::string("/tmp");
}

int MakeUniqueFile(const std::string& dir, const char* prefix, std::string& path) {
  std::string templ = dir.empty() ? std::string(".") : dir;
  if (templ.back() != '/') templ += '/';
  templ += prefix ? prefix : "";
  templ += "XXXXXX";
  int fd = ::mkstemp(templ.data());
  if (fd < 0) return -1;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  path = templ;
  return fd;
}

void MatchPermissions(const char* path, const char* like) {
  struct stat st;
  mode_t bits;
  if (like && ::stat(like, &st) == 0) {
    bits = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    bits = 0666 & ~mask;
  }
  ::chmod(path, bits);
}

uint32_t LastSystemError() { return static_cast<uint32_t>(errno); }
