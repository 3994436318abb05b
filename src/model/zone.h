// Zones: the finite-difference elements of the grid (brick, wedge, pyramid,
// degenerate brick, tetrahedron) with their constitutive model, group, face
// neighbours and the two tetrahedral overlays on which strains and stresses
// are computed; the face reference ZoneFace and the zone-face list.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "base/linklist.h"
#include "base/memory.h"
#include "base/range.h"
#include "base/string.h"
#include "model/hyst_damping.h"
#include "model/model_list.h"
#include "model/zolt_value.h"
#include "model/zone_tables.h"

class ConstitutiveModel;
class GridPoint;
class Group;
class Particle;
class SaveStream;
struct ZoneWeights;
struct FaceWeights;

// One overlay tetrahedron. Its corners are not stored: they are the zone's
// grid-points that the paired definition names. The records of one overlay
// of a zone lie together in one block, in definition order.
struct ZoneTetra {
  uint16_t state = 0;  // plastic state bits written by the constitutive model
  double volume = 0.0;
  // Area vector of the face opposite each corner: its length is the face
  // area and it points into the tetrahedron.
  double area[4][3] = {};
  double stress[6] = {};  // xx, yy, zz, xy, xz, yz

  // Fills the area vectors and the volume from the corners (moved back half a
  // time step along their velocities in large-strain mode); answers the first
  // area vector.
  const double* ComputeGeometry(const GridPoint& a, const GridPoint& b, const GridPoint& c, const GridPoint& d);
  // Adds the tetrahedron's share to the corners' area sums and nodal stiffness sums.
  void AddNodalStiffness(GridPoint& a, GridPoint& b, GridPoint& c, GridPoint& d, double modulus, int overlays) const;

  // State, volume, area vectors and stresses: 154 bytes.
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
};

// A record of a zone that another subsystem owns (thermal, fluid and
// chemistry records).
class ZoneRecord {
 public:
  virtual ~ZoneRecord() = default;
  virtual std::unique_ptr<ZoneRecord> Clone() const = 0;
  // The material model type of a thermal or fluid record (0: none).
  virtual int ModelType() const { return 0; }
  // The chemistry record's particle upkeep: its changed mark, and the count
  // of particles that left the zone.
  virtual void MarkParticlesChanged() {}
  virtual void AddParticlesLeft(uint32_t /*count*/) {}
  // The record's own part of the zone record.
  virtual void Save(SaveStream& stream) const = 0;
  virtual void Restore(SaveStream& stream) = 0;
};

class Zone : public LinkListNode, public LocatedObject, public ModelObject {
 public:
  enum Flag : uint32_t { kBadOverlayA = 0x1, kBadOverlayB = 0x2, kDeleted = 0x4 };

  // Takes the next free serial id, sizes the extra variables and announces
  // the zone to the calculation modules. The creator sets the type and the
  // grid-points and appends the zone.
  Zone();
  // A zone with the id given by the user; the serial counter still advances.
  explicit Zone(uint32_t givenId);
  ~Zone() override;
  // A zone whose record RESTORE reads next: the counter advances, the id
  // comes from the record.
  static Zone* NewForRestore() { return new Zone(0u); }

  // The saved record; the pointer fix-up after every list is read.
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;

  // The located position: the centroid.
  void GetPosition(double out[3]) const override { Centroid(out); }

  uint32_t Id() const { return id_; }
  void SetId(uint32_t id) { id_ = id; }
  int Type() const { return type_; }
  void SetType(int type) { type_ = static_cast<uint8_t>(type); }
  int GpCount() const { return ZoneGpCount(type_); }
  uint32_t Flags() const { return flags_; }
  void SetFlags(uint32_t flags) { flags_ = flags; }
  // The volume found by the last preparation for cycling.
  double StoredVolume() const { return volume_; }
  void SetStoredVolume(double v) { volume_ = v; }
  double Density() const { return density_; }
  void SetDensity(double d) { density_ = d; }
  double* Vector() { return vector_; }
  const double* Vector() const { return vector_; }
  ZoltParamArray& Extra() { return extra_; }
  const ZoltParamArray& Extra() const { return extra_; }

  ConstitutiveModel* Model() const { return model_.get(); }
  void SetModel(std::unique_ptr<ConstitutiveModel> model);
  bool IsNull() const;
  String ModelName() const;

