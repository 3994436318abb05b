// The device behind the interpreter's console stream: the command window.
// On Linux the command window is the terminal (TerminalDevice).
#pragma once

#include <string>

class ConsoleDevice {
 public:
  virtual ~ConsoleDevice() = default;
  virtual void Write(const char* text) = 0;
  // The page prompt of a listing; true when ESC ended it.
  virtual bool PagePrompt();
  // Waits for a key and answers its code (0 when no key can be waited for).
  virtual int GetKey() = 0;
  // Whether the key was pressed since the last poll (ESC is 27).
  virtual bool KeyPressed(int key) = 0;
  // Reads one typed line; false when the input has ended for good.
  virtual bool ReadLine(std::string& line, const char* prompt, const char* initial) = 0;
  virtual const char* Name() const = 0;
  // "*** ", the message and a new line.
  virtual void ReportError(const char* text);
  // An information line (the "From: ..." echo of a new input source).
  virtual void Echo(const char* /*text*/) {}
  // Whether listings pause at the end of a page on this device.
  virtual bool Paginates() const { return false; }
  // Whether a person answers at this device (a terminal): questions such as
  // the overwrite question are asked only then.
  virtual bool IsTerminal() const { return Paginates(); }
  // Placement of the main window as fractions of the screen: left, top, right, bottom.
  virtual void GetPlacement(double rect[4]) const;
  virtual void SetPlacement(const double rect[4]);
  virtual void SetTitle(const char* text) { title_ = text ? text : ""; }
  virtual std::string GetTitle() const { return title_.empty() ? std::string(" ") : title_; }
  virtual void RestoreTitle() { title_.clear(); }
  // A text held for the next line input (the job title prompt offers it).
  void SetText(const char* text) { text_ = text ? text : ""; }
  const std::string& HeldText() const { return text_; }

 private:
  double placement_[4] = {0, 0, 0, 0};
  std::string title_;
  std::string text_;
};
