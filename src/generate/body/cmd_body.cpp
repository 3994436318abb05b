// BODY: the sub-mode, the sub-commands that build and edit the working
// solid, its stack and library, its listings and body files.
//
// Items of the solid are named by a letter and a number (b block, d dim,
// e edge, f face, n size, p point, r ratio), as ranges with "to", or by their
// keyword followed by numbers.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/file.h"
#include "base/stream.h"
#include "generate/body/body.h"
#include "generate/body/body_files.h"
#include "platform/console_device.h"

namespace {

const char* const kSubCommands = "add clear find library print set stack write quit stop";
enum SubCommand { kAdd = 1, kClear, kFind, kLibrary, kPrint, kSet, kStack, kWrite, kQuit, kStop };

const char* const kItemWords = "block dim edge face size point ratio";
constexpr char kItemLetters[] = "BDEFNPR";

const char* const kAddWords =
    "brick dbrick wedge wedge2 pyramid tetrahedron cylinder radbrick radtunnel radcylinder cshell cylint tunint";
constexpr int kFirstTemplate = 7;
// Distinct vertices of each block form.
constexpr int kFormVertexCount[6] = {8, 7, 6, 6, 5, 4};

// Set while the BODY sub-mode is on.
bool g_subMode = false;

String Prompt() { return String("   Body ") + TheBody().Working().Name() + ">"; }

void EndSubMode(CommandType& in) {
  in.SetCommandPrefix(String(), String());
  g_subMode = false;
}

// A stream for the lines of a listing or a file: six significant digits in
// the C locale, whatever the interpreter's stream was left with.
struct LineStream : std::ostringstream {
  LineStream() { imbue(std::locale::classic()); }
};

void Emit(CommandType& in, const LineStream& lines) {
  in << lines.str();
  in.flush();
}

// ---- item references ----

struct ItemRange {
  char letter = 0;
  int32_t from = 0;
  int32_t to = 0;
};

bool LooksNumeric(const String& token) {
  const std::string& s = token.str();
  if (s.empty()) return false;
  const char c = s[0];
  return std::isdigit(static_cast<unsigned char>(c)) || ((c == '-' || c == '+' || c == '.') && s.size() > 1);
}

// One reference: a letter and digits (possibly negative), or with an
// expected letter also a bare integer. False, with nothing read, otherwise.
bool ReadItemRef(CommandType& in, char expected, char& letter, int32_t& number) {
  if (!in.HasToken()) return false;
  const String token = in.Token();
  const std::string& s = token.str();
  const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  if (first >= 'A' && first <= 'Z') {
    if (s.size() < 2 || (expected && first != expected)) return false;
    size_t p = 1;
    const bool negative = s[p] == '-';
    if (negative) ++p;
    if (p >= s.size()) return false;
    long long value = 0;
    for (size_t q = p; q < s.size(); ++q) {
      if (!std::isdigit(static_cast<unsigned char>(s[q]))) return false;
      value = std::min<long long>(value * 10 + (s[q] - '0'), INT32_MAX);
    }
    ++in.TokenIndex();
    letter = first;
    number = static_cast<int32_t>(negative ? -value : value);
    return true;
  }
  if (!expected || !LooksNumeric(token)) return false;
  number = in.GetInt();
  letter = expected;
  return true;
}

// A reference, optionally "to" and a second one of the same letter.
bool ReadItemRange(CommandType& in, char expected, ItemRange& range) {
  if (!ReadItemRef(in, expected, range.letter, range.from)) return false;
  range.to = range.from;
  int word = 0;
  if (in.MatchKeyword("to", word) == CommandType::kOk) {
    char letter = 0;
    int at = in.TokenIndex();
    if (!ReadItemRef(in, range.letter, letter, range.to))
      in.ThrowParamError(in.HasToken() ? CommandType::kUnrecognized : CommandType::kMissing, &at);
    if (range.to < range.from) std::swap(range.from, range.to);
  }
  return true;
}

// The letter of an item keyword, or 0 with nothing read.
char ReadItemKeyword(CommandType& in, char expected = 0) {
  int word = 0;
  const int at = in.TokenIndex();
  if (in.MatchKeyword(kItemWords, word) != CommandType::kOk) return 0;
  const char letter = kItemLetters[word - 1];
  if (expected && letter != expected) {
    in.TokenIndex() = at;
    return 0;
  }
  return letter;
}

// An item group: a keyword and a range, or a reference (range) alone. With
// `allowAll` a keyword alone stands for every item of its kind.
bool ReadItemGroup(CommandType& in, ItemRange& range, bool allowAll, bool& all) {
  all = false;
  if (const char letter = ReadItemKeyword(in)) {
    if (ReadItemRange(in, letter, range)) return true;
    if (!allowAll) in.ThrowParamError(in.HasToken() ? CommandType::kUnrecognized : CommandType::kMissing);
    range.letter = letter;
    all = true;
    return true;
  }
  return ReadItemRange(in, 0, range);
}

// A reference that must follow.
int32_t ReadRequiredRef(CommandType& in, char expected) {
  char letter = 0;
  int32_t number = 0;
  int at = in.TokenIndex();
  if (!ReadItemRef(in, expected, letter, number))
    in.ThrowParamError(in.HasToken() ? CommandType::kUnrecognized : CommandType::kMissing, &at);
  return number;
}

// The numbers of each kind of item.
void CheckItemNumber(char letter, int32_t n) {
  switch (letter) {
    case 'B':
      SolidIndexCheck(n, 1, kSolidCells);
      break;
    case 'D':
      SolidIndexCheck(n, 1, kSolidDims);
      break;
    case 'E':
      SolidIndexCheck(n, 1, kSolidEdges);
      break;
    case 'F':
      SolidIndexCheck(n, 1, kSolidFaces);
      break;
    case 'N':
      SolidIndexCheck(n, 1, kSolidSizes);
      break;
    case 'P':
      SolidIndexCheck(n, 0, kSolidVertices - 1);
      break;
    case 'R':
      SolidIndexCheck(n, 1, kSolidRatios);
      break;
    default:
      break;
  }
}

void CheckRange(const ItemRange& range) {
  CheckItemNumber(range.letter, range.from);
  CheckItemNumber(range.letter, range.to);
}

// ---- SET ----

// A fix description after "fix": the kind, an arc's centre, the vertices,
// an arc's optional axis, "dim" and the dimensions.
struct FixDescription {
  int kind = 0;
  bool arc = false;
  int32_t centre = 0;
  int32_t axis = -1;
  int32_t vertices[4] = {};
  int32_t dims[3] = {};
};

FixDescription ReadFix(CommandType& in) {
  static constexpr int kKinds[] = {0, kFixPoint, kFixLine, kFixLine, kFixPlane, kFixSpace};
  FixDescription fix;
  const int word = in.GetKeyword("point line arc plane space");
  fix.kind = kKinds[word];
  fix.arc = word == 3;
  if (fix.arc) fix.centre = ReadRequiredRef(in, 'P');
  for (int k = 0; k <= fix.kind; ++k) fix.vertices[k] = ReadRequiredRef(in, 'P');
  char letter = 0;
  if (fix.arc && !ReadItemRef(in, 'P', letter, fix.axis)) fix.axis = -1;
  if (fix.kind > 0) {
    in.GetKeyword("dim");
    for (int k = 0; k < fix.kind; ++k) fix.dims[k] = ReadRequiredRef(in, 'D');
  }
  if (fix.arc) CheckItemNumber('P', fix.centre);
  if (fix.axis != -1) CheckItemNumber('P', fix.axis);
  for (int k = 0; k <= fix.kind; ++k) CheckItemNumber('P', fix.vertices[k]);
  for (int k = 0; k < fix.kind; ++k) CheckItemNumber('D', fix.dims[k]);
  return fix;
}

void ApplyFix(Solid& solid, int32_t v, const FixDescription& f) {
  switch (f.kind) {
    case kFixPoint:
      solid.FixPoint(v, f.vertices[0]);
      break;
    case kFixLine:
      if (f.arc)
        solid.FixArc(v, f.centre, f.vertices[0], f.vertices[1], f.axis, f.dims[0]);
      else
        solid.FixLine(v, f.vertices[0], f.vertices[1], f.dims[0]);
      break;
    case kFixPlane:
      solid.FixPlane(v, f.vertices[0], f.vertices[1], f.vertices[2], f.dims[0], f.dims[1]);
      break;
    default:
      solid.FixSpace(v, f.vertices[0], f.vertices[1], f.vertices[2], f.vertices[3], f.dims[0], f.dims[1], f.dims[2]);
      break;
  }
}

// Vertices and dimensions a relation names come into being at the origin and 0.
void DefineFixItems(Solid& solid, const FixDescription& f) {
  auto define = [&solid](int32_t v) {
    if (v >= 0 && !solid.Vertex(v).defined) solid.SetVertex(v, 0.0, 0.0, 0.0);
  };
  if (f.arc) define(f.centre);
  if (f.arc) define(f.axis);
  for (int k = 0; k <= f.kind; ++k) define(f.vertices[k]);
  for (int k = 0; k < f.kind; ++k)
    if (!solid.Dim(f.dims[k]).defined) solid.SetDim(f.dims[k], 0.0);
}

// What "set e..." does to each edge of its range.
struct EdgeAction {
  enum Kind { kRatio, kLine, kCentre, kAxis } kind;
  int32_t value;
};

std::vector<EdgeAction> ReadEdgeActions(CommandType& in) {
  std::vector<EdgeAction> actions;
  int word = 0;
  while (in.MatchKeyword("ratio line arc center axis", word) == CommandType::kOk) {
    switch (word) {
      case 1: {
        const int32_t r = ReadRequiredRef(in, 'R');
        CheckItemNumber('R', r);
        actions.push_back({EdgeAction::kRatio, r});
        break;
      }
      case 2:
        actions.push_back({EdgeAction::kLine, 0});
        break;
      case 3:
        break;  // the centre and axis that follow make the arc
      case 4:
      case 5: {
        const int32_t v = ReadRequiredRef(in, 'P');
        CheckItemNumber('P', v);
        actions.push_back({word == 4 ? EdgeAction::kCentre : EdgeAction::kAxis, v});
        break;
      }
      default:
        break;
    }
  }
  return actions;
}

void BodySet(CommandType& in, Solid& solid) {
  for (;;) {
    ItemRange range;
    bool all = false;
    if (!ReadItemGroup(in, range, false, all)) return;
    CheckRange(range);
    switch (range.letter) {
      case 'B': {
        const bool fill = in.GetKeyword("fill hide") == 1;
        for (int32_t n = range.from; n <= range.to; ++n) {
          SolidCell& cell = solid.Cell(n);
          if (!cell.defined) throw SolidExcept("block " + IntToString(n) + " is not defined.");
          cell.shown = fill;
        }
        break;
      }
      case 'D': {
        const double value = in.GetReal();
        for (int32_t n = range.from; n <= range.to; ++n) solid.SetDim(n, value);
        break;
      }
      case 'N': {
        const int32_t count = in.GetInt();
        for (int32_t n = range.from; n <= range.to; ++n) solid.SetSize(n, count);
        break;
      }
      case 'R': {
        const double value = in.GetReal();
        for (int32_t n = range.from; n <= range.to; ++n) solid.SetRatio(n, value);
        break;
      }
      case 'E': {
        const std::vector<EdgeAction> actions = ReadEdgeActions(in);
        for (int32_t n = range.from; n <= range.to; ++n)
          for (const EdgeAction& a : actions) {
            switch (a.kind) {
              case EdgeAction::kRatio:
                solid.SetEdgeRatio(n, a.value);
                break;
              case EdgeAction::kLine:
                solid.SetEdgeArc(n, false);
                break;
              case EdgeAction::kCentre:
                solid.SetEdgeCentre(n, a.value);
                break;
              case EdgeAction::kAxis:
                solid.SetEdgeAxis(n, a.value);
                break;
            }
          }
        break;
      }
      case 'P': {
        int word = 0;
        if (in.MatchKeyword("free fix", word) == CommandType::kOk) {
          if (word == 1) {
            for (int32_t n = range.from; n <= range.to; ++n) solid.UnfixVertex(n);
          } else {
            const FixDescription fix = ReadFix(in);
            for (int32_t n = range.from; n <= range.to; ++n) ApplyFix(solid, n, fix);
            DefineFixItems(solid, fix);
          }
          break;
        }
        double p[3];
        for (double& c : p) c = in.GetReal();
        for (int32_t n = range.from; n <= range.to; ++n) {
          if (solid.Vertex(n).fix > 0) throw SolidExcept("Can't set p" + IntToString(n) + ": Fixed!");
          solid.SetVertex(n, p[0], p[1], p[2]);
        }
        break;
      }
      case 'F':
        in << " *** Set face unimplemented!\n";
        break;
      default:
        break;
    }
  }
}

// ---- ADD ----

void BodyAdd(CommandType& in, Solid& solid) {
  const int at = in.TokenIndex();
  int word = 0;
  if (in.MatchKeyword(kAddWords, word) != CommandType::kOk) word = 0;
  Solid scratch;
  const Solid* source = nullptr;
  if (word >= kFirstTemplate) {
    switch (word - kFirstTemplate) {
      case 0:
        scratch.MakeCylinder();
        break;
      case 1:
        scratch.MakeRadBrick();
        break;
      case 2:
        scratch.MakeRadTunnel();
        break;
      case 3:
        scratch.MakeRadCylinder();
        break;
      case 4:
        scratch.MakeCShell();
        break;
      case 5:
        scratch.MakeCylInt();
        break;
      default:
        scratch.MakeTunInt();
        break;
    }
    source = &scratch;
  } else if (word == 0) {
    in.TokenIndex() = at;
    const String name = in.GetString();
    const BodySolid* entry = TheBody().FindInLibrary(name);
    if (!entry) throw SolidExcept(name + " is not in the library.");
    source = &entry->solid;
  }
  // The counts the maps must have: cells, vertices, sizes, ratios.
  const int32_t needed[4] = {source ? source->CellCount() : 1,
                             source ? source->VertexCount() : kFormVertexCount[word - 1],
                             source ? source->SizeCount() : 3, source ? source->RatioCount() : 3};
  static constexpr int32_t kLowest[4] = {0, -1, 0, -kSolidRatios};
  static constexpr int32_t kHighest[4] = {kSolidCells, kSolidVertices - 1, kSolidSizes, kSolidRatios};
  static constexpr int32_t kDefault[4] = {0, -1, 0, 0};
  std::vector<int32_t> given[4];
  bool isGiven[4] = {};
  for (;;) {
    const int groupAt = in.TokenIndex();
    char letter = ReadItemKeyword(in);
    if (!letter) {
      ItemRange probe;
      if (!ReadItemRange(in, 0, probe)) break;
      letter = probe.letter;
      in.TokenIndex() = groupAt;
    }
    const int kind = letter == 'B' ? 0 : letter == 'P' ? 1 : letter == 'N' ? 2 : letter == 'R' ? 3 : -1;
    if (kind < 0) throw SolidExcept("Bad solid part?");
    isGiven[kind] = true;
    ItemRange range;
    while (ReadItemRange(in, letter, range)) {
      SolidIndexCheck(range.from, kLowest[kind], kHighest[kind]);
      SolidIndexCheck(range.to, kLowest[kind], kHighest[kind]);
      for (int32_t n = range.from; n <= range.to && given[kind].size() <= kSolidEdges; ++n) given[kind].push_back(n);
    }
  }
  static const char* const kMapNames[4] = {"block", "point", "size", "ratio"};
  bool bad = false;
  for (int m = 0; m < 4; ++m) {
    if (!isGiven[m]) {
      given[m].assign(static_cast<size_t>(needed[m]), kDefault[m]);
    } else if (static_cast<int32_t>(given[m].size()) != needed[m]) {
      in << kMapNames[m] << " map is bad: " << given[m].size() << "/" << needed[m] << "\n";
      bad = true;
    }
  }
  if (bad) {
    in << "For safty, you must give all remap indices, or none.\n";
    in.flush();
    throw SolidExcept("Remap indices bad.");
  }
  if (source) {
    std::vector<int32_t> dims(static_cast<size_t>(source->DimCount()), 0);
    solid.setsolid(source, given[0], given[1], given[2], given[3], dims);
    return;
  }
  const int32_t cell = given[0][0];
  const std::vector<int32_t>& q = given[1];
  const int32_t* s = given[2].data();
  const int32_t* r = given[3].data();
  switch (word) {
    case 1:
      solid.SetBrick(cell, {q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7]}, s[0], s[1], s[2], r[0], r[1], r[2]);
      break;
    case 2:
      solid.SetDBrick(cell, {q[0], q[1], q[2], q[3], q[4], q[5], q[6]}, s[0], s[1], s[2], r[0], r[1], r[2]);
      break;
    case 3:
      solid.SetWedge(cell, {q[0], q[1], q[2], q[3], q[4], q[5]}, s[0], s[1], s[2], r[0], r[1], r[2]);
      break;
    case 4:
      solid.SetWedge2(cell, {q[0], q[1], q[2], q[3], q[4], q[5]}, s[0], s[1], s[2], r[0], r[1], r[2]);
      break;
    case 5:
      solid.SetPyramid(cell, {q[0], q[1], q[2], q[3], q[4]}, s[0], s[1], s[2], r[0], r[1], r[2]);
      break;
    default:
      solid.SetTetra(cell, {q[0], q[1], q[2], q[3]}, s[0], s[1], s[2], r[0], r[1], r[2]);
      break;
  }
}

