// The terminal device on a pseudo-terminal.
#include "platform/terminal_device.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

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

}  // namespace
