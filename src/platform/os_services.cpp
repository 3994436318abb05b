#include "platform/os_services.h"

#include <fcntl.h>
#include <glob.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/terminal_device.h"

void ShowFatalError(const char* text) {
  std::fflush(stdout);
  std::fprintf(stderr, "Fatal Error: %s\n", text ? text : "");
  std::fflush(stderr);
}

void WriteStandardOutput(const char* text) {
  std::fputs(text ? text : "", stdout);
  std::fflush(stdout);
}

void WriteStandardError(const char* text) {
  std::fflush(stdout);
  std::fputs(text ? text : "", stderr);
  std::fflush(stderr);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void ProcessExit(int code) {
  std::fflush(stdout);
  std::exit(code & 0xFF);
}

namespace {
const auto g_start = std::chrono::steady_clock::now();
}

uint32_t ProcessClockMs() {
  auto d = std::chrono::steady_clock::now() - g_start;
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

void SleepMilliseconds(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t CalendarNow() { return static_cast<int64_t>(std::time(nullptr)); }

std::string CalendarText(int64_t time) {
  std::time_t t = static_cast<std::time_t>(time);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return std::string(24, ' ') + "\n";
  // The fixed English form of the C library's calendar text, whatever the locale.
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", days[tm.tm_wday % 7], months[tm.tm_mon % 12],
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 1900 + tm.tm_year);
  return buf;
}

std::string GetEnvironment(const char* name, bool* found) {
  const char* v = name ? std::getenv(name) : nullptr;
  if (found) *found = v != nullptr;
  return v ? std::string(v) : std::string();
}

bool SetEnvironment(const char* name, const char* value) {
  if (!name || !*name) return false;
  return (value ? ::setenv(name, value, 1) : ::unsetenv(name)) == 0;
}

std::string WorkingDirectory() {
  std::string buf(4096, '\0');
  if (!::getcwd(buf.data(), buf.size())) return std::string();
  buf.resize(std::strlen(buf.c_str()));
  return buf;
}

bool ChangeWorkingDirectory(const char* path) { return path && *path && ::chdir(path) == 0; }

uint64_t FreeBytesAt(const char* path) {
  struct statvfs sv;
  if (!path || !*path || ::statvfs(path, &sv) != 0) return UINT64_MAX;
  return static_cast<uint64_t>(sv.f_bavail) * static_cast<uint64_t>(sv.f_frsize);
}

uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long size = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(size);
}

uint64_t AvailableMemoryBytes() {
  uint64_t available = 0, swapFree = 0;
  bool told = false;
  if (FILE* f = std::fopen("/proc/meminfo", "r")) {
    char name[64];
    unsigned long long kib = 0;
    while (std::fscanf(f, "%63s %llu kB", name, &kib) == 2) {
      if (std::strcmp(name, "MemAvailable:") == 0) {
        available = kib * 1024;
        told = true;
      } else if (std::strcmp(name, "SwapFree:") == 0) {
        swapFree = kib * 1024;
      }
    }
    std::fclose(f);
  }
  if (told) return available + swapFree;
  struct sysinfo info {};
  if (::sysinfo(&info) != 0) return 0;
  return (static_cast<uint64_t>(info.totalram) + info.totalswap) * info.mem_unit;
}

std::vector<std::string> MatchingFiles(const char* pattern, bool directories) {
  std::vector<std::string> names;
  if (!pattern || !*pattern) return names;
  glob_t g{};
  if (::glob(pattern, GLOB_MARK, nullptr, &g) == 0) {
    for (size_t i = 0; i < g.gl_pathc; ++i) {
      std::string p = g.gl_pathv[i];
      bool dir = !p.empty() && p.back() == '/';
      if (dir && !directories) continue;
      if (dir) p.pop_back();
      size_t slash = p.rfind('/');
      names.push_back(slash == std::string::npos ? p : p.substr(slash + 1));
    }
  }
  ::globfree(&g);
  return names;
}

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

int RunShell(const char* command, const char* shell) {
  bool interactive = !command || !*command;
  bool terminal = StdinIsTerminal();
  if (interactive && !terminal) return -1;
  std::fflush(nullptr);
  SuspendTerminal();
  pid_t pid = ::fork();
  if (pid == 0) {
    if (!terminal) {
      int null = ::open("/dev/null", O_RDONLY);
      if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::close(null);
      }
    }
    std::signal(SIGINT, SIG_DFL);
    if (interactive) {
      const char* sh = (shell && *shell) ? shell : "/bin/sh";
      ::execl(sh, sh, static_cast<char*>(nullptr));
    } else {
      ::execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
    }
    ::_exit(127);
  }
  int status = -1;
  if (pid > 0) {
    // Ctrl-C belongs to the command while it runs.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGINT, &ignore, &old);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ::sigaction(SIGINT, &old, nullptr);
  }
  ResumeTerminal();
  if (pid < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void HeapStatistics(uint64_t& freeBytes, uint64_t& usedBytes) {
  struct mallinfo2 mi = ::mallinfo2();
  freeBytes = mi.fordblks;
  usedBytes = mi.uordblks + mi.hblkhd;
}

void* MapLargeArea(uint64_t bytes) {
  constexpr uint64_t kHugePage = uint64_t{2} << 20;
  const uint64_t size = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  if (size == 0 || size < bytes) return nullptr;
  // One huge page more than asked, so that the area can start on a huge-page boundary.
  const uint64_t mapped = size + kHugePage;
  void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(p);
  const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
  if (aligned > start) ::munmap(p, aligned - start);
  const uintptr_t end = start + mapped;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void UnmapLargeArea(void* area, uint64_t bytes) {
  constexpr uint64_t kHugePage = uint64_t{2} << 20;
  if (area) ::munmap(area, (bytes + kHugePage - 1) & ~(kHugePage - 1));
}
