// What the fluid and thermal modes share in preparing and taking their
// steps: the zones of a non-null model with their corners numbered in the
// mode's list of grid-points, the build of a zone's conductance matrix, and
// the relaxation of the implicit scheme over contiguous per-grid-point
// arrays, and the shares of a face's apply value among its corners.
#pragma once

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "model/grid_point.h"
#include "model/zone.h"
#include "modes/mode_model_table.h"

struct ImplicitTerms;

// One zone of a non-null model as a step walks it.
template <class Record>
struct NetworkZone {
  Zone* zone;
  Record* record;
  const double* matrix;  // the record's packed matrix, or a copy of it side by side with the others
  int32_t n;
  // The corners' positions in the mode's grid-point list; corners past n
  // repeat the first.
  int32_t node[8];
};

// The positions of grid-points in a mode's list, for building its zone
// list at preparation.
class NodeNumbers {
 public:
  void Clear() { numbers_.clear(); }
  void Reserve(size_t count) { numbers_.reserve(count); }
  void Add(const GridPoint* gp, int32_t number) { numbers_.emplace(gp, number); }
  // The zone's entry; false when a corner is not in the list.
  template <class Record>
  bool Fill(Zone& zone, Record* record, NetworkZone<Record>& out) const {
    out.zone = &zone;
    out.record = record;
    out.matrix = record->matrix;
    out.n = zone.GpCount();
    for (int i = 0; i < 8; ++i) {
      auto it = numbers_.find(zone.Gp(i < out.n ? i : 0));
      if (it == numbers_.end()) return false;
      out.node[i] = it->second;
    }
    return true;
  }

 private:
  std::unordered_map<const GridPoint*, int32_t> numbers_;
};

// Every corner of every tetrahedron of the zone's two mode overlays, with
// the tetrahedron's volume: `visit(gp, volume)`.
template <class Visit>
void ForEachTetraCorner(Zone& zone, Visit visit) {
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = zone.GetTetra(o + 1);
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(zone.Type(), o);
    for (int k = 0; k < zone.TetraPerOverlay(); ++k)
      for (int corner = 0; corner < 4; ++corner) visit(*zone.Gp(defs[k].gp[corner]), block[k].volume);
  }
}

// The shares of a face value among the face's corners, `visit(gp, a)` per
// corner of each triangle: a = |X| h / 2 for a triangular face and |X| h / 4
// for each of the four corner triangles of a quadrilateral (which cover it
// twice), with X the cross product of two of the triangle's edges and h the
// value at the face's centroid over 3.
template <class Visit>
void ForEachFaceShare(const ZoneFace& face, double h, Visit visit) {
  const int n = face.GpCount();
  const int triangles = n == 4 ? 4 : 1;
  const double half = n == 4 ? 0.25 : 0.5;
  for (int t = 0; t < triangles; ++t) {
    GridPoint* corner[3];
    for (int k = 0, m = 0; k < 4 && m < 3; ++k)
      if (n == 3 || k != t) corner[m++] = face.GetGp(k);
    const double* p0 = corner[0]->position;
    double e1[3], e2[3];
    for (int a = 0; a < 3; ++a) {
      e1[a] = corner[1]->position[a] - p0[a];
      e2[a] = corner[2]->position[a] - p0[a];
    }
    const double x[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const double a = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]) * h * half;
    for (GridPoint* gp : corner) visit(*gp, a);
  }
}

// Copies the zones' matrices side by side into `store`, for walks that
// read them in zone order; the zones then read the copies.
template <class Record>
void PackMatrices(std::vector<NetworkZone<Record>>& zones, std::vector<double>& store) {
  store.resize(zones.size() * 36);
  double* m = store.data();
  for (NetworkZone<Record>& w : zones) {
    for (int k = 0; k < 36; ++k) m[k] = w.record->matrix[k];
    w.matrix = m;
    m += 36;
  }
}

