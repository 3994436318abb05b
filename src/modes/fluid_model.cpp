#include "modes/fluid_model.h"
#include "modes/mode_model_table.h"

#include <cmath>
#include <cstring>

#include "base/except.h"
#include "base/savestream.h"
#include "model/calc_module.h"
#include "model/restore_fields.h"

namespace {

constexpr const char* kIsotropicKeywords = "permeability porosity u_thc biot_c ";
constexpr const char* kAnisotropicKeywords = "porosity u_thc biot_c fdd fdip frot k1 k2 k3 kxx kyy kzz kxy kxz kyz";

// The Biot value of operation 3: biot_c in Biot mode, else 1.
double BiotValue(double biot) {
  const FluidCalcModule* module = Modes().fluid;
  return module && module->BiotOn() ? biot : 1.0;
}

void ValidatePorosityBiot(double* d, int porosity, int biot) {
  if (d[porosity] == 0.0) d[porosity] = 0.5;
  if (d[biot] == 0.0) d[biot] = 1.0;
}

void MatMul3(const double a[3][3], const double b[3][3], double out[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}

// The permeability tensor from the principal values and the orientation
// (dip direction, dip, rotation in degrees) into kxx ... kyz.
void AnisotropicTensor(double* d) {
  using namespace fluid_props;
  const double r = std::acos(-1.0) / 180.0;
  const double a = (90.0 - d[kDipDirection]) * r, b = -d[kDip] * r, c = -d[kRotation] * r;
  const double ra[3][3] = {{std::cos(a), std::sin(a), 0}, {-std::sin(a), std::cos(a), 0}, {0, 0, 1}};
  const double rb[3][3] = {{std::cos(b), 0, std::sin(b)}, {0, 1, 0}, {-std::sin(b), 0, std::cos(b)}};
  const double rc[3][3] = {{std::cos(c), std::sin(c), 0}, {-std::sin(c), std::cos(c), 0}, {0, 0, 1}};
  double rcb[3][3], rot[3][3];
  MatMul3(rc, rb, rcb);
  MatMul3(rcb, ra, rot);
  const double k[3] = {d[kK1], d[kK1 + 1], d[kK1 + 2]};
  double t[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      t[i][j] = rot[0][i] * k[0] * rot[0][j] + rot[1][i] * k[1] * rot[1][j] + rot[2][i] * k[2] * rot[2][j];
  d[kKxx] = t[0][0];
  d[kKxx + 1] = t[1][1];
  d[kKxx + 2] = t[2][2];
  d[kKxx + 3] = t[0][1];
  d[kKxx + 4] = t[0][2];
  d[kKxx + 5] = t[1][2];
}

void NullModel(FluidModelMessage* m) {
  switch (m->operation) {
    case FluidModelMessage::kFlux:
      m->flux[0] = m->flux[1] = m->flux[2] = 0.0;
      break;
    case FluidModelMessage::kValues:
      m->values[0] = m->values[1] = m->values[2] = m->values[3] = 0.0;
      break;
    case FluidModelMessage::kDescription:
      m->name = "fl_null ";
      m->keywords = " ";
      m->count = 0;
      break;
    default:
      break;
  }
}

void IsotropicModel(FluidModelMessage* m) {
  using namespace fluid_props;
  double* d = m->data;
  switch (m->operation) {
    case FluidModelMessage::kDefaults:
      ValidatePorosityBiot(d, kPorosity, kBiot);
      break;
    case FluidModelMessage::kFlux:
      for (int i = 0; i < 3; ++i) m->flux[i] = -(d[kPermeability] * m->gradient[i]);
      break;
    case FluidModelMessage::kValues:
      m->values[0] = d[kPermeability];
      m->values[1] = d[kPorosity];
      m->values[2] = d[kThermal];
      m->values[3] = BiotValue(d[kBiot]);
      break;
    case FluidModelMessage::kDescription:
      m->name = "fl_isotropic ";
      m->keywords = kIsotropicKeywords;
      m->count = 4;
      break;
    default:
      break;
  }
}

void AnisotropicModel(FluidModelMessage* m) {
  using namespace fluid_props;
  double* d = m->data;
  switch (m->operation) {
    case FluidModelMessage::kDefaults:
      ValidatePorosityBiot(d, kAPorosity, kABiot);
      AnisotropicTensor(d);
      break;
    case FluidModelMessage::kFlux: {
      const double* k = d + kKxx;  // xx yy zz xy xz yz
      const double* g = m->gradient;
      m->flux[0] = -(k[0] * g[0] + k[3] * g[1] + k[4] * g[2]);
      m->flux[1] = -(k[3] * g[0] + k[1] * g[1] + k[5] * g[2]);
      m->flux[2] = -(k[4] * g[0] + k[5] * g[1] + k[2] * g[2]);
      break;
    }
    case FluidModelMessage::kValues: {
      double largest = d[kK1];
      for (int i = 1; i < 3; ++i)
        if (d[kK1 + i] >= largest) largest = d[kK1 + i];
      m->values[0] = largest;
      m->values[1] = d[kAPorosity];
      m->values[2] = d[kAThermal];
      m->values[3] = BiotValue(d[kABiot]);
      break;
    }
    case FluidModelMessage::kDescription:
      m->name = "fl_anisotropic ";
      m->keywords = kAnisotropicKeywords;
      m->count = 15;
      break;
    default:
      break;
  }
}

String TrimmedName(int type) {
  String name(FluidModel::Description(type).name);
  name.SetLength(name.Length() - 1);
  return name;
}

ZoneRecord* NewFluidRecord() { return new FluidModel(); }

}  // namespace

const FluidModelHandler kFluidModelHandlers[kFluidModelCount] = {&NullModel, &IsotropicModel, &AnisotropicModel};

std::unique_ptr<ZoneRecord> FluidModel::Clone() const {
  auto copy = std::make_unique<FluidModel>();
  copy->modelType = modelType;
  std::memcpy(copy->matrix, matrix, sizeof(matrix));
  if (properties) {
    const int n = PropertyCount();
    copy->properties = std::make_unique<double[]>(static_cast<size_t>(n));
    std::memcpy(copy->properties.get(), properties.get(), sizeof(double) * static_cast<size_t>(n));
  }
  copy->cutPressureSum = cutPressureSum;
  copy->density = density;
  std::memcpy(copy->cornerWeights, cornerWeights, sizeof(cornerWeights));
  std::memcpy(copy->stepValues, stepValues, sizeof(stepValues));
  return copy;
}

void FluidModel::Call(FluidModelMessage& m) const {
  m.data = properties.get();
  // A model with properties never runs without its array.
  static double none[16] = {};
  if (!m.data) m.data = none;
  kFluidModelHandlers[modelType](&m);
}

void FluidModel::Values(double out[4]) const {
  FluidModelMessage m;
  m.operation = FluidModelMessage::kValues;
  Call(m);
  for (int i = 0; i < 4; ++i) out[i] = m.values[i];
}

void FluidModel::SetModel(int type) {
  modelType = type;
  const int n = Description(type).count;
  properties = std::make_unique<double[]>(static_cast<size_t>(n > 0 ? n : 1));
  TakeValues();
}

FluidModelMessage FluidModel::Description(int type) {
  FluidModelMessage m;
  m.operation = FluidModelMessage::kDescription;
  if (type >= 0 && type < kFluidModelCount) kFluidModelHandlers[type](&m);
  return m;
}

bool FluidModel::FindPropertyName(const String& name, String* out) {
  for (int type = 0; type < kFluidModelCount; ++type)
    if (FindKeywordPrefix(Description(type).keywords, name, out)) return true;
  return false;
}

bool FluidModel::GetPropertyValue(const Zone& zone, const String& name, double* out) {
  const FluidModel* record = FluidRecord(zone);
  if (!record || !record->properties) return false;
  return KeywordValue(Description(record->modelType).keywords, record->properties.get(), name, out);
}

int FluidModel::PropertyIndex(int type, const String& name) {
  return KeywordPrefixIndex(Description(type).keywords, name);
}

String FluidModel::PropertyNames(const FluidModel& record) {
  return UpperFirst(String(Description(record.modelType).keywords));
}

void FluidModel::Save(SaveStream& s) const {
  s.WriteI32(modelType);
  for (double v : matrix) s.WriteF64(v);
  const int n = properties ? PropertyCount() : 0;
  s.WriteU8(static_cast<uint8_t>(n));
  for (int i = 0; i < n; ++i) s.WriteF64(properties[i]);
  s.WriteF64(cutPressureSum);
  s.WriteF64(density);
  for (double v : cornerWeights) s.WriteF64(v);
}

// A type outside the table is refused before anything of the record
// changes; a property count above the model's cannot come from a writer.
void FluidModel::Restore(SaveStream& s) {
  const int32_t type = s.ReadI32();
  if (type < 0 || type >= kFluidModelCount) {
    String text("Fluid model read error.\nSave file created with a later version.\n");
    text += FormatText("This version has %1 fluid models available.\n", IntToString(kFluidModelCount).c_str());
    text += FormatText("Save file has fluid model %1.", IntToString(type).c_str());
    throw KWRExcept(text);
  }
  const bool floats = FileVersion() < 310;
  double m[36];
  for (double& v : m) v = ReadReal(s, floats);
  const int count = Description(type).count;
  const int n = s.ReadU8();
  if (n > count) s.ReadFailure();
  std::unique_ptr<double[]> values;
  if (n != 0) {
    values = std::make_unique<double[]>(static_cast<size_t>(count));
    for (int i = 0; i < n; ++i) values[i] = ReadReal(s, floats);
  }
  const double cut = ReadReal(s, floats);
  const double rho = ReadReal(s, floats);
  double w[8];
  for (double& v : w) v = ReadReal(s, floats);
  modelType = type;
  std::memcpy(matrix, m, sizeof(matrix));
  properties = std::move(values);
  cutPressureSum = cut;
  density = rho;
  std::memcpy(cornerWeights, w, sizeof(cornerWeights));
  TakeValues();
}

// ---------------------------------------------------------------------------
// The table

String FluidModelTable::Name(int type) const { return TrimmedName(type); }

String FluidModelTable::Keywords(int type) const { return String(FluidModel::Description(type).keywords); }

int FluidModelTable::ZoneModel(const Zone& zone) const {
  const FluidModel* r = FluidRecord(zone);
  return r ? r->modelType : 0;
}

void FluidModelTable::SetZoneModel(Zone& zone, int type) {
  if (!zone.fluid) zone.fluid = std::make_unique<FluidModel>();
  FluidRecord(zone)->SetModel(type);
}

String FluidModelTable::ZoneModelName(const Zone& zone) const {
  String name = TrimmedName(ZoneModel(zone));
  if (!name.IsEmpty() && name.GetAt(0) >= 'a' && name.GetAt(0) <= 'z')
    name.SetAt(0, static_cast<char>(name.GetAt(0) - 'a' + 'A'));
  return name;
}

double FluidModelTable::ZoneProperty(const Zone& zone, int slot) const {
  const FluidModel* r = FluidRecord(zone);
  if (!r || !r->properties || slot < 0 || slot >= r->PropertyCount()) return 0.0;
  return r->properties[slot];
}

void FluidModelTable::SetZoneProperty(Zone& zone, int slot, double value) {
  FluidModel* r = FluidRecord(zone);
  if (!r || slot < 0 || slot >= r->PropertyCount()) return;
  if (!r->properties) r->SetModel(r->modelType);
  r->properties[slot] = value;
  r->TakeValues();
}

double FluidModelTable::ZoneFluidDensity(const Zone& zone) const {
  const FluidModel* r = FluidRecord(zone);
  return r ? r->density : 0.0;
}

void FluidModelTable::ZoneStateValues(const Zone& zone, double out[2]) const {
  const FluidModel* r = FluidRecord(zone);
  out[0] = r ? r->cutPressureSum : 0.0;
  out[1] = r ? r->density : 0.0;
}

void FluidModelTable::SetZoneStateValues(Zone& zone, const double values[2]) {
  if (FluidModel* r = FluidRecord(zone)) {
    r->cutPressureSum = values[0];
    r->density = values[1];
  }
}

FluidModelTable& TheFluidModelTable() {
  static FluidModelTable table;
  return table;
}

void InstallFluidRecords() { InstallZoneRecordFactory(CalcModule::kFluid, &NewFluidRecord); }
