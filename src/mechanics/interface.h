// Interfaces: numbered surfaces of triangular elements laid on zone faces,
// whose corners are interface nodes. The model keeps them in its interface
// list (a part of the model); each interface owns its node list and its
// element list, each with a counter of the next id.
#pragma once

#include <cstdint>
#include <memory>

#include "base/linklist.h"
#include "base/memory.h"
#include "base/range.h"
#include "mechanics/interface_cellspace.h"
#include "mechanics/interface_node.h"
#include "model/zone.h"

class CommandType;
class Interface;
class ModelInterpreter;
class SaveStream;
class StepParticipant;
struct InterfaceLookups;

// Zone flag bit of the zones that host an element of the interface whose
// areas were accumulated last (the target search passes over them).
constexpr uint32_t kInterfaceHostMark = 0x8;

class InterfaceElem : public LinkListNode, public LocatedObject, public ModelObject {
 public:
  InterfaceElem();
  ~InterfaceElem() override;

  uint32_t Id() const { return id_; }
  void SetId(uint32_t id) { id_ = id; }
  InterfaceNode* Node(int k) const { return nodes_[k]; }
  // Edge k joins corner k and corner k + 1 (mod 3); null on a free edge.
  InterfaceElem* Neighbour(int k) const { return neighbours_[k]; }
  void SetNeighbour(int k, InterfaceElem* e) { neighbours_[k] = e; }
  const ZoneFace& Host() const { return host_; }

  // The mean of the corners, each recomputed from its host face first.
  void GetPosition(double out[3]) const override;
  // "cid" reads the element's id, "direction" its normal.
  bool RangeAnswer(const RangeElement& element, const double position[3], bool* inside) const override;

  double Area() const;
  // The unit vector of (p3 - p1) x (p2 - p1); zero for an element of no area.
  void Normal(double out[3]) const;
  // The parts of the element's area that go to its corners (summing to 1).
  void CornerShares(double shares[3]) const;
  // The edge of this element that joins the two nodes (either way round), or -1.
  int EdgeOf(const InterfaceNode* a, const InterfaceNode* b) const;

  // Halves the element across its longest edge, and the neighbour across
  // that edge with it, at a node at the edge's middle; false (nothing
  // changed) when the edge is too short to hold a node of its own.
  bool Split(Interface& owner, CommandType& out);

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  // The saved node and neighbour indices back into pointers, through the
  // owner's lists, and the host face's zone. An index that names nothing in
  // its list is the file's read error.
  void Remap(const LinkListBase& nodes, const LinkListBase& elements);

  uint8_t splitMark = 0;  // made or split in the current refinement pass
  uint64_t sequence = 0;  // the order of creation in the element list
  const uint32_t serial = RegisterInterfaceObject(this);

 private:
  friend class Interface;
  uint32_t id_ = 0;
  InterfaceNode* nodes_[3] = {nullptr, nullptr, nullptr};
  InterfaceElem* neighbours_[3] = {nullptr, nullptr, nullptr};
  ZoneFace host_;
  bool dying_ = false;  // being destroyed with others in one pass
};

// A node or element list with the counter of the next id, which it saves
// before its items.
template <class T>
class InterfaceItemList : public LinkListBase {
 public:
  LinkListNode* Create(uint32_t) override { return new T(); }
  T* Head() const { return static_cast<T*>(First()); }
  static T* Next(const T* item) { return static_cast<T*>(item->NextNode()); }
  uint32_t nextId = 1;
};
using InterfaceNodeList = InterfaceItemList<InterfaceNode>;
using InterfaceElemList = InterfaceItemList<InterfaceElem>;

class Interface : public LinkListNode, public LocatedObject, public ModelObject {
 public:
  explicit Interface(uint32_t id = 0);
  ~Interface() override;

  uint32_t Id() const { return id_; }
  InterfaceNodeList& Nodes() { return nodes_; }
  const InterfaceNodeList& Nodes() const { return nodes_; }
  InterfaceElemList& Elements() { return elements_; }
  const InterfaceElemList& Elements() const { return elements_; }

