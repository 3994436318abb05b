// The interfaces in the fluid and thermal modes. A permeable interface lets
// flow and heat cross from the faces its nodes sit on to the faces they
// touch: each node's host corners act as slaves of its target face, as the
// slave of an attach tie to a face does. A transfer forms a value's
// host-weighted sum over the host corners and adds it, times target weight
// k, to the target corner k; a transfer back forms the target-weighted sum
// and adds it, times host weight k, to host corner k (cleared before).
//
// The passes in order, each over every coupling node before the next:
//   fluid preparation: (1) clear the host corners' pore pressure and
//     coupled area, and the target corners' coupled area; (2) the node's
//     area to the target corners' coupled area by weight; (3) conductance
//     sum, volume and pore volume to the target, then pore pressure and
//     coupled area back to the host; (4) clear the host's three sums;
//   fluid pass 1: (5) flow and flow magnitude to the target; (6) clear them
//     at the host;
//   fluid pass 2: (7) clear the host's increment and saturation; (8) both
//     back from the target;
//   thermal preparation: (1) clear the host's temperature and temperature
//     increment; (2) conductance sum and capacity to the target, then
//     temperature and increment back; (3) clear the host's two sums;
//   thermal pass 1: (4) heat flow and magnitude to the target; (5) clear
//     them at the host;
//   thermal pass 2: (6) clear the host's increment; (7) it back from the
//     target.
// A node couples when its interface is permeable, it has a host face and a
// target face, its area is above 0 and every corner has the mode's block.
#include <memory>

#include "mechanics/interface.h"
#include "model/grid_point.h"

namespace {

template <class B>
B& BlockOf(GridPoint* gp) {
  return *(gp->*FlowBlockSlot<B>::kSlot);
}

// The corners of a coupling node with their weights.
struct Sides {
  GridPoint* const* host;
  const double* hostWeight;
  int hostCount;
  GridPoint* const* target;
  const double* targetWeight;
  int targetCount;
};

template <class B, auto... Field>
void ClearHost(const Sides& s) {
  for (int k = 0; k < s.hostCount; ++k) {
    B& b = BlockOf<B>(s.host[k]);
    ((b.*Field = 0.0), ...);
  }
}

template <class B, auto... Field>
void ToTarget(const Sides& s) {
  auto one = [&](double B::*field) {
    double sum = 0.0;
    for (int k = 0; k < s.hostCount; ++k) sum += s.hostWeight[k] * BlockOf<B>(s.host[k]).*field;
    for (int k = 0; k < s.targetCount; ++k) BlockOf<B>(s.target[k]).*field += s.targetWeight[k] * sum;
  };
  (one(Field), ...);
}

template <class B, auto... Field>
void ToHost(const Sides& s) {
  auto one = [&](double B::*field) {
    double sum = 0.0;
    for (int k = 0; k < s.targetCount; ++k) sum += s.targetWeight[k] * BlockOf<B>(s.target[k]).*field;
    for (int k = 0; k < s.hostCount; ++k) BlockOf<B>(s.host[k]).*field += s.hostWeight[k] * sum;
  };
  (one(Field), ...);
}

void PorePressureToHost(const Sides& s) {
  double sum = 0.0;
  for (int k = 0; k < s.targetCount; ++k) sum += s.targetWeight[k] * s.target[k]->porePressure;
  for (int k = 0; k < s.hostCount; ++k) s.host[k]->porePressure += s.hostWeight[k] * sum;
}

}  // namespace

// Runs the body on the sides of every coupling node of the permeable
// interfaces, in list order (a preparation first takes the nodes' corners
// anew); answers whether there was one.
template <class B, class Body>
bool InterfaceList::ForCouplingNodes(bool prepare, Body body) {
  bool any = false;
  for (Interface* i = Head(); i; i = Next(i)) {
    if (!i->permeability) continue;
    for (InterfaceNode* n = i->Nodes().Head(); n; n = InterfaceNodeList::Next(n)) {
      if (prepare) n->TakeCorners();
      const InterfaceNode::Corners& c = n->corners_;
      if (c.hostCount < 3 || c.targetCount < 3 || !(n->area > 0.0)) continue;
      bool blocks = true;
      for (int k = 0; k < c.hostCount; ++k) blocks = blocks && (c.host[k]->*FlowBlockSlot<B>::kSlot) != nullptr;
      for (int k = 0; k < c.targetCount; ++k) blocks = blocks && (c.target[k]->*FlowBlockSlot<B>::kSlot) != nullptr;
      if (!blocks) continue;
      any = true;
      body(Sides{c.host, n->hostWeights.weight, c.hostCount, c.target, n->targetWeights.weight, c.targetCount}, *n);
    }
  }
  return any;
}

