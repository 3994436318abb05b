#include "view/view_id.h"

#include "base/command.h"
#include "base/savestream.h"

int ViewId::Parse(CommandType& interp, int* index) {
  hasName_ = hasNumber_ = 0;
  int& at = index ? *index : interp.TokenIndex();
  int32_t number = 0;
  int probe = at;
  if (interp.CheckNonNegInt(&number, &probe) == CommandType::kOk) {
    at = probe;
    SetNumber(number);
    return CommandType::kOk;
  }
  String name;
  const int code = interp.CheckString(&name, &at);
  if (code != CommandType::kOk) return code;
  SetName(name);
  return CommandType::kOk;
}

void ViewId::Get(CommandType& interp, int* index) {
  int& at = index ? *index : interp.TokenIndex();
  if (const int code = Parse(interp, &at)) interp.ThrowParamError(code, &at);
}

String ViewId::ToString() const {
  if (hasName_ && hasNumber_) return name_ + "/" + IntToString(number_);
  if (hasName_) return name_;
  if (hasNumber_) return IntToString(number_);
  return String("Undefined");
}

bool ViewId::Equals(const ViewId& other) const {
  if (hasNumber_ && other.hasNumber_) return number_ == other.number_;
  if (!hasName_ || !other.hasName_ || name_.IsEmpty() || other.name_.IsEmpty()) return false;
  return name_ == other.name_;
}

void ViewId::Save(SaveStream& stream) const {
  SaveString(stream, name_);
  stream.WriteI32(number_);
  stream.WriteU8(hasName_);
  stream.WriteU8(hasNumber_);
}

void ViewId::Restore(SaveStream& stream) {
  RestoreString(stream, name_);
  number_ = stream.ReadI32();
  hasName_ = stream.ReadFlag();
  hasNumber_ = stream.ReadFlag();
}
