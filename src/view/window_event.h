// The event record that a window receives, the event codes the view windows
// act on, and the key codes of the view keys.
#pragma once

#include <cstdint>

// One event: its code (0 none), four parameters whose meaning depends on the
// code, and the native message's parts (0 for events the program makes).
// Points come as (x, y) in p1, p2; keys as the key code in p1.
struct GuiEvent {
  int32_t code = 0;
  int32_t p1 = 0;
  int32_t p2 = 0;
  int32_t p3 = 0;
  int32_t p4 = 0;
  uint32_t wParam = 0;
  int32_t lParam = 0;
  uint32_t message = 0;
};

namespace event {
constexpr int32_t kMouseMove = 3;
constexpr int32_t kButtonDown = 4;
constexpr int32_t kButtonUp = 5;
constexpr int32_t kDoubleClick = 6;
constexpr int32_t kKeyDown = 10;
constexpr int32_t kKeyUp = 11;
constexpr int32_t kChar = 12;
constexpr int32_t kMoved = 14;
constexpr int32_t kResized = 15;
constexpr int32_t kPaint = 20;
constexpr int32_t kMenuInit = 23;
constexpr int32_t kMenuCommand = 25;
}  // namespace event

// Key codes: a typed character is its character code; a key that makes no
// character is its virtual-key code with kVirtualKey; Ctrl adds kCtrlKey.
namespace key {
constexpr int32_t kVirtualKey = 0x10000000;
constexpr int32_t kCtrlKey = 0x10000;
constexpr int32_t kEscape = 27;
constexpr int32_t kEnd = kVirtualKey | 0x23;
constexpr int32_t kHome = kVirtualKey | 0x24;
constexpr int32_t kLeft = kVirtualKey | 0x25;
constexpr int32_t kUp = kVirtualKey | 0x26;
constexpr int32_t kRight = kVirtualKey | 0x27;
constexpr int32_t kDown = kVirtualKey | 0x28;
constexpr int32_t kInsert = kVirtualKey | 0x2D;
constexpr int32_t kDelete = kVirtualKey | 0x2E;
// Ctrl with a letter gives the letter's control character.
constexpr int32_t Ctrl(char letter) { return kCtrlKey | (letter & 0x1F); }
}  // namespace key
