#include "platform/system.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

void ShowFatalError(const char* text) {
  std::fflush(stdout);
  std::fprintf(stderr, "Fatal Error: %s\n", text ? text : "");
  std::fflush(stderr);
}

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
