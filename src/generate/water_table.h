// The water table: a phreatic surface, one plane or a set of triangles, that
// gives the grid-points below it their hydrostatic pore pressure. The model
// keeps one; WATER defines it, PRINT WATER lists it, SAVE and RESTORE carry
// it, NEW clears its surface.
#pragma once

#include <cstdint>
#include <vector>

class ModelInterpreter;
class Range;
class SaveStream;

struct WaterFace {
  double a[3], b[3], c[3];
};

class WaterTable {
 public:
  double density = 0.0;
  bool planeForm = false;
  double origin[3] = {0, 0, 0};
  double normal[3] = {0, 0, 0};  // a unit vector; along gravity after WATER in plane form
  std::vector<WaterFace> faces;

  // NEW: no triangles and no plane; density, origin and normal stay.
  void Clear() {
    faces.clear();
    planeForm = false;
  }
  // The pore pressure of every grid-point in the range from the surface.
  void Apply(const Range& range) const;
  // Density, plane-form switch, origin, normal, the triangles.
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
  void List(ModelInterpreter& interp) const;
};

// The model's water table.
WaterTable& TheWaterTable();

// WATER and PRINT WATER.
void WaterCommand(ModelInterpreter& interp);
void PrintWater(ModelInterpreter& interp);