// ---- CLEAR, FIND ----

void BodyClear(CommandType& in, Solid& solid) {
  int word = 0;
  if (in.MatchKeyword("all free", word) == CommandType::kOk) {
    if (word == 1) {
      solid.Clear();
      if (g_subMode) in.SetCommandPrefix(String("body"), Prompt());
    } else {
      solid.Compact();
    }
    return;
  }
  for (;;) {
    // A keyword may be followed by several ranges of its kind.
    char letter = ReadItemKeyword(in);
    ItemRange range;
    if (!ReadItemRange(in, letter, range)) {
      if (letter) in.ThrowParamError(in.HasToken() ? CommandType::kUnrecognized : CommandType::kMissing);
      return;
    }
    do {
      CheckRange(range);
      for (int32_t n = range.from; n <= range.to; ++n) {
        switch (range.letter) {
          case 'B':
            solid.DeleteCell(n);
            break;
          case 'D':
            solid.ClearDim(n);
            break;
          case 'N':
            solid.ClearSize(n);
            break;
          case 'P':
            solid.ClearVertex(n);
            break;
          case 'R':
            solid.ClearRatio(n);
            break;
          default:
            break;
        }
      }
    } while (letter && ReadItemRange(in, letter, range));
  }
}

void BodyFind(CommandType& in, const Solid& solid) {
  in.GetKeyword("edge");
  int word = 1;
  do {
    const int32_t a = ReadRequiredRef(in, 'P');
    const int32_t b = ReadRequiredRef(in, 'P');
    CheckItemNumber('P', a);
    CheckItemNumber('P', b);
    const int32_t e = solid.FindEdge(a, b);
    LineStream out;
    if (e == 0) {
      out << "Fail: Edge does not exist\n";
    } else {
      out << "Found: Edge " << e << ": ";
      WriteEdgeDescription(solid, e, out);
      out << "\n";
    }
    Emit(in, out);
  } while (in.MatchKeyword("edge", word) == CommandType::kOk);
}

