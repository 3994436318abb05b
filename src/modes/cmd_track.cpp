// TRACK: particles at a point, along a line, on a plane grid or spread
// through the zones of a range; the particle options; the integration order,
// the injection rate and faces; the particle table, the track dump and the
// particle-track file.
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/file.h"
#include "base/range.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/zone.h"
#include "modes/fluid_model.h"
#include "modes/particles.h"

namespace {

struct Options {
  double tortuosity = 1.0;
  bool regen = false;
  bool keepTail = true;
};

double FluidTime() { return Modes().fluid ? Modes().fluid->Time() : 0.0; }

void CreateAt(const double p[3], const Options& o) {
  particle_track::CreateParticle(p, o.tortuosity, FluidTime(), o.regen, o.keepTail, nullptr);
}

bool Vector(ModelInterpreter& interp, double out[3]) {
  int at = interp.TokenIndex();
  if (interp.CheckVector(out, &at) != CommandType::kOk) return false;
  interp.TokenIndex() = at;
  return true;
}
bool Integer(ModelInterpreter& interp, int32_t* out) {
  int at = interp.TokenIndex();
  if (interp.CheckInteger(out, &at) != CommandType::kOk) return false;
  interp.TokenIndex() = at;
  return true;
}
bool Real(ModelInterpreter& interp, double* out) {
  int at = interp.TokenIndex();
  if (interp.CheckNumber(out, &at) != CommandType::kOk) return false;
  interp.TokenIndex() = at;
  return true;
}

// The fraction i / (n - 1); the midpoint for a single point.
double Fraction(int i, int n) { return n <= 1 ? 0.5 : static_cast<double>(i) / (n - 1); }

}  // namespace

void particle_track::WriteTrackFile(CommandType& interp) {
  File file;
  file.SetName("Terrax.trk");
  file.SetMode(File::kOut);
  interp.ConfirmOverwrite(file, false);
  if (!(file.Mode() & (File::kApp | File::kTrunc))) file.SetMode(file.Mode() | File::kTrunc);
  file.Open();
  TheParticleList().WriteTracks(file);
  file.Close();
  if (file.Failed()) throw File::WriteExcept(file.Name());
}

void TrackCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  Options o;
  double point[3];
  const bool single = Vector(interp, point);
  bool line = false, plane = false, list = false, write = false, dump = false;
  double p1[3], p2[3], p3[3];
  int32_t n1 = 0, n2 = 0, uniform = 0;
  while (interp.HasToken()) {
    int k = 0;
    const int code =
        interp.MatchKeyword("line plane tortuosity list write dump regen notail uniform pcorder ppervol pifface", k);
    if (code != CommandType::kOk) throw CommandType::UnrecognizedExcept(interp.TokenIndex(), interp.Token());
    switch (k) {
      case 1:
        if (!Vector(interp, p1) || !Vector(interp, p2)) throw QJExcept("Line must have 2 xyz coordinates specified");
        if (!Integer(interp, &n1)) throw QJExcept("Line must have number of particles specified");
        line = true;
        break;
      case 2:
        if (!Vector(interp, p1) || !Vector(interp, p2) || !Vector(interp, p3))
          throw QJExcept("Plane must have 3 xyz coordinates specified");
        if (!Integer(interp, &n1) || !Integer(interp, &n2))
          throw QJExcept("Plane must have number of particles specified in two directions");
        plane = true;
        break;
      case 3:
        if (!Real(interp, &o.tortuosity)) throw QJExcept("Tortuosity value must be specified");
        if (!(o.tortuosity > 0.0)) throw QJExcept("Tortuosity value must be > 0");
        break;
      case 4:
        list = true;
        break;
      case 5:
        write = true;
        break;
      case 6:
        dump = true;
        break;
      case 7:
        o.regen = true;
        break;
      case 8:
        o.keepTail = false;
        break;
      case 9:
        if (!Integer(interp, &uniform))
          throw QJExcept("Number of points in zone must be specified with uniform keyword");
        break;
      case 10: {
        int32_t order = -1;
        if (!Integer(interp, &order) || (order != 0 && order != 2 && order != 4))
          throw QJExcept("Valid predictor-corrector order must be specified (0, 2, or 4).");
        Settings().trackCount = order;
        break;
      }
      case 11: {
        double rate = 0.0;
        if (!Real(interp, &rate)) throw QJExcept("Number of particles per volume must be specified.");
        Settings().trackReal = rate < 0.0 ? 0.0 : rate;
        break;
      }
      case 12: {
        int32_t zoneId = 0;
        int32_t gp[3] = {};
        if (!Integer(interp, &zoneId)) throw QJExcept("Zone ID must be specified");
        for (int32_t& g : gp)
          if (!Integer(interp, &g)) throw QJExcept("Gridpoint ID must be specified");
        const uint32_t ids[3] = {static_cast<uint32_t>(gp[0]), static_cast<uint32_t>(gp[1]),
                                 static_cast<uint32_t>(gp[2])};
        particle_track::AddPifFace(static_cast<uint32_t>(zoneId), ids);
        break;
      }
      default:
        break;
    }
  }

  if (single) {
    CreateAt(point, o);
  } else if (line) {
    const int n = n1 <= 1 ? 1 : n1;
    for (int i = 0; i < n; ++i) {
      const double f = Fraction(i, n);
      const double p[3] = {p1[0] + f * (p2[0] - p1[0]), p1[1] + f * (p2[1] - p1[1]), p1[2] + f * (p2[2] - p1[2])};
      CreateAt(p, o);
    }
  } else if (plane) {
    for (int i = 0; i < n1; ++i)
      for (int j = 0; j < n2; ++j) {
        const double f = Fraction(i, n1), g = Fraction(j, n2);
        double p[3];
        for (int a = 0; a < 3; ++a) p[a] = p1[a] + f * (p2[a] - p1[a]) + g * (p3[a] - p1[a]);
        CreateAt(p, o);
      }
  } else if (uniform > 0) {
    std::vector<TrackPoint> points;
    for (Zone* z : ZoneList()) {
      const FluidModel* r = FluidRecord(*z);
      if ((r && r->modelType == 0) || !range.IsIn(z)) continue;
      particle_track::ZonePoints(*z, uniform, points);
      for (const TrackPoint& t : points)
        particle_track::CreateParticle(t.position, 1.0, FluidTime(), o.regen, o.keepTail, z);
    }
  }
  if (list) TheParticleList().Print(interp);
  if (dump) TheParticleList().PrintTracks(interp);
  if (write) particle_track::WriteTrackFile(interp);
}
