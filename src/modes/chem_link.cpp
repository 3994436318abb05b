#include "modes/chem_link.h"

#include <algorithm>
#include <fstream>

#include "base/except.h"
#include "base/file.h"
#include "base/savestream.h"
#include "platform/chem_engine.h"

// ---------------------------------------------------------------------------
// STTable

void STTable::Build(int32_t phases, int32_t aqueous, std::vector<String> elements) {
  phases_ = phases;
  aqueous_ = aqueous;
  elements_ = std::move(elements);
  rows_.assign(static_cast<size_t>(phases + aqueous), STRow());
  dense_.assign(rows_.size() * elements_.size(), 0.0);
}

void STTable::CheckRow(int32_t i) const {
  if (i < 1 || i > Components()) throw QJExcept("ST table index out of bounds.");
}

void STTable::SetRow(int32_t i, std::vector<int32_t> coefficients, const String& name) {
  if (coefficients.size() != elements_.size()) throw QJExcept("Column size mismatch in chemical table.");
  if (i < 1 || i > Components()) throw QJExcept("Chemical component index out of bounds.");
  STRow& row = rows_[static_cast<size_t>(i - 1)];
  row.coefficients = std::move(coefficients);
  row.name = name;
  double* dense = dense_.data() + static_cast<size_t>(i - 1) * elements_.size();
  for (size_t e = 0; e < elements_.size(); ++e) dense[e] = row.coefficients[e];
}

const String& STTable::ComponentName(int32_t i) const {
  if (i < 1 || i > Components()) throw QJExcept("Chemical component index out of bounds.");
  return rows_[static_cast<size_t>(i - 1)].name;
}

const String& STTable::ElementName(int32_t i) const {
  if (i < 1 || i > Elements()) throw QJExcept("Element index out of bounds.");
  return elements_[static_cast<size_t>(i - 1)];
}

int32_t STTable::FindComponent(const String& name) const {
  for (size_t k = 0; k < rows_.size(); ++k)
    if (rows_[k].name == name) return static_cast<int32_t>(k + 1);
  return -1;
}

void STTable::RowCoefficients(int32_t i, std::vector<int32_t>& out) const {
  CheckRow(i);
  out = rows_[static_cast<size_t>(i - 1)].coefficients;
}

void STTable::ElementAmounts(int32_t i, double quantity, std::vector<double>& out) const {
  CheckRow(i);
  const std::vector<int32_t>& c = rows_[static_cast<size_t>(i - 1)].coefficients;
  out.resize(c.size());
  for (size_t e = 0; e < c.size(); ++e) out[e] = c[e] * quantity;
}

void STTable::Save(SaveStream& s) const {
  if (Components() < 1 || Elements() < 1) {
    for (int k = 0; k < 3; ++k) s.WriteI32(0);
    return;
  }
  s.WriteI32(phases_);
  s.WriteI32(aqueous_);
  s.WriteI32(Elements());
  for (const String& e : elements_) SaveString(s, e);
  for (const STRow& row : rows_) {
    s.WriteI32(row.integerAttribute);
    s.WriteF64(row.realAttribute);
    SaveString(s, row.name);
    s.WriteI32(static_cast<int32_t>(row.coefficients.size()));
    for (int32_t c : row.coefficients) s.WriteI32(c);
  }
}

// Every count is checked against the bytes left before anything is sized by
// it: an element name takes at least 4 bytes, a row at least 20.
void STTable::Restore(SaveStream& s) {
  const int32_t p = s.ReadI32();
  const int32_t q = s.ReadI32();
  const int32_t e = s.ReadI32();
  if (p < 0 || q < 0 || e < 0) s.ReadFailure();
  if (p + static_cast<int64_t>(q) == 0 || e == 0) {
    Clear();
    return;
  }
  s.CheckAvailable(static_cast<uint64_t>(e) * 4u + (static_cast<uint64_t>(p) + static_cast<uint64_t>(q)) * 20u);
  std::vector<String> names(static_cast<size_t>(e));
  for (String& n : names) RestoreString(s, n);
  STTable table;
  table.Build(p, q, std::move(names));
  for (int32_t i = 1; i <= p + q; ++i) {
    const int32_t integer = s.ReadI32();
    const double real = s.ReadF64();
    String name;
    RestoreString(s, name);
    const int32_t count = s.ReadI32();
    if (count != e) s.ReadFailure();
    s.CheckAvailable(static_cast<uint64_t>(count) * 4u);
    std::vector<int32_t> coefficients(static_cast<size_t>(count));
    for (int32_t& c : coefficients) c = s.ReadI32();
    table.SetRow(i, std::move(coefficients), name);
    STRow& row = table.rows_[static_cast<size_t>(i - 1)];
    row.integerAttribute = integer;
    row.realAttribute = real;
  }
  *this = std::move(table);
}

// ---------------------------------------------------------------------------
// ChemLink

bool& ChemComPreinitialised() {
  static bool preinitialised = false;
  return preinitialised;
}

ChemLink::ChemLink() : pair_(2, 0.0) { SizeArrays(); }

ChemLink::~ChemLink() { Disconnect(); }

namespace {
bool Readable(const String& name) {
  std::ifstream f(ExpandFileName(name).str(), std::ios::binary);
  return static_cast<bool>(f);
}
}  // namespace