// ---- files ----

// Opens a body file for writing with the mode keyword that may follow the
// name. With no keyword and nobody at a terminal to ask, an existing file is
// replaced: added to, it would rebuild its solid twice when called.
void OpenBodyFile(CommandType& in, File& file, const String& name) {
  const uint32_t mode = File::kOut | in.GetFileMode();
  file.SetName(name);
  file.SetMode(mode);
  const bool asked = in.IsInteractive() && in.Device() && in.Device()->IsTerminal();
  if (!asked && !(mode & (File::kApp | File::kTrunc | File::kCreate))) {
    if (file.Exists()) in << "File " << name << " overwritten\n";
    file.SetMode(mode | File::kTrunc);
    return;
  }
  in.ConfirmOverwrite(file, false);
}

void WriteBodyFile(File& file, const std::string& text) {
  file.Open();
  file.Write(text.data(), text.size());
  file.Close();
  if (file.Failed()) throw File::WriteExcept(file.Name());
}

void BodyWrite(CommandType& in, const Solid& solid) {
  String name;
  int at = in.TokenIndex();
  const int code = in.CheckFileName(&name, "dat");
  if (code == CommandType::kMissing)
    name = solid.Name() + ".dat";
  else if (code != CommandType::kOk)
    in.ThrowParamError(code, &at);
  File file;
  OpenBodyFile(in, file, name);
  in << "Write body solid to file:" << name << "\n";
  in.flush();
  LineStream lines;
  WriteSolidCommands(solid, lines);
  WriteBodyFile(file, lines.str());
}

