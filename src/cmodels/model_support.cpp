#include "cmodels/model_support.h"

namespace cmodels {

namespace {
bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("x86-64-v3");
}

// Read by every model call, written only between steps.
bool& VectorFlag() {
  static bool flag = HasAvx2();
  return flag;
}
}  // namespace

bool VectorKernels() { return VectorFlag(); }

bool SetVectorKernels(bool on) {
  if (on && !HasAvx2()) return false;
  VectorFlag() = on;
  return true;
}

void SaveProperties(ModelSaveObject& object, uint32_t type, int version, const double* values, int count) {
  object.type = type;
  object.word = static_cast<uint32_t>(version);
  object.doubles.assign(values, values + count);
  object.ints.clear();
}

const char* RestoreProperties(const ModelSaveObject& object, uint32_t type, double* values, int count) {
  if (object.type != type) return "Constitutive model data does not match the model type";
  int n = static_cast<int>(object.doubles.size());
  if (n > count) n = count;
  for (int i = 0; i < n; ++i) values[i] = object.doubles[static_cast<size_t>(i)];
  return nullptr;
}

}  // namespace cmodels