  Group* GetGroup() const { return group_; }
  String GroupName() const;
  // Sets the group ("none" is no group) and moves the group slots of the
  // zone's grid-points; nothing changes when a grid-point cannot take it.
  void SetGroup(Group* group);
  void SetGroupByName(const String& name);
  // Sets the group pointer only, leaving the grid-points' slots alone.
  void SetGroupPointer(Group* group) { group_ = group; }

  GridPoint* Gp(int slot) const { return gp_[slot]; }
  GridPoint* const* Gps() const { return gp_; }
  void SetGp(int slot, GridPoint* gp) { gp_[slot] = gp; }
  // Fills the slots beyond the type's grid-points with the repeats of the type.
  void FillRepeatedSlots();
  Zone* Neighbour(int face) const { return neighbour_[face]; }
  void SetNeighbour(int face, Zone* zone) { neighbour_[face] = zone; }
  // Ask the processor early for what a walk over the zone list reads
  // through this zone, so that the walk does not wait on memory at every
  // corner; they change nothing. The grid-points' first line holds their
  // list fields and flags, the next one their positions.
  void PrefetchCorners(bool positions) const;
  void PrefetchNeighbours() const;
  // How many zones ahead of its work a walk asks for them.
  static constexpr int kPrefetchAhead = 4;

  // Face look-ups through the type's face table.
  GridPoint* GetFaceGp(int face, int corner) const { return gp_[zone_tables::kFaceGp[type_][face][corner]]; }
  int FaceGpCount(int face) const { return zone_tables::kFaceCount[type_][face]; }
  // The face (with three or more grid-points) holding each of the three ids
  // once; -1 when two ids are equal or no face does.
  int FindFace(uint32_t id1, uint32_t id2, uint32_t id3) const;
  bool FaceHasMarkedGp(int face) const;
  bool IsMarkedBoundaryFace(int face) const;

  // Mechanical overlays: block of TetraPerOverlay() records, or null.
  ZoneTetra* Tetra(int overlay) const { return mech_[overlay]; }
  int TetraPerOverlay() const { return ::TetraPerOverlay(type_); }
  int OverlayCount() const { return (mech_[0] ? 1 : 0) + (mech_[1] ? 1 : 0); }
  // Chooses and builds the mechanical overlays: code 0 none, 2 both, 1 or -1
  // one (the one fewer neighbours use; on a tie A for 1, B for -1). False
  // when both overlays are unusable.
  bool Overlay(int code);
  // Keeps exactly the overlays asked for (blocks made or freed, volumes set).
  void UseOverlays(bool a, bool b);
  void FlagBadOverlays();
  void SetTetraVolume(const TetraDef& def, ZoneTetra& tetra) const;
  // Auxiliary overlays for the coupled modes (1 A, 2 B), built on demand.
  ZoneTetra* GetTetra(int which);
  void BuildTetra();
  void FreeTetra();
  void CheckTetraVolumes();
  // The state bits of the mechanical tetrahedra and the model's state count.
  uint16_t GetState(int* count, bool average) const;
  void SetTetraState(uint16_t state);
  String GetStateName(int index) const;

  void Centroid(double out[3]) const;
  double AveragePorePressure() const;
  // Local number of the nearest grid-point (lower number on equal distances).
  int NearestGp(const double p[3]) const;
  // Box of the grid-points; answers its largest side.
  double BoundingBox(double min[3], double max[3]) const;
  void UpdateMinEdgeLen();
  double MinEdgeLength() const { return minEdge_; }

  // Whole-model checks: true (with the report) when degenerate; false (with
  // the report) when the numbering convention is broken.
  bool CheckDegenerate(String& text) const;
  bool CheckNumbering(String& text) const;

  // Geometry and preparation for cycling.
  bool CheckBeforeCycle(std::ostream& stream);
  double Volume() const;
  const double* AverageStress(double out[6], bool addPorePressure) const;
  bool ContainsPoint(const double p[3]) const;
  void SetModelByName(const String& name);
  void CopyFrom(const Zone& source);
  // A named property of the mechanical model, else of the thermal or fluid model.
  bool GetProperty(const char* name, double* value) const;

