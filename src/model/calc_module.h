// The optional calculation modes (dynamic, creep, thermal, fluid flow,
// chemistry): the interface every module offers, the global pointer of each
// mode, the registry that the cycle and the commands walk, and the factory
// through which CONFIG and RESTORE create the modules of the coupled modes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/string.h"

class CommandType;
class GridPoint;
class Range;
class SaveStream;
class Zone;
struct TetraDef;
struct ZoneTetra;
struct GpFluidData;

class CalcModule {
 public:
  // Type codes, also written into the save file.
  enum Type : uint8_t { kCreep = 2, kDynamic = 3, kThermal = 4, kFluid = 5, kChemistry = 6 };

  explicit CalcModule(uint8_t type) : type_(type) {}
  virtual ~CalcModule() = default;
  CalcModule(const CalcModule&) = delete;
  CalcModule& operator=(const CalcModule&) = delete;

  virtual void AdvanceTime(double dt) { time_ += dt; }
  // The time step proposed for the next step; 0 proposes nothing.
  virtual double GetTimestep() { return 0.0; }
  // Preparation of an active module before cycling.
  virtual void PrepareActive(CommandType&) {}
  // Preparation of every module before cycling.
  virtual void Prepare() {}
  virtual bool AcceptTimestep(double) { return true; }
  virtual void GridPointCreated(GridPoint&) {}
  virtual void ZoneCreated(Zone&) {}
  // One setting of SET <mode>: on / off, "time", "dt", "age". Answers 0 when
  // it took a setting, else the keyword matcher's code (2 when no word is left).
  virtual int Set(CommandType& interp);
  virtual void Print(CommandType&) {}
  // The module record: on, type code, time, time step, age limit.
  virtual void Save(SaveStream& stream) const;
  virtual void Restore(SaveStream& stream);

  // SET <mode>: settings until the line ends or a word is not one of them.
  static int SetLoop(CalcModule& module, CommandType& interp);

  bool On() const { return on_; }
  void SetOn(bool on) { on_ = on; }
  uint8_t TypeCode() const { return type_; }
  double Time() const { return time_; }
  void SetTime(double t) { time_ = t; }
  double Timestep() const { return timestep_; }
  void SetTimestep(double dt) { timestep_ = dt; }
  double AgeLimit() const { return age_; }
  void SetAgeLimit(double age) { age_ = age; }

 private:
  bool on_ = true;
  uint8_t type_;
  double time_ = 0.0;
  double timestep_ = 0.0;
  double age_ = 1e20;
};

// The creep mode as the model reaches it.
class CreepCalcModule : public CalcModule {
 public:
  CreepCalcModule();
  ~CreepCalcModule() override;
};

// The chemistry module as the model level reaches it: a module with a link
// to the external chemistry application.
class ChemCalcModule : public CalcModule {
 public:
  ChemCalcModule();
  ~ChemCalcModule() override;
  // Starts or connects the external application; true on success.
  virtual bool Connect() = 0;
  // The application's folder (none: the default); false when not found.
  virtual bool SetApplicationPath(const String* path) = 0;
  // The application's result table (none: the default); false on failure.
  virtual bool ReadResultFile(const String* file) = 0;
  virtual void SetGibbsOptions(const String* text) = 0;
  // The link holds the application's table of chemical components.
  virtual bool IsReady() const { return false; }
  // The 1-based index of a component in that table; 0 or less when absent.
  virtual int FindComponent(const String&) const { return 0; }
  // The table's counts: solid phases P, components P + Q, elements.
  virtual int PhaseCount() const { return 0; }
  virtual int ComponentCount() const { return 0; }
  virtual int ElementCount() const { return 0; }
  // Component classes: a solid phase (1 to P), water (P + 1), another
  // aqueous species (P + 2 to P + Q).
  bool IsPhase(int i) const { return i >= 1 && i <= PhaseCount(); }
  bool IsWater(int i) const { return i == PhaseCount() + 1 && i <= ComponentCount(); }
  bool IsOtherAqueous(int i) const { return i > PhaseCount() + 1 && i <= ComponentCount(); }
  // The moles of a component that the particles of the zone carry.
  virtual double ComponentValue(int /*component*/, const Zone&) const { return 0.0; }
  // Gives each particle of the zone an equal share of the amount of an
  // aqueous component; answers the number of particles.
  virtual int32_t ShareAmongParticles(Zone&, int /*component*/, double /*amount*/) { return 0; }
  // The moles of a component in a zone: those of the zone's chemistry
  // record and those its particles carry.
  virtual double ZoneComponentMoles(const Zone& zone, int component) const;
  // The chemistry step, when this step is one that re-equilibrates.
  virtual bool StepDue() const { return false; }
  virtual void Step(CommandType&) {}
};

