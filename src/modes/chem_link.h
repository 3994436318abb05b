// The chemistry module's link to the external chemistry application: the ST
// table of components and elements, the texts the application is handed
// (its folder, the ST file, the options), and one equilibrium at a time
// through the exchange arrays.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/string.h"

class ChemEngine;
class SaveStream;

struct STRow {
  std::vector<int32_t> coefficients;  // one per element
  int32_t integerAttribute = 0;
  double realAttribute = 0.0;
  String name;
};

// Components 1 to P are the solid phases, P + 1 is water, P + 2 to P + Q the
// other aqueous species; every component has an integer coefficient per element.
class STTable {
 public:
  // P phase rows and Q aqueous rows, all empty, and the element names.
  void Build(int32_t phases, int32_t aqueous, std::vector<String> elements);
  void Clear() { Build(0, 0, {}); }
  // "Column size mismatch in chemical table." for a row whose length is not
  // the element count; "Chemical component index out of bounds." for i
  // outside 1 to P + Q.
  void SetRow(int32_t i, std::vector<int32_t> coefficients, const String& name);

  const String& ComponentName(int32_t i) const;  // 1 <= i <= P + Q
  const String& ElementName(int32_t i) const;    // 1 <= i <= E
  // The 1-based index of the component of that name; -1 when absent.
  int32_t FindComponent(const String& name) const;
  void RowCoefficients(int32_t i, std::vector<int32_t>& out) const;
  // The coefficients of row i times the quantity.
  void ElementAmounts(int32_t i, double quantity, std::vector<double>& out) const;
  // Row i of the dense coefficient matrix (E doubles); i from 1 to P + Q.
  const double* DenseRow(int32_t i) const { return dense_.data() + static_cast<size_t>(i - 1) * elements_.size(); }

  int32_t Phases() const { return phases_; }
  int32_t Aqueous() const { return aqueous_; }
  int32_t Components() const { return phases_ + aqueous_; }
  int32_t Elements() const { return static_cast<int32_t>(elements_.size()); }
  const STRow& Row(int32_t i) const { return rows_[static_cast<size_t>(i - 1)]; }

  // The counts, the element names and the rows; three zero counts when empty.
  void Save(SaveStream& s) const;
  void Restore(SaveStream& s);

 private:
  void CheckRow(int32_t i) const;

  std::vector<STRow> rows_;
  int32_t phases_ = 0;
  int32_t aqueous_ = 0;
  std::vector<String> elements_;
  std::vector<double> dense_;  // rows by elements
};

class ChemLink {
 public:
  ChemLink();
  ~ChemLink();
  ChemLink(const ChemLink&) = delete;
  ChemLink& operator=(const ChemLink&) = delete;

  // The folder must hold "unitherm.exe"; none checks the stored folder again.
  // A folder that fails is forgotten.
  bool SetApplicationFolder(const String* folder);
  void SetOptions(const String* text) { options_ = text ? *text : String(); }
  // Reads the table from the ST file's companion (the name followed by "A");
  // false when either file is missing. Throws on a malformed row.
  bool ReadSTTable(const String& file);
  // Starts the application and hands it the texts; the link stays connected
  // on success. TestConnection disconnects again before answering.
  bool Connect(bool comPreinitialised);
  bool TestConnection(bool comPreinitialised);
  void Disconnect();
  bool Connected() const { return connected_ && engine_; }

  // One equilibrium: T, P in pascal, the water term and E element amounts.
  // `out` gets P + Q + 1 amounts (entry 0 is 0); `text` the application's
  // result text. Answers the application's status, 0 on success.
  int16_t Equilibrate(double temperature, double pressure, double water, const double* elements,
                      std::vector<double>& out, String* text);
  // The application's result text of the last equilibrium.
  String LastResultText() const;
  // The last temperature and pressure (bar) handed over and the input entries 0 to E.
  void GetState(float* temperature, float* pressure, std::vector<double>& inputs) const;

  STTable& Table() { return table_; }
  const STTable& Table() const { return table_; }
  bool Ready() const { return ready_; }
  const String& StFile() const { return stFile_; }
  const String& Folder() const { return folder_; }
  const String& Options() const { return options_; }

  void Save(SaveStream& s) const;
  void Restore(SaveStream& s, int32_t version);

 private:
  void SizeArrays();

  STTable table_;
  std::unique_ptr<ChemEngine> engine_;
  String stFile_;
  String folder_;
  String options_;
  bool connected_ = false;
  bool ready_ = false;
  bool comPreinitialised_ = false;
  std::vector<double> pair_;
  std::vector<double> inputs_;   // E + 1
  std::vector<double> amounts_;  // P + Q + 1
  std::vector<float> values_;    // P + Q + 1
  float lastTemperature_ = 0.0f;
  float lastPressure_ = 0.0f;
};

// Whether the program had already started the automation layer before the
// chemistry link runs (set by the views); the link then neither starts nor ends it.
bool& ChemComPreinitialised();