// Column i of the conductance matrix: the nodal outflows that a unit value
// at corner i drives through the zone's two overlays, with the flux the
// record's model answers for a gradient (`Message` its message block).
// Row i of the packed matrix keeps columns i to n - 1; the diagonal term
// goes to `addDiagonal(i, c)` as well, for the stable time step.
template <class Message, class Record, class AddDiagonal>
void BuildZoneConductance(Zone& zone, Record& record, AddDiagonal addDiagonal) {
  for (double& m : record.matrix) m = 0.0;
  const int n = zone.GpCount();
  for (int i = 0; i < n; ++i) {
    double c[8] = {};
    for (int o = 0; o < 2; ++o) {
      const ZoneTetra* block = zone.GetTetra(o + 1);
      if (!block) continue;
      const TetraDef* defs = OverlayDefinitions(zone.Type(), o);
      for (int k = 0; k < zone.TetraPerOverlay(); ++k) {
        const ZoneTetra& t = block[k];
        Message m;
        m.operation = Message::kFlux;
        for (int corner = 0; corner < 4; ++corner) {
          if (defs[k].gp[corner] != i) continue;
          for (int a = 0; a < 3; ++a) m.gradient[a] += t.area[corner][a] / (3.0 * t.volume);
        }
        record.Call(m);
        for (int corner = 0; corner < 4; ++corner) {
          const double* nk = t.area[corner];
          c[defs[k].gp[corner]] += -(1.0 / 6.0) * (m.flux[0] * nk[0] + m.flux[1] * nk[1] + m.flux[2] * nk[2]);
        }
      }
    }
    addDiagonal(i, c[i]);
    double* row = record.matrix + PackedRowStart(i);
    for (int j = i; j < n; ++j) row[j - i] = c[j];
  }
}

// The relaxation of the half-implicit update: every free grid-point's
// increment is its explicit increment plus half of what the increments
// themselves drive through the zones. The per-grid-point values live in
// contiguous arrays while the sweeps run; the grid-points' ImplicitTerms
// get the estimates and flows back at the end, and around the sweep
// conditions of the apply pass when there are any.
class ImplicitRelaxation {
 public:
  // Sizes the arrays for the mode's grid-points (preparation only).
  void Resize(size_t count);

  // Per grid-point, filled by the mode before Solve: what turns a flow into
  // an increment per unit time, the explicit increment, whether the sweeps
  // update it, and its terms.
  std::vector<double> factor;
  std::vector<double> increment;
  std::vector<uint8_t> free;
  // The sweeps' own arrays, filled by Take from the terms.
  std::vector<double> weight;
  struct Unknown {
    double estimate;
    double flow;
  };
  std::vector<Unknown> unknowns;

  // Reads the terms' weights, estimates and flows.
  void Take(ImplicitTerms* const* terms);
  // Writes the estimates and flows back into the terms.
  void Give(ImplicitTerms* const* terms) const;
  // Reads the flows back from the terms (after a pass that added to them).
  void TakeFlows(ImplicitTerms* const* terms);

  // Runs sweeps until the largest change is below 1 % of the largest
  // estimate of the sweep before (never before the fifth sweep) or the limit
  // is reached; `sweeps` counts them. `sweepConditions(terms)` adds the apply
  // conditions' share to the terms' flows when `conditions` is set. False
  // when the sweeps did not converge; the terms hold the last estimates
  // either way.
  template <class Work, class SweepConditions>
  bool Solve(const std::vector<Work>& zones, ImplicitTerms* const* terms, int32_t limit, double dt, int32_t& sweeps,
             bool conditions, SweepConditions sweepConditions);

 private:
  template <class Work>
  void ZoneFlows(const std::vector<Work>& zones);
  // The relaxation of every free grid-point; the largest change and estimate.
  void Relax(double dt, double previous, double& largestChange, double& largestEstimate);
};

template <class Work>
void ImplicitRelaxation::ZoneFlows(const std::vector<Work>& zones) {
  Unknown* u = unknowns.data();
  for (const Work& w : zones) {
    double x[8], y[8];
    for (int i = 0; i < w.n; ++i) x[i] = u[w.node[i]].estimate;
    PackedMatrixTimes(w.matrix, x, y, w.n);
    for (int i = 0; i < w.n; ++i) u[w.node[i]].flow += y[i];
  }
}

template <class Work, class SweepConditions>
bool ImplicitRelaxation::Solve(const std::vector<Work>& zones, ImplicitTerms* const* terms, int32_t limit, double dt,
                               int32_t& sweeps, bool conditions, SweepConditions sweepConditions) {
  Take(terms);
  double previous = 0.0;
  bool converged = false;
  for (int32_t k = 0; k < limit; ++k) {
    sweeps = k + 1;
    for (Unknown& u : unknowns) u.flow = 0.0;
    ZoneFlows(zones);
    if (conditions) {
      Give(terms);
      sweepConditions(terms);
      TakeFlows(terms);
    }
    double largestChange = 0.0, largestEstimate = 0.0;
    Relax(dt, previous, largestChange, largestEstimate);
    if (largestChange < 0.01 && k > 3) {
      converged = true;
      break;
    }
    previous = largestEstimate;
  }
  Give(terms);
  return converged;
}
