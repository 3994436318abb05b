// Groups: named set memberships shared by zones, grid-points and structural
// elements, each with an optional colour, kept in the global group list.
#pragma once

#include <cstdint>
#include <optional>

#include "base/color.h"
#include "base/memory.h"
#include "base/string.h"
#include "model/model_list.h"

class SaveStream;

class Group : public LinkListNode, public ModelObject {
 public:
  Group() = default;
  explicit Group(const String& name) : name_(name) {}
  static Group* NewForRestore() { return new Group; }

  const String& Name() const { return name_; }
  void SetName(const String& name) { name_ = name; }
  // The colour given by GROUP, or null.
  const Color* GetColor() const { return color_ ? &*color_ : nullptr; }
  void SetColor(const Color& color) { color_ = color; }
  void ClearColor() { color_.reset(); }

  // Use counts; recomputed by PRINT GROUP only.
  int32_t zoneCount = 0;
  int32_t selCount = 0;
  int32_t gpCount = 0;

  // The name, a presence byte and the colour record.
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

 private:
  String name_;
  std::optional<Color> color_;
};

ModelList<Group>& GroupList();

// The first group in list order with the name (names compare as String does).
Group* FindGroup(const String& name);
// FindGroup, else a new group appended to the list; the empty name and
// "none" (in any case) mean no group and give null.
Group* FindOrCreateGroup(const String& name);
// The group of a save index after a restore; null for 0.
Group* GetGroupByIndex(uint32_t index);
// True for the names that stand for no group.
bool IsNoGroupName(const String& name);
