// The range element "volume": the inside of a closed GENERATE volume.
#pragma once

#include <cstdint>

#include "base/range.h"

class GenVolume;

// A GENERATE triangle is in it when it belongs to the volume; any other
// subject when its position lies inside the volume. Without a volume, or
// once the volume is gone (NEW, DELETE VOLUMES, RESTORE), it contains nothing.
class VolumeRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 103;
  VolumeRangeElement() : RangeElement(kKind) {}

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override;
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

  // The volume, while it still belongs to the active store.
  const GenVolume* Volume() const;

 private:
  GenVolume* volume_ = nullptr;  // a saved index between Restore and RemapPointers
  uint64_t generation_ = 0;      // the store generation the volume was taken from
};