void BodyLibraryWrite(CommandType& in, const Body& body) {
  const String name = in.GetFileName("dat");
  File file;
  OpenBodyFile(in, file, name);
  in << "Write library to file:" << name << "\n";
  in.flush();
  LineStream lines;
  lines << "body stack put\n";
  for (const BodySolid* entry = body.Library(); entry; entry = entry->next.get()) {
    lines << "body clear all\n";
    WriteSolidCommands(entry->solid, lines);
    lines << "body lib add " << entry->libraryName << "\n";
  }
  lines << "body stack get\n";
  WriteBodyFile(file, lines.str());
}

// ---- LIBRARY, STACK ----

void BodyLibrary(CommandType& in, Body& body) {
  const int word = in.GetKeyword("add clear delete print write");
  if (word == 2) {
    in.GetKeyword("all");
    body.LibraryClear();
    return;
  }
  if (word == 5) {
    BodyLibraryWrite(in, body);
    return;
  }
  String name;
  if (in.HasToken()) name = in.GetString();
  switch (word) {
    case 1:
      if (name.IsEmpty()) name = body.Working().Name();
      if (name.Length() < 3) throw SolidExcept("A library solid name needs at least 3 characters.");
      if (body.FindInLibrary(name)) throw SolidExcept("Solid " + name + " already exists in the library.");
      body.LibraryAdd(name);
      break;
    case 3:
      if (!body.LibraryDelete(name)) throw SolidExcept(name + " is not a solid in the library.");
      break;
    default: {
      LineStream out;
      if (name.IsEmpty()) {
        out << "Solids in current library:\n# Name #-Blocks #-vertices\n";
        int position = 0;
        for (const BodySolid* entry = body.Library(); entry; entry = entry->next.get())
          out << ++position << ". " << entry->libraryName << " " << entry->solid.CellCount() << " "
              << entry->solid.VertexCount() << "\n";
      } else {
        const BodySolid* entry = body.FindInLibrary(name);
        if (!entry) throw SolidExcept(name + " does not exist in library.");
        WriteSolidCommands(entry->solid, out);
      }
      Emit(in, out);
      break;
    }
  }
}

