#include "base/random.h"

#include <cmath>

namespace {
struct RandomState {
  int32_t x = 1;
  int32_t y = 10000;
  int32_t z = 3000;
  double cached = 0.0;
  bool hasCached = false;
};
RandomState g_random;
}  // namespace

double RandomUniform() {
  RandomState& r = g_random;
  // Products are taken in 64 bits: a seed may hold any 32-bit value.
  r.x = static_cast<int32_t>((171LL * r.x) % 30269);
  r.y = static_cast<int32_t>((172LL * r.y) % 30307);
  r.z = static_cast<int32_t>((170LL * r.z) % 30323);
  double u = r.z * (1.0 / 30323.0) + r.y * (1.0 / 30307.0) + r.x * (1.0 / 30269.0);
  double f = u - std::floor(u);
  // A negative seed gives negative remainders; the fraction stays in [0, 1).
  return f >= 1.0 ? 0.0 : f;
}

double RandomGauss() {
  RandomState& r = g_random;
  if (r.hasCached) {
    r.hasCached = false;
    return r.cached;
  }
  double a, b, s;
  do {
    a = 2.0 * RandomUniform() - 1.0;
    b = 2.0 * RandomUniform() - 1.0;
    s = a * a + b * b;
  } while (!(s > 0.0 && s < 1.0));
  double f = std::sqrt(-2.0 * std::log(s) / s);
  r.cached = a * f;
  r.hasCached = true;
  return b * f;
}

void RandomSeed(int32_t seed) {
  g_random.x = 1;
  g_random.z = 3000;
  g_random.y = seed == 0 ? 10000 : seed;
  g_random.hasCached = false;
}
