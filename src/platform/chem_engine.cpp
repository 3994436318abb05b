#include "platform/chem_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

// ---------------------------------------------------------------------------
// ST table files

namespace {

constexpr const char* kPhasesLine = "* * * Individual phases * * *";
constexpr const char* kAqueousLine = "* * * Aqueous solution * * *";
constexpr const char* kEndLine = "======= End of file";

std::string Trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return std::string();
  const size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

std::vector<std::string> Tokens(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  std::string t;
  while (in >> t) out.push_back(t);
  return out;
}

bool ParseInt(const std::string& t, int32_t* out) {
  char* end = nullptr;
  const long v = std::strtol(t.c_str(), &end, 10);
  if (end == t.c_str() || *end != '\0' || v < std::numeric_limits<int32_t>::min() ||
      v > std::numeric_limits<int32_t>::max())
    return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// A row line: one leading token, E coefficients, `skipped` further tokens and the name.
bool ParseRow(const std::string& line, size_t elements, int skipped, StFileRow& row) {
  const std::vector<std::string> t = Tokens(line);
  if (t.size() != elements + 2 + static_cast<size_t>(skipped)) return false;
  row.coefficients.resize(elements);
  for (size_t e = 0; e < elements; ++e)
    if (!ParseInt(t[1 + e], &row.coefficients[e])) return false;
  row.name = t.back();
  return true;
}

}  // namespace

StFileStatus ReadStFile(const std::string& companion, StFileTable& out) {
  out = StFileTable();
  std::string path = companion;
  for (char& c : path)
    if (c == '\\') c = '/';
  std::ifstream in(path, std::ios::binary);
  if (!in) return StFileStatus::kNotFound;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trimmed(line) == kEndLine) break;
    lines.push_back(line);
  }

  // First pass: the element header and the extent of the two sections.
  StFileTable table;
  bool header = false;
  size_t phasesAt = lines.size(), aqueousAt = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::string t = Trimmed(line);
    if (!header) {
      const size_t z = line.find('z');
      if (z != std::string::npos && Trimmed(line.substr(z)) == "z   a") {
        header = true;
        table.elements = Tokens(line.substr(0, z));
        continue;
      }
    }
    if (t == kPhasesLine && phasesAt == lines.size()) {
      phasesAt = i;
    } else if (t == kAqueousLine && aqueousAt == lines.size()) {
      aqueousAt = i;
    }
  }
  if (phasesAt < lines.size())
    table.phases = static_cast<int32_t>((aqueousAt > phasesAt ? aqueousAt : lines.size()) - phasesAt - 1);
  if (aqueousAt < lines.size()) table.aqueous = static_cast<int32_t>(lines.size() - aqueousAt - 1);

  // Second pass: the rows, phases first.
  const size_t e = table.elements.size();
  table.rows.resize(static_cast<size_t>(table.phases) + static_cast<size_t>(table.aqueous));
  for (int32_t k = 0; k < table.phases; ++k)
    if (!ParseRow(lines[phasesAt + 1 + static_cast<size_t>(k)], e, 0, table.rows[static_cast<size_t>(k)]))
      return StFileStatus::kColumnMismatch;
  for (int32_t k = 0; k < table.aqueous; ++k)
    if (!ParseRow(lines[aqueousAt + 1 + static_cast<size_t>(k)], e, 2,
                  table.rows[static_cast<size_t>(table.phases + k)]))
      return StFileStatus::kColumnMismatch;
  out = std::move(table);
  return StFileStatus::kOk;
}

// ---------------------------------------------------------------------------
// The stand-in engine

namespace {

// Answers every call of the link without the real application: the texts
// are echoed, and an equilibrium gives each component in table order the
// most moles that the element amounts still left allow (water takes the
// water term). It reads the table from the ST file it is handed.
class StandinEngine : public ChemEngine {
 public:
  void PutOptions(const std::string& text) override {
    options_ = text;
    optionsPut_ = true;
  }
  void PutFolder(const std::string& text) override { folder_ = text; }
  std::string GetFolder() const override { return folder_; }
  void PutStFile(const std::string& text) override {
    stFile_ = text;
    ready_ = !text.empty() && ReadStFile(text + "A", table_) == StFileStatus::kOk;
    const size_t e = table_.elements.size();
    left_.assign(e, 0.0);
    matrix_.assign(table_.rows.size() * e, 0.0);
    for (size_t k = 0; k < table_.rows.size(); ++k)
      for (size_t j = 0; j < e; ++j) matrix_[k * e + j] = table_.rows[k].coefficients[j];
  }
  std::string GetStFile() const override { return stFile_; }
  const std::string& ResultText() const override { return result_; }

  int16_t Equilibrate(const ChemExchange& x) override {
    const size_t e = table_.elements.size();
    const size_t n = table_.rows.size();
    if (!ready_ || x.inputCount != static_cast<int32_t>(e + 1) || x.componentCount != static_cast<int32_t>(n + 1)) {
      result_ = "Stand-in chemistry engine: the ST table does not match the request.";
      return 1;
    }
    for (int32_t i = 0; i < x.inputCount; ++i) {
      if (!std::isfinite(x.inputs[i]) || x.inputs[i] < 0.0) {
        result_ = "Stand-in chemistry engine: input " + std::to_string(i) + " is negative or not finite.";
        return 1;
      }
    }
    if (!std::isfinite(x.temperature) || !std::isfinite(x.pressure)) {
      result_ = "Stand-in chemistry engine: temperature or pressure is not finite.";
      return 1;
    }
    for (size_t j = 0; j < e; ++j) left_[j] = x.inputs[1 + j];
    const size_t water = static_cast<size_t>(table_.phases);  // row of component P + 1
    x.amounts[0] = 0.0;
    x.values[0] = 0.0f;
    for (size_t k = 0; k < n; ++k) {
      const double* row = matrix_.data() + k * e;  // no elements: an empty matrix, never read
      double take = 0.0;
      if (k == water) {
        take = x.inputs[0];
      } else {
        double most = std::numeric_limits<double>::infinity();
        for (size_t j = 0; j < e; ++j)
          if (row[j] > 0.0) most = std::min(most, left_[j] / row[j]);
        if (std::isfinite(most) && most > 0.0) {
          take = most;
          for (size_t j = 0; j < e; ++j) {
            left_[j] -= take * row[j];
            if (left_[j] < 0.0) left_[j] = 0.0;  // rounding
          }
        }
      }
      x.amounts[k + 1] = take;
      x.values[k + 1] = static_cast<float>(take);
    }
    result_ = "Stand-in chemistry engine: equilibrium found.";
    if (optionsPut_) result_ += " Options: \"" + options_ + "\".";
    return 0;
  }

 private:
  std::string options_, folder_, stFile_, result_;
  bool ready_ = false;
  bool optionsPut_ = false;
  StFileTable table_;
  std::vector<double> matrix_;  // rows by elements
  std::vector<double> left_;
};

}  // namespace

std::unique_ptr<ChemEngine> StartChemEngine() {
  const char* chosen = std::getenv("TERRAX_CHEM_ENGINE");
  if (chosen && std::string(chosen) == "standin") return std::make_unique<StandinEngine>();
  return nullptr;
}
