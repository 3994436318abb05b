// The program's 3-D view of the grid model: a view port that knows the
// model's extent for automatic fitting, shades faces by a light that turns
// with the camera, shows the calculation step in its caption, and cuts zones
// and faces by its cutting plane for the model plot items.
#pragma once

#include <cstdint>

#include "base/matrix.h"
#include "view/view_port.h"

class GridPoint;
class Zone;

// The three doubles at i - 1, i and i + 1 of an array, as a vector.
inline Vec3 Vec3FromArray(const double* array, int i) { return {array[i - 1], array[i], array[i + 1]}; }

class ModelView : public ViewPort {
 public:
  // Results of the plane classification.
  enum Side : int { kWhollyInFront = 2, kWhollyBehind = 4, kCut = 9 };

  explicit ModelView(uint32_t typeCode = 0);

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  bool Regenerate(int32_t mask, const String& text) override;
  void CopySettings(ViewPort& other, bool copyItems, bool copySettings) override;
  uint32_t CurrentStep() override;
  // F4 and F5 start SOLVE and STEP; other keys go to the view.
  int OnKey(int32_t key) override;
  // The camera's keywords, then "light".
  int ParseKeyword(CommandType& interp) override;
  // The view's listing and the light.
  void List(TextOStream& out) override;
  // Grid-points and the corners of the GENERATE surface triangles.
  ModelBox ModelBounds() override;

  // (n . l + 1) / 2 for a unit normal n in model coordinates, l the light's
  // direction of travel, reversed; the light follows the camera.
  double LightIntensity(const Vec3& normal) {
    if (!lightValid_) UpdateLight();
    return (normal.x * light_.x + normal.y * light_.y + normal.z * light_.z + 1.0) / 2.0;
  }
  // The light in the camera's frame (right, depth, up); normalised.
  void SetLight(const Vec3& light);
  const Vec3& Light() const { return lightView_; }

  // Where a zone, or one face of it, lies against the cutting plane, the
  // grid-points displaced by `factor` times their displacement.
  int ClassifyByPlane(const Zone& zone, double factor);
  int ClassifyByPlane(const Zone& zone, int face, double factor);
  // The crossing of the segment between two grid-points with the plane, and
  // the value there between their values; false when the segment lies on one side.
  bool IntersectPlane(const GridPoint& a, const GridPoint& b, double valueA, double valueB, double& value, Vec3& point,
                      double factor);
  // The edges of a zone face, drawn where the item's plane bits ask (in
  // front, behind), and the line where the face crosses the plane.
  void DrawCutOutline(PlotItem& item, const Zone& zone, int face, CanvasState* state, double factor);

  // A grid-point's position displaced by factor times its displacement.
  static Vec3 Displaced(const GridPoint& gp, double factor);

 private:
  void UpdateLight();
  int Classify(const Vec3* points, int count);

  Vec3 lightView_;
  Vec3 light_;
  bool lightValid_ = false;
};
