#include "model/model.h"

#include "model/grid.h"

namespace {
Model* g_current = nullptr;

// The model of a process in which no interpreter made one current.
Model& ProcessModel() {
  static Model* model = new Model;  // outlives every other static that may reach it
  return *model;
}
}  // namespace

size_t Model::NextPartKey() {
  static size_t next = 0;
  return next++;
}

Model::Model() { InstallGridSections(sections_); }

Model::~Model() {
  // The parts and modules go first, with this model current, while the grid
  // they refer to is still there; then the grid itself.
  ModelScope scope(*this);
  modules_.Clear();
  for (auto it = partOrder_.rbegin(); it != partOrder_.rend(); ++it) parts_[*it].reset();
  ClearZoneFaceList(zoneFaces_);
  ClearGrid();
  participants_ = StepParticipants();
}

Model& CurrentModel() { return g_current ? *g_current : ProcessModel(); }

ModelScope::ModelScope(Model& model) : previous_(g_current) { g_current = &model; }

ModelScope::~ModelScope() { g_current = previous_; }

StepParticipant& StepParticipants::Add(std::unique_ptr<StepParticipant> participant) {
  list_.push_back(std::move(participant));
  return *list_.back();
}

void StepParticipants::Remove(StepParticipant* participant) {
  for (auto it = list_.begin(); it != list_.end(); ++it)
    if (it->get() == participant) {
      list_.erase(it);
      return;
    }
}