  // Stresses and strains. Callers number the stress components 0 xx, 1 yy,
  // 2 zz, 3 xy, 4 yz, 5 xz (the tetrahedra keep xz before yz).
  enum StrainCode : int {
    kShearStrainRate = 1,
    kShearStrain,
    kVolumetricStrainRate,
    kVolumetricStrain,
    kStrainRateTensor,
    kStrainTensor,
    kRotationRate,
    kRotation
  };
  // Stores the value in that component of every mechanical tetrahedron.
  void SetStress(double value, int component);
  // The volume-weighted average of that component over the mechanical tetrahedra.
  double GetStress(int component) const;
  // A strain measure from the grid-point velocities (odd codes) or
  // displacements (even codes) over the mechanical tetrahedra; codes 5 to 8
  // write six components (xx, yy, zz, xy, yz, xz) to `tensor` and answer 0.
  double StrainMeasure(int code, double tensor[6]) const;
  bool GetNamedProperty(const char* name, double* value) const { return GetProperty(name, value); }
  // Sets a named property of the mechanical model, else of the thermal or fluid model.
  bool SetProperty(const char* name, double value);

  // Records of other subsystems, owned by the zone.
  std::unique_ptr<ZoneRecord> thermal;
  std::unique_ptr<ZoneRecord> fluid;
  std::unique_ptr<ZoneRecord> chemistry;
  std::unique_ptr<HystDamping> damping;
  std::unique_ptr<double> dynamicMultiplier;
  uint8_t dampingOn = 0;
  std::vector<Particle*> particles;
  // Calculation data of the stress pass; not saved.
  double stepValue = 0.0;

  // The append position in the zone list, for "first in list order".
  uint32_t ListSequence() const { return sequence_; }
  void SetListSequence(uint32_t s) { sequence_ = s; }

  // Shape quality: the smallest corner value over the eight corners.
  double Orthogonality() const;
  double AspectRatio() const;

  // Points, faces and segments, on the current positions. None of these
  // allocates: they run for every node of the attach, interface and link code.
  // A face number outside 0..5 or a face of fewer than three grid-points
  // gives false and leaves the outputs unset.
  bool FaceNormal(int face, double out[3], bool unit) const;
  bool FaceNormalArea(int face, double normal[3], double* area) const;
  // Exact: points on the boundary are inside.
  bool IsInside(const double p[3]) const;
  // Moves B to the face-plane crossing nearest to A; true when it moved.
  bool ClipSegment(const double a[3], double b[3]) const;
  // Inside within the relative tolerance (of the largest side of the box).
  bool ContainsPointTol(const double p[3], double relativeTolerance) const;
  // The grid-point weights at the point, averaged over the overlays that hold it.
  void GetWeights(ZoneWeights& out, const double p[3], double relativeTolerance) const;
  // Adds the volume coordinates of the point in the overlay tetrahedron to
  // the weights of its corners' slots.
  void AddCornerWeights(const TetraDef& def, double weights[kZoneSlots], const double p[3]) const;
  // Corner cases: with four corners (a tetrahedron), face case 0..3 gives the
  // three corners of the face opposite corner 0, 2, 3 and 1, ordered so that
  // the right-hand normal points out; with three (a triangle), edge case 0..2
  // gives the two corners of edge 0-1, 1-2, 2-0. Other cases copy nothing.
  static void CopyFaceCorners(int faceCase, const double* const corners[], int cornerCount, const double* out[]);
  // The particle list upkeep of particle tracking.
  void RemoveParticle(Particle* particle);
  uint32_t DeleteParticles();

 private:
  void Init();
  void FreeMechanical(int overlay);
  // Also answers the six-fold volumes of the tetrahedra of both overlays (of
  // an unusable overlay only up to its first unusable tetrahedron).
  void FlagBadOverlays(double sixfold[2][kMaxOverlayTetra]);

  uint32_t id_ = 0;
  uint8_t type_ = kBrick;
  uint32_t flags_ = 0;
  uint32_t sequence_ = 0;
  double volume_ = 0.0;
  double density_ = 0.0;
  std::unique_ptr<ConstitutiveModel> model_;
  double vector_[3] = {0, 0, 0};
  Group* group_ = nullptr;
  ZoneTetra* mech_[2] = {nullptr, nullptr};
  ZoneTetra* aux_[2] = {nullptr, nullptr};
  GridPoint* gp_[kZoneSlots] = {};
  Zone* neighbour_[kZoneFaces] = {};
  double minEdge_ = 0.0;
  ZoltParamArray extra_;
};