  // The mean of the node positions; the origin without nodes.
  void GetPosition(double out[3]) const override;
  // The "id" range element reads the interface's id.
  bool RangeAnswer(const RangeElement& element, const double position[3], bool* inside) const override;

  // A new default node at the position, with the id (0: the next); the
  // counter moves past a given id.
  InterfaceNode* CreateNode(uint32_t id, const double position[3]);
  InterfaceNode* FindNode(uint32_t id) const;
  // The node nearest to the point (the first on ties); null without nodes.
  InterfaceNode* FindNearestNode(const double p[3]) const;
  // The nearest node when it lies closer than 1e-6 times the point's
  // distance from the origin (1e-12 at the origin), else null.
  InterfaceNode* NodeAt(const double p[3]);
  // "Interface element already exists" when one has the three nodes in
  // any order; otherwise a new element with the next id on the nodes in
  // the given order, on the host face.
  InterfaceElem* CreateElement(InterfaceNode* a, InterfaceNode* b, InterfaceNode* c, const ZoneFace& host);
  // Whether an element lies on the three nodes, in any order.
  bool HasElementOn(const InterfaceNode* a, const InterfaceNode* b, const InterfaceNode* c);
  // Corner `slot` of the element becomes the node.
  void SetCorner(InterfaceElem& element, int slot, InterfaceNode* node);
  // Whether an element lies on the zone's face.
  bool HasHostFace(const Zone* zone, int face);
  // Joins edge k of the element with the free matching edge of another
  // element (the first in list order); false when there is none, or the
  // element's own edge is joined already.
  bool Join(InterfaceElem* element, int k);
  // Destroys the marked elements in one pass; every pointer to one of them
  // from another element is cleared.
  void DestroyElements(bool (*doomed)(const InterfaceElem&, void*), void* arg);
  // Destroys every node that is no corner of an element.
  void RemoveUnusedNodes();
  // The nodes of the element recomputed from their host faces.
  void RefreshNodes(InterfaceElem& element);

  void UpdateNodePositions();
  // Every node whose position lies in the range takes the contact tolerance.
  void SetContactTolerance(const Range& range, double value);
  void ClearNodeAreas();
  // The elements' areas and normals added to their corners; host zones marked.
  void AccumulateAreas();
  // After zones were marked deleted: the elements on them go, their nodes
  // move to the faces of the elements that remain, or lose their host.
  void RemoveDeleted(CommandType& out);
  // The preparation of the nodes (after their areas): the zero-stiffness
  // warning, the normal made a unit vector, the target searched.
  void PrepareNodes(const SurfaceFaceCellSpace& cells, bool continuing, CommandType& out);
  // Whether every element's neighbours name it back; the failures are listed.
  bool CheckElements(CommandType& out) const;

  // INTERFACE: the keywords of the rest of the command, one after another,
  // with the command's range.
  void Edit(ModelInterpreter& interp, const Range& range);
  // Elements on a zone face: (0, 1, 2) and, with four corners, (0, 2, 3),
  // on the nodes at the corners (made where there are none) and joined.
  void AddFace(const ZoneFace& face);
  // Every exposed face of the model in the range.
  void AddFacesInRange(const Range& range);
  // The exposed faces of group 1 in the range; with group 2 only those that
  // lie on an exposed face of group 2.
  void Wrap(const String& group1, const String& group2, const Range& range);
  void AddElementFromNodes(ModelInterpreter& interp);
  void AddFreeNode(ModelInterpreter& interp);
  // The name and value pairs of the rest of the command, for the nodes in the range.
  void SetProperties(ModelInterpreter& interp, const Range& range);
  // Splits the elements in the range until no edge is as long as the maximum edge.
  void Refine(const Range& range, CommandType& out);
  // Destroys the elements in the range and the nodes that no element uses then.
  void DeleteInRange(const Range& range);

