// The command window of a terminal program: standard input and output.
//
// Standard input a terminal: the prompt is shown before each line, typed
// lines are not echoed again, listings pause at the end of a page, and while
// a command runs the terminal is in non-canonical mode so that ESC is seen at
// once. Standard input a pipe or file: no prompt before reading, the device
// is named "GUI Terminal" so that every line read is echoed as prompt + line,
// listings never pause and a key wait answers at once. Ctrl-C stands for ESC.
#pragma once

#include <cstdio>
#include <string>

#include "platform/console_device.h"

class TerminalDevice : public ConsoleDevice {
 public:
  TerminalDevice();
  ~TerminalDevice() override;
  TerminalDevice(const TerminalDevice&) = delete;
  TerminalDevice& operator=(const TerminalDevice&) = delete;

  void Write(const char* text) override;
  int GetKey() override;
  bool KeyPressed(int key) override;
  bool ReadLine(std::string& line, const char* prompt, const char* initial) override;
  const char* Name() const override;
  bool Paginates() const override { return interactive_; }
  bool IsTerminal() const override { return interactive_; }
  void SetTitle(const char* text) override;
  bool Interactive() const { return interactive_; }

 private:
  friend void SuspendTerminal();
  friend void ResumeTerminal();
  // Output that is not a terminal receives each line as a terminal would
  // show it: a carriage return moves back to the start of the line and what
  // follows overwrites it, so progress lines leave only their last state.
  // Each finished line is written out at once. While a line is unfinished
  // and standard error is a terminal, it is shown there as a status line.
  void WriteRendered(const char* text);
  void FlushRenderedLine();
  void ShowStatus(bool finished);
  // A terminal: a carriage return followed by a shorter text clears the
  // rest of what stood on the line.
  void WriteTerminal(const char* text);
  bool ReadEditedLine(std::string& line, const char* prompt);
  void EnterLineMode();
  void EnterRunMode();
  void PollPending();
  int NextEditorKey();
  static int EditorGetc(FILE* stream);
  // How long the rest of a key's escape sequence may take to arrive.
  static constexpr int kEscapeSequenceMs = 40;

  bool interactive_;
  bool outputTerminal_;
  bool termiosSaved_ = false;
  std::string pending_;  // keys typed while a command runs
  std::string line_;     // the unfinished output line (output not a terminal)
  size_t column_ = 0;    // where the next character of that line goes
  bool statusTerminal_;  // standard error shows the status of unfinished lines
  bool editorReady_ = false;
  bool statusShown_ = false;
  bool progress_ = false;    // the unfinished line has gone back to its start
  uint32_t statusTime_ = 0;  // when the status was last shown (ms)
  size_t shown_ = 0;         // terminal: characters standing on the current line
  size_t cursor_ = 0;        // terminal: the cursor's column on that line
};

// Puts a line into the command-line queue as if typed (key 0 means Enter;
// key 27 queues nothing). Queued lines are read before the terminal.
void QueueCommandLine(const char* text, int key = 0);
// Takes the oldest queued line; false when the queue is empty.
bool TakeQueuedLine(std::string& text, int& key);

// Installs the Ctrl-C handler: a first Ctrl-C only sets a flag that the key
// polls report as ESC; a second one before the first was seen ends the program.
void InstallInterruptHandler();
// Reports and clears a pending Ctrl-C.
bool TakeInterrupt();

// Around a program run by the SYSTEM command: the terminal goes back to its
// normal line mode for it, and to the program's own mode afterwards (a
// Ctrl-C meant for the command is dropped).
void SuspendTerminal();
void ResumeTerminal();
