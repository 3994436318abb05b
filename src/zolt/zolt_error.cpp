#include "zolt/zolt_error.h"

#include "base/message.h"
#include "base/stream.h"

namespace {
const char* const kTexts[] = {
    "Unbalanced quote marks",
    "Number has bad format",
    "Function name has been defined before",
    "Function name is inappropriate or\n    conflicts with reserved word",
    "Missing name",
    "Inappropriate keyword",
    "Unbalanced parentheses",
    "More than one equals sign",
    "Inappropriate equals sign",
    "Missing right-hand-side to assignment",
    "Bad syntax",
    "This is a Zolt variable, not a function",
    "Bad type conversion",
    "Cannot raise neg. number to real power",
    "Trying to divide by zero",
    "Function %s is being called recursively",
    "Zolt-function name expected but not found",
    "Cannot execute %s ... not a function",
    "Missing test symbol: =  <  >  #  <= or >=",
    "Multiple test symbols: =  <  >  #  <= or >=",
    "Extraneous material",
    "No corresponding IF statement",
    "Missing END_IF statement(s)",
    "Too many ELSE statements",
    "Nested SECTIONs not allowed",
    "No SECTION has been defined",
    "No END_SECTION statement",
    "Missing material",
    "No preceding CASE_OF",
    "Integer between 0 & 255 must follow CASE",
    "Duplicate CASE number",
    "Missing END_CASE statement",
    "Cannot interpret function or array argument",
    "Missing END_LOOP statement",
    "Missing comma in loop range",
    "Missing loop range(s)",
    "Pointers can only be compared with = or #",
    "Cannot interpret %s as a number",
    "Cannot give value to left-hand-side",
    "Missing left-hand-side to assignment",
    "Call number is invalid",
    "Non-existent table",
    "Pointers can only be compared with = or #",
    "No preceding LOOP statement",
    "Not a user-defined symbol",
    "Array name is already used by an array",
    "Array name is already used by a function",
    "Dimension should be positive integer",
    "Function name is already an array",
    "Array index is not an integer",
    "Inappropriate argument to plot function - expecting array",
    "Insufficient elements in array for vector used in plot function",
    "Plot function: array content is not a number",
    "Array size smaller than read/write request, or not array reference",
    "Argument(s) bad to PARSE (e.g., not a string)",
    "Write array variable not a string",
    "Read request, but file not open for reading",
    "Write request, but file not open for writing",
    "User-defined scalar cannot have arguments",
};
constexpr int kCodes = static_cast<int>(sizeof kTexts / sizeof kTexts[0]);
static_assert(kCodes == 59, "one text per code from 1 to 59");
}  // namespace

String ZoltErrorText(int code, const String& name) {
  if (code < 1 || code > kCodes) return String("Unknown ZOLT error");
  return MessageText(kTexts[code - 1], name);
}

void ZoltError(int code, std::ostream* out, int column, const String& name) {
  if (out && column >= 0) *out << String(' ', 7 + column) << "^\n";
  throw ZoltExcept(ZoltErrorText(code, name));
}
