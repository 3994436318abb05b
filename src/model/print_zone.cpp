// PRINT ZONE and PRINT CHEM: one row per zone of the list that the print
// range accepts.
#include <iomanip>
#include <ios>

#include "base/message.h"
#include "base/range_named.h"
#include "base/stream.h"
#include "cmodels/stensor.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "model/print_support.h"
#include "model/zone_models.h"

namespace {

using namespace listing;

const char* const kZoneWords =
    "gp join property information stress principal state pp density extra fdensity volume strain fsr fsi";

enum ZoneWord {
  kGp = 1,
  kJoin,
  kProperty,
  kInformation,
  kStress,
  kPrincipal,
  kState,
  kPp,
  kDensity,
  kExtra,
  kFdensity,
  kVolume,
  kStrain,
  kFsr,
  kFsi
};

const char* const kTensorHeader =
    "  ID       XX          YY          ZZ          XY          YZ          XZ\n"
    "------ ----------- ----------- ----------- ----------- ----------- -----------\n";

// What a listing reads from the command and the modes before its title.
struct ZoneListing {
  int word = kInformation;
  bool effective = false;  // stress, principal
  bool average = false;    // state
  int32_t extra = 0;
  String property;  // the full property name
  CalcModule* thermal = nullptr;
  CalcModule* fluid = nullptr;
  const ZoneMaterialModels* thermalModels = nullptr;
  const ZoneMaterialModels* fluidModels = nullptr;
};

// An optional word of a listing: true when it is the second choice of the
// list; a word that is neither stays for the next PRINT item.
bool SecondChoice(ModelInterpreter& interp, const char* list) {
  int k = 0;
  return interp.MatchKeyword(list, k) == CommandType::kOk && k == 2;
}

String Capitalised(const String& name) {
  String s = name;
  if (!s.IsEmpty()) {
    String first = s.Mid(0, 1);
    first.ToUpper();
    s.SetAt(0, first.GetAt(0));
  }
  return s;
}

void PropertyHeading(ModelInterpreter& interp, const ZoneListing& l) {
  String header("   ID      Model    ");
  if (l.thermal) header += "Therm Model ";
  if (l.fluid) header += "Fluid Model ";
  header += "  Property       Value\n";
  header += " ------ ----------- ";
  if (l.thermal) header += "----------- ";
  if (l.fluid) header += "----------- ";
  header += "------------ -------------\n";
  interp.precision(5);
  Heading(interp, "Zone Property ...", header.c_str());
}

// Reads the listing's parameters, checks its preconditions and writes its
// title and column header.
void StartListing(ModelInterpreter& interp, ZoneListing& l) {
  switch (l.word) {
    case kGp:
      Heading(interp, "Zone Gp Connections ...",
              "   id     g0     g1     g2     g3     g4     g5     g6     g7\n"
              " ------ ------ ------ ------ ------ ------ ------ ------ ------\n");
      break;
    case kJoin:
      Heading(interp, "Zone Join (Face) connections ...",
              "   id     z0     z1     z2     z3     z4     z5\n ------ ------ ------ ------ ------ ------ ------\n");
      break;
    case kProperty: {
      int at = interp.TokenIndex();
      String word = interp.GetString();
      if (!MatchPropertyName(word, &l.property)) throw CommandType::UnrecognizedExcept(at, word);
      PropertyHeading(interp, l);
      break;
    }
    case kInformation:
      Heading(interp, "Zone Information ...",
              "   ID   Type  Model       Group               Centroid\n"
              " ------ ----- ----------- ------  ----------- ----------- -----------\n");
      interp.precision(3);
      break;
    case kStress:
      l.effective = SecondChoice(interp, "total effective");
      Heading(interp, l.effective ? "Zone Average Effective Stresses ..." : "Zone Average Stresses ...",
              "   id      S-XX       S-YY       S-ZZ       S-XY       S-XZ       S-YZ\n"
              " ------ ---------- ---------- ---------- ---------- ---------- ----------\n");
      interp.precision(2);
      break;
    case kPrincipal:
      l.effective = SecondChoice(interp, "total effective");
      Heading(interp, l.effective ? "Zone Principal Effective Stresses ..." : "Zone Principal Stresses ...",
              "   id      Maximum    Intermediate     Minimum\n ------ ------------- ------------- -------------\n");
      interp.precision(5);
      break;
    case kState:
      l.average = SecondChoice(interp, "any average");
      Heading(interp, l.average ? "Zone Average State Indicators ..." : "Zone State Indicators ...",
              "   id   States...\n ------ ------------\n");
      break;
    case kPp:
      Heading(interp, "Zone Pore Pressures ...", "   id          PP\n ------ -------------\n");
      interp.precision(5);
      break;
    case kDensity:
      Heading(interp, "Zone Densities ...", "   id   Density\n ------ -------------\n");
      interp.precision(5);
      break;
    case kExtra:
      l.extra = interp.GetInt();
      Heading(interp, "Zone Extra Variable " + IntToString(l.extra),
              "   id   Extra Variable\n ------ --------------\n");
      break;
    case kFdensity:
      if (!l.fluid) throw QJExcept("Not configured for fluid flow calculation");
      Heading(interp, "Zone Fluid Densities....", "   ID   Fluid Density\n ------ -------------\n");
      interp.precision(5);
      break;
    case kVolume:
      Heading(interp, "Zone Volumes....", "   ID      Volume\n ------ -------------\n");
      interp.precision(5);
      break;
    case kStrain:
      Heading(interp, "Zone Strain Values...",
              "   ID       SSR             SSI            VSR           VSI\n"
              " ------ -------------  -------------  -------------  -------------\n");
      interp.precision(5);
      break;
    case kFsr:
      Heading(interp, "Zone Full Strain Rate Tensor...", kTensorHeader);
      interp.precision(3);
      break;
    case kFsi:
      Heading(interp, "Zone Full Strain Increment Tensor...", kTensorHeader);
      interp.precision(3);
      break;
    default:
      break;
  }
}

// The name of a zone's thermal or fluid model, after the mode has made sure
// that the zone has its record.
String ModeModelName(CalcModule* module, const ZoneMaterialModels* models, Zone& zone) {
  module->ZoneCreated(zone);
  return models ? models->ZoneModelName(zone) : String();
}

void PropertyColumns(ModelInterpreter& interp, const ZoneListing& l, Zone& z) {
  String thermalName, fluidName;
  if (l.thermal) thermalName = ModeModelName(l.thermal, l.thermalModels, z);
  if (l.fluid) fluidName = ModeModelName(l.fluid, l.fluidModels, z);
  double value = 0.0;
  if (!z.GetProperty(l.property.c_str(), &value)) return;  // a row with the id only
  interp << Fit(z.ModelName(), 11) << " ";
  if (l.thermal) interp << Fit(thermalName, 11) << " ";
  if (l.fluid) interp << Fit(fluidName, 11) << " ";
  interp << Fit(Capitalised(l.property), 12) << " " << std::setw(13) << value;
}

void StateColumns(ModelInterpreter& interp, const ZoneListing& l, const Zone& z) {
  int count = 0;
  const uint16_t bits = z.GetState(&count, l.average);
  if (!bits) {
    interp << "None";
    return;
  }
  for (int i = 0; i < count && i < 16; ++i)
    if (bits & (1u << i)) interp << z.GetStateName(i) << " ";
}

void Columns(ModelInterpreter& interp, const ZoneListing& l, Zone& z) {
  double s[6];
  switch (l.word) {
    case kGp:
      // The type's own grid-points; the repeated slots of a reduced type show as empty.
      for (int slot = 0; slot < kZoneSlots; ++slot) {
        if (slot < z.GpCount() && z.Gp(slot))
          interp << std::setw(6) << z.Gp(slot)->id << " ";
        else
          interp << "  NULL ";
      }
      break;
    case kJoin:
      for (int f = 0; f < kZoneFaces; ++f) {
        if (Zone* n = z.Neighbour(f))
          interp << std::setw(6) << n->Id() << " ";
        else
          interp << "  NULL ";
      }
      break;
    case kProperty:
      PropertyColumns(interp, l, z);
      break;
    case kInformation: {
      double c[3];
      z.Centroid(c);
      interp << zone_tables::kTypeName[z.Type()] << " " << Fit(z.ModelName(), 11) << " "
             << Fit(z.GetGroup() ? z.GetGroup()->Name() : String(), 6) << " ";
      WriteVector(interp, c, 11);
      break;
    }
    case kStress:
      z.AverageStress(s, l.effective);
      for (int i = 0; i < 6; ++i) interp << (i ? " " : "") << std::setw(10) << s[i];
      break;
    case kPrincipal: {
      double p[3];
      STensor::PrinValues(z.AverageStress(s, l.effective), p);
      interp << std::setw(13) << p[2] << " " << std::setw(13) << p[1] << " " << std::setw(13) << p[0];
      break;
    }
    case kState:
      StateColumns(interp, l, z);
      break;
    case kPp:
      interp << std::setw(10) << z.AveragePorePressure();
      break;
    case kDensity:
      interp << std::setw(13) << z.Density();
      break;
    case kExtra:
      z.Extra().At(static_cast<uint32_t>(l.extra) - 1u).Write(interp);
      break;
    case kFdensity:
      l.fluid->ZoneCreated(z);
      interp << std::setw(13) << (l.fluidModels ? l.fluidModels->ZoneFluidDensity(z) : 0.0);
      break;
    case kVolume:
      interp << std::setw(13) << z.Volume();
      break;
    case kStrain:
      for (int code = Zone::kShearStrainRate; code <= Zone::kVolumetricStrain; ++code)
        interp << (code > Zone::kShearStrainRate ? "  " : "") << std::setw(13) << z.StrainMeasure(code, nullptr);
      break;
    case kFsr:
    case kFsi: {
      double e[6];
      z.StrainMeasure(l.word == kFsr ? Zone::kStrainRateTensor : Zone::kStrainTensor, e);
      for (double v : e) interp << std::setw(11) << v << " ";
      break;
    }
    default:
      break;
  }
}

}  // namespace