bool ChemLink::SetApplicationFolder(const String* folder) {
  const String candidate = folder ? *folder : folder_;
  if (candidate.IsEmpty()) return false;
  const char last = candidate.GetAt(candidate.Length() - 1);
  const String file = candidate + (last == '\\' || last == '/' ? "unitherm.exe" : "/unitherm.exe");
  if (Readable(file)) {
    folder_ = candidate;
    return true;
  }
  folder_ = String();
  return false;
}

bool ChemLink::ReadSTTable(const String& file) {
  ready_ = false;
  stFile_ = file;
  if (file.IsEmpty()) return false;
  const String companion = file + "A";
  if (!Readable(file) || !Readable(companion)) {
    stFile_ = String();
    return false;
  }
  StFileTable read;
  switch (ReadStFile(ExpandFileName(companion).str(), read)) {
    case StFileStatus::kNotFound:
      stFile_ = String();
      return false;
    case StFileStatus::kColumnMismatch:
      throw QJExcept("Column size mismatch in chemical table.");
    case StFileStatus::kOk:
      break;
  }
  std::vector<String> elements;
  for (const std::string& e : read.elements) elements.emplace_back(e);
  STTable table;
  table.Build(read.phases, read.aqueous, std::move(elements));
  for (size_t k = 0; k < read.rows.size(); ++k)
    table.SetRow(static_cast<int32_t>(k + 1), std::move(read.rows[k].coefficients), String(read.rows[k].name));
  table_ = std::move(table);
  SizeArrays();
  ready_ = true;
  return true;
}

void ChemLink::SizeArrays() {
  inputs_.assign(static_cast<size_t>(table_.Elements()) + 1, 0.0);
  amounts_.assign(static_cast<size_t>(table_.Components()) + 1, 0.0);
  values_.assign(static_cast<size_t>(table_.Components()) + 1, 0.0f);
}

bool ChemLink::Connect(bool comPreinitialised) {
  comPreinitialised_ = comPreinitialised;
  engine_.reset();
  connected_ = true;
  engine_ = StartChemEngine();
  if (!engine_) {
    connected_ = false;
    return false;
  }
  engine_->PutFolder(folder_.str());
  if (engine_->GetFolder() != folder_.str()) {
    Disconnect();
    return false;
  }
  engine_->PutStFile(stFile_.str());
  if (engine_->GetStFile() != stFile_.str()) {
    Disconnect();
    return false;
  }
  if (!options_.IsEmpty()) engine_->PutOptions(options_.str());
  return true;
}

bool ChemLink::TestConnection(bool comPreinitialised) {
  comPreinitialised_ = comPreinitialised;
  engine_ = StartChemEngine();
  const bool found = engine_ != nullptr;
  connected_ = found;
  Disconnect();
  return found;
}

void ChemLink::Disconnect() {
  engine_.reset();
  connected_ = false;
}

int16_t ChemLink::Equilibrate(double temperature, double pressure, double water, const double* elements,
                              std::vector<double>& out, String* text) {
  const size_t e = static_cast<size_t>(table_.Elements());
  const size_t n = static_cast<size_t>(table_.Components());
  inputs_[0] = water;
  std::copy(elements, elements + e, inputs_.begin() + 1);
  lastTemperature_ = static_cast<float>(temperature);
  lastPressure_ = static_cast<float>(pressure * 1e-05);
  pair_[0] = pair_[1] = 0.0;
  std::fill(amounts_.begin(), amounts_.end(), 0.0);
  std::fill(values_.begin(), values_.end(), 0.0f);
  out.resize(n + 1);
  if (!Connected()) {
    if (text) *text = "Gibbs chemistry application not connected.";
    return 1;
  }
  ChemExchange x;
  x.temperature = lastTemperature_;
  x.pressure = lastPressure_;
  x.pair = pair_.data();
  x.inputs = inputs_.data();
  x.inputCount = static_cast<int32_t>(e + 1);
  x.amounts = amounts_.data();
  x.values = values_.data();
  x.componentCount = static_cast<int32_t>(n + 1);
  const int16_t status = engine_->Equilibrate(x);
  if (text) *text = String(engine_->ResultText());
  out[0] = 0.0;
  std::copy(amounts_.begin() + 1, amounts_.end(), out.begin() + 1);
  return status;
}

String ChemLink::LastResultText() const {
  return engine_ ? String(engine_->ResultText()) : String("Gibbs chemistry application not connected.");
}

void ChemLink::GetState(float* temperature, float* pressure, std::vector<double>& inputs) const {
  *temperature = lastTemperature_;
  *pressure = lastPressure_;
  inputs = inputs_;
}

void ChemLink::Save(SaveStream& s) const {
  SaveString(s, stFile_);
  SaveString(s, folder_);
  SaveString(s, options_);
  table_.Save(s);
}

void ChemLink::Restore(SaveStream& s, int32_t version) {
  RestoreString(s, stFile_);
  RestoreString(s, folder_);
  if (version >= 315)
    RestoreString(s, options_);
  else
    options_ = String();
  table_.Restore(s);
  SizeArrays();
  ready_ = table_.Components() > 0 && table_.Elements() > 0;
}
