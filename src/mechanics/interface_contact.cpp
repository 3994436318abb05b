// Interface contact in the calculation: at each preparation every node
// keeps or looks for the exposed zone face it touches (its target); in each
// step the node's law turns the penetration and the shear motion into
// stresses, whose force goes with opposite signs to the target's corners
// and the host face's corners; after the law of motion the node follows its
// host face. The step's passes walk the lists and read a node's own faces
// only: no search, no allocation.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "base/command.h"
#include "base/except.h"
#include "base/stream.h"
#include "mechanics/interface.h"
#include "model/model_settings.h"

namespace {

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void Zero(double v[3]) { v[0] = v[1] = v[2] = 0.0; }

// A point's current location: its position and, in small strain, the
// motion that the positions do not follow.
void Location(const GridPoint& gp, double out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = gp.position[i] + gp.smallDisplacement[i];
}

// The weighted distance of the corners' current locations in front of the
// point along the face's unit normal: positive with the point behind the face.
double WeightedPenetration(GridPoint* const corner[4], int corners, const double p[3], const FaceWeights& w,
                           const double n[3]) {
  double d = 0.0;
  for (int k = 0; k < corners; ++k) {
    double c[3];
    Location(*corner[k], c);
    const double r[3] = {c[0] - p[0], c[1] - p[1], c[2] - p[2]};
    d += w.weight[k] * Dot(r, n);
  }
  return d;
}

// The unit normal of a face from its corners, as ZoneFace::Normal gives it:
// from the diagonals for four corners, from two edges for three.
void CornerNormal(GridPoint* const c[4], int count, double n[3]) {
  const double* p0 = c[0]->position;
  const double* p1 = c[1]->position;
  const double* p2 = c[2]->position;
  const double* q = count == 4 ? c[3]->position : p0;
  const double a[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
  const double b[3] = {p1[0] - q[0], p1[1] - q[1], p1[2] - q[2]};
  Cross(a, b, n);
  const double length = std::sqrt(Dot(n, n));
  if (length > 0.0) {
    const double inverse = 1.0 / length;
    for (int i = 0; i < 3; ++i) n[i] *= inverse;
  }
}

// Adds the vector times each weight to the force sums of the corners, and
// each part's length to their force-magnitude sums.
void Distribute(GridPoint* const c[4], int corners, const FaceWeights& w, const double f[3], double sign) {
  for (int k = 0; k < corners; ++k) {
    GridPoint& gp = *c[k];
    const double s = sign * w.weight[k];
    const double fx = s * f[0], fy = s * f[1], fz = s * f[2];
    gp.unbalancedForce[0] += fx;
    gp.unbalancedForce[1] += fy;
    gp.unbalancedForce[2] += fz;
    gp.forceSum += std::sqrt(fx * fx + fy * fy + fz * fz);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// One node

void InterfaceNode::AddStiffness() {
  stiffness = model_ ? 4.0 * model_->StiffnessMagnitude() * area : 0.0;
  if (target.GetZone())
    for (int k = 0; k < target.GpCount(); ++k) target.GetGp(k)->stiffness += targetWeights.weight[k] * stiffness;
  if (host.GetZone())
    for (int k = 0; k < host.GpCount(); ++k) host.GetGp(k)->stiffness += hostWeights.weight[k] * stiffness;
}

bool InterfaceNode::FindTarget(const SurfaceFaceCellSpace& cells, bool keepTargets) {
  const bool keep = (flags & kKeepTarget) != 0;
  if (!keepTargets && !keep) {
    target = ZoneFace();
    targetWeights = FaceWeights();
  }
  if (target.GetZone()) {
    FaceWeights w;
    const bool inside = ZoneFace::ProjectPoint(w, position, &target, 1.0);
    if (inside || !keep) targetWeights = w;
    if (!inside && !keep) {
      target = ZoneFace();
      targetWeights = FaceWeights();
    }
    if (target.GetZone()) {
      AddStiffness();
      return true;
    }
  }

  const double r = 0.025 * std::sqrt(area);
  contactTolerance = std::max(contactTolerance, 0.1 * r);
  const double e = std::max(r, contactTolerance);
  const double lo[3] = {position[0] - e, position[1] - e, position[2] - e};
  const double hi[3] = {position[0] + e, position[1] + e, position[2] + e};
  int32_t from[3], to[3];
  cells.CellIndex(lo, from);
  cells.CellIndex(hi, to);
  const int32_t* count = cells.Counts();
  for (int i = 0; i < 3; ++i) {
    from[i] = std::max(from[i], 0);
    to[i] = std::min(to[i], count[i] - 1);
  }
  const double scale = 1e-6 * std::sqrt(Dot(position, position));
  const ZoneFace* best = nullptr;
  double bestDistance = DBL_MAX, bestAlignment = -1e-6;
  int32_t at[3];
  for (at[0] = from[0]; at[0] <= to[0]; ++at[0])
    for (at[1] = from[1]; at[1] <= to[1]; ++at[1])
      for (at[2] = from[2]; at[2] <= to[2]; ++at[2])
        for (void* const* it = cells.GetCellFirst(at); it != cells.GetCell(at); ++it) {
          const ZoneFace& face = *static_cast<const ZoneFace*>(*it);
          double n[3];
          face.Normal(n);
          const double a = Dot(n, normal);
          if (a > -0.1) continue;  // the face must look against the node
          if (face.GetZone()->Flags() & kInterfaceHostMark) continue;
          double c[3];
          face.Centroid(c);
          const double d[3] = {position[0] - c[0], position[1] - c[1], position[2] - c[2]};
          const double s = Dot(n, d);
          if (s < -contactTolerance || s > r) continue;
          if (!(s < bestDistance || a < bestAlignment)) continue;
          // Not clearly better aligned: clearly nearer, or passed over.
          if (bestAlignment - a < 0.1 && !(s < bestDistance && std::fabs(s - bestDistance) >= scale)) continue;
          FaceWeights w;
          if (!ZoneFace::ProjectPoint(w, position, &face, 1.0)) continue;
          best = &face;
          bestDistance = s;
          bestAlignment = a;
        }
  if (best) {
    target = ZoneFace(best->GetZone(), best->Face());
    if (!ZoneFace::ProjectPoint(targetWeights, position, &target, 1.0))
      throw InterfaceExcept("Interface error: Found invalid target face");
    AddStiffness();
    return true;
  }
  flags &= ~kHasTarget;
  normalStress = 0.0;
  Zero(shearStress);
  Zero(shearDisplacement);
  stiffness = 0.0;
  return false;
}

void InterfaceNode::ContactStep(bool effective) {
  if (model_) model_->SetOwner(this);
  if (!model_ || !corners_.targetCount || area == 0.0) {
    normalStress = 0.0;
    Zero(shearStress);
    Zero(shearDisplacement);
    if (model_) model_->ResetState();
    return;
  }
  if (corners_.hostCount) FollowHost();
  GridPoint* const* corner = corners_.target;
  const int count = corners_.targetCount;
  double p[3];
  DisplacedPoint(p);
  double n[3];
  CornerNormal(corner, count, n);
  const double d = WeightedPenetration(corner, count, p, targetWeights, n);
  // The target's velocity at the contact point.
  double vt[3] = {0, 0, 0};
  for (int k = 0; k < count; ++k) {
    const GridPoint& gp = *corner[k];
    const double w = targetWeights.weight[k];
    for (int i = 0; i < 3; ++i) vt[i] += w * gp.velocity[i];
  }
  const double rel[3] = {velocity[0] - vt[0], velocity[1] - vt[1], velocity[2] - vt[2]};
  const ModelSettings& s = Settings();
  if (s.largeStrain) RotateShearStress(n);
  const double vn = Dot(rel, n);
  const double vs[3] = {rel[0] - vn * n[0], rel[1] - vn * n[1], rel[2] - vn * n[2]};
  if (!model_->ForceDisplacement(d, vs, effective)) {
    Zero(shearDisplacement);
    return;
  }
  contactTolerance = std::max(contactTolerance, 2.0 * d);
  for (int i = 0; i < 3; ++i) shearDisplacement[i] += vs[i] * s.timestep;
  const double f[3] = {area * (normalStress * n[0] - shearStress[0]), area * (normalStress * n[1] - shearStress[1]),
                       area * (normalStress * n[2] - shearStress[2])};
  Distribute(corner, count, targetWeights, f, -1.0);
  Distribute(corners_.host, corners_.hostCount, hostWeights, f, 1.0);
}

void InterfaceNode::TakeCorners() {
  corners_ = Corners();
  if (host.GetZone()) {
    corners_.hostCount = static_cast<uint8_t>(std::min(host.GpCount(), 4));
    for (int k = 0; k < corners_.hostCount; ++k) corners_.host[k] = host.GetGp(k);
  }
  if (target.GetZone() && target.GpCount() >= 3) {
    corners_.targetCount = static_cast<uint8_t>(std::min(target.GpCount(), 4));
    for (int k = 0; k < corners_.targetCount; ++k) corners_.target[k] = target.GetGp(k);
  }
}

void InterfaceNode::FollowHost() {
  double vx = 0, vy = 0, vz = 0, px = 0, py = 0, pz = 0, dx = 0, dy = 0, dz = 0, sx = 0, sy = 0, sz = 0;
  for (int k = 0; k < corners_.hostCount; ++k) {
    const GridPoint& gp = *corners_.host[k];
    const double w = hostWeights.weight[k];
    vx += w * gp.velocity[0];
    vy += w * gp.velocity[1];
    vz += w * gp.velocity[2];
    px += w * gp.position[0];
    py += w * gp.position[1];
    pz += w * gp.position[2];
    dx += w * gp.displacement[0];
    dy += w * gp.displacement[1];
    dz += w * gp.displacement[2];
    sx += w * gp.smallDisplacement[0];
    sy += w * gp.smallDisplacement[1];
    sz += w * gp.smallDisplacement[2];
  }
  velocity[0] = vx, velocity[1] = vy, velocity[2] = vz;
  position[0] = px, position[1] = py, position[2] = pz;
  displacement[0] = dx, displacement[1] = dy, displacement[2] = dz;
  smallDisplacement[0] = sx, smallDisplacement[1] = sy, smallDisplacement[2] = sz;
}

void InterfaceNode::FollowMotion() {
  if (corners_.hostCount) {
    FollowHost();
    return;
  }
  const ModelSettings& s = Settings();
  for (int i = 0; i < 3; ++i) {
    const double dx = velocity[i] * s.timestep;
    displacement[i] += dx;
    if (s.largeStrain)
      position[i] += dx;
    else
      smallDisplacement[i] += dx;
  }
}

void InterfaceNode::RotateShearStress(const double n[3]) {
  const ModelSettings& s = Settings();
  const double before = std::sqrt(Dot(shearStress, shearStress));
  // The turn of the normal since the last step carries the stress with it:
  // the stress stays in the face's plane.
  double turn[3], t[3];
  Cross(previousNormal, n, turn);
  Cross(turn, shearStress, t);
  for (int i = 0; i < 3; ++i) {
    shearStress[i] += t[i];
    previousNormal[i] = n[i];
  }
  // The face's spin about its normal: the mean of its corners' spins about
  // the node, each (r x v) / |r|^2 on the corner's place and velocity
  // relative to the node.
  const int corners = target.GpCount();
  double angle = 0.0;
  for (int k = 0; k < corners; ++k) {
    const GridPoint& gp = *target.GetGp(k);
    double c[3];
    Location(gp, c);
    double p[3];
    DisplacedPoint(p);
    const double r[3] = {c[0] - p[0], c[1] - p[1], c[2] - p[2]};
    const double v[3] = {gp.velocity[0] - velocity[0], gp.velocity[1] - velocity[1], gp.velocity[2] - velocity[2]};
    const double r2 = Dot(r, r);
    if (r2 == 0.0) continue;
    double spin[3];
    Cross(r, v, spin);
    angle += Dot(spin, n) / r2 * s.timestep;
  }
  if (corners > 0) angle /= corners;
  Cross(n, shearStress, t);
  for (int i = 0; i < 3; ++i) shearStress[i] += angle * t[i];
  // Now and then the stress is put back in the plane at its magnitude.
  if (s.totalCycles % 100 == 0) {
    const double normalPart = Dot(shearStress, n);
    for (int i = 0; i < 3; ++i) shearStress[i] -= normalPart * n[i];
    const double after = std::sqrt(Dot(shearStress, shearStress));
    if (after > 0.0)
      for (int i = 0; i < 3; ++i) shearStress[i] *= before / after;
  }
}

// ---------------------------------------------------------------------------
// An interface, the list

void Interface::PrepareNodes(const SurfaceFaceCellSpace& cells, bool continuing, CommandType& out) {
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n)) {
    if (n->Model() && n->Model()->StiffnessMagnitude() == 0.0) {
      out << "!WARNING: Stiffness of Interface node " << n->id << " is zero!"
          << "\n";
      out.flush();
    }
    const double len = std::sqrt(Dot(n->normal, n->normal));
    if (len > 0.0)
      for (int i = 0; i < 3; ++i) n->normal[i] /= len;
    n->FindTarget(cells, continuing);
    n->TakeCorners();
  }
}

void InterfaceList::PrepareContact(bool continuing, CommandType& out) {
  if (IsEmpty()) return;
  if (!continuing) {
    cells_.CollectFaces();
    cells_.Size();
  }
  cells_.Fill();
  for (Interface* i = Head(); i; i = Next(i)) {
    i->ClearNodeAreas();
    i->UpdateNodePositions();
    i->AccumulateAreas();
    i->PrepareNodes(cells_, continuing, out);
  }
}

void InterfaceList::ContactPass() {
  for (Interface* i = Head(); i; i = Next(i)) {
    const bool effective = i->effective != 0;
    for (InterfaceNode* n = i->Nodes().Head(); n; n = InterfaceNodeList::Next(n)) n->ContactStep(effective);
  }
}

void InterfaceList::MotionPass() {
  for (Interface* i = Head(); i; i = Next(i))
    for (InterfaceNode* n = i->Nodes().Head(); n; n = InterfaceNodeList::Next(n)) n->FollowMotion();
}