void PrintZone(ModelInterpreter& interp) {
  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  ZoneListing l;
  int code = interp.MatchKeyword(kZoneWords, l.word);
  if (code == CommandType::kMissing)
    l.word = kInformation;
  else if (code != CommandType::kOk)
    interp.ThrowParamError(code);
  interp.setf(std::ios::right, std::ios::adjustfield);
  interp.setf(std::ios::scientific, std::ios::floatfield);
  const ModePointers& modes = Modes();
  l.thermal = modes.thermal;
  l.fluid = modes.fluid;
  l.thermalModels = ThermalZoneModels();
  l.fluidModels = FluidZoneModels();
  StartListing(interp, l);

  const Range& range = PrintRange();
  for (Zone* z : ZoneList()) {
    if (!range.IsIn(z)) continue;
    RowStart(interp, z->Id());
    Columns(interp, l, *z);
    RowEnd(interp);
  }
}

void PrintChem(ModelInterpreter& interp) {
  ChemCalcModule& chem = CheckChemConfigured();
  if (!chem.IsReady()) throw QJExcept("ST table not set.");
  String name = interp.GetString();
  const int component = chem.FindComponent(name);
  if (component <= 0) throw QJExcept("Chemical component not found in ST table.");

  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  interp.SetPageHeader(interp.LastText());
  ScientificPrecision(interp, 5);
  interp << "  Zone   Concentration"
         << "\n";
  interp.flush();
  interp << "  id     [moles/vol]"
         << "\n";
  interp.flush();
  const Range& range = PrintRange();
  for (Zone* z : ZoneList()) {
    if (!z->chemistry || !range.IsIn(z)) continue;
    const double volume = z->Volume();
    if (!(volume > 0.0)) continue;
    interp << std::setw(6) << z->Id() << "   " << std::setw(13) << chem.ZoneComponentMoles(*z, component) / volume
           << "\n";
    interp.flush();
  }
}
