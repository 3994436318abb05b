// EXPGRID and IMPGRID: the grid text file. Export writes the grid-points,
// the zones with their type codes and corner ids, and the zone groups;
// import reads them back into the model through a grid batch and links the
// zones across the faces they share.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/except.h"
#include "base/file.h"
#include "base/message.h"
#include "generate/grid_file.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/zone_tables.h"

namespace {

// The zone type codes of the file, by zone type.
struct ZoneCode {
  const char* code;
  const char* prefix;
};
constexpr ZoneCode kZoneCodes[kZoneTypes] = {
    {"B8", "Z B8 "}, {"W6", "Z W6 "}, {"P5", "Z P5 "}, {"B7", "Z B7 "}, {"T4", "Z T4 "}};

String FileNameOf(ModelInterpreter& interp) {
  String name;
  if (interp.CheckFileName(&name, "Terrax") != CommandType::kOk) throw QJExcept("Invalid file name specified.");
  return name;
}

void WriteText(File& file, const std::string& text) { file.Write(text.data(), text.size()); }

}  // namespace

void ExportGrid(ModelInterpreter& interp) {
  File file(FileNameOf(interp), File::kOut | File::kTrunc);
  file.Open();
  std::string text = "* TERRAX grid produced by TERRAX\n* GRIDPOINTS\n";
  char line[160];
  for (const GridPoint* gp : GridPointList()) {
    const int n = std::snprintf(line, sizeof line, "G %u %14.9e %14.9e %14.9e\n", gp->id, gp->position[0],
                                gp->position[1], gp->position[2]);
    text.append(line, static_cast<size_t>(n));
    if (text.size() > 60000) {
      WriteText(file, text);
      text.clear();
    }
  }
  text += "* ZONES\n";
  for (const Zone* z : ZoneList()) {
    text += kZoneCodes[z->Type()].prefix;
    text += std::to_string(z->Id());
    for (int slot = 0; slot < ZoneGpCount(z->Type()); ++slot) {
      text += ' ';
      text += std::to_string(z->Gp(slot)->id);
    }
    text += '\n';
    if (text.size() > 60000) {
      WriteText(file, text);
      text.clear();
    }
  }
  text += "* GROUPS\n";
  // The zones of each group, in zone-list order.
  std::unordered_map<const Group*, std::vector<uint32_t>> members;
  for (const Zone* z : ZoneList())
    if (const Group* g = z->GetGroup()) members[g].push_back(z->Id());
  for (const Group* g : GroupList()) {
    text += "ZGROUP ";
    text += g->Name().str();
    text += '\n';
    const std::vector<uint32_t>& ids = members[g];
    for (size_t i = 0; i < ids.size(); ++i) {
      text += ' ';
      text += std::to_string(ids[i]);
      if (i % 15 == 14 || i + 1 == ids.size()) text += '\n';
    }
    if (text.size() > 60000) {
      WriteText(file, text);
      text.clear();
    }
  }
  text += '\n';
  WriteText(file, text);
  file.Close();
  if (file.Failed()) throw File::WriteExcept(file.Name());
}

// ---------------------------------------------------------------------------
// Import

namespace {

// One line cut into blank-separated fields (a tab is part of a field).
class Fields {
 public:
  explicit Fields(const String& line) : text_(line.str()) {}
  // The next field; false when the line has none left.
  bool Next(std::string& field) {
    while (at_ < text_.size() && text_[at_] == ' ') ++at_;
    if (at_ >= text_.size()) return false;
    const size_t end = text_.find(' ', at_);
    const size_t stop = end == std::string::npos ? text_.size() : end;
    field.assign(text_, at_, stop - at_);
    at_ = stop;
    return true;
  }

 private:
  std::string text_;
  size_t at_ = 0;
};

bool IsComment(const String& line) {
  for (int i = 0; i < line.Length(); ++i) {
    const char c = line.GetAt(i);
    if (c == ' ') continue;
    return c == '*';
  }
  return false;
}

// A field reads as a number when it has a digit and nothing but digits,
// '.', '+', '-', 'e', 'E' and ','.
bool IsNumber(const std::string& field) {
  bool digit = false;
  for (char c : field) {
    if (c >= '0' && c <= '9')
      digit = true;
    else if (c != '.' && c != '+' && c != '-' && c != 'e' && c != 'E' && c != ',')
      return false;
  }
  return digit;
}

bool KeyIs(const std::string& field, const char* key) { return String(field.c_str()) == key; }

// Everything the import made, removed again when the file is refused.
class ImportUndo {
 public:
  ImportUndo() : gpIds_(GridPointIdCounter()), zoneIds_(ZoneIdCounter()), groups_(GroupList().Count()) {}
  void Made(GridPoint* gp) { gps_.push_back(gp); }
  void Made(Zone* zone) { zones_.push_back(zone); }
  void Undo() {
    for (auto it = zones_.rbegin(); it != zones_.rend(); ++it) DeleteZone(*it);
    for (auto it = gps_.rbegin(); it != gps_.rend(); ++it) DeleteGridPoint(*it);
    while (GroupList().Count() > groups_) delete GroupList().Remove(GroupList().Tail());
    GridPointIdCounter() = gpIds_;
    ZoneIdCounter() = zoneIds_;
  }