void BodyStack(CommandType& in, Body& body) {
  switch (in.GetKeyword("clear copy drop get print put swap")) {
    case 1:
      body.StackClear();
      break;
    case 2:
      body.StackCopy();
      break;
    case 3:
      body.StackDrop();
      break;
    case 4:
      body.StackGet();
      break;
    case 5: {
      LineStream out;
      for (const BodySolid* entry = body.Below(); entry; entry = entry->next.get())
        out << "Solid " << entry->solid.Name() << "\n";
      Emit(in, out);
      break;
    }
    case 6:
      body.StackPut();
      break;
    default:
      body.StackSwap();
      break;
  }
  if (g_subMode) in.SetCommandPrefix(String("body"), Prompt());
}

// ---- PRINT ----

void PrintZoneStatistics(CommandType& in, Body& body) {
  body.Refresh();
  const Solid& solid = body.Working();
  LineStream out;
  out << "\nZone statistics:\n"
      << "Cell TetraRatio DelOverV MinVol MaxVol TotVol Zones \n";
  out << std::setprecision(6);
  for (int32_t c = 1; c <= solid.CellCount(); ++c) {
    if (!solid.Cell(c).defined) continue;
    CheckBodyCellMeshable(solid, c);
    const CellStatistics s = body.CellZoneStatistics(c);
    if (s.zones <= 0) continue;
    out << std::setw(10) << c << " " << std::setw(10) << s.tetraRatio << " " << std::setw(10) << s.delOverV << " "
        << std::setw(10) << s.minVol << " " << std::setw(10) << s.maxVol << " " << std::setw(10) << s.totVol << " "
        << std::setw(10) << s.zones << "\n";
  }
  WriteSolidSummary(solid, out);
  Emit(in, out);
}

