#include "modes/mode_model_table.h"

namespace {

// The words of a keyword list, one after another.
template <class Visit>
bool ForEachKeyword(const char* keywords, Visit visit) {
  String list(keywords);
  for (int position = 1;; ++position) {
    String word = list.NextToken(" ");
    if (word.IsEmpty()) return false;
    if (visit(word, position)) return true;
  }
}

// The product for a zone of eight corners, unrolled; the same operations in
// the same order as the general loop below.
void PackedMatrixTimes8(const double* matrix, const double* x, double* y) {
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) y[i] = 0.0;
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) {
    const double* row = matrix + PackedRowStart(i);
    double sum = row[0] * x[i];
#pragma GCC unroll 8
    for (int j = i + 1; j < 8; ++j) {
      sum += row[j - i] * x[j];
      y[j] += row[j - i] * x[i];
    }
    y[i] += sum;
  }
}

}  // namespace

void PackedMatrixTimes(const double* matrix, const double* x, double* y, int n) {
  if (n == 8) {
    PackedMatrixTimes8(matrix, x, y);
    return;
  }
  for (int i = 0; i < n; ++i) y[i] = 0.0;
  for (int i = 0; i < n; ++i) {
    const double* row = matrix + PackedRowStart(i);
    double sum = row[0] * x[i];
    for (int j = i + 1; j < n; ++j) {
      sum += row[j - i] * x[j];
      y[j] += row[j - i] * x[i];
    }
    y[i] += sum;
  }
}

bool FindKeywordPrefix(const char* keywords, const String& name, String* out) {
  return ForEachKeyword(keywords, [&](const String& word, int) {
    if (word.ComparePrefix(name.c_str()) != 0) return false;
    if (out) *out = word;
    return true;
  });
}

int KeywordPrefixIndex(const char* keywords, const String& name) {
  int index = 0;
  ForEachKeyword(keywords, [&](const String& word, int position) {
    if (word.ComparePrefix(name.c_str()) != 0) return false;
    index = position;
    return true;
  });
  return index;
}

bool KeywordValue(const char* keywords, const double* properties, const String& name, double* out) {
  return ForEachKeyword(keywords, [&](const String& word, int position) {
    if (!(word == name)) return false;
    if (out) *out = properties[position - 1];
    return true;
  });
}

String UpperFirst(String text) {
  if (!text.IsEmpty() && text.GetAt(0) >= 'a' && text.GetAt(0) <= 'z')
    text.SetAt(0, static_cast<char>(text.GetAt(0) - 'a' + 'A'));
  return text;
}
