#include "mechanics/interface_node.h"

#include <unordered_map>

#include "base/savestream.h"
#include "mechanics/interface.h"
#include "model/range_model.h"
#include "model/restore_fields.h"

namespace {

void WriteVec(SaveStream& s, const double v[3]) {
  for (int i = 0; i < 3; ++i) s.WriteF64(v[i]);
}

void ReadVec(SaveStream& s, double v[3]) {
  for (int i = 0; i < 3; ++i) v[i] = s.ReadF64();
}

// A face reference read from a file: a zone index that names no zone of the
// restored list cannot stand.
void ResolveFace(ZoneFace& face) {
  const uint32_t index = face.SavedIndex();
  face.Resolve();
  if (index != 0 && !face.GetZone()) InterfaceReadError();
}

// Never destroyed: objects may outlive the statics of this file at exit.
std::unordered_map<const LinkListNode*, uint32_t>& LiveObjects() {
  static auto* live = new std::unordered_map<const LinkListNode*, uint32_t>();
  return *live;
}
uint32_t g_lastSerial = 0;

}  // namespace

uint32_t InterfaceObjectSerial(const LinkListNode* object) {
  const auto& live = LiveObjects();
  const auto it = live.find(object);
  return it == live.end() ? 0 : it->second;
}

uint32_t RegisterInterfaceObject(const LinkListNode* object) {
  if (++g_lastSerial == 0) g_lastSerial = 1;
  LiveObjects()[object] = g_lastSerial;
  return g_lastSerial;
}

void ForgetInterfaceObject(const LinkListNode* object) { LiveObjects().erase(object); }

InterfaceNode::InterfaceNode() : LocatedObject(kInterfaceNode) { SetModel(std::make_unique<InterfaceModel>()); }

InterfaceNode::~InterfaceNode() { ForgetInterfaceObject(this); }

void InterfaceNode::GetPosition(double out[3]) const {
  for (int i = 0; i < 3; ++i) out[i] = position[i];
}

bool InterfaceNode::RangeAnswer(const RangeElement& element, const double*, bool* inside) const {
  if (element.Kind() != CidRangeElement::kKind) return false;
  *inside = static_cast<const CidRangeElement&>(element).Contains(id);
  return true;
}

void InterfaceNode::SetModel(std::unique_ptr<InterfaceModelBase> model) {
  model_ = std::move(model);
  if (model_) model_->SetOwner(this);
}

void InterfaceNode::CopyModel(const InterfaceNode& first, const InterfaceNode& second) {
  if (!first.model_) {
    SetModel(second.model_ ? second.model_->Clone(nullptr) : nullptr);
    return;
  }
  SetModel(first.model_->Clone(second.model_.get()));
}

void InterfaceNode::UpdatePosition() {
  if (!host.GetZone()) return;
  double v[3] = {0, 0, 0}, p[3] = {0, 0, 0}, d[3] = {0, 0, 0}, s[3] = {0, 0, 0};
  const int corners = host.GpCount();
  for (int k = 0; k < corners; ++k) {
    const GridPoint* gp = host.GetGp(k);
    const double w = hostWeights.weight[k];
    for (int i = 0; i < 3; ++i) {
      v[i] += w * gp->velocity[i];
      p[i] += w * gp->position[i];
      d[i] += w * gp->displacement[i];
      s[i] += w * gp->smallDisplacement[i];
    }
  }
  for (int i = 0; i < 3; ++i) {
    velocity[i] = v[i];
    position[i] = p[i];
    displacement[i] = d[i];
    smallDisplacement[i] = s[i];
  }
}

void InterfaceNode::DisplacedPoint(double out[3]) const {
  for (int i = 0; i < 3; ++i) out[i] = position[i] + smallDisplacement[i];
}

double InterfaceNode::DistanceToTarget() const {
  if (!target.GetZone() || target.GpCount() < 3) return 0.0;
  double n[3];
  target.Normal(n);
  double face[3] = {0, 0, 0};
  for (int k = 0; k < target.GpCount(); ++k) {
    const GridPoint* gp = target.GetGp(k);
    for (int i = 0; i < 3; ++i) face[i] += targetWeights.weight[k] * (gp->position[i] + gp->smallDisplacement[i]);
  }
  double p[3];
  DisplacedPoint(p);
  return (p[0] - face[0]) * n[0] + (p[1] - face[1]) * n[1] + (p[2] - face[2]) * n[2];
}

double InterfaceNode::PorePressure() const {
  if (!target.GetZone() || !(area > 0.0)) return 0.0;
  double pp = 0.0;
  if (corners_.targetCount) {
    // In the step: the corners taken at the preparation.
    for (int k = 0; k < corners_.targetCount; ++k) pp += targetWeights.weight[k] * corners_.target[k]->porePressure;
    return pp;
  }
  for (int k = 0; k < target.GpCount(); ++k) pp += targetWeights.weight[k] * target.GetGp(k)->porePressure;
  return pp;
}

bool InterfaceNode::AttachToHostFace(const ZoneFace& face) {
  if (!face.GetZone()) return false;
  FaceWeights weights;
  if (!ZoneFace::ProjectPoint(weights, position, &face, 1.0)) return false;
  host = ZoneFace(face.GetZone(), face.Face());
  hostWeights = weights;
  return true;
}

void InterfaceNode::DetachHost() {
  host = ZoneFace();
  hostWeights = FaceWeights();
}

void InterfaceNode::Save(SaveStream& s) const {
  SaveNode(s);
  s.WriteF64(area);
  s.WriteF64(contactTolerance);
  s.WriteF64(normalStress);
  s.WriteF64(stressAddition);
  WriteVec(s, normal);
  WriteVec(s, previousNormal);
  WriteVec(s, shearDisplacement);
  WriteVec(s, shearStress);
  target.Save(s);
  host.Save(s);
  targetWeights.Save(s);
  hostWeights.Save(s);
  SaveString(s, model_ ? model_->Name() : String());
  if (model_) model_->Save(s);
}

void InterfaceNode::Restore(SaveStream& s) {
  const int32_t version = FileVersion();
  RestoreNode(s);
  area = s.ReadF64();
  contactTolerance = s.ReadF64();
  normalStress = s.ReadF64();
  stressAddition = s.ReadF64();
  ReadVec(s, normal);
  ReadVec(s, previousNormal);
  ReadVec(s, shearDisplacement);
  ReadVec(s, shearStress);
  target.Restore(s);
  host.Restore(s);
  targetWeights.Restore(s);
  hostWeights.Restore(s);
  String name;
  RestoreString(s, name);
  if (name.IsEmpty()) return;  // the node keeps its default law
  if (name.str() != "Default") s.ReadFailure();
  auto model = std::make_unique<InterfaceModel>();
  model->Restore(s);
  // Older files kept the contact state in the node's flag word.
  if (version < 234 || (version >= 300 && version <= 302)) model->SetState(model->GetState() | flags);
  SetModel(std::move(model));
}

void InterfaceNode::RemapPointers() {
  ResolveFace(target);
  ResolveFace(host);
}
