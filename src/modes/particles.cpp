#include "modes/particles.h"

#include <algorithm>
#include <charconv>
#include <iomanip>
#include <ios>
#include <sstream>
#include <string>

#include "base/command.h"
#include "base/except.h"
#include "base/file.h"
#include "base/linklist.h"
#include "base/savestream.h"
#include "base/stream.h"
#include "model/calc_module.h"
#include "model/model.h"
#include "model/restore_fields.h"
#include "model/zone.h"

namespace {

constexpr uint32_t kParticleType = 1;
constexpr uint32_t kTrackPointType = 1;
constexpr uint32_t kAqueousType = 1;
// Type code and fields of one stored track point.
constexpr uint64_t kTrackPointBytes = 4 + 32;
// The fewest bytes a particle record can take.
constexpr uint64_t kParticleBytes = 4 + 4 + 8 + 1 + 1 + 8 + 8 + 32 + 4;

void WritePoint(SaveStream& s, const TrackPoint& t) {
  s.WriteF64(t.time);
  for (double x : t.position) s.WriteF64(x);
}
void ReadPoint(SaveStream& s, TrackPoint& t) {
  t.time = s.ReadF64();
  for (double& x : t.position) x = s.ReadF64();
}

bool SamePosition(const double a[3], const double b[3]) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

// A real in scientific notation with 5 digits after the point, right-aligned
// in a field of 15 (wider numbers take the room they need).
void AppendField(std::string& line, double v) {
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, 5);
  const size_t n = static_cast<size_t>(r.ptr - text);
  if (n < 15) line.append(15 - n, ' ');
  line.append(text, n);
}

// One line of a track dump: time, x, y, z.
void AppendPoint(std::string& line, const TrackPoint& t) {
  AppendField(line, t.time);
  for (double x : t.position) AppendField(line, x);
  line += '\n';
}

