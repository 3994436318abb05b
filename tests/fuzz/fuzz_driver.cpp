// Runs many batches of command lines through one interpreter, set up as the
// program sets itself up, so that a long fuzzing run does not pay for a
// process per input. fuzz.py writes its input (see tests/fuzz/README.md):
//
//   @@batch             a new batch: the model is made new before it runs
//   @@file NAME SIZE    then SIZE bytes and a new line: a file written into
//                       the current folder before the batch runs
//   any other line      a command line of the current batch
//
// On standard output: "@@start N" before batch N runs and "@@done N" after it
// has passed the checks. A fault ends the process at once with a line on
// standard error:
//   exit 70  "@@hang"    a line still runs after its budget and an ESC
//                        (Ctrl-C) sent at the end of the budget;
//   exit 71  "@@memory"  the resident memory went above its limit;
//   exit 72  "@@leak"    memory was left unreachable after a batch (builds
//                        with the address sanitizer only);
//   exit 73  "@@exit"    the run ended with a code other than 0 or 1.
// A crash or another sanitizer report ends it the usual way.
//
// Options: --budget SECONDS per line (default 1), --max-rss-mb MB (4096).
// TERRAX_FUZZ_PLANT_LEAK=WORD makes every line that begins with WORD leak a
// block, to show that a leak is caught; the program itself knows no such thing.
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/app.h"
#include "base/command.h"
#include "base/memory.h"
#include "gui/install_subsystems.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "platform/console_device.h"
#include "platform/terminal_device.h"
#include "zolt/zolt_interpreter.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define FUZZ_LEAK_CHECK 1
#else
#define FUZZ_LEAK_CHECK 0
#endif

namespace {

using Clock = std::chrono::steady_clock;

double g_budget = 1.0;
long g_maxRssMb = 4096;
std::string g_plantWord;

// What the watchdog watches: the batch, the line and when it began.
std::mutex g_lineMutex;
std::string g_line;
std::atomic<long> g_batch{0};
std::atomic<long long> g_lineStart{0};  // steady-clock ms; 0 between batches
std::atomic<bool> g_escSent{false};
std::atomic<long> g_escCount{0};  // lines that overran their budget and were stopped

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

long RssMb() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024) / 1024;
}

[[noreturn]] void Fault(int code, const char* kind, const std::string& detail) {
  std::string line;
  {
    std::lock_guard<std::mutex> lock(g_lineMutex);
    line = g_line;
  }
  std::fprintf(stderr, "@@%s batch %ld (%s): %s\n", kind, g_batch.load(), detail.c_str(), line.c_str());
  std::fflush(stderr);
  std::fflush(stdout);
  _exit(code);
}

char* volatile g_sink = nullptr;

// Hands the batch's lines to the interpreter as a pipe would, and starts the
// clock of each line.
class BatchDevice : public ConsoleDevice {
 public:
  std::deque<std::string> lines;
  long read = 0;  // lines handed over in all

  bool echo = false;  // TERRAX_FUZZ_ECHO: the program's output on standard error

  void Write(const char* text) override {
    if (echo) std::fputs(text, stderr);
  }
  int GetKey() override { return 0; }
  bool KeyPressed(int key) override { return key == 27 && TakeInterrupt(); }
  bool ReadLine(std::string& line, const char*, const char*) override {
    g_lineStart = 0;  // the watchdog waits for the next line
    TakeInterrupt();  // an ESC sent for the line before is spent
    g_escSent = false;
    if (lines.empty()) return false;
    line = std::move(lines.front());
    lines.pop_front();
    {
      std::lock_guard<std::mutex> lock(g_lineMutex);
      g_line = line;
    }
    if (!g_plantWord.empty() && line.compare(0, g_plantWord.size(), g_plantWord) == 0 &&
        (line.size() == g_plantWord.size() || line[g_plantWord.size()] == ' ')) {
      g_sink = new char[64];
      g_sink = nullptr;
    }
    ++read;
    g_lineStart = NowMs();
    return true;
  }
  const char* Name() const override { return "GUI Terminal"; }
};

// A line past its budget gets one ESC (Ctrl-C, as a user would press it);
// a line that still runs a budget later hangs.
void Watchdog() {
  const long long budgetMs = static_cast<long long>(g_budget * 1000);
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const long rss = RssMb();
    if (rss > g_maxRssMb) Fault(71, "memory", std::to_string(rss) + " MB");
    const long long start = g_lineStart;
    if (!start) continue;
    const long long ran = NowMs() - start;
    if (ran > 2 * budgetMs && g_escSent) Fault(70, "hang", "ESC did not stop it");
    if (ran > budgetMs && !g_escSent.exchange(true)) {
      ++g_escCount;
      kill(getpid(), SIGINT);
    }
  }
}

