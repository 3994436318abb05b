#include "platform/console_device.h"

#include <string>

bool ConsoleDevice::PagePrompt() {
  Write(" --- Press Any Key to Continue (ESC to Exit) ---\r");
  int key = GetKey();
  Write((std::string(48, ' ') + "\r").c_str());
  return key == 27;
}

void ConsoleDevice::ReportError(const char* text) {
  Write("*** ");
  Write(text ? text : "");
  Write("\n");
}

void ConsoleDevice::GetPlacement(double rect[4]) const {
  for (int i = 0; i < 4; ++i) rect[i] = placement_[i];
}

void ConsoleDevice::SetPlacement(const double rect[4]) {
  for (int i = 0; i < 4; ++i) placement_[i] = rect[i];
}
