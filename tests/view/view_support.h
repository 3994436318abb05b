// What the view tests share: a camera over a box of our choosing, a view
// that records what its windows ask of it, and vector comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "view/camera.h"
#include "view/view_window.h"

// A camera whose model is a box the test sets (none at first).
class BoxCamera : public Camera {
 public:
  ModelBox box;
  ModelBox ModelBounds() override { return box; }
};

// Records each request as "Regenerate <mask>", "Update <mask>", "Forward <code>".
class RecordingView : public ViewHost {
 public:
  std::vector<std::string> calls;
  bool Regenerate(int32_t mask, const String&) override {
    calls.push_back("Regenerate " + std::to_string(mask));
    return false;
  }
  void Update(int32_t mask, const String&) override { calls.push_back("Update " + std::to_string(mask)); }
  int32_t ForwardMenuEvent(const GuiEvent& e) override {
    calls.push_back("Forward " + std::to_string(e.code));
    return 7;
  }
  std::string Take() {
    std::string all;
    for (const std::string& c : calls) all += (all.empty() ? "" : "; ") + c;
    calls.clear();
    return all;
  }
};

inline ModelBox Box(Vec3 min, Vec3 max) {
  ModelBox b;
  b.min = min;
  b.max = max;
  return b;
}

// Each component of `actual` within `tol` of `expected`.
inline ::testing::AssertionResult VecNear(const char* actualText, const char*, const char*, const Vec3& a,
                                          const Vec3& e, double tol) {
  if (std::fabs(a.x - e.x) <= tol && std::fabs(a.y - e.y) <= tol && std::fabs(a.z - e.z) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actualText << " is (" << a.x << ", " << a.y << ", " << a.z << "), not ("
                                       << e.x << ", " << e.y << ", " << e.z << ") within " << tol;
}
#define EXPECT_VEC_NEAR(actual, expected, tol) EXPECT_PRED_FORMAT3(VecNear, actual, expected, tol)
