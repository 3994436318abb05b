// The reference to a view that commands and the view manager use: a name, a
// number or both. The base view is "Base/0".
#pragma once

#include <cstdint>

#include "base/string.h"

class CommandType;
class SaveStream;

class ViewId {
 public:
  ViewId() = default;
  ViewId(const String& name, int32_t number) : name_(name), number_(number), hasName_(1), hasNumber_(1) {}

  // A non-negative integer becomes the number; any other word the name.
  // Answers the parameter check's code (0 when read).
  int Parse(CommandType& interp, int* index = nullptr);
  // Parse, with a failure raised as the parameter's error.
  void Get(CommandType& interp, int* index = nullptr);

  // "Base/0", "Base", "3", or "Undefined" when it holds neither.
  String ToString() const;
  // Numbers decide when both have one; else both need the same non-empty name.
  bool Equals(const ViewId& other) const;

  void SetName(const String& name) {
    name_ = name;
    hasName_ = 1;
  }
  void SetNumber(int32_t number) {
    number_ = number;
    hasNumber_ = 1;
  }
  void Clear() { *this = ViewId(); }

  const String& Name() const { return name_; }
  int32_t Number() const { return number_; }
  bool HasName() const { return hasName_ != 0; }
  bool HasNumber() const { return hasNumber_ != 0; }

  // The name, the number and the two flag bytes.
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);

 private:
  String name_;
  int32_t number_ = -1;
  uint8_t hasName_ = 0;
  uint8_t hasNumber_ = 0;
};
