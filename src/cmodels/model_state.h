// The record a constitutive model receives for one tetrahedron: at the check
// before cycling (Initialize, holding the zone-average stress) and in every
// step (UpdateStress). Its byte layout is fixed; the offsets are checked below.
#pragma once

#include <cstddef>
#include <cstdint>

struct ModelState {
  uint8_t tetIndex = 0;      // this tetrahedron in the zone, overlay A then B, from 0
  uint8_t tetCount = 0;      // tetrahedra of the zone, both overlays
  uint8_t overlayCount = 0;  // overlays present (1 or 2)
  uint8_t spare3 = 0;
  uint32_t state = 0;  // plastic state bits; the model may change them
  double tetVolume = 0.0;
  double zoneVolume = 0.0;
  double strain[6] = {};  // strain increment xx, yy, zz, xy, xz, yz (tensor shear)
  double stress[6] = {};  // in: stress xx, yy, zz, xy, xz, yz (tension positive); out: new stress
  double spare120[6] = {};
  double spin[3] = {};  // spin increments xy, xz, yz (large strain only)
  double density = 0.0;
  double temperature = 0.0;  // zone average temperature
  double timeStep = 0.0;
  double spare216 = 0.0;
  double porosity = 0.0;
  double hydration = 0.0;
  double spare240 = 0.0;
  uint8_t largeStrain = 0;
  uint8_t thermal = 0;           // thermal module active
  uint8_t creep = 0;             // creep module active
  uint8_t fluid = 0;             // fluid module active
  uint8_t stiffnessDamping = 0;  // set by the model when this increment feeds stiffness damping
  uint8_t spare253[3] = {};
  double porePressure = 0.0;  // zone average pore pressure
  double hystFactor = -1.0;   // hysteretic modulus factor; negative without hysteretic damping
};

// The stress pass's name for the same record.
using StressUpdateRecord = ModelState;

// A whole zone's tetrahedra for one model call, on compact arrays: the zone
// part of the record (volumes, density, time step, hysteretic factor, mode
// flags) and, per tetrahedron, its strain increment, its stress (in and out),
// its state bits (in and out), its volume, its spin (large strain only) and
// whether its increment feeds stiffness-proportional damping (out).
struct ZoneStressBlock {
  const ModelState* zone = nullptr;
  int count = 0;
  const double (*strain)[6] = nullptr;
  double (*stress)[6] = nullptr;
  uint32_t* state = nullptr;
  const double* volume = nullptr;
  const double (*spin)[3] = nullptr;
  uint8_t* stiffnessDamping = nullptr;
};

static_assert(offsetof(ModelState, state) == 4);
static_assert(offsetof(ModelState, tetVolume) == 8);
static_assert(offsetof(ModelState, zoneVolume) == 16);
static_assert(offsetof(ModelState, strain) == 24);
static_assert(offsetof(ModelState, stress) == 72);
static_assert(offsetof(ModelState, spare120) == 120);
static_assert(offsetof(ModelState, spin) == 168);
static_assert(offsetof(ModelState, density) == 192);
static_assert(offsetof(ModelState, temperature) == 200);
static_assert(offsetof(ModelState, timeStep) == 208);
static_assert(offsetof(ModelState, porosity) == 224);
static_assert(offsetof(ModelState, hydration) == 232);
static_assert(offsetof(ModelState, largeStrain) == 248);
static_assert(offsetof(ModelState, stiffnessDamping) == 252);
static_assert(offsetof(ModelState, porePressure) == 256);
static_assert(offsetof(ModelState, hystFactor) == 264);
static_assert(sizeof(ModelState) == 272);