 private:
  uint32_t gpIds_, zoneIds_, groups_;
  std::vector<GridPoint*> gps_;
  std::vector<Zone*> zones_;
};

[[noreturn]] void AtLine(const char* text, uint32_t line) {
  throw QJExcept(FormatText(text, UIntToString(line).c_str()));
}

// The file's ids of one kind of record, in file order, with the objects
// made for them; looked up by id (the first of equal ids wins).
template <class T>
class IdTable {
 public:
  void Add(uint32_t id, T* object) {
    ids_.push_back(id);
    byId_.emplace(id, object);
  }
  T* Find(uint32_t id) const {
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
  }
  // The smallest id that two records share; 0 when none does.
  uint32_t FirstDuplicate() const {
    if (byId_.size() == ids_.size()) return 0;
    std::vector<uint32_t> sorted(ids_);
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i)
      if (sorted[i] == sorted[i - 1]) return sorted[i];
    return 0;
  }
  void Reserve(size_t n) {
    ids_.reserve(n);
    byId_.reserve(n);
  }

 private:
  std::vector<uint32_t> ids_;
  std::unordered_map<uint32_t, T*> byId_;
};

// Reads a required number field: an unsigned integer in the base its prefix gives.
bool ReadId(Fields& fields, std::string& field, uint32_t* id, int64_t* signedValue) {
  if (!fields.Next(field) || !IsNumber(field)) return false;
  errno = 0;
  *id = static_cast<uint32_t>(std::strtoul(field.c_str(), nullptr, 0));
  *signedValue = std::strtoll(field.c_str(), nullptr, 10);
  return true;
}

class Importer {
 public:
  Importer(ModelInterpreter& interp, const String& name) : interp_(interp), name_(name) {}

  void Run() {
    const Counts counts = Count();
    interp_ << "Creating " << UIntToString(counts.gps) << " gridpoints and " << UIntToString(counts.zones) << " zones"
            << "\n";
    ImportUndo undo;
    try {
      GridBatch batch(counts.gps, counts.zones);
      gps_.Reserve(counts.gps);
      zones_.Reserve(counts.zones);
      Read(undo);
      interp_ << "Updating zone connectivity"
              << "\n";
      UpdateConnectivity();
    } catch (...) {
      // The batch has ended: what was made is in the grid and can go again.
      undo.Undo();
      throw;
    }
    interp_ << "import grid completed"
            << "\n";
  }

 private:
  struct Counts {
    uint32_t gps = 0, zones = 0;
  };

  Counts Count() {
    File file(name_, File::kIn);
    file.Open();
    Counts counts;
    String line;
    std::string field;
    while (file.TryReadLine(line)) {
      if (IsComment(line)) continue;
      Fields fields(line);
      if (!fields.Next(field)) continue;
      if (KeyIs(field, "G"))
        ++counts.gps;
      else if (KeyIs(field, "Z"))
        ++counts.zones;
    }
    return counts;
  }

  void Read(ImportUndo& undo) {
    File file(name_, File::kIn);
    file.Open();
    String line;
    uint32_t number = 0;
    bool gpCheckPending = true, zoneCheckPending = true;
    std::string field;
    while (file.TryReadLine(line)) {
      ++number;
      if (IsComment(line)) continue;
      Fields fields(line);
      if (!fields.Next(field)) continue;
      // A ZGROUP's id list may run on over the following lines; the first
      // field that is not an id is the key of the next record.
      for (;;) {
        if (KeyIs(field, "G")) {
          ReadGridPoint(fields, number, undo);
        } else if (KeyIs(field, "Z")) {
          if (gpCheckPending) {
            gpCheckPending = false;
            if (uint32_t id = gps_.FirstDuplicate())
              throw QJExcept(
                  FormatText("Error.\n  Duplicate gridpoint ids found.\n GPID = %1", UIntToString(id).c_str()));
          }
          ReadZone(fields, number, undo);
        } else if (KeyIs(field, "ZGROUP")) {
          if (zoneCheckPending) {
            zoneCheckPending = false;
            if (uint32_t id = zones_.FirstDuplicate())
              throw QJExcept(FormatText("Error.\n  Duplicate zone ids found.\n Z = %1", UIntToString(id).c_str()));
          }
          if (ReadGroup(file, line, fields, field, number)) continue;  // `field` starts a record
        }
        break;
      }
    }
  }

