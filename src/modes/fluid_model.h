// The fluid material models of zones: the per-zone record, the table of
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
struct FluidModelMessage {
  enum Operation : uint8_t { kDefaults = 1, kFlux = 2, kValues = 3, kDescription = 5 };
  const char* name = nullptr;      // description: the model name with a trailing blank
  const char* keywords = nullptr;  // description: the blank-separated property keywords
  uint8_t count = 0;               // description: the number of keywords
  uint8_t operation = 0;
  double values[4] = {0, 0, 0, 0};  // values: permeability, porosity, u_thc, Biot value
  double* data = nullptr;           // the zone's property values
  double gradient[3] = {0, 0, 0};   // flux: pore-pressure gradient
  double flux[3] = {0, 0, 0};       // flux: specific discharge
};

using FluidModelHandler = void (*)(FluidModelMessage*);

// The handlers in type order: fl_null, fl_isotropic, fl_anisotropic.
constexpr int kFluidModelCount = 3;
extern const FluidModelHandler kFluidModelHandlers[kFluidModelCount];

// Positions in the property arrays.
namespace fluid_props {
enum Isotropic : int { kPermeability = 0, kPorosity = 1, kThermal = 2, kBiot = 3 };
enum Anisotropic : int {
  kAPorosity = 0,
  kAThermal = 1,
  kABiot = 2,
  kDipDirection = 3,
  kDip = 4,
  kRotation = 5,
  kK1 = 6,
  kKxx = 9,  // then kyy, kzz, kxy, kxz, kyz
};
}  // namespace fluid_props

// A zone's fluid model record.
class FluidModel : public ZoneRecord {
 public:
  // What the step reads of the record comes first, on its first two lines;
  // the matrix, which the step reads from its own copy, and the properties
  // follow.
  int32_t modelType = 0;
  // The record's place in the fluid step's zone list, laid out at every
  // preparation (checked against the list before use); not saved, not copied.
  int32_t stepIndex = -1;
  // Operation 3's answer, kept so that the step makes no handler call: taken
  // again whenever a property, the model or the Biot mode changes, and at
  // every preparation; not saved.
  double stepValues[4] = {};
  double density = 0.0;
  double cornerWeights[8] = {};
  double cutPressureSum = 0.0;
  // Packed upper triangle of the symmetric 8 x 8 conductance matrix, by rows.
  double matrix[36] = {};
  std::unique_ptr<double[]> properties;  // one value per keyword; none until MODEL

  FluidModel() = default;
  std::unique_ptr<ZoneRecord> Clone() const override;
  int ModelType() const override { return modelType; }
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  // One call of the record's handler on its property values.
  void Call(FluidModelMessage& message) const;
  // Operation 3: permeability, porosity, u_thc, Biot value.
  void Values(double out[4]) const;
  // Operation 3 into stepValues.
  void TakeValues() { Values(stepValues); }
  // The model type, with its properties all 0.
  void SetModel(int type);
  int PropertyCount() const { return Description(modelType).count; }

  // The start of row i in the packed matrix.
  static constexpr int RowStart(int i) { return PackedRowStart(i); }

  static FluidModelMessage Description(int type);
  // The first keyword of any model, in type order, of which the name is a
  // leading part; its full text goes to `out` when one is given.
  static bool FindPropertyName(const String& name, String* out);
  // The zone's property of that exact name.
  static bool GetPropertyValue(const Zone& zone, const String& name, double* out);
  // The 1-based position of the first keyword of the type of which the name
  // is a leading part; 0 for none.
  static int PropertyIndex(int type, const String& name);
  // The keywords of the record's model with the first letter in upper case.
  static String PropertyNames(const FluidModel& record);
};

// The zone's fluid record; none when it has none (or another kind).
inline FluidModel* FluidRecord(const Zone& zone) { return static_cast<FluidModel*>(zone.fluid.get()); }

// The fluid models as MODEL, PROPERTY and the listings see them.
class FluidModelTable : public ZoneMaterialModels {
 public:
  int Count() const override { return kFluidModelCount; }
  String Name(int type) const override;
  String Keywords(int type) const override;
  int ZoneModel(const Zone& zone) const override;
  void SetZoneModel(Zone& zone, int type) override;
  String ZoneModelName(const Zone& zone) const override;
  double ZoneProperty(const Zone& zone, int slot) const override;
  void SetZoneProperty(Zone& zone, int slot, double value) override;
  double ZoneFluidDensity(const Zone& zone) const override;
  int ZoneStateValueCount() const override { return 2; }
  void ZoneStateValues(const Zone& zone, double out[2]) const override;
  void SetZoneStateValues(Zone& zone, const double values[2]) override;
};
FluidModelTable& TheFluidModelTable();

// Lets RESTORE make the zones' fluid records.
void InstallFluidRecords();
