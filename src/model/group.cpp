#include "model/group.h"

#include "base/savestream.h"
#include "model/model.h"
#include "model/restore_fields.h"

ModelList<Group>& GroupList() { return CurrentModel().Groups(); }

void Group::Save(SaveStream& s) const {
  SaveString(s, name_);
  s.WriteU8(color_ ? 1 : 0);
  if (color_) color_->Write(s);
}

void Group::Restore(SaveStream& s) {
  RestoreString(s, name_);
  if (!s.ReadFlag()) {
    color_.reset();
    return;
  }
  if (!color_) color_ = Color(1.0, 1.0, 1.0);
  color_->Read(s);
}

Group* FindGroup(const String& name) {
  for (Group* g : GroupList())
    if (g->Name() == name) return g;
  return nullptr;
}

bool IsNoGroupName(const String& name) {
  if (name.IsEmpty()) return true;
  String lower = name;
  lower.ToLower();
  return lower.str() == "none";
}

Group* FindOrCreateGroup(const String& name) {
  if (Group* g = FindGroup(name)) return g;
  if (IsNoGroupName(name)) return nullptr;
  return static_cast<Group*>(GroupList().Append(new Group(name)));
}

Group* GetGroupByIndex(uint32_t index) { return static_cast<Group*>(GroupList().GetByIndex(index)); }
