// GENERATE ZONE: the primitive keyword, the options of the primitive and
// the start of its generation.
#include <cmath>

#include "base/except.h"
#include "base/message.h"
#include "generate/body/body.h"
#include "generate/gen_geometry.h"
#include "generate/gen_zone.h"
#include "generate/grid_edit.h"
#include "generate/primitive.h"
#include "model/group.h"
#include "model/model_interpreter.h"

namespace {

// The words after GENERATE ZONE, numbered from 1 in this order, and the
// primitive type of each (0: not a primitive shape).
const char* const kPrimitiveWords =
    "brick wedge pyramid radtunnel radbrick cylinder radcylinder cylint dbrick cshell reflect copy tunint "
    "tetrahedron body uwedge";
const int32_t kWordType[] = {0,
                             kPrimBrick,
                             kPrimWedge,
                             kPrimPyramid,
                             kPrimRadTunnel,
                             kPrimRadBrick,
                             kPrimCylinder,
                             kPrimRadCylinder,
                             kPrimCylInt,
                             kPrimDBrick,
                             kPrimCShell,
                             0,
                             0,
                             kPrimTunInt,
                             kPrimTetrahedron,
                             0,
                             kPrimUWedge};
const char* const kOtherWordNames[] = {"REFLECT", "COPY", "BODY"};
enum PrimitiveWord { kReflect = 11, kCopy = 12, kBody = 15 };

// The options of a primitive: p0 ... p16 are words 1 to 17.
const char* const kOptionWords =
    "p0 p1 p2 p3 p4 p5 p6 p7 p8 p9 p10 p11 p12 p13 p14 p15 p16 edge size ratio dimension fill group region nomerge";
enum OptionWord { kLastPoint = 17, kEdge, kSize, kRatio, kDimension, kFill, kGroup, kRegion, kNoMerge };

const char* const kPointWords = "point add";
enum PointWord { kPointWord = 1, kAddWord };

const char* const kGroupWords = "group region";

// A real that must be a finite number.
double ReadReal(CommandType& interp) {
  int at = interp.TokenIndex();
  const double v = interp.GetReal();
  if (!std::isfinite(v)) interp.ThrowParamError(CommandType::kConvert, &at);
  return v;
}

// A further real when one follows; false (nothing read) otherwise.
bool ReadOptionalReal(CommandType& interp, double& out) {
  int at = interp.TokenIndex();
  double v = 0.0;
  if (interp.CheckNumber(&v) != CommandType::kOk) return false;
  if (!std::isfinite(v)) interp.ThrowParamError(CommandType::kConvert, &at);
  out = v;
  return true;
}

// p0 ... p16: "point" and the id of a reference point, or a position,
// relative to p0 (as given so far on the line) after "add".
void ReadPoint(CommandType& interp, MeshPrimitive& primitive, int m) {
  int word = 0;
  if (interp.MatchKeyword(kPointWords, word) != CommandType::kOk) word = 0;
  if (word == kPointWord) {
    const int32_t id = interp.GetInt();
    const GenPoint* point = FindGenPoint(id);
    if (!point) throw GenExcept(MessageText("Node %s not found", IntToString(id)));
    primitive.point[m] = point->Position();
  } else {
    Vec3 v;
    v.x = ReadReal(interp);
    v.y = ReadReal(interp);
    v.z = ReadReal(interp);
    if (word == kAddWord && primitive.given[0]) v += primitive.point[0];
    primitive.point[m] = v;
  }
  primitive.given[m] = true;
}

// "size": n1 and as many of n2 ... n5 as integers follow; each at least 1.
void ReadSizes(CommandType& interp, MeshPrimitive& primitive) {
  for (int m = 0; m < kPrimitiveSizes; ++m) {
    int at = interp.TokenIndex();
    int32_t n = 0;
    if (m == 0) {
      n = interp.GetInt();
    } else if (interp.CheckInt(&n) != CommandType::kOk) {
      return;
    }
    if (n < 1) interp.ThrowParamError(CommandType::kConvert, &at);
    primitive.size[m] = n;
  }
}

// "ratio": r1 and as many of r2 ... r5 as numbers follow; each above 0.
// The token of each is kept for the test against its size.
void ReadRatios(CommandType& interp, MeshPrimitive& primitive, int ratioToken[kPrimitiveSizes]) {
  for (int m = 0; m < kPrimitiveSizes; ++m) {
    int at = interp.TokenIndex();
    double r = 0.0;
    if (m == 0)
      r = ReadReal(interp);
    else if (!ReadOptionalReal(interp, r))
      return;
    if (!(r > 0.0)) interp.ThrowParamError(CommandType::kConvert, &at);
    primitive.ratio[m] = r;
    ratioToken[m] = at;
  }
}

// A ratio must grade its edge: r^n finite and not 1, and its smallest zone,
// the first above 1 and the last below 1, of a width that registers against
// the whole edge: nodes closer than the arithmetic resolves would make a
// zone without volume.
bool Grades(int n, double r) {
  if (r == 1.0) return true;
  const double span = std::pow(r, n) - 1.0;
  if (!std::isfinite(span) || span == 0.0) return false;
  return 1.0 - GradedFraction(1, n, r) < 1.0 && GradedFraction(n - 1, n, r) < 1.0;
}

// Whether the shape grades an edge with size and ratio m (0-based): n1 ...
// n3 always, n4 across the band of the radial shapes (a cshell's only for
// its fill), n5 along the radial pieces of cylint and tunint.
bool UsesSize(const MeshPrimitive& primitive, int m) {
  switch (primitive.type) {
    case kPrimRadTunnel:
    case kPrimRadBrick:
    case kPrimRadCylinder:
      return m < 4;
    case kPrimCShell:
      return m < 3 || (m == 3 && primitive.fill);
    case kPrimCylInt:
    case kPrimTunInt:
      return true;
    default:
      return m < 3;
  }
}

// Each ratio given for an edge the shape grades; cylint and tunint also run
// n1 zones the other way, graded by 1/r1.
void CheckRatios(CommandType& interp, const MeshPrimitive& primitive, int ratioToken[kPrimitiveSizes]) {
  for (int m = 0; m < kPrimitiveSizes; ++m) {
    if (ratioToken[m] < 0 || !UsesSize(primitive, m)) continue;
    const int n = primitive.size[m];
    const double r = primitive.ratio[m];
    const bool reversed = m == 0 && (primitive.type == kPrimCylInt || primitive.type == kPrimTunInt);
    if (!Grades(n, r) || (reversed && !Grades(n, 1.0 / r)))
      interp.ThrowParamError(CommandType::kConvert, &ratioToken[m]);
  }
}

// The group of a name; none for the empty name.
Group* GroupOf(const String& name) { return name.IsEmpty() ? nullptr : FindOrCreateGroup(name); }

}  // namespace