void InterfaceList::PrepareFluid() {
  using F = GpFluidData;
  // (1) and (2) must be over for every node before (3) reads the sums.
  ForCouplingNodes<F>(true, [](const Sides& s, InterfaceNode&) {
    for (int k = 0; k < s.hostCount; ++k) {
      s.host[k]->porePressure = 0.0;
      s.host[k]->fluid->reserve1 = 0.0;
    }
    for (int k = 0; k < s.targetCount; ++k) s.target[k]->fluid->reserve1 = 0.0;
  });
  ForCouplingNodes<F>(false, [](const Sides& s, InterfaceNode& n) {
    for (int k = 0; k < s.targetCount; ++k) s.target[k]->fluid->reserve1 += n.area * s.targetWeight[k];
  });
  ForCouplingNodes<F>(false, [](const Sides& s, InterfaceNode&) {
    ToTarget<F, &F::flow, &F::inverseVolume, &F::poreVolume>(s);
    PorePressureToHost(s);
    ToHost<F, &F::reserve1>(s);
  });
  linksFluid_ = ForCouplingNodes<F>(
      false, [](const Sides& s, InterfaceNode&) { ClearHost<F, &F::flow, &F::inverseVolume, &F::poreVolume>(s); });
}

void InterfaceList::FluidPass1() {
  if (!linksFluid_) return;
  using F = GpFluidData;
  ForCouplingNodes<F>(false, [](const Sides& s, InterfaceNode&) { ToTarget<F, &F::flow, &F::flowMagnitude>(s); });
  ForCouplingNodes<F>(false, [](const Sides& s, InterfaceNode&) { ClearHost<F, &F::flow, &F::flowMagnitude>(s); });
}

void InterfaceList::FluidPass2() {
  if (!linksFluid_) return;
  using F = GpFluidData;
  ForCouplingNodes<F>(false, [](const Sides& s, InterfaceNode&) { ClearHost<F, &F::flow, &F::saturation>(s); });
  ForCouplingNodes<F>(false, [](const Sides& s, InterfaceNode&) { ToHost<F, &F::flow, &F::saturation>(s); });
}

void InterfaceList::PrepareThermal() {
  using T = GpThermalData;
  ForCouplingNodes<T>(
      true, [](const Sides& s, InterfaceNode&) { ClearHost<T, &T::temperature, &T::temperatureIncrement>(s); });
  ForCouplingNodes<T>(false, [](const Sides& s, InterfaceNode&) {
    ToTarget<T, &T::heatFlow, &T::inverseCapacity>(s);
    ToHost<T, &T::temperature, &T::temperatureIncrement>(s);
  });
  linksThermal_ = ForCouplingNodes<T>(
      false, [](const Sides& s, InterfaceNode&) { ClearHost<T, &T::heatFlow, &T::inverseCapacity>(s); });
}

void InterfaceList::ThermalPass1() {
  if (!linksThermal_) return;
  using T = GpThermalData;
  ForCouplingNodes<T>(false, [](const Sides& s, InterfaceNode&) { ToTarget<T, &T::heatFlow, &T::heatMagnitude>(s); });
  ForCouplingNodes<T>(false, [](const Sides& s, InterfaceNode&) { ClearHost<T, &T::heatFlow, &T::heatMagnitude>(s); });
}

void InterfaceList::ThermalPass2() {
  if (!linksThermal_) return;
  using T = GpThermalData;
  ForCouplingNodes<T>(false, [](const Sides& s, InterfaceNode&) { ClearHost<T, &T::heatFlow>(s); });
  ForCouplingNodes<T>(false, [](const Sides& s, InterfaceNode&) { ToHost<T, &T::heatFlow>(s); });
}
