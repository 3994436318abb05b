#include "cmodels/constitutive_model.h"

#include <array>
#include <cmath>

#include "base/savestream.h"
#include "base/string.h"
#include "cmodels/elastic_model.h"
#include "cmodels/mohr_model.h"
#include "cmodels/null_model.h"
#include "cmodels/viscous_model.h"

namespace {
// The prototypes, in library order. This list is the one place that names the
// built-in models; their names, type codes and property names are stored in
// save files and command files and never change.
const std::array<std::unique_ptr<ConstitutiveModel>, 4>& Prototypes() {
  static const std::array<std::unique_ptr<ConstitutiveModel>, 4> list = {
      std::make_unique<NullModel>(), std::make_unique<ElasticModel>(), std::make_unique<MohrModel>(),
      std::make_unique<ViscousModel>()};
  return list;
}

int ListLength(const char* const* list) {
  int n = 0;
  if (list)
    while (list[n]) ++n;
  return n;
}
}  // namespace

ConstitutiveModel::~ConstitutiveModel() = default;

void* ConstitutiveModel::operator new(size_t bytes, const std::nothrow_t&) noexcept {
  try {
    return SmallObjectAlloc(bytes);
  } catch (...) {
    return nullptr;
  }
}

bool ConstitutiveModel::SupportsHystDamp() const { return false; }

const char* ConstitutiveModel::UpdateZoneStress(uint32_t dimensions, ZoneStressBlock& block) {
  ModelState r = *block.zone;
  for (int i = 0; i < block.count; ++i) {
    r.tetIndex = static_cast<uint8_t>(i);
    r.state = block.state[i];
    r.tetVolume = block.volume[i];
    for (int j = 0; j < 6; ++j) r.strain[j] = block.strain[i][j];
    for (int j = 0; j < 6; ++j) r.stress[j] = block.stress[i][j];
    for (int j = 0; j < 3; ++j) r.spin[j] = block.spin ? block.spin[i][j] : 0.0;
    r.stiffnessDamping = 0;
    if (const char* message = UpdateStress(dimensions, r)) return message;
    for (int j = 0; j < 6; ++j) block.stress[i][j] = r.stress[j];
    block.state[i] = r.state;
    block.stiffnessDamping[i] = r.stiffnessDamping;
  }
  return nullptr;
}
bool ConstitutiveModel::AlwaysUpdateGeom() const { return false; }

int ConstitutiveModel::GetPropertyIndex(const char* name) const {
  if (!name) return 0;
  const char* const* props = Properties();
  for (int i = 0; props && props[i]; ++i)
    if (String(props[i]) == name) return i + 1;
  return 0;
}

bool ConstitutiveModel::SetPropertyValue(const char* name, double value) {
  int index = GetPropertyIndex(name);
  return index != 0 && SetPropertyByIndex(index, value);
}

int ConstitutiveModel::NumberOfProperties() const { return ListLength(Properties()); }
int ConstitutiveModel::NumberOfStates() const { return ListLength(States()); }

const char* ConstitutiveModel::GetState(uint32_t bit) const {
  if (bit == 0 || (bit & (bit - 1)) != 0) return "";
  int index = 0;
  while (!(bit & 1u)) {
    bit >>= 1;
    ++index;
  }
  return index < NumberOfStates() ? States()[index] : "";
}

int ConstitutiveModel::NumberAvailable() { return static_cast<int>(Prototypes().size()); }

const ConstitutiveModel* ConstitutiveModel::FindByIndex(int index) {
  if (index < 0 || index >= NumberAvailable()) return nullptr;
  return Prototypes()[static_cast<size_t>(index)].get();
}

const ConstitutiveModel* ConstitutiveModel::FindByMatch(const char* name) {
  if (!name || !*name) return nullptr;
  for (const auto& p : Prototypes())
    if (String(p->Name()).ComparePrefix(name) == 0) return p.get();
  return nullptr;
}

const ConstitutiveModel* ConstitutiveModel::FindByType(uint32_t type) {
  for (const auto& p : Prototypes())
    if (p->Type() == type) return p.get();
  return nullptr;
}

const char* ConstitutiveModel::Load(const char*) {
  // Every model of this program is built in.
  return "Model libraries cannot be loaded";
}

// ---------------------------------------------------------------------------
// ModelSaveObject

void ModelSaveObject::Initialize(uint32_t doubleCount, uint32_t intCount) {
  doubles.assign(doubleCount, 0.0);
  ints.assign(intCount, 0u);
}

void ModelSaveObject::Write(SaveStream& stream) const {
  stream.WriteU32(type);
  stream.WriteU32(word);
  stream.WriteU32(DoubleCount());
  stream.WriteU32(IntCount());
  for (double d : doubles) stream.WriteF64(d);
  for (uint32_t i : ints) stream.WriteU32(i);
}

void ModelSaveObject::Read(SaveStream& stream) {
  type = stream.ReadU32();
  word = stream.ReadU32();
  uint32_t nd = stream.ReadU32();
  uint32_t ni = stream.ReadU32();
  stream.CheckAvailable(static_cast<uint64_t>(nd) * 8 + static_cast<uint64_t>(ni) * 4);
  Initialize(nd, ni);
  for (double& d : doubles) d = stream.ReadF64();
  for (uint32_t& i : ints) i = stream.ReadU32();
}

// ---------------------------------------------------------------------------
// ConTableList

namespace {
ConTableList* g_tables = nullptr;
}

ConTableList::~ConTableList() {
  if (g_tables == this) g_tables = nullptr;
}

ConTableList* ConTableList::Instance() { return g_tables; }
void ConTableList::Install(ConTableList* list) { g_tables = list; }

int32_t ConTableList::Round(double value) {
  // Values outside the integer range go to its ends; not a number gives 0.
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  double whole = std::trunc(value);
  double fraction = value - whole;
  int64_t r = static_cast<int64_t>(whole);
  if (fraction >= 0.5)
    ++r;
  else if (fraction < -0.5)
    --r;
  if (r > INT32_MAX) r = INT32_MAX;
  if (r < INT32_MIN) r = INT32_MIN;
  return static_cast<int32_t>(r);
}