// The dump of every track, handed over a particle at a time.
template <class Emit>
void Tracks(const ParticleList& list, Emit emit) {
  std::string text;
  for (uint32_t i = 0; i < list.Count(); ++i) {
    const Particle& p = *list.At(i);
    text.clear();
    text += "Track ";
    text += std::to_string(i + 1);
    text += p.active ? " (active)\n" : " (inactive)\n";
    text += "       Time             X              Y              Z\n";
    for (const TrackPoint& t : p.track) AppendPoint(text, t);
    if (p.sinceStored > 0.0) AppendPoint(text, p.current);
    emit(text);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Track points

void Track::push_back(const TrackPoint& point) {
  Track::Node* node = pool_->Take();
  node->point = point;
  node->next = nullptr;
  if (tail_)
    tail_->next = node;
  else
    head_ = node;
  tail_ = node;
  ++size_;
}

void Track::clear() {
  if (!head_) return;
  pool_->Give(head_, tail_, size_);
  head_ = tail_ = nullptr;
  size_ = 0;
}

Track::Node* TrackPointPool::Take() {
  ++inUse_;
  if (Track::Node* node = free_) {
    free_ = node->next;
    return node;
  }
  if (cut_ == kBlockNodes) {
    blocks_.push_back(std::make_unique<Track::Node[]>(kBlockNodes));
    cut_ = 0;
  }
  return &blocks_.back()[cut_++];
}

void TrackPointPool::Give(Track::Node* first, Track::Node* last, size_t count) {
  last->next = free_;
  free_ = first;
  inUse_ -= count;
}

void TrackPointPool::Release() {
  if (inUse_ != 0) return;
  blocks_.clear();
  blocks_.shrink_to_fit();
  free_ = nullptr;
  cut_ = kBlockNodes;
}

// ---------------------------------------------------------------------------
// Particle

Particle::Particle() : id(++TheParticleList().Counter()), track(TheParticleList().Pool()) {}

void Particle::Init(Zone* z, const double p[3], double t, double time, bool r) {
  tortuosity = t;
  active = 1;
  zone = z;
  track.clear();
  TrackPoint point;
  point.time = time;
  std::copy(p, p + 3, point.position);
  track.push_back(point);
  pathLength = sinceStored = 0.0;
  current = point;
  regen = r ? 1 : 0;
}

void Particle::AddTrackPoint(double time, const double p[3]) {
  if (!active) return;
  TrackPoint point;
  point.time = time;
  std::copy(p, p + 3, point.position);
  if (keepTail || track.empty())
    track.push_back(point);
  else
    track.front() = point;
}

void Particle::SetCurrentPoint(double time, const double p[3]) {
  current.time = time;
  std::copy(p, p + 3, current.position);
}

const double* Particle::ShownPosition() const {
  if (sinceStored > 0.0 || track.empty()) return current.position;
  return track.back().position;
}

void Particle::SetAqueousMoles(uint32_t component, double moles) {
  const ChemCalcModule* chem = Modes().chem;
  if (moles > 0.0 && chem && component <= INT32_MAX && chem->IsPhase(static_cast<int>(component)))
    throw QJExcept("Attempt to set a non-aqueous component in a particle");
  if (moles < 0.0) throw QJExcept("Attempt to set negative aqueous moles in a particle");
  if (!aqueous) aqueous = std::make_unique<std::vector<AqueousAmount>>();
  for (AqueousAmount& a : *aqueous)
    if (a.component == component) {
      a.moles = moles;
      return;
    }
  aqueous->push_back({component, moles});
}

double Particle::GetAqueousMoles(uint32_t component) const {
  if (aqueous)
    for (const AqueousAmount& a : *aqueous)
      if (a.component == component) return a.moles;
  return 0.0;
}

void Particle::GetAqueousArrays(std::vector<uint32_t>& indices, std::vector<double>& values) const {
  indices.clear();
  values.clear();
  if (!aqueous) return;
  for (const AqueousAmount& a : *aqueous) {
    indices.push_back(a.component);
    values.push_back(a.moles);
  }
}

void Particle::GetTrackPositions(std::vector<TrackPoint>& points) const {
  points.clear();
  for (const TrackPoint& t : track) points.push_back(t);
  if (points.empty() || !SamePosition(points.back().position, current.position)) points.push_back(current);
}

void Particle::Save(SaveStream& s) const {
  SavePointer(s, zone);
  s.WriteU32(id);
  s.WriteF64(tortuosity);
  s.WriteU8(active);
  s.WriteU8(regen);
  s.WriteF64(pathLength);
  s.WriteF64(sinceStored);
  WritePoint(s, current);
  s.WriteU32(static_cast<uint32_t>(track.size()));
  for (const TrackPoint& t : track) {
    s.WriteU32(kTrackPointType);
    WritePoint(s, t);
  }
  const bool amounts =
      aqueous && std::any_of(aqueous->begin(), aqueous->end(), [](const AqueousAmount& a) { return a.moles != 0.0; });
  s.WriteU8(amounts ? 1 : 0);
  if (amounts) {
    s.WriteU32(static_cast<uint32_t>(aqueous->size()));
    for (const AqueousAmount& a : *aqueous) {
      s.WriteU32(kAqueousType);
      s.WriteU32(a.component);
      s.WriteF64(a.moles);
    }
  }
  s.WriteU8(keepTail);
}

void Particle::Restore(SaveStream& s) {
  const int32_t v = FileVersion();
  savedZone = s.ReadU32();
  if (savedZone > ZoneList().Count()) s.ReadFailure();
  zone = nullptr;
  if (v >= 301) id = s.ReadU32();
  tortuosity = s.ReadF64();
  active = s.ReadFlag();
  regen = s.ReadFlag();
  pathLength = s.ReadF64();
  sinceStored = s.ReadF64();
  ReadPoint(s, current);
  const uint32_t count = s.ReadU32();
  s.CheckAvailable(count * kTrackPointBytes);
  track.clear();
  for (uint32_t i = 0; i < count; ++i) {
    if (s.ReadU32() != kTrackPointType) s.ReadFailure();
    TrackPoint t;
    ReadPoint(s, t);
    track.push_back(t);
  }
  aqueous.reset();
  const bool amounts = v >= 304 ? s.ReadFlag() != 0 : true;
  if (amounts) {
    const uint32_t n = s.ReadU32();
    s.CheckAvailable(n * uint64_t{16});
    aqueous = std::make_unique<std::vector<AqueousAmount>>(n);
    for (AqueousAmount& a : *aqueous) {
      if (s.ReadU32() != kAqueousType) s.ReadFailure();
      a.component = s.ReadU32();
      a.moles = s.ReadF64();
    }
  }
  keepTail = v >= 302 ? s.ReadFlag() : 0;
  moveThisStep = 1;
}

void Particle::RemapPointers() {
  zone = savedZone ? static_cast<Zone*>(ZoneList().GetByIndex(savedZone)) : nullptr;
  savedZone = 0;
}

// ---------------------------------------------------------------------------
// The list

Particle* ParticleList::Append(std::unique_ptr<Particle> p) {
  list_.push_back(std::move(p));
  return list_.back().get();
}

void ParticleList::RemoveParticle(Particle* p) {
  auto it = std::find_if(list_.begin(), list_.end(), [p](const auto& q) { return q.get() == p; });
  if (it == list_.end()) throw QJExcept("Particle not found in list.");
  list_.erase(it);
}

uint32_t ParticleList::DeleteInactive() {
  const size_t before = list_.size();
  std::erase_if(list_, [](const auto& p) { return !p->active; });
  return static_cast<uint32_t>(before - list_.size());
}

void ParticleList::Clear() {
  list_.clear();
  pool_.Release();
  counter_ = 0;
}

void ParticleList::AttachToZones() {
  for (const auto& p : list_)
    if (p->active && p->zone) p->zone->particles.push_back(p.get());
}

void ParticleList::Print(CommandType& out) const {
  PageGuard guard(out);
  out << "There are currently " << Count() << " particles ...\n";
  out << "               Coordinates                 Tortuosity    In    Stored    Path\n";
  out << "      X             Y             Z                      Zone  Points    Length\n";
  const std::ios::fmtflags flags = out.flags();
  const std::streamsize precision = out.precision();
  out.setf(std::ios::scientific, std::ios::floatfield);
  out.setf(std::ios::right, std::ios::adjustfield);
  out.precision(5);
  for (const auto& p : list_) {
    const double* x = p->ShownPosition();
    out << std::setw(13) << x[0] << " " << std::setw(13) << x[1] << " " << std::setw(13) << x[2] << " " << std::setw(13)
        << p->tortuosity << " " << std::setw(6) << (p->zone ? p->zone->Id() : 0u) << " " << std::setw(6)
        << p->track.size() << " " << std::setw(13) << p->pathLength + p->sinceStored;
    if (!p->active) out << " inactive";
    out << "\n";
  }
  out.flags(flags);
  out.precision(precision);
}

void ParticleList::PrintTracks(CommandType& out) const {
  PageGuard guard(out);
  Tracks(*this, [&out](const std::string& text) { out << text; });
}

void ParticleList::WriteTracks(File& out) const {
  Tracks(*this, [&out](const std::string& text) { out.Write(text.data(), text.size()); });
}

void ParticleList::WriteTracks(std::ostream& out) const {
  Tracks(*this, [&out](const std::string& text) { out.write(text.data(), static_cast<std::streamsize>(text.size())); });
}

void ParticleList::Save(SaveStream& s) const {
  s.WriteU32(counter_);
  s.WriteU32(Count());
  for (const auto& p : list_) {
    s.WriteU32(kParticleType);
    p->Save(s);
  }
}

void ParticleList::Restore(SaveStream& s) {
  const int32_t v = FileVersion();
  Clear();
  uint32_t counter = v >= 301 ? s.ReadU32() : 0;
  if (v < 300) return;
  const uint32_t count = s.ReadU32();
  s.CheckAvailable(count * (kParticleBytes + 4));
  list_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (s.ReadU32() != kParticleType) s.ReadFailure();
    auto p = std::make_unique<Particle>();
    p->Restore(s);
    list_.push_back(std::move(p));
  }
  counter_ = counter;
}

void ParticleList::Remap() {
  for (const auto& p : list_) p->RemapPointers();
  for (Zone* z : ZoneList()) z->particles.clear();
  AttachToZones();
}