// How SOLVE drives the thermal and fluid modes.
struct SolveModeSettings {
  bool slave = false;               // solved as a slave of the master processes
  uint32_t stepLimit = 1000000000;  // total step limit
  uint32_t substeps = 1;            // steps per stage
  double ratioLimit = 0.0;
  double ratio = 0.0;  // the mode's ratio of the last step
};

// Where a mode selects the boundary faces of a range for its face
// conditions (APPLY): each chosen (zone, face) goes to the sink.
using FaceSink = void (*)(void* context, Zone* zone, int face);

// The thermal mode as the grid, the calculation and the commands reach it.
// Every answer is that of a thermal mode without thermal data.
class ThermalCalcModule : public CalcModule {
 public:
  ThermalCalcModule();
  ~ThermalCalcModule() override;
  virtual double ZoneTemperature(const Zone&) const { return 0.0; }
  virtual double ThermalExpansion(const Zone&) const { return 0.0; }
  // The temperature change of this step over one tetrahedron of the zone.
  virtual double TetraTemperatureIncrement(const Zone&, const TetraDef&) const { return 0.0; }
  // The phases of a step: the heat sums cleared after the law of motion, and
  // the thermal step itself.
  virtual void ClearHeatSums() {}
  virtual void Step(CommandType&) {}
  virtual SolveModeSettings SolveSettings() const { return SolveModeSettings(); }
  // The boundary faces of the range for thermal face conditions; false
  // leaves the choice to the default (the boundary faces of thermal zones).
  virtual bool SelectFaces(const Range&, FaceSink, void*) const { return false; }
};

// The zone values of the fluid mode that the zone stress pass reads.
struct ZoneFluidValues {
  double saturation = 1.0;
  double modulus = 0.0;
  double biot = 0.0;
  double thermal = 0.0;
  double tensionLimit = -1e15;
  // Filled by ZoneCoupling only: the zone's porosity, the mean pore pressure
  // of its corners, and the weights by which its pore-volume change goes to
  // them (none when the zone has no fluid model).
  double porosity = 0.0;
  double porePressure = 0.0;
  const double* cornerWeights = nullptr;
  // With the weights, when the fluid step lists the zone: where its
  // corners' shares of the pore-volume change go, flows[nodes[i]] or, when
  // there are none, the blocks blocks[nodes[i]].
  const int32_t* nodes = nullptr;
  double* flows = nullptr;
  GpFluidData* const* blocks = nullptr;
};

// The fluid mode as the grid, the calculation and the commands reach it.
class FluidCalcModule : public CalcModule {
 public:
  FluidCalcModule();
  ~FluidCalcModule() override;
  // SET fluid biot: the coupling follows Biot's theory.
  virtual bool BiotOn() const { return false; }
  virtual double ZonePorosity(const Zone&) const { return 0.0; }
  virtual double FluidStiffness(Zone&) { return 0.0; }
  virtual void ZoneValues(const Zone&, ZoneFluidValues*) const {}
  // What the zone stress pass reads of a zone, in one walk over its corners:
  // the values above (left as they are when the zone has no fluid model),
  // its porosity and weights, and its corners' mean pore pressure when
  // `pore` (otherwise 0).
  virtual void ZoneCoupling(const Zone& zone, bool pore, ZoneFluidValues* out) const;
  // Hands the zone's pore-volume change of the step to its grid-points.
  virtual void AddVolumeChange(Zone&, double /*change*/) {}
  // The zone's fluid density term of the gravity body force, and the field
  // INITIAL sets (the zone's fluid record made when missing; none without).
  virtual double ZoneFluidDensity(const Zone&) const { return 0.0; }
  virtual double* ZoneFluidDensityField(Zone&) { return nullptr; }
  // Preparation: every zone's fluid model; false when no zone has one.
  virtual bool PrepareZones() { return false; }
  // Around the links' fluid preparation every grid-point's fluid volume
  // value stands as its reciprocal (where it is not 0).
  virtual void InvertGridPointVolumes() {}
  // The phases of a step, in the order of the step.
  virtual void MechanicalCoupling() {}
  virtual void BiotUpdate() {}
  virtual void Step(CommandType&) {}
  virtual void ZonePressureTerms() {}
  virtual void ClearFlowSums() {}
  virtual SolveModeSettings SolveSettings() const { return SolveModeSettings(); }
  virtual bool SelectFaces(const Range&, FaceSink, void*) const { return false; }
};

