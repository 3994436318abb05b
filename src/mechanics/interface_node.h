// Interface nodes: the corners of an interface's triangular elements. A node
// sits on a zone face (its host face) and moves with it, or moves by its own
// velocity when it has none; it touches a target face of another zone and
// owns the contact law that turns the penetration into stresses.
#pragma once

#include <cstdint>
#include <memory>

#include "base/memory.h"
#include "base/range.h"
#include "mechanics/interface_model.h"
#include "model/grid_point.h"
#include "model/zone.h"

class SaveStream;
class SurfaceFaceCellSpace;

// The interfaces, nodes and elements alive now, by the address of their list
// node, each with the serial it was made with (never 0, never used twice
// until the counter wraps): a script that holds one after it was destroyed
// finds out in constant time.
uint32_t InterfaceObjectSerial(const LinkListNode* object);
// Made and destroyed with the objects.
uint32_t RegisterInterfaceObject(const LinkListNode* object);
void ForgetInterfaceObject(const LinkListNode* object);

class InterfaceNode : public NodeBase, public LocatedObject, public ModelObject {
 public:
  // Flag word bits of a node (beside those of NodeBase it does not use).
  enum NodeFlag : uint32_t {
    kUsed = 0x10,        // upkeep: the node is a corner of an element
    kHasTarget = 0x20,   // cleared when the target search finds nothing
    kKeepTarget = 0x40,  // INTERFACE update off: the target is never dropped
  };

  // A node with every field zero and its own default contact law.
  InterfaceNode();
  ~InterfaceNode() override;

  void GetPosition(double out[3]) const override;
  // The "cid" range element reads the node's id.
  bool RangeAnswer(const RangeElement& element, const double position[3], bool* inside) const override;

  InterfaceModelBase* Model() const { return model_.get(); }
  // The node takes the model and becomes its owner (null: no model).
  void SetModel(std::unique_ptr<InterfaceModelBase> model);
  // A new model made from the first node's, averaged with the second's
  // when they are of one type (a node made between two nodes).
  void CopyModel(const InterfaceNode& first, const InterfaceNode& second);

  bool HasHost() const { return host.GetZone() != nullptr; }
  bool HasTarget() const { return target.GetZone() != nullptr; }

  // With a host face: velocity, position, displacement and small-strain
  // offset become the host-weighted sums of the host corners' values.
  void UpdatePosition();
  // Position plus small-strain offset.
  void DisplacedPoint(double out[3]) const;
  // The signed distance of the displaced point in front of the target face
  // (0 without a target).
  double DistanceToTarget() const;
  // The target-weighted pore pressure of the target corners; 0 without a
  // target or without area.
  double PorePressure() const;
  // Projects the node onto the face; when it falls inside, the face becomes
  // the host with the projection's weights. False leaves the node as it was.
  bool AttachToHostFace(const ZoneFace& face);
  // Drops the host face (the node then moves by its own velocity).
  void DetachHost();

  // The contact in the calculation (preparation and step).
  //
  // Keeps its target when it still projects onto it (or, with keepTargets
  // or the keep-target bit, as it is), else looks for the exposed face it
  // faces in the cells around it; with a target its stiffness goes to the
  // corners. True when the node has a target.
  bool FindTarget(const SurfaceFaceCellSpace& cells, bool keepTargets);
  // 4 x the law's stiffness x area, by weight to the target and host corners.
  void AddStiffness();
  // Penetration and shear motion into stresses, and the forces to the
  // target and host corners.
  void ContactStep(bool effective);
  // After the law of motion: follows the host face, or moves by its own velocity.
  void FollowMotion();
  // Large strain: turns the shear stress with the target face's normal and
  // with the face's spin about it.
  void RotateShearStress(const double n[3]);

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  // The saved zone indices of the two face references back into zones.
  void RemapPointers() override;

  double area = 0.0;
  double stiffness = 0.0;         // of the last preparation (not saved)
  double contactTolerance = 0.0;  // grows, never shrinks
  double normalStress = 0.0;
  double stressAddition = 0.0;           // the normal stress that dilation and INTERFACE nstress add
  double normal[3] = {0, 0, 0};          // the elements' normals summed, then normalised
  double previousNormal[3] = {0, 0, 0};  // of the target face, for large-strain rotation
  double shearDisplacement[3] = {0, 0, 0};
  double shearStress[3] = {0, 0, 0};
  uint32_t elementCount = 0;  // elements that gave the node area (not saved)
  ZoneFace target;
  ZoneFace host;
  FaceWeights targetWeights;
  FaceWeights hostWeights;
  // The order of creation in the node list: "first in list order" on ties.
  uint64_t sequence = 0;

 private:
  // The corners of the host and target faces, taken at every preparation
  // for the step's passes (not saved).
  struct Corners {
    GridPoint* host[4] = {nullptr, nullptr, nullptr, nullptr};
    GridPoint* target[4] = {nullptr, nullptr, nullptr, nullptr};
    uint8_t hostCount = 0;
    uint8_t targetCount = 0;
  };
  friend class Interface;
  friend class InterfaceList;
  // The corners of the faces the node has now.
  void TakeCorners();
  // UpdatePosition over the corners taken.
  void FollowHost();

  Corners corners_;
  std::unique_ptr<InterfaceModelBase> model_;

 public:
  const uint32_t serial = RegisterInterfaceObject(this);
};
