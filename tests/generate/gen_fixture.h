// Shapes for the GENERATE tests, built triangle by triangle.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/linklist.h"
#include "generate/gen_geometry.h"
#include "support/memory_stream.h"

inline Vec3 V(double x, double y, double z) { return Vec3{x, y, z}; }

// The four faces of the tetrahedron (0,0,0), (1,0,0), (0,1,0), (0,0,1),
// in the order of the transcript cases; no volume-building pass.
inline void AddTetrahedron(GenGeometry& g) {
  g.CreateTriangle(V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), 1, String(), nullptr);
  g.CreateTriangle(V(0, 0, 0), V(0, 0, 1), V(1, 0, 0), 1, String(), nullptr);
  g.CreateTriangle(V(0, 0, 0), V(0, 1, 0), V(0, 0, 1), 1, String(), nullptr);
  g.CreateTriangle(V(1, 0, 0), V(0, 0, 1), V(0, 1, 0), 1, String(), nullptr);
}

// The surface of the cube [0, size]^3, each face cut into n x n squares of
// two triangles along the same diagonal direction.
inline void AddCube(GenGeometry& g, int n, double size) {
  for (int axis = 0; axis < 3; ++axis) {
    for (double side : {0.0, size}) {
      auto at = [&](int i, int j) {
        Vec3 p;
        p.Component(axis) = side;
        p.Component((axis + 1) % 3) = i * size / n;
        p.Component((axis + 2) % 3) = j * size / n;
        return p;
      };
      for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
          g.CreateTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1), 1, String(), nullptr);
          g.CreateTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1), 1, String(), nullptr);
        }
      }
    }
  }
}

inline std::string SavedStore(GenGeometry& g) {
  MemoryStream out;
  g.Save(out);
  return out.bytes;
}

// Save, restore into another store, save again: the same bytes.
inline void ExpectRoundTrip(GenGeometry& g, const char* what) {
  const std::string first = SavedStore(g);
  GenGeometry copy;
  MemoryStream in;
  in.bytes = first;
  copy.Restore(in);
  copy.AfterRestore();
  ReleaseIndexArrays();
  EXPECT_EQ(BadPointerCount(), 0u) << what;
  EXPECT_EQ(SavedStore(copy), first) << what;
}