// The dynamic mode's settings that the zone pass and the law of motion read.
struct DynamicStepSettings {
  bool multistepping = false;
  bool viscosity = false;  // artificial viscosity
  // Some grid-point has Rayleigh damping with a stiffness part (beta > 0).
  bool stiffnessDamping = true;
  double quadratic = 0.0;  // its quadratic coefficient
  double linear = 0.0;     // its linear coefficient
};

// The dynamic mode as the grid, the calculation and the commands reach it.
class DynamicCalcModule : public CalcModule {
 public:
  DynamicCalcModule();
  ~DynamicCalcModule() override;
  virtual DynamicStepSettings StepSettings() const { return DynamicStepSettings(); }
  // Adds the tetrahedron's share of the zone's mass to its corners.
  virtual void AddTetraMass(const ZoneTetra&, GridPoint* const[4], Zone&, int /*overlays*/) {}
  // APPLY ff: builds the free field and answers the number of its faces;
  // removing it takes away what it made.
  virtual int32_t CreateFreeField(CommandType&);
  virtual void RemoveFreeField(CommandType&) {}
};

// One pointer per mode, set by the constructor of the mode's module and
// cleared by its destructor: null while the mode is not configured.
struct ModePointers {
  DynamicCalcModule* dynamic = nullptr;
  CreepCalcModule* creep = nullptr;
  ThermalCalcModule* thermal = nullptr;
  FluidCalcModule* fluid = nullptr;
  ChemCalcModule* chem = nullptr;
};
ModePointers& Modes();
// The pointer of the mode with the given type code; null for an unknown code.
CalcModule* ModeOf(uint8_t type);
// Throws "Not configured for chemistry calculations." without a chemistry module.
ChemCalcModule& CheckChemConfigured();

// The registry of the configured modules, in the order they were added. It
// owns them: NEW and RESTORE delete them through Clear.
class ModuleList {
 public:
  ModuleList() = default;
  ModuleList(const ModuleList&) = delete;
  ModuleList& operator=(const ModuleList&) = delete;

  // Appends the module (nothing for none); answers it.
  CalcModule* Add(std::unique_ptr<CalcModule> module);
  // Unlinks the module and hands it back; none when it is not in the list.
  std::unique_ptr<CalcModule> Remove(CalcModule* module);
  // Deletes every module.
  void Clear();
  bool Contains(const CalcModule* module) const;
  int Count() const { return static_cast<int>(modules_.size()); }

  // Before cycling: Prepare on every module, PrepareActive on the active ones.
  void PrepareCycle(CommandType& interp);
  // The time step of the next step: the smallest positive proposal of the
  // active modules, 1.0 without one; every active module must accept it.
  void NegotiateTimestep();
  void AdvanceTime();
  bool AnyActive() const;
  void ZoneCreated(Zone& zone);
  void GridPointCreated(GridPoint& gp);

 private:
  std::vector<std::unique_ptr<CalcModule>> modules_;
};
ModuleList& TheModules();

// Tells a module about every zone and then every grid-point of the model.
void AttachModuleToModel(CalcModule& module);

// The coupled modes register how each kind of module is made, and how the
// modes' records of a zone are made for RESTORE to read into.
using ModuleFactory = std::unique_ptr<CalcModule> (*)();
class ZoneRecord;
using ZoneRecordFactory = ZoneRecord* (*)();
void InstallZoneRecordFactory(uint8_t type, ZoneRecordFactory factory);
// An empty record of the mode (thermal, fluid or chemistry); none while the
// mode has not installed its factory.
ZoneRecord* NewZoneRecord(uint8_t type);
void InstallModuleFactory(uint8_t type, ModuleFactory factory);
// A new module of the kind; throws when the mode is not part of this version.
std::unique_ptr<CalcModule> CreateModule(uint8_t type);

// The module section of the save file: per mode, in the order dynamic, creep,
// thermal, fluid, chemistry, a presence byte and the module's record.
void SaveModules(SaveStream& stream);
// Reads the section of a file of the given program version; the registered
// modules are replaced by the file's.
void RestoreModules(SaveStream& stream, int32_t fileVersion);

// A grid-point's thermal or fluid block: made by the mode's grid-point hook
// when the grid-point has none yet, and empty when even that made none.
struct GpThermalData;
struct GpFluidData;
GpThermalData& ThermalBlock(GridPoint& gp);
GpFluidData& FluidBlock(GridPoint& gp);
