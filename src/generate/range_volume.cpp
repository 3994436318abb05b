#include "generate/range_volume.h"

#include "base/command.h"
#include "base/except.h"
#include "base/linklist.h"
#include "base/message.h"
#include "base/savestream.h"
#include "generate/gen_geometry.h"

namespace {
// The element text followed by the words "not" and "any" of its flags.
String WithFlags(const String& text, const RangeElement& e) { return text + " " + e.RangeElement::CommandText(); }
}  // namespace

const GenVolume* VolumeRangeElement::Volume() const {
  const GenGeometry* store = ActiveGenGeometry();
  if (!volume_ || !store || store->Generation() != generation_) return nullptr;
  return volume_;
}

void VolumeRangeElement::Save(SaveStream& stream) const {
  RangeElement::Save(stream);
  SavePointer(stream, Volume());
}

void VolumeRangeElement::Restore(SaveStream& stream) {
  RangeElement::Restore(stream);
  RestorePointer(stream, volume_);
  generation_ = 0;
}

void VolumeRangeElement::RemapPointers() {
  const GenGeometry* store = ActiveGenGeometry();
  if (!store) {
    SkipPending();
    volume_ = nullptr;
    return;
  }
  RemapPointer(store->Volumes(), volume_);
  generation_ = store->Generation();
}

int VolumeRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  int32_t number = 0;
  if (int code = interp.CheckNonNegInt(&number, index)) return code;
  GenGeometry* store = ActiveGenGeometry();
  GenVolume* volume = store ? store->FindVolume(number) : nullptr;
  if (!volume) throw QJExcept(MessageText("Unable to find volume %s", IntToString(number)));
  volume_ = volume;
  generation_ = store->Generation();
  return CommandType::kOk;
}

void VolumeRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << "\n";
}

String VolumeRangeElement::Name() const {
  const GenVolume* v = Volume();
  return v ? "Volume " + IntToString(v->Number()) : String("Volume ");
}

bool VolumeRangeElement::IsIn(const double position[3], const LocatedObject* subject) const {
  const GenVolume* v = Volume();
  if (!v) return false;
  if (subject && subject->LocatedKind() == LocatedObject::kGenerateTriangle)
    return static_cast<const GenTriangle*>(subject)->VolumeNumber() == v->Number();
  return GenVolume::Contains(v, position);
}

std::unique_ptr<RangeElement> VolumeRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  int word = 0;
  if (interp.MatchKeyword("volume ", word, index) != CommandType::kOk) return nullptr;
  return std::make_unique<VolumeRangeElement>();
}

std::unique_ptr<RangeElement> VolumeRangeElement::Clone() const { return std::make_unique<VolumeRangeElement>(*this); }

String VolumeRangeElement::CommandText() const {
  const GenVolume* v = Volume();
  return WithFlags(v ? "volume " + IntToString(v->Number()) : String("volume"), *this);
}