void GenerateZoneCommand(ModelInterpreter& interp) {
  const int word = interp.GetKeyword(kPrimitiveWords);
  if (word == kReflect) return GenerateReflect(interp);
  if (word == kCopy) return GenerateCopy(interp);
  const int32_t type = kWordType[word];
  if (word == kBody) {
    GenerateBodyZones(interp);
    return;
  }
  if (!MeshPrimitive::Available(type)) {
    const char* name = type ? MeshPrimitive::TypeName(type)
                            : kOtherWordNames[word == kReflect ? 0
                                              : word == kCopy  ? 1
                                                               : 2];
    throw QJExcept(MessageText("%s is not available in this version", String("GENERATE ZONE ") + name));
  }
  ParsePrimitive(interp, type);
}

void ParsePrimitive(CommandType& interp, int type) {
  ResetGenerateZoneOptions();
  PrimitiveOptions& options = GenerateZoneOptions();
  MeshPrimitive primitive(type);
  int ratioToken[kPrimitiveSizes] = {-1, -1, -1, -1, -1};
  while (interp.HasToken()) {
    const int word = interp.GetKeyword(kOptionWords);
    if (word <= kLastPoint) {
      ReadPoint(interp, primitive, word - 1);
      continue;
    }
    switch (word) {
      case kEdge:
        options.edge = ReadReal(interp);
        break;
      case kSize:
        ReadSizes(interp, primitive);
        break;
      case kRatio:
        ReadRatios(interp, primitive, ratioToken);
        break;
      case kDimension:
        options.dimensions[0] = ReadReal(interp);
        for (int m = 1; m < kPrimitiveDimensions; ++m)
          if (!ReadOptionalReal(interp, options.dimensions[m])) break;
        break;
      case kFill: {
        options.fill = true;
        int groupWord = 0;
        if (interp.MatchKeyword(kGroupWords, groupWord) == CommandType::kOk) options.fillGroup = interp.GetString();
        break;
      }
      case kGroup:
      case kRegion:
        options.group = interp.GetString();
        break;
      case kNoMerge:
        options.merge = false;
        break;
      default:
        break;
    }
  }
  primitive.fill = options.fill;
  primitive.merge = options.merge;
  CheckRatios(interp, primitive, ratioToken);
  primitive.BuildGrid(options.edge, options.dimensions);
  primitive.CheckCorners();
  // Groups are made only for a primitive that passed its checks.
  primitive.group = GroupOf(options.group);
  primitive.fillGroup = GroupOf(options.fillGroup);
  primitive.Generate(interp);
}
