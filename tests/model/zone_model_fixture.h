// A grid with MODEL, PROPERTY and the zone listings installed, the view
// notifications recorded, and a thermal and a fluid mode whose material
// model tables a test switches on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/random.h"
#include "model/grid_fixture.h"
#include "model/module_doubles.h"
#include "model/zone_models.h"
#include "support/link_doubles.h"

// A zone's record of a coupled mode: its model type and property values,
// and a fluid density.
struct ModeRecord : ZoneRecord {
  int type = 0;
  std::vector<double> values;
  double density = 0.0;
  std::unique_ptr<ZoneRecord> Clone() const override { return std::make_unique<ModeRecord>(*this); }
  int ModelType() const override { return type; }
  void Save(SaveStream&) const override {}
  void Restore(SaveStream&) override {}
};

// A mode whose zone-created operation attaches a ModeRecord.
template <class Base>
class RecordModule : public CountingModule<Base> {
 public:
  void ZoneCreated(Zone& zone) override {
    std::unique_ptr<ZoneRecord>& slot = Slot(zone);
    if (!slot) slot = std::make_unique<ModeRecord>();
    ++zonesCreated;
  }
  std::unique_ptr<ZoneRecord>& Slot(Zone& zone) const {
    return this->TypeCode() == CalcModule::kThermal ? zone.thermal : zone.fluid;
  }
  int zonesCreated = 0;
};

// Two models per mode: the mode's null model and one with properties.
class TestZoneModels : public ZoneMaterialModels {
 public:
  explicit TestZoneModels(bool thermal) : thermal_(thermal) {}
  int Count() const override { return 2; }
  String Name(int type) const override {
    if (thermal_) return type == 0 ? "th_null" : "th_isotropic";
    return type == 0 ? "fl_null" : "fl_isotropic";
  }
  String Keywords(int type) const override {
    if (type == 0) return String();
    return thermal_ ? "conductivity spec_heat thexp " : "permeability porosity ";
  }
  int ZoneModel(const Zone& zone) const override {
    const ModeRecord* r = Record(zone);
    return r ? r->type : 0;
  }
  void SetZoneModel(Zone& zone, int type) override {
    ModeRecord* r = Record(zone);
    ASSERT_NE(r, nullptr);
    r->type = type;
    r->values.assign(type == 0 ? 0 : (thermal_ ? 3 : 2), 0.0);
  }
  String ZoneModelName(const Zone& zone) const override {
    String name = Name(ZoneModel(zone));
    name.SetAt(0, name.GetAt(0) - 'a' + 'A');
    return name;
  }
  double ZoneProperty(const Zone& zone, int slot) const override { return Record(zone)->values.at(slot); }
  void SetZoneProperty(Zone& zone, int slot, double value) override { Record(zone)->values.at(slot) = value; }
  double ZoneFluidDensity(const Zone& zone) const override {
    const ModeRecord* r = Record(zone);
    return r ? r->density : 0.0;
  }

  ModeRecord* Record(const Zone& zone) const {
    return static_cast<ModeRecord*>(thermal_ ? zone.thermal.get() : zone.fluid.get());
  }

 private:
  bool thermal_;
};

class ZoneModelTest : public GridTest {
 protected:
  std::vector<uint32_t> notices;
  TestZoneModels thermalModels{true};
  TestZoneModels fluidModels{false};
  std::unique_ptr<RecordModule<ThermalCalcModule>> thermal;
  std::unique_ptr<RecordModule<FluidCalcModule>> fluid;

  static std::vector<uint32_t>*& Notices() {
    static std::vector<uint32_t>* notices = nullptr;
    return notices;
  }

  void SetUp() override {
    GridTest::SetUp();
    Notices() = &notices;
    views.notify = [](uint32_t code, const String&) { Notices()->push_back(code); };
    RandomSeed(0);
  }
  void TearDown() override {
    SetThermalZoneModels(nullptr);
    SetFluidZoneModels(nullptr);
    thermal.reset();
    fluid.reset();
    Notices() = nullptr;
    GridTest::TearDown();
  }

  // Configures the thermal and the fluid mode with their model tables.
  void ConfigureModes() {
    thermal = std::make_unique<RecordModule<ThermalCalcModule>>();
    fluid = std::make_unique<RecordModule<FluidCalcModule>>();
    SetThermalZoneModels(&thermalModels);
    SetFluidZoneModels(&fluidModels);
  }

  // Two unit bricks side by side in x, sharing the face at x = 1.
  void TwoBricks() {
    UnitBrick();
    UnitBrick(1, 0, 0);
  }

  static std::string Transcript(const char* line, const std::string& out) {
    return std::string("Terrax>") + line + "\n" + out;
  }
};
