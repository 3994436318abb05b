// The thermal material models of zones: the per-zone record, the table of
// model handlers answering numbered operations through one message block,
// the property look-ups, and the table through which MODEL, PROPERTY and the
// listings reach the models.
#pragma once

#include <cstdint>
#include <memory>

#include "base/string.h"
#include "model/zone.h"
#include "model/zone_models.h"
#include "modes/mode_model_table.h"

// The block one handler call reads and writes; the caller builds it on its
// stack and fills only what the operation reads.
struct ThermalModelMessage {
  enum Operation : uint8_t {
    kPrepare = 1,
    kFlux = 2,
    kValues = 3,
    kDescription = 5,
    kStoreFluidDensity = 6,
    kHydration = 7,
  };
  const char* name = nullptr;      // description: the model name with a trailing blank
  const char* keywords = nullptr;  // description: the blank-separated property keywords
  uint8_t count = 0;               // description: the number of property values
  uint8_t operation = 0;
  double specificHeat = 0.0;  // values
  double expansion = 0.0;     // values: linear thermal expansion coefficient
  double conductivity = 0.0;  // values
  double* data = nullptr;     // the zone's property values
  // th_ac: prepare input (fluid density, zone density, porosity x
  // saturation); values output (lspec_heat, f_thexp, f_T0); fluid density
  // input of operation 6 in the first.
  double extra[3] = {0, 0, 0};
  double gradient[3] = {0, 0, 0};  // flux: temperature gradient; th_ac values: ac_gx, ac_gy, ac_gz
  double flux[3] = {0, 0, 0};      // flux: heat flux; th_ac prepare: fluid discharge; values: f_qx ...
  double temperature = 0.0;        // hydration: zone temperature (kelvin)
  double timestep = 0.0;           // hydration: the time step (0 counts as 1)
  double heat = 0.0;               // hydration: heat released per unit time and volume
  double hydration = 0.0;          // hydration: degree of hydration
};

using ThermalModelHandler = void (*)(ThermalModelMessage*);

// The handlers in type order: th_null, th_isotropic, th_anisotropic, th_ac,
// th_hyd_concrete1, th_hyd.
constexpr int kThermalModelCount = 6;
extern const ThermalModelHandler kThermalModelHandlers[kThermalModelCount];

enum ThermalModelType : int { kThNull = 0, kThIsotropic, kThAnisotropic, kThAdvection, kThHydConcrete, kThHyd };

// Positions in the property arrays.
namespace thermal_props {
enum Isotropic : int { kConductivity = 0, kSpecHeat = 1, kThexp = 2 };
enum Anisotropic : int { kASpecHeat = 0, kAThexp = 1, kDipDirection = 2, kDip = 3, kRotation = 4, kK1 = 5, kKxx = 8 };
enum Advection : int {
  kEConduct = 0,
  kESpecHeat = 1,
  kCThexp = 2,
  kLSpecHeat = 3,
  kFThexp = 4,
  kFT0 = 5,
  kFq = 6,  // then f_qy, f_qz
  kCConductivity = 9,
  kCSpecHeat = 10,
  kLConduct = 11,
  kFRho = 12,
  kAcG = 13,  // then ac_gy, ac_gz
};
// th_hyd_concrete1 and th_hyd; th_hyd continues with kEa1 ...
enum Hydration : int {
  kQmax = 3,
  kCement = 4,
  kBConst = 5,
  kT1Const = 6,
  kGasConst = 7,
  kEActivate = 8,
  kAlpha = 9,
  kTTherm = 10,
  kTConcrete = 11,
  kHeat = 12,
  kEa1 = 13,
  kEa2 = 14,
  kT0Ea = 15,
  kDT = 16,
  kCp1 = 17,
  kDCpa = 18,
  kT1pc = 19,
  kDCpT = 20,
  kLambda1 = 21,
  kDLambdaA = 22,
  kDLambdaT = 23,
  kTMaxq = 24,
};
}  // namespace thermal_props

// A zone's thermal model record.
class ThermalModel : public ZoneRecord {
 public:
  int32_t modelType = 0;
  // Packed upper triangle of the symmetric 8 x 8 conductance matrix, by rows.
  double matrix[36] = {};
  std::unique_ptr<double[]> properties;  // one value per property; none until MODEL
  // Operation 3's answer (specific heat, expansion, conductivity), taken at
  // every preparation so that the step makes no handler call; not saved.
  double stepValues[3] = {};

  ThermalModel() = default;
  std::unique_ptr<ZoneRecord> Clone() const override;
  int ModelType() const override { return modelType; }
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  void Call(ThermalModelMessage& message) const;
  // Operation 3 into stepValues.
  void TakeValues();
  // The model type, with its properties all 0.
  void SetModel(int type);
  int PropertyCount() const { return Description(modelType).count; }
  double Property(int slot) const { return properties ? properties[slot] : 0.0; }

  static constexpr int RowStart(int i) { return PackedRowStart(i); }

  static ThermalModelMessage Description(int type);
  // The first keyword of any model, in type order, of which the name is a
  // leading part; its full text goes to `out` when one is given.
  static bool FindPropertyName(const String& name, String* out);
  // The zone's property of that exact name.
  static bool GetPropertyValue(const Zone& zone, const String& name, double* out);
  // The 1-based position of the first keyword of the type of which the name
  // is a leading part; 0 for none.
  static int PropertyIndex(int type, const String& name);
  // The keywords of the record's model with the first letter in upper case.
  static String PropertyNames(const ThermalModel& record);
};

inline ThermalModel* ThermalRecord(const Zone& zone) { return static_cast<ThermalModel*>(zone.thermal.get()); }

// The thermal models as MODEL, PROPERTY and the listings see them.
class ThermalModelTable : public ZoneMaterialModels {
 public:
  int Count() const override { return kThermalModelCount; }
  String Name(int type) const override;
  String Keywords(int type) const override;
  int ZoneModel(const Zone& zone) const override;
  void SetZoneModel(Zone& zone, int type) override;
  String ZoneModelName(const Zone& zone) const override;
  double ZoneProperty(const Zone& zone, int slot) const override;
  void SetZoneProperty(Zone& zone, int slot, double value) override;
};
ThermalModelTable& TheThermalModelTable();

// Lets RESTORE make the zones' thermal records.
void InstallThermalRecords();