  void ReadGridPoint(Fields& fields, uint32_t number, ImportUndo& undo) {
    std::string field;
    uint32_t id = 0;
    int64_t signedId = 0;
    if (!ReadId(fields, field, &id, &signedId)) AtLine("Missing number at line %1", number);
    if (signedId <= 0) AtLine("Error.  Positive gridpoint id required at line %1.\n", number);
    double p[3];
    for (double& v : p) {
      if (!fields.Next(field) || !IsNumber(field)) AtLine("Missing number at line %1", number);
      v = std::strtod(field.c_str(), nullptr);
    }
    GridPoint* gp = GridBatch::NewGridPoint(p);
    undo.Made(gp);
    gps_.Add(id, gp);
  }

  void ReadZone(Fields& fields, uint32_t number, ImportUndo& undo) {
    std::string field;
    int type = -1;
    if (fields.Next(field))
      for (int t = 0; t < kZoneTypes; ++t)
        if (String(field.c_str()) == kZoneCodes[t].code) type = t;
    uint32_t zoneId = 0;
    int64_t signedValue = 0;
    if (!ReadId(fields, field, &zoneId, &signedValue)) AtLine("Missing number at line %1", number);
    const int n = type < 0 ? 0 : ZoneGpCount(type);
    GridPoint* corners[kZoneSlots] = {};
    bool found = true;
    for (int c = 0; c < n; ++c) {
      uint32_t id = 0;
      if (!ReadId(fields, field, &id, &signedValue)) AtLine("Missing number at line %1", number);
      if (signedValue <= 0) AtLine("Error.  Positive gridpoint ids required at line %1.\n", number);
      if (found) corners[c] = gps_.Find(id);
      if (!corners[c]) found = false;
    }
    if (!found) AtLine("Error creating zone at line %1.", number);
    if (type < 0) throw QJExcept("Invalid zone type.");
    Zone* zone = GridBatch::NewZone();
    undo.Made(zone);
    zone->SetType(type);
    for (int c = 0; c < n; ++c) zone->SetGp(c, corners[c]);
    zone->FillRepeatedSlots();
    String report;
    if (zone->CheckDegenerate(report) || !zone->CheckNumbering(report))
      throw QJExcept(FormatText("Error creating zone at line %1.\n", UIntToString(number).c_str()) + report);
    zones_.Add(zoneId, zone);
  }

  // ZGROUP name [ids ...] with ids on this line and the lines after it.
  // True when it stopped at a field that begins another record (in `field`,
  // with the rest of that line in `fields`).
  bool ReadGroup(File& file, String& line, Fields& fields, std::string& field, uint32_t& number) {
    if (!fields.Next(field)) AtLine("Missing group name at line %1", number);
    Group* group = FindOrCreateGroup(String(field.c_str()));
    for (;;) {
      while (fields.Next(field)) {
        if (!IsNumber(field)) return true;
        Zone* zone = zones_.Find(static_cast<uint32_t>(std::strtoul(field.c_str(), nullptr, 0)));
        if (!zone) AtLine("Unknown zone index at line %1", number);
        zone->SetGroup(group);
      }
      if (!file.TryReadLine(line)) {
        field.clear();
        return false;
      }
      ++number;
      fields = Fields(line);
    }
  }

  // Every zone face without a neighbour meets the first other such face
  // (in zone-list order) that has the same grid-points.
  static void UpdateConnectivity() {
    struct Key {
      std::array<const GridPoint*, 4> gps;
      bool operator==(const Key& o) const { return gps == o.gps; }
    };
    struct KeyHash {
      size_t operator()(const Key& k) const {
        size_t h = 1469598103934665603ull;
        for (const GridPoint* p : k.gps) h = (h ^ reinterpret_cast<uintptr_t>(p)) * 1099511628211ull;
        return h;
      }
    };
    struct Open {
      Zone* zone;
      int face;
    };
    std::unordered_map<Key, Open, KeyHash> open;
    for (Zone* z : ZoneList()) {
      for (int f = 0; f < kZoneFaces; ++f) {
        if (z->Neighbour(f) || z->FaceGpCount(f) < 3) continue;
        Key key{};
        const int count = z->FaceGpCount(f);
        for (int c = 0; c < count; ++c) key.gps[static_cast<size_t>(c)] = z->GetFaceGp(f, c);
        std::sort(key.gps.begin(), key.gps.begin() + count);
        auto [it, fresh] = open.emplace(key, Open{z, f});
        if (fresh) continue;
        GridBatch::Link(z, f, it->second.zone, it->second.face);
        open.erase(it);
      }
    }
  }

  ModelInterpreter& interp_;
  String name_;
  IdTable<GridPoint> gps_;
  IdTable<Zone> zones_;
};

}  // namespace

void ImportGrid(ModelInterpreter& interp) { Importer(interp, FileNameOf(interp)).Run(); }