void BodyPrint(CommandType& in, Body& body) {
  Solid& solid = body.Working();
  int word = 0;
  if (!in.HasToken() || in.MatchKeyword("name all", word) == CommandType::kOk) {
    if (word == 1) {
      in << "Name: " << solid.Name() << "\n";
      in.flush();
    } else {
      PrintZoneStatistics(in, body);
    }
    return;
  }
  const bool fixLines = in.MatchKeyword("fix", word) == CommandType::kOk;
  bool any = false;
  for (;;) {
    ItemRange range;
    bool all = false;
    if (!ReadItemGroup(in, range, true, all)) break;
    any = true;
    SolidItemRange items;
    if (!all) {
      CheckRange(range);
      items = {range.from, range.to};
    }
    LineStream out;
    switch (range.letter) {
      case 'B':
        WriteBlockLines(solid, out, items);
        break;
      case 'D':
        WriteDimLines(solid, out, items);
        break;
      case 'E':
        WriteEdgeListing(solid, out, items);
        break;
      case 'F':
        WriteFaceListing(solid, out, items);
        break;
      case 'N':
        WriteSizeLines(solid, out, items);
        break;
      case 'R':
        WriteRatioLines(solid, out, items);
        break;
      case 'P':
        if (fixLines) {
          WriteFixLines(solid, out, items);
        } else {
          solid.ComputeFixedVertices();
          WritePointLines(solid, out, items, true);
        }
        break;
      default:
        throw SolidExcept("Print what??");
    }
    Emit(in, out);
  }
  if (!any) throw SolidExcept("Print what??");
}

}  // namespace