ModelList<Zone>& ZoneList();
// Calls f on every zone in list order while the corners (with their
// positions when asked) of the zone a few further on are fetched.
template <class F>
void ForEachZoneFetchingAhead(bool positions, F&& f) {
  Zone* ahead = ZoneList().Head();
  for (int i = 0; i < Zone::kPrefetchAhead && ahead; ++i) ahead = ModelList<Zone>::Next(ahead);
  for (Zone* z : ZoneList()) {
    if (ahead) {
      ahead->PrefetchCorners(positions);
      ahead = ModelList<Zone>::Next(ahead);
    }
    f(*z);
  }
}
// The serial id counter: 0 after NEW.
uint32_t& ZoneIdCounter();
// The model-wide shortest edge, reset by the caller before a pass over all zones.
double& MinimumEdgeLength();

// Blocks of tetrahedron records from the model memory pool.
ZoneTetra* NewTetraBlock(int count);
void FreeTetraBlock(ZoneTetra* block);

// Tests on one overlay definition of a zone.
bool TetraContainsPoint(const TetraDef& def, const Zone& zone, const double p[3]);
double TetraDefVolume(const TetraDef& def, const Zone& zone);

// Runs CheckDegenerate and CheckNumbering over every zone; the first
// failure is raised with its report.
void CheckAllZones();
// Clears every grid-point's group slots, then rebuilds them from the zones' groups.
void ClearAllGroups();
// Sets the model-range mark on the grid-points of the zones whose model the
// name abbreviates ("undefined" for zones without a model).
void MarkModelGridPoints(const String& modelName);
bool ZoneModelMatches(const Zone& zone, const String& name);

// A reference to one face of a zone; a range subject of its own.
class ZoneFace : public LocatedObject {
 public:
  explicit ZoneFace(Zone* zone = nullptr, int face = 0)
      : LocatedObject(kZoneFace), zone_(zone), face_(static_cast<uint8_t>(face)) {}
  // The face centroid; the origin for a reference without zone.
  void GetPosition(double out[3]) const override;

  Zone* GetZone() const { return zone_; }
  int Face() const { return face_; }
  int GpCount() const { return zone_ ? zone_->FaceGpCount(face_) : 0; }
  GridPoint* GetGp(int corner) const { return zone_ ? zone_->GetFaceGp(face_, corner) : nullptr; }
  void Centroid(double out[3]) const;
  double MaxEdgeLength() const;
  double BoundingBox(double min[3], double max[3]) const;
  // Unit normal pointing out of the zone (zero for a degenerate face).
  void OutwardNormal(double n[3]) const;
  // Unit normal from the face's diagonals (three corners: two edges),
  // pointing out of the zone; the reference must name a zone.
  double* Normal(double out[3]) const;
  // The same with every corner moved by `factor` times its displacement.
  double* Evaluate(double out[3], double factor) const;
  // Where the line through P along d crosses the face plane; false when
  // there is no out point or the line is parallel to the plane.
  bool IntersectLine(const double p[3], const double d[3], double* out) const;
  // Projects P onto the face and fills its corner weights; answers the inside
  // flag. A missing face gives zero weights and false. No allocation.
  static bool ProjectPoint(FaceWeights& out, const double p[3], const ZoneFace* face, double tolerance);
  static bool ProjectPointQuad(FaceWeights& out, const double p[3], const double c0[3], const double c1[3],
                               const double c2[3], const double c3[3], double tolerance);
  static bool ProjectPointTriangle(FaceWeights& out, const double p[3], const double c0[3], const double c1[3],
                                   const double c2[3], double tolerance);

  // The face number (1 byte) and the zone's save index.
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
  // Turns the saved index back into the zone.
  void Resolve();
  uint32_t SavedIndex() const { return savedIndex_; }

  ZoneFace* next = nullptr;  // the zone-face list

 private:
  Zone* zone_;
  uint8_t face_;
  uint32_t savedIndex_ = 0;
};

