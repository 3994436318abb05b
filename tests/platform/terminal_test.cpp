// The terminal device on a pseudo-terminal.
#include "platform/terminal_device.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <csignal>
#include <cstring>
#include <string>

namespace {

// A second Ctrl-C, a hang-up, a kill or Ctrl-\ ends the program; the
// terminal must not be left without line editing and echo.
TEST(TerminalTest, EndingSignalsRestoreTheTerminalBeforeEnding) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      dup2(slave, STDIN_FILENO);
      const rlimit noCore{0, 0};  // Ctrl-\ would leave a core file
      setrlimit(RLIMIT_CORE, &noCore);
      TerminalDevice terminal;  // puts the terminal into its running mode
      InstallInterruptHandler();
      if (signal == SIGINT) std::raise(SIGINT);  // the first one is only noted
      std::raise(signal);
      _exit(0);  // not reached
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_NE(t.c_lflag & ICANON, 0u) << signal;
    EXPECT_NE(t.c_lflag & ECHO, 0u) << signal;
    close(master);
    close(slave);
  }
}

// Ctrl-C while the program waits for its next piped line stands for ESC:
// the line that follows is still read, the input has not ended.
TEST(TerminalTest, InterruptWhileWaitingForPipedInputDoesNotEndTheInput) {
  int input[2], ready[2];
  ASSERT_EQ(pipe(input), 0);
  ASSERT_EQ(pipe(ready), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(input[0], STDIN_FILENO);
    close(input[1]);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    TerminalDevice terminal;
    InstallInterruptHandler();
    (void)!write(ready[1], "r", 1);
    std::string line;
    bool read = terminal.ReadLine(line, "", "");
    _exit(read && line == "print version" && TakeInterrupt() ? 0 : 1);
  }
  close(input[0]);
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  usleep(200000);  // the child now waits in its read
  kill(pid, SIGINT);
  usleep(100000);
  // A child that took the interrupt for the end of its input is gone already.
  auto oldPipe = std::signal(SIGPIPE, SIG_IGN);
  EXPECT_EQ(write(input[1], "print version\n", 14), 14);
  std::signal(SIGPIPE, oldPipe);
  close(input[1]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  close(ready[0]);
  close(ready[1]);
}

// The prompt on a pseudo-terminal: line editing, the history, a lone ESC,
// and keys typed while a command runs (kept for the prompt, ESC stops).
class TerminalPromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(pipe(go_), 0);
    ASSERT_EQ(pipe(result_), 0);
  }
  void TearDown() override {
    for (int fd : {master_, slave_, go_[0], go_[1], result_[0], result_[1]}) close(fd);
  }

  // Runs the child's part with the terminal on the pseudo-terminal; what it
  // writes to `out` is the test's result.
  template <class Child>
  pid_t Start(Child child) {
    pid_t pid = fork();
    if (pid == 0) {
      setenv("TERM", "xterm", 1);
      dup2(slave_, STDIN_FILENO);
      dup2(slave_, STDOUT_FILENO);
      TerminalDevice terminal;
      InstallInterruptHandler();
      std::string out = child(terminal);
      (void)!write(result_[1], out.data(), out.size());
      _exit(0);
    }
    return pid;
  }
  void Type(const char* keys) { ASSERT_EQ(write(master_, keys, strlen(keys)), static_cast<ssize_t>(strlen(keys))); }
  // The child waits for this before it polls the keys typed so far.
  void Go() { ASSERT_EQ(write(go_[1], "g", 1), 1); }
  void AwaitGo() {
    char c;
    (void)!read(go_[0], &c, 1);
  }
  std::string Result(pid_t pid) {
    close(result_[1]);
    result_[1] = -1;
    std::string text;
    char buf[256];
    for (;;) {
      // The echo on the master side is drained so the child never blocks.
      char echo[256];
      pollfd fds[2] = {{result_[0], POLLIN, 0}, {master_, POLLIN, 0}};
      if (poll(fds, 2, 5000) <= 0) break;
      if (fds[1].revents & POLLIN) (void)!read(master_, echo, sizeof echo);
      if (fds[0].revents & (POLLIN | POLLHUP)) {
        ssize_t n = read(result_[0], buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
      }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return text;
  }

  int master_ = -1, slave_ = -1;
  int go_[2] = {-1, -1}, result_[2] = {-1, -1};
};

TEST_F(TerminalPromptTest, EditsLinesAndRecallsHistory) {
  pid_t pid = Start([](TerminalDevice& t) {
    std::string out, line;
    for (int i = 0; i < 4 && t.ReadLine(line, "Terrax>", ""); ++i) out += line + "|";
    return out;
  });
  Type("rint versionX\x01p\x05\x08\r");  // Ctrl-A, Ctrl-E, backspace
  Type("title b\x1b[D\x1b[Da\r");        // two left arrows
  Type("\x1b[A\x1b[A\r");                // up twice: the first line again
  Type("\x1b");                          // a lone ESC; two more before a word
  usleep(100000);
  Type("\x1b\x1btitle\r");
  EXPECT_EQ(Result(pid), "print version|titlea b|print version|title|");
}

TEST_F(TerminalPromptTest, KeysTypedWhileACommandRunsReachThePrompt) {
  pid_t pid = Start([this](TerminalDevice& t) {
    std::string out, line;
    AwaitGo();
    out += t.KeyPressed(27) ? "esc|" : "run|";  // an arrow key is no ESC
    t.ReadLine(line, "Terrax>", "");
    out += line + "|";
    t.ReadLine(line, "Terrax>", "");
    out += line + "|";
    AwaitGo();
    out += t.KeyPressed(27) ? "esc|" : "run|";
    return out;
  });
  Type("\x1b[Ctitle a\rtitle b\r");
  usleep(100000);
  Go();
  usleep(300000);
  Type("\x1b");
  usleep(100000);
  Go();
  EXPECT_EQ(Result(pid), "run|title a|title b|esc|");
}

}  // namespace
