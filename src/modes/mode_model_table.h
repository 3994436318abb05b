#pragma once

// What the fluid and thermal zone models share: the packed symmetric
// conductance matrix of a zone's eight corners, and the look-ups in a
// model's keyword list of property names.

#include "base/string.h"

// The start of row i of an 8 x 8 symmetric matrix packed by rows from its
// diagonal (36 values).
constexpr int PackedRowStart(int i) { return 8 * i - i * (i - 1) / 2; }

// y = M x for the first n rows and columns of the packed matrix M.
void PackedMatrixTimes(const double* matrix, const double* x, double* y, int n);

// The first name of the keyword list that begins with `name`, into `out`
// when given; false when none does.
bool FindKeywordPrefix(const char* keywords, const String& name, String* out);
// The 1-based position of the first name that begins with `name`; 0 for none.
int KeywordPrefixIndex(const char* keywords, const String& name);
// The value, among the properties in list order, of the name equal to `name`.
bool KeywordValue(const char* keywords, const double* properties, const String& name, double* out);
// The text with its first letter in capitals.
String UpperFirst(String text);
