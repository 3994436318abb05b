// The numbered errors of the scripting language, raised alike by the
// compiler, the executor and the intrinsics.
#pragma once

#include <ostream>

#include "base/string.h"
#include "model/zolt_value.h"

// The codes the compiler and the executor raise by name.
enum ZoltErrorCode {
  kErrUnbalancedQuotes = 1,
  kErrNumberFormat = 2,
  kErrDefinedBefore = 3,
  kErrFunctionName = 4,
  kErrKeyword = 6,
  kErrParentheses = 7,
  kErrEquals = 8,
  kErrEqualsPlace = 9,
  kErrRightSide = 10,
  kErrSyntax = 11,
  kErrVariableNotFunction = 12,
  kErrTypeConversion = 13,
  kErrNegativePower = 14,
  kErrDivideByZero = 15,
  kErrRecursion = 16,
  kErrFunctionExpected = 17,
  kErrNotFunction = 18,
  kErrNoTest = 19,
  kErrMultipleTests = 20,
  kErrExtraneous = 21,
  kErrNoIf = 22,
  kErrMissingEndIf = 23,
  kErrTooManyElse = 24,
  kErrNestedSection = 25,
  kErrNoSection = 26,
  kErrNoEndSection = 27,
  kErrMissingMaterial = 28,
  kErrNoCaseOf = 29,
  kErrCaseNumber = 30,
  kErrDuplicateCase = 31,
  kErrMissingEndCase = 32,
  kErrArgument = 33,
  kErrMissingEndLoop = 34,
  kErrLoopComma = 35,
  kErrLoopRange = 36,
  kErrPointerCompare = 37,
  kErrNotAssignable = 39,
  kErrLeftSide = 40,
  kErrCallNumber = 41,
  kErrStringCompare = 43,
  kErrNoLoop = 44,
  kErrNotSymbol = 45,
  kErrArrayArray = 46,
  kErrArrayFunction = 47,
  kErrDimension = 48,
  kErrFunctionArray = 49,
  kErrIndexNotInteger = 50,
  kErrScalarArguments = 59
};

// The message of a code: codes outside 1 to 59 give "Unknown ZOLT error";
// the %s of codes 16, 18 and 38 is the name given.
String ZoltErrorText(int code, const String& name = String());

// Raises the error of a code. With a stream and a column (0 or more) it
// first writes the caret line: seven blanks, as many blanks as the column
// and a "^" under the offending token.
[[noreturn]] void ZoltError(int code, std::ostream* out = nullptr, int column = -1, const String& name = String());
