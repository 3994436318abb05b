#include "platform/terminal_device.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct QueuedLine {
  std::string text;
  int key;
};
std::deque<QueuedLine> g_queue;

volatile std::sig_atomic_t g_interrupt = 0;
termios g_savedTermios;
// Set while the terminal is out of its normal mode, so that the handler can
// put it back before the program dies.
volatile std::sig_atomic_t g_termiosSaved = 0;
TerminalDevice* g_terminal = nullptr;

void OnInterrupt(int) {
  if (g_interrupt) {
    // A second Ctrl-C before the first was acted on: give up, leaving the
    // terminal as it was found.
    if (g_termiosSaved) tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTermios);
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    return;
  }
  g_interrupt = 1;
}

// A signal that ends the program (a hang-up, a kill, Ctrl-\): the terminal
// is put back before the signal takes its ordinary course.
void OnEndingSignal(int signal) {
  if (g_termiosSaved) tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTermios);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void QueueCommandLine(const char* text, int key) {
  if (key == 27) return;
  g_queue.push_back({text ? text : "", key == 0 ? 13 : key});
}

bool TakeQueuedLine(std::string& text, int& key) {
  if (g_queue.empty()) return false;
  text = g_queue.front().text;
  key = g_queue.front().key;
  g_queue.pop_front();
  return true;
}

void InstallInterruptHandler() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no restart: a read at the prompt sees the interrupt
  sigaction(SIGINT, &sa, nullptr);
  sa.sa_handler = OnEndingSignal;
  for (int signal : {SIGTERM, SIGHUP, SIGQUIT}) sigaction(signal, &sa, nullptr);
}

bool TakeInterrupt() {
  if (!g_interrupt) return false;
  g_interrupt = 0;
  return true;
}

TerminalDevice::TerminalDevice()
    : interactive_(isatty(STDIN_FILENO) != 0), outputTerminal_(isatty(STDOUT_FILENO) != 0) {
  if (interactive_ && tcgetattr(STDIN_FILENO, &g_savedTermios) == 0) {
    termiosSaved_ = true;
    g_termiosSaved = 1;
    EnterRunMode();
  }
  if (!g_terminal) g_terminal = this;
}

TerminalDevice::~TerminalDevice() {
  FlushRenderedLine();
  std::fflush(stdout);
  if (termiosSaved_) {
    tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTermios);
    g_termiosSaved = 0;
  }
  if (g_terminal == this) g_terminal = nullptr;
}

void SuspendTerminal() {
  if (!g_terminal) return;
  g_terminal->FlushRenderedLine();
  std::fflush(stdout);
  g_terminal->EnterLineMode();
}

void ResumeTerminal() {
  if (g_terminal) g_terminal->EnterRunMode();
  TakeInterrupt();
}

void TerminalDevice::Write(const char* text) {
  if (!text) return;
  if (!outputTerminal_) {
    WriteRendered(text);
    return;
  }
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void TerminalDevice::WriteRendered(const char* text) {
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      line_ += '\n';
      std::fputs(line_.c_str(), stdout);
      line_.clear();
      column_ = 0;
    } else if (*p == '\r') {
      column_ = 0;
    } else {
      if (column_ < line_.size()) line_[column_] = *p;
      else line_ += *p;
      ++column_;
    }
  }
}

void TerminalDevice::FlushRenderedLine() {
  if (line_.empty()) return;
  std::fputs(line_.c_str(), stdout);
  line_.clear();
  column_ = 0;
}

void TerminalDevice::EnterLineMode() {
  if (termiosSaved_) tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTermios);
}

void TerminalDevice::EnterRunMode() {
  if (!termiosSaved_) return;
  termios t = g_savedTermios;
  t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &t);
}

void TerminalDevice::PollPending() {
  if (!interactive_) return;
  char buf[64];
  for (;;) {
    pollfd pfd{STDIN_FILENO, POLLIN, 0};
    if (poll(&pfd, 1, 0) <= 0 || !(pfd.revents & POLLIN)) break;
    ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) break;
    pending_.append(buf, static_cast<size_t>(n));
  }
}

bool TerminalDevice::KeyPressed(int key) {
  if (key == 27 && TakeInterrupt()) return true;
  PollPending();
  size_t p = pending_.find(static_cast<char>(key));
  if (p == std::string::npos) return false;
  pending_.erase(0, p + 1);
  return true;
}

int TerminalDevice::GetKey() {
  if (TakeInterrupt()) return 27;
  if (!interactive_) return 0;
  std::fflush(stdout);
  PollPending();
  if (!pending_.empty()) {
    int c = static_cast<unsigned char>(pending_[0]);
    pending_.erase(0, 1);
    return c;
  }
  termios t = g_savedTermios;
  t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &t);
  unsigned char c = 0;
  ssize_t n = read(STDIN_FILENO, &c, 1);
  EnterRunMode();
  if (n < 0) {
    TakeInterrupt();
    return 27;
  }
  return n == 0 ? 27 : c;
}

bool TerminalDevice::ReadLine(std::string& line, const char* prompt, const char* /*initial*/) {
  int key = 0;
  if (TakeQueuedLine(line, key)) return true;
  line.clear();
  if (!interactive_) {
    std::fflush(stdout);
    char* buf = nullptr;
    size_t cap = 0;
    ssize_t n;
    // A Ctrl-C while waiting stays pending for the ESC poll; the input goes on.
    while ((n = getline(&buf, &cap, stdin)) < 0 && ferror(stdin) && errno == EINTR) clearerr(stdin);
    if (n < 0) {
      std::free(buf);
      return false;
    }
    line.assign(buf, static_cast<size_t>(n));
    std::free(buf);
  } else {
    pending_.clear();
    EnterLineMode();
    TakeInterrupt();
    Write(prompt ? prompt : "");
    std::fflush(stdout);
    for (;;) {
      char c;
      ssize_t n = read(STDIN_FILENO, &c, 1);
      if (n < 0) {
        if (TakeInterrupt()) {  // Ctrl-C at the prompt abandons the line
          Write("\n");
          line.clear();
          break;
        }
        continue;
      }
      if (n == 0) {
        if (line.empty()) {
          Write("\n");
          return false;
        }
        break;
      }
      if (c == '\n') break;
      line += c;
    }
    EnterRunMode();
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return true;
}

const char* TerminalDevice::Name() const { return interactive_ ? "Terminal" : "GUI Terminal"; }

void TerminalDevice::SetTitle(const char* text) {
  ConsoleDevice::SetTitle(text);
  if (outputTerminal_ && interactive_ && text) {
    std::fprintf(stdout, "\033]0;%s\007", text);
    std::fflush(stdout);
  }
}
