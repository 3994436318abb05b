// The model: the grid lists and their id counters, the settings, the
// registry of calculation modules, the participants of the calculation step
// and the sections of the save file, owned by one object. The interpreter
// holds it and makes it the current model; the free accessors (ZoneList(),
// Settings(), TheModules() ...) reach the current model.
//
// Subsystems above the grid model keep their own state on the model as a
// part (Part<T>), made on first use and destroyed with the model before its
// grid, so that a fresh model is a fresh start for every subsystem.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/calc_module.h"
#include "model/gp_zone_index.h"
#include "model/grid_point.h"
#include "model/group.h"
#include "model/links.h"
#include "model/model_list.h"
#include "model/model_settings.h"
#include "model/save_sections.h"
#include "model/step_participant.h"
#include "model/zone.h"

class Model {
 public:
  Model();
  ~Model();
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  ModelList<Group>& Groups() { return groups_; }
  ModelList<GridPoint>& GridPoints() { return gridPoints_; }
  ModelList<Zone>& Zones() { return zones_; }
  // The serial ids given last; NEW sets them back to 0.
  uint32_t& GridPointIds() { return gridPointIds_; }
  uint32_t& ZoneIds() { return zoneIds_; }
  // The zone faces that particle tracking marks.
  ZoneFace*& ZoneFaces() { return zoneFaces_; }
  GpZoneIndex& GpZones() { return gpZones_; }
  // The smallest zone edge, kept for particle tracking.
  double& MinimumEdgeLength() { return minimumEdgeLength_; }

  ModelSettings& Settings() { return settings_; }
  ModuleList& Modules() { return modules_; }
  ModePointers& Modes() { return modes_; }

  StepParticipants& Participants() { return participants_; }
  SaveSections& Sections() { return sections_; }

  // The links to the subsystems above the grid model; each is the model's
  // own empty one until its subsystem installs its object (which stays the
  // subsystem's: none gives the empty one back).
  ScriptLink& Script() { return *script_; }
  ViewLink& Views() { return *views_; }
  StructureLink& Structures() { return *structures_; }
  void SetScript(ScriptLink* link) { script_ = link ? link : &emptyScript_; }
  void SetViews(ViewLink* link) { views_ = link ? link : &emptyViews_; }
  void SetStructures(StructureLink* link) { structures_ = link ? link : &emptyStructures_; }

  // The state of a subsystem above the grid model, made on first use.
  template <class T>
  T& Part() {
    const size_t key = PartKey<T>();
    if (key >= parts_.size()) parts_.resize(key + 1);
    if (!parts_[key]) {
      parts_[key] = std::make_unique<Holder<T>>();
      partOrder_.push_back(key);
    }
    return static_cast<Holder<T>*>(parts_[key].get())->value;
  }

 private:
  struct HolderBase {
    virtual ~HolderBase() = default;
  };
  template <class T>
  struct Holder : HolderBase {
    T value;
  };
  static size_t NextPartKey();
  template <class T>
  static size_t PartKey() {
    static const size_t key = NextPartKey();
    return key;
  }

  // Destroyed last: the grid that the parts and modules refer to.
  ModelList<Group> groups_;
  ModelList<GridPoint> gridPoints_;
  ModelList<Zone> zones_;
  uint32_t gridPointIds_ = 0;
  uint32_t zoneIds_ = 0;
  ZoneFace* zoneFaces_ = nullptr;
  GpZoneIndex gpZones_;
  double minimumEdgeLength_ = ModelSettings::kLargest;
  ModelSettings settings_;
  ModePointers modes_;
  ModuleList modules_;
  StepParticipants participants_;
  SaveSections sections_;
  ScriptLink emptyScript_;
  ViewLink emptyViews_;
  StructureLink emptyStructures_;
  ScriptLink* script_ = &emptyScript_;
  ViewLink* views_ = &emptyViews_;
  StructureLink* structures_ = &emptyStructures_;
  std::vector<std::unique_ptr<HolderBase>> parts_;
  std::vector<size_t> partOrder_;  // the order the parts were made in
};

// The model of the running interpreter. Before any interpreter made one
// current (unit tests of single classes) a model of the process serves.
Model& CurrentModel();

// Makes a model the current one for the life of the scope.
class ModelScope {
 public:
  explicit ModelScope(Model& model);
  ~ModelScope();
  ModelScope(const ModelScope&) = delete;
  ModelScope& operator=(const ModelScope&) = delete;

 private:
  Model* previous_;
};
