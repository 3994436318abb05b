// The terminal device on a pseudo-terminal.
#include "platform/terminal_device.h"

#include <gtest/gtest.h>

#include <csignal>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A second Ctrl-C ends the program at once; the terminal must not be left
// without line editing and echo.
TEST(TerminalTest, SecondInterruptRestoresTheTerminalBeforeEnding) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(slave, STDIN_FILENO);
    TerminalDevice terminal;  // puts the terminal into its running mode
    InstallInterruptHandler();
    std::raise(SIGINT);
    std::raise(SIGINT);
    _exit(0);  // not reached
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  termios t{};
  ASSERT_EQ(tcgetattr(slave, &t), 0);
  EXPECT_NE(t.c_lflag & ICANON, 0u);
  EXPECT_NE(t.c_lflag & ECHO, 0u);
  close(master);
  close(slave);
}

}  // namespace
