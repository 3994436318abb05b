#include "model/model_settings.h"

#include "base/savestream.h"
#include "model/model.h"
#include "model/services.h"

ModelSettings& Settings() { return CurrentModel().Settings(); }

void ModelSettings::Reset() {
  const bool keepCppudm = cppudm;
  *this = ModelSettings();
  cppudm = keepCppudm;
}

namespace {
void WriteBool(SaveStream& s, bool v) { s.WriteU8(v ? 1 : 0); }
bool ReadBool(SaveStream& s) { return s.ReadU8() != 0; }
void Skip(SaveStream& s, int doubles) {
  for (int i = 0; i < doubles; ++i) s.ReadF64();
}
}  // namespace

void StepSums::Save(SaveStream& s) const {
  s.WriteF64(unbalanced);
  s.WriteF64(previousUnbalanced);
  s.WriteF64(forces);
  s.WriteF64(localRatio);
}

void StepSums::Restore(SaveStream& s) {
  unbalanced = s.ReadF64();
  previousUnbalanced = s.ReadF64();
  forces = s.ReadF64();
  localRatio = s.ReadF64();
}

void ModelSettings::Save(SaveStream& s) const {
  for (double d : devicePlacement) s.WriteF64(d);
  WriteBool(s, largeStrain);
  s.WriteF64(timestep);
  s.WriteF64(forceRatio);
  s.WriteF64(waterDensity);
  WriteBool(s, porePressure);
  for (double g : gravity) s.WriteF64(g);
  s.WriteI32(ratioType);
  WriteBool(s, mechanical);
  WriteBool(s, reserved);
  s.WriteI32(dampingType);
  s.WriteF64(unbalancedForce);
  s.WriteF64(areaTotal);
  s.WriteU8(0);
  sums.Save(s);
  s.WriteF64(dampingFactor);
  s.WriteI32(historySteps);
  s.WriteI32(totalCycles);
  s.WriteI32(solveCount);
  s.WriteI32(geometryInterval);
  s.WriteI32(historyInterval);
  s.WriteI32(stepLimit);
  s.WriteI32(plotInterval);
  s.WriteF64(forceLimit);
  s.WriteF64(ratioLimit);
  s.WriteI32(substepLimit);
  WriteBool(s, solveSlave);
  s.WriteI32(zoneExtras);
  s.WriteI32(gpExtras);
  WriteBool(s, cycleDisplay);
  s.WriteU32(HistoryIndex(displayHistory));
  s.WriteU32(SymbolIndex(displaySymbol));
  WriteBool(s, cppudm);
  WriteBool(s, fosKnown);
  s.WriteF64(fos);
  s.WriteF64(geometryRatio);
  WriteBool(s, tracking);
  s.WriteI32(trackCount);
  s.WriteF64(trackReal);
}

void ModelSettings::Restore(SaveStream& s, int32_t v) {
  Skip(s, v >= 310 ? 4 : 2);
  largeStrain = ReadBool(s);
  timestep = s.ReadF64();
  forceRatio = s.ReadF64();
  waterDensity = s.ReadF64();
  porePressure = ReadBool(s);
  for (double& g : gravity) g = s.ReadF64();
  ratioType = s.ReadI32();
  mechanical = ReadBool(s);
  reserved = v >= 96 ? ReadBool(s) : true;
  if (v >= 10) {
    dampingType = s.ReadI32();
  } else {
    // Older files: a one-byte code 1, 2 or 3 and two doubles.
    uint8_t code = s.ReadU8();
    dampingType = code >= 1 && code <= 3 ? code - 1 : 0;
    Skip(s, 2);
  }
  if (v < 15) Skip(s, 2);
  if (v < 10) Skip(s, 3);
  unbalancedForce = s.ReadF64();
  areaTotal = s.ReadF64();
  s.ReadU8();
  sums.Restore(s);
  dampingFactor = s.ReadF64();
  historySteps = s.ReadI32();
  totalCycles = s.ReadI32();
  solveCount = v >= 130 ? s.ReadI32() : 0;
  geometryInterval = s.ReadI32();
  historyInterval = s.ReadI32();
  stepLimit = s.ReadI32();
  plotInterval = s.ReadI32();
  forceLimit = s.ReadF64();
  ratioLimit = s.ReadF64();
  substepLimit = s.ReadI32();
  solveSlave = ReadBool(s);
  zoneExtras = s.ReadI32();
  gpExtras = s.ReadI32();
  // Extra-variable counts size the arrays of every zone and grid-point made later.
  if (zoneExtras < 0 || gpExtras < 0) s.ReadFailure();
  displayHistory = nullptr;
  displaySymbol = nullptr;
  if (v >= 14) {
    cycleDisplay = ReadBool(s);
    displayHistoryIndex = s.ReadU32();
    displaySymbolIndex = s.ReadU32();
  } else {
    cycleDisplay = false;
    displayHistoryIndex = 0;
    displaySymbolIndex = 0;
  }
  cppudm = v >= 138 ? ReadBool(s) : false;
  if (v >= 310) {
    fosKnown = ReadBool(s);
    fos = s.ReadF64();
  } else if (v >= 152) {
    fosKnown = ReadBool(s);
    fos = static_cast<double>(s.ReadF32());
  } else {
    fosKnown = false;
    fos = 0.0;
  }
  geometryRatio = v >= 198 ? s.ReadF64() : 0.0;
  tracking = v >= 302 ? ReadBool(s) : false;
  trackCount = v >= 313 ? s.ReadI32() : 0;
  trackReal = v >= 314 ? s.ReadF64() : 0.0;
}

void ModelSettings::ResolveDisplay() {
  displayHistory = HistoryByIndex(displayHistoryIndex);
  displaySymbol = SymbolByIndex(displaySymbolIndex);
  displayHistoryIndex = 0;
  displaySymbolIndex = 0;
}
