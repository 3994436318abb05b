// The program's one pseudo-random generator (Wichmann-Hill). Runs are
// repeatable: it starts from a fixed state and SET RANDOM reseeds it.
#pragma once

#include <cstdint>

// The next uniform number in [0, 1).
double RandomUniform();
// The next standard normal deviate (polar method; the second value of each
// accepted pair is kept for the next call).
double RandomGauss();
// Restarts the generator; a seed of 0 gives the start state.
void RandomSeed(int32_t seed);
