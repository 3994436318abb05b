// A console device for tests: records what is written, answers typed lines
// and keys from queues, and can act as a terminal that pages listings.
#pragma once

#include <atomic>
#include <deque>
#include <string>

#include "platform/console_device.h"

class FakeDevice : public ConsoleDevice {
 public:
  std::string output;
  std::deque<std::string> lines;  // typed lines; none left ends the input
  std::deque<int> keys;           // keys for GetKey; none left answers 0
  bool terminal = false;          // a terminal pages and does not echo typed lines
  int pagePrompts = 0;
  // Set from another thread: ESC is pressed once, as Ctrl-C would do while
  // the program waits.
  std::atomic<bool> escFromOutside{false};

  void Write(const char* text) override { output += text; }
  bool PagePrompt() override {
    ++pagePrompts;
    return ConsoleDevice::PagePrompt();
  }
  int GetKey() override {
    if (keys.empty()) return 0;
    int k = keys.front();
    keys.pop_front();
    return k;
  }
  bool KeyPressed(int key) override {
    if (key == 27 && escFromOutside.exchange(false)) return true;
    for (auto it = keys.begin(); it != keys.end(); ++it) {
      if (*it == key) {
        keys.erase(keys.begin(), it + 1);
        return true;
      }
    }
    return false;
  }
  bool ReadLine(std::string& line, const char*, const char*) override {
    if (lines.empty()) return false;
    line = lines.front();
    lines.pop_front();
    return true;
  }
  const char* Name() const override { return terminal ? "Terminal" : "GUI Terminal"; }
  bool Paginates() const override { return terminal; }

  // Takes what was written so far.
  std::string Take() {
    std::string s;
    s.swap(output);
    return s;
  }
};
