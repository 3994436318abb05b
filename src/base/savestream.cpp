#include "base/savestream.h"

#include "base/except.h"

void SaveStream::ReadFailure() const { throw KWRExcept("Error reading save file"); }
