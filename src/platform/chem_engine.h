// The external chemistry application as the chemistry link reaches it: the
// texts it is handed and echoes, and one chemical equilibrium at a time. The
// application itself does not exist on this system; an engine is chosen by
// the environment variable TERRAX_CHEM_ENGINE ("standin": the small engine
// of our own in this folder; anything else: none).
//
// Also here: the reader of the ST table files that name the components and
// elements, shared by the link and the stand-in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// ST table files

struct StFileRow {
  std::vector<int32_t> coefficients;  // one per element
  std::string name;
};

struct StFileTable {
  std::vector<std::string> elements;
  int32_t phases = 0;   // P: rows 1 to P
  int32_t aqueous = 0;  // Q: rows P + 1 to P + Q, water first
  std::vector<StFileRow> rows;
};

enum class StFileStatus {
  kOk,
  kNotFound,        // the file does not open for reading
  kColumnMismatch,  // a row whose coefficients are not one per element
};

// Reads the table from the companion file (the ST file's name followed by
// "A"); "\" in the name counts as "/". The table is left empty unless kOk.
StFileStatus ReadStFile(const std::string& companion, StFileTable& out);

// ---------------------------------------------------------------------------
// Engines

// One equilibrium's exchange arrays, sized by the caller from its table.
struct ChemExchange {
  float temperature = 0.0f;
  float pressure = 0.0f;           // bar
  double* pair = nullptr;          // 2 entries, zeroed by the caller
  const double* inputs = nullptr;  // entry 0 the water term, 1 to E the element amounts
  int32_t inputCount = 0;          // E + 1
  double* amounts = nullptr;       // per component, entry 0 unused
  float* values = nullptr;         // per component, entry 0 unused
  int32_t componentCount = 0;      // P + Q + 1
};

class ChemEngine {
 public:
  virtual ~ChemEngine() = default;
  virtual void PutOptions(const std::string& text) = 0;
  virtual void PutFolder(const std::string& text) = 0;
  virtual std::string GetFolder() const = 0;
  virtual void PutStFile(const std::string& text) = 0;
  virtual std::string GetStFile() const = 0;
  // Fills the amounts and values; 0 on success.
  virtual int16_t Equilibrate(const ChemExchange& x) = 0;
  // The text of the last equilibrium.
  virtual const std::string& ResultText() const = 0;
};

// Starts the engine the environment names; none when there is none.
std::unique_ptr<ChemEngine> StartChemEngine();
