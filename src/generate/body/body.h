// The one body of the program: the working solid on top of a stack of
// solids, a library of named solids, and the grid of every block evaluated
// from the solid: graded parameters along the edges, points on the faces and
// inside the cells by transfinite interpolation.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/matrix.h"
#include "base/string.h"
#include "generate/body/solid.h"

class CommandType;

// An entry of the solid stack or of the library.
struct BodySolid {
  Solid solid;
  std::unique_ptr<BodySolid> next;  // the entry below, or the next library entry
  String libraryName;               // empty unless the entry is in the library
};

// Zone quality of one block: the figures of a row of BODY PRINT.
struct CellStatistics {
  double tetraRatio = 1e9;
  double delOverV = 1e9;
  double minVol = 1e9;
  double maxVol = 0.0;
  double totVol = 0.0;
  int64_t zones = 0;
};

class Body {
 public:
  // Grid parameters held per edge: indices 0 ... size count.
  static constexpr int32_t kEdgeParameters = 100;

  Body();
  Body(const Body&) = delete;
  Body& operator=(const Body&) = delete;

  Solid& Working() { return top_->solid; }
  const Solid& Working() const { return top_->solid; }

  // The stack below the working solid.
  BodySolid* Below() const { return top_->next.get(); }
  void StackPut();   // a new empty working solid; the former lies below
  void StackCopy();  // a copy of the working solid below it
  void StackDrop();  // drops the entry directly below
  void StackGet();   // the entry below becomes the working solid
  void StackSwap();
  void StackClear();  // drops every entry below

  // The library, newest first.
  BodySolid* Library() const { return library_.get(); }
  // The first entry whose name begins with `name` (case respected); names
  // shorter than 3 characters match nothing.
  BodySolid* FindInLibrary(const String& name) const;
  // A copy of the working solid at the front, under `name`.
  void LibraryAdd(const String& name);
  // Removes the first entry of that name; false when there is none.
  bool LibraryDelete(const String& name);
  void LibraryClear() { library_.reset(); }

  // NEW: only an empty working solid is left.
  void Reset();

  // Fixed vertices, edge geometry, edge parameters, face vectors and cell
  // centres from the working solid, in this order.
  void Refresh();
  void ComputeEdgeParameters(int32_t edge);
  void ComputeAllEdgeParameters();
  void SetEdgeParameter(int32_t edge, int32_t i, double value);
  double EdgeParameter(int32_t edge, int32_t i) const;
  // The point of an edge at its i-th parameter; zero for an edge not defined.
  Vec3 EdgePoint(int32_t edge, int32_t i) const;
  Vec3 FaceVector(int32_t face) const;
  // Grid-point (i, j) of a face, i along its first edge and j along its second.
  Vec3 FacePoints(int32_t face, int32_t i, int32_t j) const;
  // Grid-point (i, j, k) of a cell; zero for a cell not defined.
  Vec3 CellGrid(int32_t cell, int32_t i, int32_t j, int32_t k) const;
  void RefreshFaces();
  void RefreshCells();
  // Widens the box by every defined vertex.
  void UpdateExtent(Vec3& lo, Vec3& hi) const;

  // Zone counts NI, NJ, NK of a cell: the sizes of its local edges 1, 2, 3.
  void CellSizes(int32_t cell, int32_t n[3]) const;
  // The quality of the zones of one cell from the current grid.
  CellStatistics CellZoneStatistics(int32_t cell) const;

  int32_t CurrentCell() const { return currentCell_; }
  void SetCurrentCell(int32_t cell) { currentCell_ = cell; }

 private:
  // The size count of an edge (0 when its size entry is not defined).
  int32_t EdgeSize(const SolidEdge& edge) const;
  // The point of local edge `local` of a cell at the index of its own
  // direction, counted from the corner the local edge runs from.
  Vec3 CellEdgePoint(const SolidCell& cell, int32_t local, int32_t index) const;

  std::unique_ptr<BodySolid> top_;
  std::unique_ptr<BodySolid> library_;
  std::vector<double> parameters_;  // kEdgeParameters per edge, edges 1 ... 1000
  std::vector<Vec3> faceVectors_;   // faces 1 ... 800
  int32_t currentCell_ = 0;
  mutable std::vector<Vec3> gridBuffer_;  // the grid of one cell for its statistics
};

// The body; made on first use.
Body& TheBody();
// NEW's part of the body.
void ResetBody();

// Raises a model error for a block GENERATE ZONE BODY cannot make: a tetra2
// block, or one whose edges of one direction differ in size.
void CheckBodyCellMeshable(const Solid& solid, int32_t cell);

// GENERATE ZONE BODY: the zones of every shown block of the working solid,
// merged with the grid as any primitive is.
void GenerateBodyZones(CommandType& interp);

// BODY.
void BodyCommand(CommandType& interp);
