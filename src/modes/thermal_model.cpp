#include "modes/thermal_model.h"
#include "modes/mode_model_table.h"

#include <cmath>
#include <cstring>

#include "base/except.h"
#include "base/savestream.h"
#include "model/calc_module.h"
#include "model/restore_fields.h"

namespace {

using namespace thermal_props;

constexpr const char* kIsotropicKeywords = "conductivity spec_heat thexp ";
constexpr const char* kAnisotropicKeywords = "spec_heat thexp tdd tdip trot tk1 tk2 tk3 tkxx tkyy tkzz tkxy tkxz tkyz ";
constexpr const char* kAdvectionKeywords =
    "econduct espec_heat thexp lspec_heat f_thexp f_T0 f_qx f_qy f_qz conductivity spec_heat lconduct f_rho ac_gx "
    "ac_gy ac_gz ";
constexpr const char* kConcreteKeywords =
    "conductivity spec_heat thexp qmax cement b_const t1_const gas_const e_activate alpha t_therm t_concrete heat ";
constexpr const char* kHydKeywords =
    "conductivity spec_heat thexp qmax cement b_const t1_const gas_const e_activate alpha t_therm t_concrete heat "
    "E_a1 E_a2 T_0EA dT C_p1 dC_pa T_1pc dC_pT lambda_1 dLambda_a dLambda_T T_maxq";

void MatMul3(const double a[3][3], const double b[3][3], double out[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}

// The conductivity tensor from the principal values and the orientation
// (dip direction, dip, rotation in degrees) into tkxx ... tkyz.
void AnisotropicTensor(double* d) {
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

void IsotropicFlux(ThermalModelMessage* m, double k) {
  for (int i = 0; i < 3; ++i) m->flux[i] = -(k * m->gradient[i]);
}

void Describe(ThermalModelMessage* m, const char* name, const char* keywords, int count) {
  m->name = name;
  m->keywords = keywords;
  m->count = static_cast<uint8_t>(count);
}

void NullModel(ThermalModelMessage* m) {
  switch (m->operation) {
    case ThermalModelMessage::kFlux:
      m->flux[0] = m->flux[1] = m->flux[2] = 0.0;
      break;
    case ThermalModelMessage::kValues:
      m->specificHeat = m->expansion = m->conductivity = 0.0;
      break;
    case ThermalModelMessage::kDescription:
      Describe(m, "th_null ", " ", 0);
      break;
    default:
      break;
  }
}

void IsotropicModel(ThermalModelMessage* m) {
  const double* d = m->data;
  switch (m->operation) {
    case ThermalModelMessage::kFlux:
      IsotropicFlux(m, d[kConductivity]);
      break;
    case ThermalModelMessage::kValues:
      m->specificHeat = d[kSpecHeat];
      m->expansion = d[kThexp];
      m->conductivity = d[kConductivity];
      break;
    case ThermalModelMessage::kDescription:
      Describe(m, "th_isotropic ", kIsotropicKeywords, 3);
      break;
    default:
      break;
  }
}

void AnisotropicModel(ThermalModelMessage* m) {
  double* d = m->data;
  switch (m->operation) {
    case ThermalModelMessage::kPrepare:
      AnisotropicTensor(d);
      break;
    case ThermalModelMessage::kFlux: {
      const double* k = d + kKxx;  // xx yy zz xy xz yz
      const double* g = m->gradient;
      m->flux[0] = -(k[0] * g[0] + k[3] * g[1] + k[4] * g[2]);
      m->flux[1] = -(k[3] * g[0] + k[1] * g[1] + k[5] * g[2]);
      m->flux[2] = -(k[4] * g[0] + k[5] * g[1] + k[2] * g[2]);
      break;
    }
    case ThermalModelMessage::kValues: {
      double largest = d[kK1];
      for (int i = 1; i < 3; ++i)
        if (d[kK1 + i] >= largest) largest = d[kK1 + i];
      m->specificHeat = d[kASpecHeat];
      m->expansion = d[kAThexp];
      m->conductivity = largest;
      break;
    }
    case ThermalModelMessage::kDescription:
      Describe(m, "th_anisotropic ", kAnisotropicKeywords, 14);
      break;
    default:
      break;
  }
}

// Conduction through solid and fluid with the heat the fluid flow carries.
void AdvectionModel(ThermalModelMessage* m) {
  double* d = m->data;
  switch (m->operation) {
    case ThermalModelMessage::kPrepare:
      for (int i = 0; i < 3; ++i) d[kFq + i] = m->flux[i];
      d[kEConduct] = d[kLConduct] * m->extra[2] + d[kCConductivity];
      if (m->extra[1] > 0.0) d[kESpecHeat] = d[kLSpecHeat] * m->extra[0] * m->extra[2] / m->extra[1] + d[kCSpecHeat];
      break;
    case ThermalModelMessage::kFlux:
      IsotropicFlux(m, d[kEConduct]);
      break;
    case ThermalModelMessage::kValues:
      m->specificHeat = d[kESpecHeat];
      m->expansion = d[kCThexp];
      m->conductivity = d[kEConduct];
      m->extra[0] = d[kLSpecHeat];
      m->extra[1] = d[kFThexp];
      m->extra[2] = d[kFT0];
      for (int i = 0; i < 3; ++i) {
        m->gradient[i] = d[kAcG + i];
        m->flux[i] = d[kFq + i];
      }
      break;
    case ThermalModelMessage::kDescription:
      Describe(m, "th_ac ", kAdvectionKeywords, 16);
      break;
    case ThermalModelMessage::kStoreFluidDensity:
      d[kFRho] = m->extra[0];
      break;
    default:
      break;
  }
}

// The hydration step common to both concrete models: the equivalent age
// advances by the Arrhenius rate of activation energy e, and the degree of
// hydration and the heat it releases follow from it.
void HydrationStep(ThermalModelMessage* m, double e) {
  double* d = m->data;
  const double h = m->timestep == 0.0 ? 1.0 : m->timestep;
  const double t = m->temperature;
  d[kTTherm] += h;
  if (t < 293.0) e += (293.0 - t) * 1.47;
  d[kTConcrete] += std::exp((1.0 / 293.0 - 1.0 / t) / d[kGasConst] * e) * h;
  const double before = d[kAlpha];
  const double l = std::log(1.0 + d[kTConcrete] / d[kT1Const]);
  double alpha = 0.0;
  if (l != 0.0) {
    const double y = std::pow(l, d[kBConst]);
    alpha = -y < -100.0 ? 0.0 : std::exp(-y);
  }
  d[kAlpha] = alpha;
  m->heat = d[kQmax] / h * (alpha - before) * d[kCement];
  m->hydration = alpha;
  d[kHeat] = m->heat;
}

void ConcreteModel(ThermalModelMessage* m) {
  const double* d = m->data;
  switch (m->operation) {
    case ThermalModelMessage::kHydration:
      HydrationStep(m, d[kEActivate]);
      break;
    case ThermalModelMessage::kDescription:
      Describe(m, "th_hyd_concrete1 ", kConcreteKeywords, 14);
      break;
    default:
      IsotropicModel(m);
      break;
  }
}

// As th_hyd_concrete1 with an activation energy that changes over a
// transition of width dT around T_0EA, and with specific heat and
// conductivity that follow the temperature and the degree of hydration.
void HydModel(ThermalModelMessage* m) {
  double* d = m->data;
  switch (m->operation) {
    case ThermalModelMessage::kHydration: {
      const double t = m->temperature;
      const double e = (d[kEa2] - d[kEa1]) / (std::exp((t - d[kT0Ea]) / d[kDT]) + 1.0) + d[kEa1];
      const double alpha = d[kAlpha];
      d[kSpecHeat] = d[kDCpa] * alpha + (t - d[kT1pc]) * d[kDCpT] + d[kCp1];
      d[kConductivity] = (d[kDLambdaT] * t + 1.0) * (d[kDLambdaA] * alpha + d[kLambda1]);
      HydrationStep(m, e);
      if (t > d[kTMaxq]) {
        m->heat = 0.0;
        d[kHeat] = 0.0;
      }
      break;
    }
    case ThermalModelMessage::kDescription:
      Describe(m, "th_hyd ", kHydKeywords, 25);
      break;
    default:
      IsotropicModel(m);
      break;
  }
}

String TrimmedName(int type) {
  String name(ThermalModel::Description(type).name);
  name.SetLength(name.Length() - 1);
  return name;
}

ZoneRecord* NewThermalRecord() { return new ThermalModel(); }

}  // namespace

const ThermalModelHandler kThermalModelHandlers[kThermalModelCount] = {
    &NullModel, &IsotropicModel, &AnisotropicModel, &AdvectionModel, &ConcreteModel, &HydModel};

std::unique_ptr<ZoneRecord> ThermalModel::Clone() const {
  auto copy = std::make_unique<ThermalModel>();
  copy->modelType = modelType;
  std::memcpy(copy->matrix, matrix, sizeof(matrix));
  if (properties) {
    const size_t n = static_cast<size_t>(PropertyCount());
    copy->properties = std::make_unique<double[]>(n > 0 ? n : 1);
    std::memcpy(copy->properties.get(), properties.get(), sizeof(double) * n);
  }
  std::memcpy(copy->stepValues, stepValues, sizeof(stepValues));
  return copy;
}

void ThermalModel::Call(ThermalModelMessage& m) const {
  m.data = properties.get();
  // A model with properties never runs without its array.
  static double none[32] = {};
  if (!m.data) m.data = none;
  kThermalModelHandlers[modelType](&m);
}

void ThermalModel::TakeValues() {
  ThermalModelMessage m;
  m.operation = ThermalModelMessage::kValues;
  Call(m);
  stepValues[0] = m.specificHeat;
  stepValues[1] = m.expansion;
  stepValues[2] = m.conductivity;
}

void ThermalModel::SetModel(int type) {
  modelType = type;
  const int n = Description(type).count;
  properties = std::make_unique<double[]>(static_cast<size_t>(n > 0 ? n : 1));
  TakeValues();
}

ThermalModelMessage ThermalModel::Description(int type) {
  ThermalModelMessage m;
  m.operation = ThermalModelMessage::kDescription;
  if (type >= 0 && type < kThermalModelCount) kThermalModelHandlers[type](&m);
  return m;
}

bool ThermalModel::FindPropertyName(const String& name, String* out) {
  for (int type = 0; type < kThermalModelCount; ++type)
    if (FindKeywordPrefix(Description(type).keywords, name, out)) return true;
  return false;
}

bool ThermalModel::GetPropertyValue(const Zone& zone, const String& name, double* out) {
  const ThermalModel* record = ThermalRecord(zone);
  if (!record || !record->properties) return false;
  return KeywordValue(Description(record->modelType).keywords, record->properties.get(), name, out);
}

int ThermalModel::PropertyIndex(int type, const String& name) {
  return KeywordPrefixIndex(Description(type).keywords, name);
}

String ThermalModel::PropertyNames(const ThermalModel& record) {
  return UpperFirst(String(Description(record.modelType).keywords));
}

void ThermalModel::Save(SaveStream& s) const {
  s.WriteI32(modelType);
  for (double v : matrix) s.WriteF64(v);
  const int n = properties ? PropertyCount() : 0;
  s.WriteU8(static_cast<uint8_t>(n));
  for (int i = 0; i < n; ++i) s.WriteF64(properties[i]);
}

// A type outside the table is refused before anything of the record
// changes; a property count above the model's cannot come from a writer.
void ThermalModel::Restore(SaveStream& s) {
  const int32_t type = s.ReadI32();
  if (type < 0 || type >= kThermalModelCount) {
    String text("Thermal model read error.\nSave file created with a later version.\n");
    text += FormatText("This version has %1 thermal models available.\n", IntToString(kThermalModelCount).c_str());
    text += FormatText("Save file has thermal model %1.", IntToString(type).c_str());
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
  modelType = type;
  std::memcpy(matrix, m, sizeof(matrix));
  properties = std::move(values);
  TakeValues();
}

// ---------------------------------------------------------------------------
// The table

String ThermalModelTable::Name(int type) const { return TrimmedName(type); }

String ThermalModelTable::Keywords(int type) const { return String(ThermalModel::Description(type).keywords); }

int ThermalModelTable::ZoneModel(const Zone& zone) const {
  const ThermalModel* r = ThermalRecord(zone);
  return r ? r->modelType : 0;
}

void ThermalModelTable::SetZoneModel(Zone& zone, int type) {
  if (!zone.thermal) zone.thermal = std::make_unique<ThermalModel>();
  ThermalRecord(zone)->SetModel(type);
}

String ThermalModelTable::ZoneModelName(const Zone& zone) const { return UpperFirst(TrimmedName(ZoneModel(zone))); }

double ThermalModelTable::ZoneProperty(const Zone& zone, int slot) const {
  const ThermalModel* r = ThermalRecord(zone);
  if (!r || !r->properties || slot < 0 || slot >= r->PropertyCount()) return 0.0;
  return r->properties[slot];
}

void ThermalModelTable::SetZoneProperty(Zone& zone, int slot, double value) {
  ThermalModel* r = ThermalRecord(zone);
  if (!r || slot < 0 || slot >= r->PropertyCount()) return;
  if (!r->properties) r->SetModel(r->modelType);
  r->properties[slot] = value;
  r->TakeValues();
}

ThermalModelTable& TheThermalModelTable() {
  static ThermalModelTable table;
  return table;
}

void InstallThermalRecords() { InstallZoneRecordFactory(CalcModule::kThermal, &NewThermalRecord); }