struct ProgramExit {
  int code;
};
void ThrowProgramExit(int code) { throw ProgramExit{code}; }

struct Batch {
  std::vector<std::string> lines;
  std::vector<std::pair<std::string, std::string>> files;
};

// Reads the next batch; false at the end of the input.
bool ReadBatch(std::istream& in, Batch& batch) {
  batch = Batch();
  std::string line;
  bool any = false;
  while (in.peek() != EOF) {
    if (in.peek() == '@') {
      std::streampos at = in.tellg();
      std::getline(in, line);
      if (line == "@@batch") {
        if (any) {
          in.seekg(at);
          return true;
        }
        any = true;
        continue;
      }
      if (line.compare(0, 7, "@@file ") == 0) {
        char name[256];
        size_t size = 0;
        if (std::sscanf(line.c_str() + 7, "%255s %zu", name, &size) != 2) {
          std::fprintf(stderr, "fuzz_driver: bad line: %s\n", line.c_str());
          std::exit(2);
        }
        std::string data(size, '\0');
        in.read(data.data(), static_cast<std::streamsize>(size));
        in.get();
        batch.files.emplace_back(name, std::move(data));
        any = true;
        continue;
      }
    } else {
      std::getline(in, line);
    }
    any = true;
    batch.lines.push_back(line);
  }
  return any;
}

}  // namespace

int main(int argc, char** argv) {
  static BatchDevice device;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--budget"))
      g_budget = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--max-rss-mb"))
      g_maxRssMb = std::atol(argv[i + 1]);
  }
  if (const char* w = std::getenv("TERRAX_FUZZ_PLANT_LEAK")) g_plantWord = w;
  device.echo = std::getenv("TERRAX_FUZZ_ECHO") != nullptr;

  // The program's own set-up, on a device that hands over the batches.
  static MacroTable macros;
  static ModelInterpreter interp(&macros, &device);
  static ZoltInterpreter zolt;
  static ModelApp app(&interp);
  interp.SetScriptLevel(&zolt);
  InstallSubsystems(interp.TheModel());
  zolt.Install(interp, interp.TheModel());
  InstallInterruptHandler();
  app.RegisterHelpTopics();
  interp.SetApp(&app);
  SetNonInteractiveRun(true);
  SetExitHandler(ThrowProgramExit);
  std::thread(Watchdog).detach();

  // The whole input is read first: a file section is read by its size.
  std::string all((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  std::istringstream in(all);
  all.clear();
  all.shrink_to_fit();

  Batch batch;
  for (long n = 1; ReadBatch(in, batch); ++n) {
    g_batch = n;
    std::printf("@@start %ld\n", n);
    std::fflush(stdout);
    for (const auto& [name, data] : batch.files) {
      FILE* f = std::fopen(name.c_str(), "wb");
      if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size()) {
        std::fprintf(stderr, "fuzz_driver: cannot write %s\n", name.c_str());
        return 2;
      }
      std::fclose(f);
    }
    device.lines.assign(batch.lines.begin(), batch.lines.end());
    // As the program's command loop: NEW (or the start) clears the model,
    // the macros and the memory pool, then the lines run until they end.
    try {
      // A command that ends the input early (as at the end of a command
      // file) leaves the rest of the batch to run after a NEW.
      bool again = true;
      while (again || !device.lines.empty()) {
        BeginModelDiscard();
        interp.ClearMacros();
        app.Reset();
        EmptyModelMemory();
        again = interp.Run(Identity().prompt);
      }
    } catch (const ProgramExit& e) {
      // A command ended the run: the next batch starts afresh, unless it
      // ended as a failure to start or a fatal error would.
      if (e.code != 0 && e.code != 1) Fault(73, "exit", "exit code " + std::to_string(e.code));
    }
    interp.ResetSources();
    g_lineStart = 0;
    {
      std::lock_guard<std::mutex> lock(g_lineMutex);
      g_line.clear();
    }
    const long rss = RssMb();
    if (rss > g_maxRssMb) Fault(71, "memory", std::to_string(rss) + " MB after the batch");
#if FUZZ_LEAK_CHECK
    // The model is cleared first, so that what the batch made and lost is
    // told apart from what the model holds.
    BeginModelDiscard();
    interp.ClearMacros();
    app.Reset();
    EmptyModelMemory();
    if (__lsan_do_recoverable_leak_check()) Fault(72, "leak", "unreachable memory after the batch");
#endif
    std::printf("@@done %ld\n", n);
    std::fflush(stdout);
  }
  std::printf("@@lines %ld\n@@esc %ld\n", device.read, g_escCount.load());
  return 0;
}
