#pragma once

#include <cstdint>

class CalcModule;
struct ApplyValue;

// The time factor of an applied value with a multiplier in a phase of a
// mode's apply pass, on the mode's own clock: in phase 1 the table's or the
// ZOLT function's value; in phase 2 half its change over the next step, the
// same for tables and functions; in any other phase 1. The mode's time is
// put back even when the function fails.
double ModeApplyFactor(CalcModule& module, const ApplyValue& value, int phase);

// Whether any apply condition holds a value of the quantity.
bool AnyApplyQuantity(uint8_t quantity);
