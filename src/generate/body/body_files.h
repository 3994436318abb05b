// A solid as BODY command lines: the lines of a body file, which rebuild the
// solid when the file is called, and the listings of BODY PRINT made of the
// same lines. Reals are written with six significant digits.
#pragma once

#include <cstdint>
#include <ostream>

#include "generate/body/solid.h"

// A range of item numbers; the default takes every item.
struct SolidItemRange {
  int32_t from = INT32_MIN;
  int32_t to = INT32_MAX;
  bool Holds(int32_t n) const { return n >= from && n <= to; }
};

// "body set name ..." and the two comment lines of counts.
void WriteSolidSummary(const Solid& solid, std::ostream& out);
// "body add <form> block n point ... size ... rat ..." per cell, then the hide lines.
void WriteBlockLines(const Solid& solid, std::ostream& out, SolidItemRange range = {});
void WriteSizeLines(const Solid& solid, std::ostream& out, SolidItemRange range = {});
void WriteRatioLines(const Solid& solid, std::ostream& out, SolidItemRange range = {});
void WriteDimLines(const Solid& solid, std::ostream& out, SolidItemRange range = {});
// The free vertices' positions; with `all` the fixed ones too, each
// followed by "; fixed" and the kind of its relation.
void WritePointLines(const Solid& solid, std::ostream& out, SolidItemRange range = {}, bool all = false);
void WriteFixLines(const Solid& solid, std::ostream& out, SolidItemRange range = {});
void WriteArcLines(const Solid& solid, std::ostream& out, SolidItemRange range = {});
// "p<start> p<end> size n<size> ratio r<ratio>".
void WriteEdgeDescription(const Solid& solid, int32_t edge, std::ostream& out);
void WriteEdgeListing(const Solid& solid, std::ostream& out, SolidItemRange range = {});
void WriteFaceListing(const Solid& solid, std::ostream& out, SolidItemRange range = {});
// Every line of the solid, in the order a body file holds them.
void WriteSolidCommands(const Solid& solid, std::ostream& out);
