// The fixed tables of the five zone types: grid-points per type, the corner
// slots of the six faces, the edges and the two tetrahedral overlays.
//
// Grid-point numbering: for a brick at unit positions, gp 1, 2 and 3 lie
// along x, y and z from gp 0; gp 4 = 1 + 2, gp 5 = 2 + 3, gp 6 = 1 + 3 and
// gp 7 lies opposite gp 0. The reduced types repeat corners in the unused
// slots (wedge 6 = 3, 7 = 5; pyramid 5, 6, 7 = 3; degenerate brick 7 = 6;
// tetrahedron 4 = 2, 5, 6, 7 = 3), so that every table entry names a
// grid-point. Faces list their corners with the normal of the right-hand
// rule pointing into the zone.
#pragma once

#include <cstdint>

enum ZoneType : uint8_t { kBrick = 0, kWedge = 1, kPyramid = 2, kDegenerateBrick = 3, kTetrahedron = 4 };
constexpr int kZoneTypes = 5;
constexpr int kZoneSlots = 8;
constexpr int kZoneFaces = 6;
constexpr int kMaxOverlayTetra = 5;

// One overlay tetrahedron: four local grid-point numbers (a, b, c, d), with
// ((b - a) x (c - a)) . (d - a) positive in a well-formed zone.
struct TetraDef {
  uint8_t gp[4];
};

namespace zone_tables {

inline constexpr uint8_t kGpCount[kZoneTypes] = {8, 6, 5, 7, 4};

// Four stored corners per face, also beyond the face's count.
inline constexpr uint8_t kFaceGp[kZoneTypes][kZoneFaces][4] = {
    {{1, 4, 2, 0}, {3, 5, 7, 6}, {0, 2, 5, 3}, {6, 7, 4, 1}, {2, 4, 7, 5}, {0, 3, 6, 1}},
    {{1, 4, 2, 0}, {3, 5, 7, 6}, {0, 2, 5, 3}, {3, 5, 4, 1}, {2, 4, 5, 7}, {0, 3, 1, 6}},
    {{1, 4, 2, 0}, {3, 5, 7, 6}, {0, 2, 3, 5}, {3, 4, 1, 7}, {2, 4, 3, 7}, {0, 3, 1, 6}},
    {{1, 4, 2, 0}, {3, 5, 6, 7}, {0, 2, 5, 3}, {6, 4, 1, 7}, {2, 4, 6, 5}, {0, 3, 6, 1}},
    {{1, 2, 0, 3}, {3, 5, 7, 6}, {0, 2, 3, 5}, {1, 3, 2, 7}, {2, 4, 7, 5}, {0, 3, 1, 6}},
};

// Distinct corners of each face; below 3 the slot is no face.
inline constexpr uint8_t kFaceCount[kZoneTypes][kZoneFaces] = {
    {4, 4, 4, 4, 4, 4}, {4, 2, 4, 4, 3, 3}, {4, 1, 3, 3, 3, 3}, {4, 3, 4, 3, 4, 4}, {3, 1, 3, 3, 1, 3},
};

// Edges as pairs of local numbers; kEdgeCount per type.
inline constexpr uint8_t kEdgeCount[kZoneTypes] = {12, 9, 8, 12, 6};
inline constexpr uint8_t kEdges[kZoneTypes][12][2] = {
    {{0, 1}, {1, 6}, {6, 3}, {3, 0}, {2, 4}, {4, 7}, {7, 5}, {5, 2}, {0, 2}, {1, 4}, {6, 7}, {3, 5}},
    {{0, 1}, {1, 3}, {3, 0}, {2, 4}, {4, 5}, {5, 2}, {0, 2}, {1, 4}, {3, 5}, {0, 0}, {0, 0}, {0, 0}},
    {{0, 1}, {1, 4}, {4, 2}, {2, 0}, {3, 0}, {3, 1}, {3, 4}, {3, 2}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
    {{0, 1}, {1, 6}, {6, 3}, {3, 0}, {0, 2}, {1, 4}, {3, 5}, {2, 4}, {2, 5}, {4, 5}, {6, 5}, {6, 4}},
    {{0, 1}, {1, 2}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
};

inline constexpr uint8_t kTetraPerOverlay[kZoneTypes] = {5, 3, 2, 4, 1};

// The overlays as the type tables give them: [type][overlay A, B][entry].
inline constexpr TetraDef kOverlayTable[kZoneTypes][2][kMaxOverlayTetra] = {
    {{{1, 0, 6, 4}, {2, 0, 4, 5}, {3, 0, 5, 6}, {7, 4, 6, 5}, {0, 4, 5, 6}},
     {{0, 1, 2, 3}, {6, 1, 3, 7}, {5, 2, 7, 3}, {4, 1, 7, 2}, {7, 1, 3, 2}}},
    {{{0, 2, 3, 1}, {2, 3, 4, 5}, {1, 4, 2, 3}}, {{0, 1, 5, 3}, {0, 5, 4, 2}, {0, 1, 4, 5}}},
    {{{0, 1, 2, 3}, {1, 4, 2, 3}}, {{0, 1, 4, 3}, {0, 4, 2, 3}}},
    {{{0, 3, 1, 2}, {2, 3, 6, 5}, {1, 6, 4, 2}, {1, 6, 2, 3}},
     {{0, 5, 4, 2}, {0, 6, 5, 3}, {0, 5, 6, 4}, {0, 1, 4, 6}}},
    {{{0, 1, 2, 3}}, {{0, 1, 2, 3}}},
};

// The definition lists that the zone's tetrahedron records pair with, k-th
// record with k-th definition. Each list runs in the reverse of the table's
// order: it was built by putting every entry in front of the list.
struct OverlayDefinitionTable {
  TetraDef def[kZoneTypes][2][kMaxOverlayTetra];
};
constexpr OverlayDefinitionTable BuildOverlayDefinitions() {
  OverlayDefinitionTable d{};
  for (int t = 0; t < kZoneTypes; ++t)
    for (int o = 0; o < 2; ++o)
      for (int k = 0; k < kTetraPerOverlay[t]; ++k) d.def[t][o][k] = kOverlayTable[t][o][kTetraPerOverlay[t] - 1 - k];
  return d;
}
inline constexpr OverlayDefinitionTable kOverlays = BuildOverlayDefinitions();

// Corner slot filling of the reduced types: slot -> the slot it repeats.
inline constexpr uint8_t kSlotSource[kZoneTypes][kZoneSlots] = {
    {0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2, 3, 4, 5, 3, 5}, {0, 1, 2, 3, 4, 3, 3, 3},
    {0, 1, 2, 3, 4, 5, 6, 6}, {0, 1, 2, 3, 2, 3, 3, 3},
};

// Type names of the listings (5 characters).
inline constexpr const char* kTypeName[kZoneTypes] = {"Brick", "Wedge", "Pyram", "D-Brk", "Tetra"};

}  // namespace zone_tables

// The definitions of one overlay of a type, in list order.
inline const TetraDef* OverlayDefinitions(int type, int overlay) { return zone_tables::kOverlays.def[type][overlay]; }
inline int TetraPerOverlay(int type) { return zone_tables::kTetraPerOverlay[type]; }
inline int ZoneGpCount(int type) { return zone_tables::kGpCount[type]; }
inline int FaceGpCount(int type, int face) { return zone_tables::kFaceCount[type][face]; }