void BodyCommand(CommandType& in) {
  Body& body = TheBody();
  if (!in.HasToken()) {
    // Alone it starts the sub-mode; in the sub-mode an empty line ends it.
    if (in.CommandPrefix().IsEmpty()) {
      g_subMode = true;
      in.SetCommandPrefix(String("body"), Prompt());
    } else {
      EndSubMode(in);
    }
    return;
  }
  while (in.HasToken()) {
    Solid& solid = body.Working();
    int word = 0;
    switch (in.GetKeyword(kSubCommands)) {
      case kAdd:
        BodyAdd(in, solid);
        break;
      case kClear:
        BodyClear(in, solid);
        break;
      case kFind:
        BodyFind(in, solid);
        break;
      case kLibrary:
        BodyLibrary(in, body);
        break;
      case kPrint:
        BodyPrint(in, body);
        break;
      case kSet:
        if (in.MatchKeyword("name", word) == CommandType::kOk) {
          solid.SetName(in.GetString());
          if (g_subMode) in.SetCommandPrefix(String("body"), Prompt());
        } else {
          BodySet(in, solid);
        }
        break;
      case kStack:
        BodyStack(in, body);
        break;
      case kWrite:
        BodyWrite(in, solid);
        break;
      case kQuit:
      case kStop:
        EndSubMode(in);
        break;
      default:
        break;
    }
  }
}
