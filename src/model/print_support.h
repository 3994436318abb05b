// Pieces shared by the model's listings: the title and column header, row
// starts, vectors, fitted names and the number formats of the console stream.
#pragma once

#include <iomanip>
#include <ios>
#include <ostream>
#include <string>

#include "base/string.h"
#include "model/model_interpreter.h"

namespace listing {

// Title line, then the column header, which a new page repeats.
inline void Heading(ModelInterpreter& interp, const String& title, const char* header) {
  interp << title << "\n";
  interp.flush();
  interp << header;
  interp.SetPageHeader(interp.LastText());
}

// "(" x "," y "," z ")", each component in the width.
inline void WriteVector(std::ostream& os, const double v[3], int width) {
  os << "(" << std::setw(width) << v[0] << "," << std::setw(width) << v[1] << "," << std::setw(width) << v[2] << ")";
}

// A blank, the id right-aligned in width 6, a blank.
inline void RowStart(ModelInterpreter& interp, uint32_t id) { interp << " " << std::setw(6) << id << " "; }

inline void RowEnd(ModelInterpreter& interp) {
  interp << "\n";
  interp.flush();
}

// A text padded with blanks or cut to exactly n characters.
inline std::string Fit(const String& text, int n) {
  std::string s = text.str();
  s.resize(static_cast<size_t>(n), ' ');
  return s;
}

inline void ScientificPrecision(std::ostream& os, int precision) {
  os.setf(std::ios::scientific, std::ios::floatfield);
  os.precision(precision);
}

inline void Fixed(std::ostream& os, int precision) {
  os.setf(std::ios::fixed, std::ios::floatfield);
  os.precision(precision);
}

}  // namespace listing
