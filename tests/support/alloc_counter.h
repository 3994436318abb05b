// Every test program counts the allocations made through operator new, so a
// test can show that a path allocates nothing.
#pragma once

#include <cstddef>

size_t TestAllocations();
