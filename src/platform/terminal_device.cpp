#include "platform/terminal_device.h"

#include "platform/os_services.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include <editline/readline.h>

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
    : interactive_(isatty(STDIN_FILENO) != 0),
      outputTerminal_(isatty(STDOUT_FILENO) != 0),
      statusTerminal_(!outputTerminal_ && isatty(STDERR_FILENO) != 0) {
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
  WriteTerminal(text);
  std::fflush(stdout);
}

void TerminalDevice::WriteTerminal(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p == '\r' || *p == '\n') {
      // Whatever stood beyond the cursor from an earlier, longer text goes:
      // what stands on the line is then just the text before the cursor.
      if (cursor_ > 0 && cursor_ < shown_) out += "\033[K";
      out += *p;
      if (*p == '\n')
        shown_ = 0;
      else if (cursor_ > 0)
        shown_ = cursor_;
      cursor_ = 0;
      continue;
    }
    out += *p;
    ++cursor_;
  }
  std::fputs(out.c_str(), stdout);
}

void TerminalDevice::WriteRendered(const char* text) {
  bool finished = false;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      line_ += '\n';
      std::fputs(line_.c_str(), stdout);
      line_.clear();
      column_ = 0;
      finished = true;
      progress_ = false;
    } else if (*p == '\r') {
      column_ = 0;
      progress_ = true;
    } else {
      if (column_ < line_.size())
        line_[column_] = *p;
      else
        line_ += *p;
      ++column_;
    }
  }
  // A finished line reaches the file or pipe at once.
  if (finished) std::fflush(stdout);
  // Only a line that overwrites itself (a progress or status line) is shown.
  if (statusTerminal_ && (progress_ || statusShown_)) ShowStatus(!progress_);
}

// The unfinished line on standard error, overwriting itself, at most ten
// times a second; cleared when the line is finished.
void TerminalDevice::ShowStatus(bool finished) {
  if (finished || line_.empty()) {
    if (statusShown_) std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    statusShown_ = false;
    return;
  }
  const uint32_t now = ProcessClockMs();
  if (statusShown_ && now - statusTime_ < 100) return;
  statusTime_ = now;
  statusShown_ = true;
  std::fputs("\r", stderr);
  std::fputs(line_.c_str(), stderr);
  std::fputs("\033[K", stderr);
  std::fflush(stderr);
}

void TerminalDevice::FlushRenderedLine() {
  if (line_.empty()) return;
  std::fputs(line_.c_str(), stdout);
  line_.clear();
  column_ = 0;
  if (statusTerminal_) ShowStatus(true);
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
  for (size_t p = pending_.find(static_cast<char>(key)); p != std::string::npos;
       p = pending_.find(static_cast<char>(key), p + 1)) {
    // An arrow or function key typed ahead is kept for the prompt: its
    // escape sequence is no ESC.
    if (key == 27 && p + 1 < pending_.size() && (pending_[p + 1] == '[' || pending_[p + 1] == 'O')) continue;
    pending_.erase(0, p + 1);
    return true;
  }
  return false;
}

// The editor's keyboard: keys typed ahead while a command ran come first,
// then the terminal. An ESC reaches the editor only as the start of a key's
// escape sequence (ESC [ or ESC O, which arrives whole); any other ESC is
// dropped, so that it never joins the next key typed. A Ctrl-C or the end of
// the input ends the line (-1).
int TerminalDevice::NextEditorKey() {
  auto next = [this](int waitMs) -> int {
    if (!pending_.empty()) {
      const unsigned char c = static_cast<unsigned char>(pending_[0]);
      pending_.erase(0, 1);
      return c;
    }
    if (waitMs >= 0) {
      pollfd pfd{STDIN_FILENO, POLLIN, 0};
      if (poll(&pfd, 1, waitMs) <= 0 || !(pfd.revents & POLLIN)) return -2;
    }
    for (;;) {
      unsigned char c = 0;
      const ssize_t n = read(STDIN_FILENO, &c, 1);
      if (n > 0) return c;
      if (n < 0 && errno == EINTR && !g_interrupt) continue;
      return -1;
    }
  };
  int c = next(-1);
  while (c == 27) {
    const int after = next(kEscapeSequenceMs);
    if (after == '[' || after == 'O') {
      pending_.insert(pending_.begin(), static_cast<char>(after));
      return c;
    }
    c = after == -2 ? next(-1) : after;
  }
  return c;
}

int TerminalDevice::EditorGetc(FILE*) { return g_terminal ? g_terminal->NextEditorKey() : -1; }

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
  } else if (!ReadEditedLine(line, prompt)) {
    return false;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return true;
}

// The prompt with line editing and the history of typed lines (arrow keys,
// Ctrl-A and Ctrl-E, ...). Escape sequences are the editor's: an arrow key or
// a lone ESC never reaches the command. Ctrl-C abandons the line. Lines typed
// ahead while the last command ran are edited first.
bool TerminalDevice::ReadEditedLine(std::string& line, const char* prompt) {
  EnterLineMode();
  TakeInterrupt();
  std::fflush(stdout);
  shown_ = cursor_ = 0;
  if (!editorReady_) {
    rl_getc_function = &TerminalDevice::EditorGetc;
    rl_initialize();
    using_history();
    editorReady_ = true;
  }
  char* typed = readline(prompt ? prompt : "");
  EnterRunMode();
  if (TakeInterrupt()) {
    std::free(typed);
    Write("\n");
    line.clear();
    return true;
  }
  if (!typed) {  // the end of the terminal's input
    Write("\n");
    return false;
  }
  line = typed;
  std::free(typed);
  if (!line.empty()) add_history(line.c_str());
  // What an editor lets through that no command can hold: control characters.
  line.erase(
      std::remove_if(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 32 && c != '\t'; }),
      line.end());
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
