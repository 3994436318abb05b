// The intrinsics on interfaces, their nodes and their elements (codes
// 4000-4033) and the remapping of restored pointers to them.
//
// A pointer made here carries in its owner word the serial of its object
// (high half) and, for a node or element, the id of its interface (low
// half). Every use checks the serial against the live objects first, so a
// pointer to a node or element destroyed since answers the null-pointer
// error instead of reaching freed memory.
#include <string>

#include "mechanics/interface.h"
#include "model/zone.h"
#include "zolt/zolt_error.h"
#include "zolt/zolt_interpreter.h"
#include "zolt/zolt_intrinsics.h"
#include "zolt/zolt_model_pointers.h"

namespace {
using Handler = void (*)(ZoltIntrinsicCall& call, const char* name);

constexpr uint32_t kIface = ZoltValue::kInterfacePointer;
constexpr uint32_t kNode = ZoltValue::kInterfaceNodePointer;
constexpr uint32_t kElem = ZoltValue::kInterfaceElementPointer;

[[noreturn]] void Fail(const char* what, const char* name) {
  throw ZoltExcept(String((std::string(what) + " in " + name).c_str()));
}

// The object of the first argument, of the kind asked for and alive.
LinkListNode* Object(const ZoltIntrinsicCall& c, uint32_t kind, const char* name) {
  const ZoltValue& v = c.arguments[0];
  if (v.TypeTag() == ZoltValue::kPointer && !v.Pointer()) Fail("Null pointer", name);
  auto* node = static_cast<LinkListNode*>(v.GetPointer(kind));
  if (InterfaceObjectSerial(node) != static_cast<uint32_t>(v.OwnerWord() >> 32)) Fail("Null pointer", name);
  return node;
}
Interface* Iface(const ZoltIntrinsicCall& c, const char* name) {
  return static_cast<Interface*>(Object(c, kIface, name));
}
InterfaceNode* Node(const ZoltIntrinsicCall& c, const char* name) {
  return static_cast<InterfaceNode*>(static_cast<NodeBase*>(Object(c, kNode, name)));
}
InterfaceElem* Elem(const ZoltIntrinsicCall& c, const char* name) {
  return static_cast<InterfaceElem*>(Object(c, kElem, name));
}
uint32_t OwnerOf(const ZoltIntrinsicCall& c) { return static_cast<uint32_t>(c.arguments[0].OwnerWord()); }

// The second argument as a 0-based index below `count`.
int Index(const ZoltIntrinsicCall& c, const char* name, int count = 3) {
  const int32_t i = c.arguments[1].GetInt(kZoltIntMin, kZoltIntMax);
  if (i < 1 || i > count) Fail(count == 3 ? "Index outside 1 to 3" : "Index outside 1 to 4", name);
  return i - 1;
}

void Put(ZoltValue& v, LinkListNode* object, uint32_t kind, uint32_t owner) {
  v.SetPointer(object, kind);
  v.SetOwnerWord(object ? (uint64_t{InterfaceObjectSerial(object)} << 32) | owner : 0);
}
void PutIface(ZoltValue& v, Interface* i) { Put(v, i, kIface, 0); }
void PutNode(ZoltValue& v, InterfaceNode* n, uint32_t owner) { Put(v, static_cast<NodeBase*>(n), kNode, owner); }
void PutElem(ZoltValue& v, InterfaceElem* e, uint32_t owner) { Put(v, e, kElem, owner); }
void PutZone(ZoltValue& v, Zone* z) { ZoltSetZone(v, z); }
int FaceNumber(const ZoneFace& f) { return f.GetZone() ? f.Face() + 1 : 0; }

void IFind(ZoltIntrinsicCall& c, const char*) {
  const int32_t id = c.arguments[0].GetInt(kZoltIntMin, kZoltIntMax);
  PutIface(c.value, id > 0 ? Interfaces().Find(static_cast<uint32_t>(id)) : nullptr);
}
void IHead(ZoltIntrinsicCall& c, const char*) { PutIface(c.value, Interfaces().Head()); }
void INext(ZoltIntrinsicCall& c, const char* n) { PutIface(c.value, InterfaceList::Next(Iface(c, n))); }
void IId(ZoltIntrinsicCall& c, const char* n) { c.value.SetInt(static_cast<int32_t>(Iface(c, n)->Id())); }
void INodeHead(ZoltIntrinsicCall& c, const char* n) {
  Interface* i = Iface(c, n);
  PutNode(c.value, i->Nodes().Head(), i->Id());
}
void IElemHead(ZoltIntrinsicCall& c, const char* n) {
  Interface* i = Iface(c, n);
  PutElem(c.value, i->Elements().Head(), i->Id());
}
void IeId(ZoltIntrinsicCall& c, const char* n) { c.value.SetInt(static_cast<int32_t>(Elem(c, n)->Id())); }
void IeVert(ZoltIntrinsicCall& c, const char* n) {
  InterfaceElem* e = Elem(c, n);
  PutNode(c.value, e->Node(Index(c, n)), OwnerOf(c));
}
void IeJoin(ZoltIntrinsicCall& c, const char* n) {
  InterfaceElem* e = Elem(c, n);
  PutElem(c.value, e->Neighbour(Index(c, n)), OwnerOf(c));
}
void IeArea(ZoltIntrinsicCall& c, const char* n) { c.value.SetFloat(Elem(c, n)->Area()); }
void IeNorm(ZoltIntrinsicCall& c, const char* n) {
  double normal[3];
  Elem(c, n)->Normal(normal);
  c.value.SetFloat(normal[Index(c, n)]);
}
void IeZHost(ZoltIntrinsicCall& c, const char* n) { PutZone(c.value, Elem(c, n)->Host().GetZone()); }
void IeFHost(ZoltIntrinsicCall& c, const char* n) { c.value.SetInt(FaceNumber(Elem(c, n)->Host())); }
void InId(ZoltIntrinsicCall& c, const char* n) { c.value.SetInt(static_cast<int32_t>(Node(c, n)->id)); }
void InArea(ZoltIntrinsicCall& c, const char* n) { c.value.SetFloat(Node(c, n)->area); }
void InNStr(ZoltIntrinsicCall& c, const char* n) { c.value.SetFloat(Node(c, n)->normalStress); }
// A component of one of the node's vectors (the member given).
template <double (InterfaceNode::*Field)[3]>
void NodeVector(ZoltIntrinsicCall& c, const char* n) {
  InterfaceNode* node = Node(c, n);
  c.value.SetFloat((node->*Field)[Index(c, n)]);
}
template <double (NodeBase::*Field)[3]>
void BaseVector(ZoltIntrinsicCall& c, const char* n) {
  InterfaceNode* node = Node(c, n);
  c.value.SetFloat((node->*Field)[Index(c, n)]);
}
void InNStrAdd(ZoltIntrinsicCall& c, const char* n) { c.value.SetFloat(Node(c, n)->stressAddition); }
void Retired(ZoltIntrinsicCall& c, const char*) { c.value.SetInt(0); }
void InCTol(ZoltIntrinsicCall& c, const char* n) { c.value.SetFloat(Node(c, n)->contactTolerance); }
void InPen(ZoltIntrinsicCall& c, const char* n) { c.value.SetFloat(Node(c, n)->DistanceToTarget()); }
void InZHost(ZoltIntrinsicCall& c, const char* n) { PutZone(c.value, Node(c, n)->host.GetZone()); }
void InFHost(ZoltIntrinsicCall& c, const char* n) { c.value.SetInt(FaceNumber(Node(c, n)->host)); }
void InHWeight(ZoltIntrinsicCall& c, const char* n) {
  InterfaceNode* node = Node(c, n);
  c.value.SetFloat(node->hostWeights.weight[Index(c, n, 4)]);
}
void InZTarget(ZoltIntrinsicCall& c, const char* n) { PutZone(c.value, Node(c, n)->target.GetZone()); }
void InFTarget(ZoltIntrinsicCall& c, const char* n) { c.value.SetInt(FaceNumber(Node(c, n)->target)); }
void InTWeight(ZoltIntrinsicCall& c, const char* n) {
  InterfaceNode* node = Node(c, n);
  c.value.SetFloat(node->targetWeights.weight[Index(c, n, 4)]);
}

// The index of the property named by the second argument in the node's model.
int PropertyOf(const InterfaceNode& node, const ZoltValue& name, InterfaceModelBase*& model) {
  model = node.Model();
  const String wanted = name.GetString();
  if (model)
    for (int k = 0; k < model->NumberOfProperties(); ++k)
      if (model->PropertyText(k) == wanted) return k;
  // The words of the property command name them too.
  if (model && model->PropertyOfWord(wanted) >= 0) return model->PropertyOfWord(wanted);
  throw QJExcept("Property does not match model");
}
void InProp(ZoltIntrinsicCall& c, const char* n) {
  InterfaceModelBase* model = nullptr;
  const int k = PropertyOf(*Node(c, n), c.arguments[1], model);
  c.value.SetFloat(model->GetPropertyText(k).ToDouble());
}
void IeNext(ZoltIntrinsicCall& c, const char* n) { PutElem(c.value, InterfaceElemList::Next(Elem(c, n)), OwnerOf(c)); }
void InNext(ZoltIntrinsicCall& c, const char* n) { PutNode(c.value, InterfaceNodeList::Next(Node(c, n)), OwnerOf(c)); }

struct Entry {
  ZoltIntrinsicEntry entry;
  Handler evaluate;
};
const Entry kInterface[] = {
    {{"i_find", 1, 1, nullptr}, &IFind},
    {{"i_head", 0, 1, nullptr}, &IHead},
    {{"i_next", 1, 1, nullptr}, &INext},
    {{"i_id", 1, 1, nullptr}, &IId},
    {{"i_node_head", 1, 1, nullptr}, &INodeHead},
    {{"i_elem_head", 1, 1, nullptr}, &IElemHead},
    {{"ie_id", 1, 1, nullptr}, &IeId},
    {{"ie_vert", 2, 1, nullptr}, &IeVert},
    {{"ie_join", 2, 1, nullptr}, &IeJoin},
    {{"ie_area", 1, 1, nullptr}, &IeArea},
    {{"ie_norm", 2, 1, nullptr}, &IeNorm},
    {{"ie_zhost", 1, 1, nullptr}, &IeZHost},
    {{"ie_fhost", 1, 1, nullptr}, &IeFHost},
    {{"in_id", 1, 1, nullptr}, &InId},
    {{"in_area", 1, 1, nullptr}, &InArea},
    {{"in_nstr", 1, 1, nullptr}, &InNStr},
    {{"in_sstr", 2, 0, nullptr}, &NodeVector<&InterfaceNode::shearStress>},
    {{"in_nstr_add", 1, 0, nullptr}, &InNStrAdd},
    {{"@@@@@@@", 0, 1, nullptr}, &Retired},
    {{"in_sdisp", 2, 0, nullptr}, &NodeVector<&InterfaceNode::shearDisplacement>},
    {{"in_ctol", 1, 0, nullptr}, &InCTol},
    {{"in_pen", 1, 1, nullptr}, &InPen},
    {{"in_zhost", 1, 1, nullptr}, &InZHost},
    {{"in_fhost", 1, 1, nullptr}, &InFHost},
    {{"in_hweight", 2, 1, nullptr}, &InHWeight},
    {{"in_ztarget", 1, 1, nullptr}, &InZTarget},
    {{"in_ftarget", 1, 1, nullptr}, &InFTarget},
    {{"in_tweight", 2, 1, nullptr}, &InTWeight},
    {{"in_pos", 2, 0, nullptr}, &BaseVector<&NodeBase::position>},
    {{"in_disp", 2, 1, nullptr}, &BaseVector<&NodeBase::displacement>},
    {{"in_vel", 2, 0, nullptr}, &BaseVector<&NodeBase::velocity>},
    {{"in_prop", 2, 0, nullptr}, &InProp},
    {{"ie_next", 1, 1, nullptr}, &IeNext},
    {{"in_next", 1, 1, nullptr}, &InNext},
};
constexpr int kCount = static_cast<int>(sizeof kInterface / sizeof kInterface[0]);
static_assert(kCount == 34, "the interface intrinsics are codes 4000 to 4033");
constexpr int kBase = 4000;
constexpr int kRetired = 18;

void Assign(ZoltIntrinsicCall& c) {
  const int i = c.code - kBase;
  if (kInterface[i].entry.readOnly) return;
  const char* n = kInterface[i].entry.name;
  InterfaceNode* node = Node(c, n);
  switch (i) {
    case 16:
      node->shearStress[Index(c, n)] = c.value.GetFloat();
      return;
    case 17:
      node->stressAddition = c.value.GetFloat();
      return;
    case 19:
      node->shearDisplacement[Index(c, n)] = c.value.GetFloat();
      return;
    case 20:
      node->contactTolerance = c.value.GetFloat();
      return;
    case 28:
      node->position[Index(c, n)] = c.value.GetFloat();
      return;
    case 30:
      node->velocity[Index(c, n)] = c.value.GetFloat();
      return;
    case 31: {
      InterfaceModelBase* model = nullptr;
      const int k = PropertyOf(*node, c.arguments[1], model);
      model->SetProperty(k, c.value.GetString());
      return;
    }
    default:
      return;
  }
}

class InterfaceSet : public ZoltIntrinsicSet {
 public:
  bool Call(ZoltInterpreter&, ZoltIntrinsicCall& c) override {
    const int i = c.code - kBase;
    switch (c.mode) {
      case ZoltIntrinsicCall::kFind: {
        static std::unordered_map<std::string, int> index;
        static ZoltIntrinsicEntry entries[kCount];
        if (index.empty())
          for (int k = 0; k < kCount; ++k) entries[k] = kInterface[k].entry;
        const int k = c.name ? FindZoltIntrinsicName(entries, kCount, c.name, index) : -1;
        if (k < 0 || k == kRetired) {
          c.code = -1;
          return false;
        }
        c.code = k + kBase;
        c.readOnly = kInterface[k].entry.readOnly;
        return true;
      }
      case ZoltIntrinsicCall::kDescribe:
        if (i < 0 || i >= kCount) return false;
        c.argumentCount = kInterface[i].entry.arguments;
        c.readOnly = kInterface[i].entry.readOnly;
        c.argumentLetters = String();
        return true;
      case ZoltIntrinsicCall::kAssign:
        if (i < 0 || i >= kCount) return false;
        Assign(c);
        return true;
      case ZoltIntrinsicCall::kEvaluate:
        if (i < 0 || i >= kCount) return false;
        c.value.SetInt(0);
        kInterface[i].evaluate(c, kInterface[i].entry.name);
        return true;
      default:
        return false;
    }
  }
};

// A restored interface pointer by its index in the interface list; a node
// or element pointer by its index in the lists of the interface its owner
// word names.
bool RemapInterfacePointer(ZoltValue& value, uint32_t index) {
  const uint32_t kind = value.KindWord();
  InterfaceList& list = Interfaces();
  LinkListNode* object = nullptr;
  uint32_t owner = 0;
  if (kind == kIface) {
    if (index > list.Count()) return false;
    object = list.GetByIndex(index);
  } else {
    owner = static_cast<uint32_t>(value.OwnerWord());
    Interface* i = list.Find(owner);
    if (!i) return false;
    const LinkListBase& items =
        kind == kNode ? static_cast<const LinkListBase&>(i->Nodes()) : static_cast<const LinkListBase&>(i->Elements());
    if (index > items.Count()) return false;
    object = items.GetByIndex(index);
  }
  if (!object) return false;
  value.SetModelObject(object);
  value.SetOwnerWord((uint64_t{InterfaceObjectSerial(object)} << 32) | owner);
  return true;
}
}  // namespace

ZoltIntrinsicSet& ZoltInterfaceIntrinsics() {
  static InterfaceSet set;
  return set;
}

void InstallZoltInterfaceIntrinsics() {
  SetZoltIntrinsicSet(4, &ZoltInterfaceIntrinsics());
  SetZoltInterfaceRemap(&RemapInterfacePointer);
}
