#include "modes/conduction_network.h"

#include <algorithm>
#include <cmath>

#include "model/gp_fluid.h"

void ImplicitRelaxation::Resize(size_t count) {
  factor.assign(count, 0.0);
  increment.assign(count, 0.0);
  free.assign(count, 0);
  weight.assign(count, 0.0);
  unknowns.assign(count, Unknown{0.0, 0.0});
}

void ImplicitRelaxation::Take(ImplicitTerms* const* terms) {
  const size_t count = unknowns.size();
  for (size_t g = 0; g < count; ++g) {
    const ImplicitTerms& t = *terms[g];
    weight[g] = t.weight;
    unknowns[g] = Unknown{t.estimate, t.implicitFlow};
  }
}

void ImplicitRelaxation::Give(ImplicitTerms* const* terms) const {
  const size_t count = unknowns.size();
  for (size_t g = 0; g < count; ++g) {
    terms[g]->estimate = unknowns[g].estimate;
    terms[g]->implicitFlow = unknowns[g].flow;
  }
}

void ImplicitRelaxation::TakeFlows(ImplicitTerms* const* terms) {
  const size_t count = unknowns.size();
  for (size_t g = 0; g < count; ++g) unknowns[g].flow = terms[g]->implicitFlow;
}

void ImplicitRelaxation::Relax(double dt, double previous, double& largestChange, double& largestEstimate) {
  const size_t count = unknowns.size();
  for (size_t g = 0; g < count; ++g) {
    if (!free[g]) continue;
    Unknown& u = unknowns[g];
    u.flow = -(factor[g] * u.flow * dt);
    double delta = ((u.flow * 0.5 + increment[g]) - u.estimate) * weight[g];
    u.estimate += delta;
    largestEstimate = std::max(largestEstimate, std::fabs(u.estimate));
    if (previous > 0.001) delta /= previous;
    largestChange = std::max(largestChange, std::fabs(delta));
  }
}