  // PRINT INTERFACE n: the summary, or the node or element table the next
  // keyword names.
  void Print(ModelInterpreter& interp);
  void PrintNodes(ModelInterpreter& interp, int table);
  void PrintElements(ModelInterpreter& interp, bool join);

  // The look-ups of the commands that build and edit the interface: kept in
  // step with every change while a scope is open, none outside (the searches
  // then walk the lists).
  void OpenLookups();
  void CloseLookups();

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;

  double maxEdge = 1.7976931348623157e308;
  uint8_t maxEdgeFlag = 0;
  uint8_t permeability = 1;
  uint8_t effective = 1;
  const uint32_t serial = RegisterInterfaceObject(this);

 private:
  void Appended(InterfaceNode* node);
  void Appended(InterfaceElem* element);

  uint32_t id_;
  InterfaceNodeList nodes_;
  InterfaceElemList elements_;
  uint64_t nodeSequence_ = 0;
  uint64_t elementSequence_ = 0;
  int lookupDepth_ = 0;
  std::unique_ptr<InterfaceLookups> lookups_;
};

// Opens the interface's look-ups for the life of the scope.
class InterfaceLookupScope {
 public:
  explicit InterfaceLookupScope(Interface& i) : interface_(i) { i.OpenLookups(); }
  ~InterfaceLookupScope() { interface_.CloseLookups(); }
  InterfaceLookupScope(const InterfaceLookupScope&) = delete;
  InterfaceLookupScope& operator=(const InterfaceLookupScope&) = delete;

 private:
  Interface& interface_;
};

class InterfaceList : public LinkListBase {
 public:
  LinkListNode* Create(uint32_t) override { return new Interface(); }
  Interface* Head() const { return static_cast<Interface*>(First()); }
  static Interface* Next(const Interface* i) { return static_cast<Interface*>(i->NextNode()); }

  // A new interface appended with the id, or with the next id for 0; null
  // when one with that id exists. A given id does not move the counter.
  Interface* CreateInterface(uint32_t id);
  Interface* Find(uint32_t id) const;

  // After zones were marked deleted.
  void RemoveDeleted(CommandType& out);

  // The preparation of a calculation: the face cells (collected and sized
  // again unless the calculation continues, filled in every case), each
  // node's kinematics, area and normal, and its target.
  void PrepareContact(bool continuing, CommandType& out);
  // The passes of a step: contact forces, after the applied conditions;
  // the nodes' motion, after the law of motion.
  void ContactPass();
  void MotionPass();

  // The fluid and thermal modes. On a permeable interface, the host
  // corners of every node that touches a target face (and has area) act as
  // slaves of that face: their sums go to the target corners with the
  // node's weights and their values come back from them. The preparations
  // run while the fluid blocks hold nodal volumes (not their inverses) and
  // the thermal blocks capacities. Pass 1 runs before the grid-point update
  // of a step, pass 2 after it.
  void PrepareFluid();
  void FluidPass1();
  void FluidPass2();
  void PrepareThermal();
  void ThermalPass1();
  void ThermalPass2();
  // Whether a node links grid-points in the mode, as of its last preparation.
  bool LinksFluid() const { return linksFluid_; }
  bool LinksThermal() const { return linksThermal_; }

  SurfaceFaceCellSpace& Cells() { return cells_; }
  const SurfaceFaceCellSpace& Cells() const { return cells_; }

  uint32_t nextId = 0;
  // The participant that runs the passes in the step, once per model.
  StepParticipant* participant = nullptr;

 private:
  template <class Block, class Body>
  bool ForCouplingNodes(bool prepare, Body body);

  SurfaceFaceCellSpace cells_;
  bool linksFluid_ = false;
  bool linksThermal_ = false;
};

// The model's interface list.
InterfaceList& Interfaces();

// The interfaces' section of the save file, its remapping and NEW.
void SaveInterfaceSection(SaveStream& stream);
void RestoreInterfaceSection(SaveStream& stream);
void RemapInterfaceSection();
void ClearInterfaces();

// "*** Error reading save file" for a restored record that cannot stand.
[[noreturn]] void InterfaceReadError();