// The corner weights of a point projected onto a zone face.
struct FaceWeights {
  double weight[4] = {0, 0, 0, 0};
  uint8_t warped = 0;
  uint8_t inside = 0;
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
};

// The least negative triangle weight of the last four-cornered projection
// that missed its face: ATTACH ranks candidate faces by it.
double& FaceMissValue();

// The zone-face list that particle tracking marks: newest first, never two
// records of the same zone and face.
ZoneFace*& ZoneFaceListHead();
// Prepends the record unless the list holds its zone and face; then the
// record is freed and the pointer set to null.
void InsertUniqueRecord(ZoneFace*& head, ZoneFace*& record);
void ClearZoneFaceList(ZoneFace*& head);
// Drops the records of one zone (the zone is being deleted).
void RemoveZoneFaces(ZoneFace*& head, const Zone* zone);
void SaveZoneFaceList(SaveStream& stream, const ZoneFace* head);
void RestoreZoneFaceList(SaveStream& stream, ZoneFace*& head);
void ResolveZoneFaceList(ZoneFace* head);
// The first face 0 to 5 of the zone whose k-th corner is one of the four
// given grid-points at every k where the k-th pointer is set; 6 when none.
int ZoneFaceOfGridPoints(GridPoint* const gps[4], const Zone& zone);

// ---------------------------------------------------------------------------
// Zone quality

// The corner measures of three edge vectors: 1.7976931348623157e308 for a
// zero-length edge or two equal edges.
double CornerOrthogonality(const double a[3], const double b[3], const double c[3]);
double CornerAspect(const double a[3], const double b[3], const double c[3]);
// The largest planarity value of the zone's four-cornered faces;
// -1.7976931348623157e308 when it has none of non-zero area.
double ZoneFacePlanarity(const Zone& zone);

// ---------------------------------------------------------------------------
// Points and segments in zones

// The weights of a structural-element link in its zone: a found flag and one
// weight per grid-point slot.
struct ZoneWeights {
  uint8_t found = 0;
  double weight[kZoneSlots] = {};
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
};

// The first zone in list order without the null model that holds the point.
Zone* FindZoneContaining(const double p[3]);
// The first zone without the null model (and, with skipDeleted, without the
// deleted mark) that holds the point exactly, else (for a tolerance other
// than 0) within the tolerance; null when none does.
Zone* FindZoneAt(const double p[3], bool skipDeleted, double relativeTolerance);
// The face (0..5) through which the segment A-B leaves the zone, with the
// exit point and the face's unit normal; -1 when none is found. With
// `parallel`, a face parallel to the segment is taken when A lies in its plane.
// QJExcept "Zero length line segment in GetExitFace." when A equals B.
int GetExitFace(const Zone& zone, const double a[3], const double b[3], double exit[3], double normal[3],
                bool parallel);
// The nearest point of segment A-B to P, given P's projection Q on its line.
void SegmentNearestPoint(const double a[3], const double b[3], const double p[3], const double q[3], double out[3]);
// The nearest point of triangle T0-T1-T2 (unit normal n) to P in its plane.
void TriangleNearestPoint(const double t0[3], const double t1[3], const double t2[3], const double p[3],
                          const double n[3], double out[3]);
// False when P lies farther than the tolerance outside a face of the overlay
// tetrahedron; else true with the tetrahedron's point nearest to P.
bool TetraNearestPoint(const TetraDef& def, const Zone& zone, const double p[3], double tolerance, double out[3]);
// The candidate nearest to the point among those whose flag is above 0;
// the first candidate when none is.
const double* NearestNonNegativeCorner(const double p[3], const double flags[], const double (*candidates)[3],
                                       int count);

// Removes a particle from the global particle list and destroys it; set by
// particle tracking.
using ParticleRemover = void (*)(Particle* particle);
ParticleRemover& ParticleListRemover();
// Tells a particle that its zone is being destroyed; set by particle tracking.
ParticleRemover& ParticleZoneLost();

// ---------------------------------------------------------------------------
// Plot items

// The mark that the grid plot item sets on the zones inside its range.
constexpr uint32_t kZonePlotMark = 0x80000;
// Whether a zone plot item draws the zone: marked, and null exactly when
// the item shows null zones only.
bool ZoneAcceptedByPlot(const Zone& zone, bool nullOnly);
