// The dispatch of intrinsic requests by code range, the hooks the sets of
// other subsystems fill, and the core intrinsics (codes 0-66).
#include "zolt/zolt_intrinsics.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "base/command.h"
#include "base/message.h"
#include "base/random.h"
#include "zolt/zolt_error.h"
#include "zolt/zolt_interpreter.h"

namespace {
ZoltIntrinsicSet* g_sets[kZoltIntrinsicRanges] = {};
ZoltPlotHook g_plot = nullptr;
ZoltRemapHook g_interfaceRemap = nullptr;
ZoltRemapHook g_structureRemap = nullptr;

// Without a table list every table is missing and none can be made.
class NoTables : public ZoltTables {
 public:
  void* Find(int32_t number, const String* name, bool create) override {
    if (create) throw ZoltExcept("Table intrinsics not valid");
    if (name) throw ZoltExcept(MessageText("Table '%s' not found", *name));
    throw ZoltExcept(MessageText("Table %s not found", String(std::to_string(number))));
  }
  int32_t Size(void*) override { return 0; }
  double Interpolate(void*, double) override { return 0.0; }
  void AddPoint(void*, double, double) override {}
  void GetEntry(void*, int32_t, double& x, double& y) override { x = y = 0.0; }
  void SetEntry(void*, int32_t, double, double) override {}
};
NoTables g_noTables;
ZoltTables* g_tables = &g_noTables;

const auto g_start = std::chrono::steady_clock::now();
}  // namespace

void SetZoltIntrinsicSet(int range, ZoltIntrinsicSet* set) {
  if (range >= 0 && range < kZoltIntrinsicRanges) g_sets[range] = set;
}
ZoltIntrinsicSet* GetZoltIntrinsicSet(int range) {
  return range >= 0 && range < kZoltIntrinsicRanges ? g_sets[range] : nullptr;
}

bool DispatchZoltIntrinsic(ZoltInterpreter& zolt, ZoltIntrinsicCall& call) {
  // Evaluate and assign, the executor's requests, go straight to their set.
  if ((call.mode == ZoltIntrinsicCall::kEvaluate || call.mode == ZoltIntrinsicCall::kAssign) && call.code >= 2000 &&
      call.code < 1000 * kZoltIntrinsicRanges)
    if (ZoltIntrinsicSet* set = g_sets[call.code / 1000]) return set->Call(zolt, call);
  if (!g_sets[0]) g_sets[0] = &ZoltCoreIntrinsics();
  if (!g_sets[1]) g_sets[1] = &ZoltModelIntrinsics();
  if (call.mode == ZoltIntrinsicCall::kFind) {
    static const int kOrder[] = {0, 2, 3, 4, 5, 1};
    for (int range : kOrder) {
      call.code = -1;
      if (g_sets[range] && g_sets[range]->Call(zolt, call)) return true;
    }
    call.code = -1;
    return false;
  }
  if (call.mode > ZoltIntrinsicCall::kEvaluate || call.code < 0) return false;
  const int range = call.code / 1000;
  if (range >= kZoltIntrinsicRanges || !g_sets[range]) return false;
  return g_sets[range]->Call(zolt, call);
}

void SetZoltTables(ZoltTables* tables) { g_tables = tables ? tables : &g_noTables; }
ZoltTables& GetZoltTables() { return *g_tables; }
void SetZoltPlotHook(ZoltPlotHook hook) { g_plot = hook; }
void SetZoltInterfaceRemap(ZoltRemapHook hook) { g_interfaceRemap = hook; }
void SetZoltStructureRemap(ZoltRemapHook hook) { g_structureRemap = hook; }

bool ZoltRemapOwnerPointer(ZoltValue& value, uint32_t index) {
  const uint32_t kind = value.KindWord();
  if (kind >= ZoltValue::kSelNodePointer && kind <= ZoltValue::kSelLinkPointer)
    return g_structureRemap && g_structureRemap(value, index);
  if (kind >= ZoltValue::kInterfacePointer && kind <= ZoltValue::kInterfaceElementPointer)
    return g_interfaceRemap && g_interfaceRemap(value, index);
  return false;
}

void ZoltClassifyInput(const String& line, ZoltValue& value) {
  bool real = false;
  for (int i = 0; i < line.Length(); ++i) {
    const char c = line.GetAt(i);
    if (c == '.' || c == 'e') {
      real = true;
    } else if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == ' ')) {
      value.SetString(line);
      return;
    }
  }
  if (real) {
    double d = 0.0;
    if (std::sscanf(line.c_str(), "%lf", &d) == 1)
      value.SetFloat(d);
    else
      value.SetString(line);
    return;
  }
  int i = 0;
  if (std::sscanf(line.c_str(), "%d", &i) == 1)
    value.SetInt(i);
  else
    value.SetString(line);
}

namespace {
using Handler = void (*)(ZoltInterpreter& zolt, ZoltIntrinsicCall& call);

const ZoltValue& Arg(const ZoltIntrinsicCall& call, int i) { return call.arguments[i]; }

void NeedNumeric(const ZoltValue& v) {
  if (!v.IsNumeric()) ZoltError(kErrTypeConversion);
}
double Real(const ZoltValue& v) { return v.GetFloat(); }
int32_t Integer(const ZoltValue& v) { return v.GetInt(kZoltIntMin, kZoltIntMax); }

template <double (*F)(double)>
void Math(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  c.value.SetFloat(F(Real(Arg(c, 0))));
}

void Abs(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const ZoltValue& a = Arg(c, 0);
  if (a.TypeTag() == ZoltValue::kInteger)
    c.value.SetInt(a.Int() < 0 ? -a.Int() : a.Int());
  else if (a.TypeTag() == ZoltValue::kFloat)
    c.value.SetFloat(std::fabs(a.Float()));
  else
    throw ZoltExeExcept();
}
void And(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  if (Arg(c, 0).TypeTag() != ZoltValue::kInteger || Arg(c, 1).TypeTag() != ZoltValue::kInteger) throw ZoltExeExcept();
  c.value.SetInt(Arg(c, 0).Int() & Arg(c, 1).Int());
}
void Or(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  if (Arg(c, 0).TypeTag() != ZoltValue::kInteger || Arg(c, 1).TypeTag() != ZoltValue::kInteger)
    throw ZoltExcept(MessageText("OR function needs integer arguments"));
  c.value.SetInt(Arg(c, 0).Int() | Arg(c, 1).Int());
}
void Not(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  if (Arg(c, 0).TypeTag() != ZoltValue::kInteger)
    throw ZoltExcept(MessageText("NOT functions needs an integer argument"));
  c.value.SetInt(~Arg(c, 0).Int());
}
void Atan2(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(std::atan2(Real(Arg(c, 0)), Real(Arg(c, 1)))); }
void Float(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const ZoltValue& a = Arg(c, 0);
  if (a.IsNumeric())
    c.value.SetFloat(Real(a));
  else if (a.TypeTag() == ZoltValue::kString)
    c.value.SetFloat(std::strtod(a.Str().c_str(), nullptr));
}
void Grand(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(RandomGauss()); }
void Urand(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(RandomUniform()); }
void In(ZoltInterpreter& zolt, ZoltIntrinsicCall& c) {
  const String prompt = Arg(c, 0).TypeTag() == ZoltValue::kString ? Arg(c, 0).Str() : Arg(c, 0).ShortText();
  CommandType* interp = zolt.Interp();
  if (!interp) throw ZoltExcept("Input not available");
  interp->PushKeyboard();
  String line;
  try {
    bool ended = false;
    line = interp->ReadLine(prompt, ended);
  } catch (...) {
    interp->PopSource();
    throw;
  }
  interp->PopSource();
  // The keyboard gives an empty line as a lone line end.
  while (line.Length() > 0 && (line.GetAt(line.Length() - 1) == '\n' || line.GetAt(line.Length() - 1) == '\r'))
    line.SetLength(line.Length() - 1);
  ZoltClassifyInput(line, c.value);
}
void Int(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const ZoltValue& a = Arg(c, 0);
  if (a.IsNumeric())
    c.value.SetInt(Integer(a));
  else if (a.TypeTag() == ZoltValue::kString)
    c.value.SetInt(static_cast<int32_t>(std::strtol(a.Str().c_str(), nullptr, 10)));
}
void Ln(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const double x = Real(Arg(c, 0));
  if (!(x > 0.0)) throw ZoltExcept(MessageText("zero or negative argument to LN function"));
  c.value.SetFloat(std::log(x));
}
void Log(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const double x = Real(Arg(c, 0));
  if (!(x > 0.0)) throw ZoltExcept(MessageText("zero or negative argument to LOG function"));
  c.value.SetFloat(std::log10(x));
}
template <bool Larger>
void MaxMin(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const ZoltValue &a = Arg(c, 0), &b = Arg(c, 1);
  NeedNumeric(a);
  NeedNumeric(b);
  if (a.TypeTag() == ZoltValue::kFloat) {
    const double x = a.Float(), y = Real(b);
    c.value.SetFloat(Larger ? (x > y ? x : y) : (x < y ? x : y));
  } else {
    const int32_t x = a.Int(), y = Integer(b);
    c.value.SetInt(Larger ? (x > y ? x : y) : (x < y ? x : y));
  }
}
void Out(ZoltInterpreter& zolt, ZoltIntrinsicCall& c) {
  if (CommandType* interp = zolt.Interp()) {
    const ZoltValue& a = Arg(c, 0);
    *interp << (a.TypeTag() == ZoltValue::kString ? a.Str() : a.ShortText()) << "\n";
    interp->flush();
  }
}
void Sgn(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const ZoltValue& a = Arg(c, 0);
  NeedNumeric(a);
  if (a.TypeTag() == ZoltValue::kInteger)
    c.value.SetInt(a.Int() >= 0 ? 1 : -1);
  else
    c.value.SetFloat(std::signbit(a.Float()) ? -1.0 : 1.0);
}
void Sqrt(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const double x = Real(Arg(c, 0));
  if (x < 0.0) throw ZoltExcept(MessageText("negative argument to square root"));
  c.value.SetFloat(std::sqrt(x));
}
void StringOf(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetString(Arg(c, 0).ShortText()); }
void Type(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetInt(static_cast<int32_t>(Arg(c, 0).TypeTag()) + 1); }
void Clock(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_start).count();
  c.value.SetInt(static_cast<int32_t>(ms / 10));
}
void Pi(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(3.141592653589793); }
void Degrad(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(0.017453292519943295); }
void Null(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetPointer(nullptr, 0); }
void Dim(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetInt(3); }
void Round(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const double x = std::floor(Real(Arg(c, 0)) + 0.5);
  ZoltValue v;
  v.SetFloat(x);
  c.value.SetInt(Integer(v));
}

// Tables by number or by name.
void* TableOf(const ZoltValue& id, bool create) {
  if (id.IsNumeric()) return GetZoltTables().Find(Integer(id), nullptr, create);
  if (id.TypeTag() == ZoltValue::kString) return GetZoltTables().Find(0, &id.Str(), create);
  throw ZoltArgExcept();
}
double NumericArg(const ZoltValue& v) {
  if (!v.IsNumeric()) throw ZoltArgExcept();
  return Real(v);
}
void Table(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  void* t = TableOf(Arg(c, 0), false);
  c.value.SetFloat(GetZoltTables().Interpolate(t, NumericArg(Arg(c, 1))));
}
template <bool X>
void TableEntry(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  void* t = TableOf(Arg(c, 0), false);
  if (!Arg(c, 1).IsNumeric()) throw ZoltArgExcept();
  double x = 0.0, y = 0.0;
  GetZoltTables().GetEntry(t, Integer(Arg(c, 1)) - 1, x, y);
  c.value.SetFloat(X ? x : y);
}
void TableSize(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  c.value.SetInt(GetZoltTables().Size(TableOf(Arg(c, 0), false)));
}

ZoltMemBlock* LiveBlockOf(ZoltInterpreter& zolt, const ZoltValue& p) {
  p.GetPointer(ZoltValue::kMemoryPointer);
  ZoltMemBlock* block = p.Block();
  if (!zolt.State().Live(block)) throw ZoltExcept("Bad memory pointer");
  return block;
}
ZoltValue& MemTarget(ZoltInterpreter& zolt, const ZoltValue& p) {
  ZoltMemBlock* block = LiveBlockOf(zolt, p);
  ZoltValue* e = p.Element();
  if (e < block->Elements() || e >= block->Elements() + block->Count()) throw ZoltExcept("Bad memory pointer");
  return *e;
}
void GetMem(ZoltInterpreter& zolt, ZoltIntrinsicCall& c) {
  const int32_t n = Integer(Arg(c, 0));
  if (n <= 0) throw ZoltExcept("Integer out of range");
  ZoltMemBlock* block = nullptr;
  try {
    block = new ZoltMemBlock(n);
  } catch (const std::bad_alloc&) {
    throw ZoltExcept("Memory allocation error");
  } catch (const MemExcept&) {
    throw ZoltExcept("Memory allocation error");
  }
  zolt.State().blocks.Prepend(block);
  zolt.State().liveBlocks.insert(block);
  c.value.SetMemoryPointer(block, block->Elements());
}
void LoseMem(ZoltInterpreter& zolt, ZoltIntrinsicCall& c) {
  const ZoltValue& p = Arg(c, 1);
  ZoltMemBlock* block = LiveBlockOf(zolt, p);
  if (p.Element() != block->Elements()) throw ZoltExcept("Memory pointer does not point to base of allocated memory");
  zolt.State().liveBlocks.erase(block);
  zolt.State().blocks.Remove(block);
  delete block;
}
void Mem(ZoltInterpreter& zolt, ZoltIntrinsicCall& c) { c.value = MemTarget(zolt, Arg(c, 0)); }
void FcArg(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const int32_t i = Integer(Arg(c, 0));
  if (i < 0 || i > 9) throw ZoltExcept("Integer out of range");
}
void Error(ZoltInterpreter&, ZoltIntrinsicCall&) { throw ZoltExcept("Error can be assigned only"); }

template <int Op>
void Draw(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  c.value.SetInt(g_plot ? g_plot(Op, c.arguments) : 1);
}
template <int Mode>
void FileOp(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  c.value.SetInt(ZoltFileIo(Mode, c.arguments));
}
template <bool Pre>
void Parse(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  ZoltParse(c.arguments, c.value, Pre);
}
template <int Which>
void Socket(ZoltInterpreter& zolt, ZoltIntrinsicCall& c) {
  c.value.SetInt(ZoltSocketIo(zolt, Which, c.arguments));
}

struct Core {
  ZoltIntrinsicEntry entry;
  Handler evaluate;
};

const Core kCore[] = {
    {{"abs", 1, 1, nullptr}, &Abs},
    {{"and", 2, 1, nullptr}, &And},
    {{"atan", 1, 1, nullptr}, &Math<std::atan>},
    {{"atan2", 2, 1, nullptr}, &Atan2},
    {{"cos", 1, 1, nullptr}, &Math<std::cos>},
    {{"sin", 1, 1, nullptr}, &Math<std::sin>},
    {{"exp", 1, 1, nullptr}, &Math<std::exp>},
    {{"float", 1, 1, nullptr}, &Float},
    {{"grand", 0, 1, nullptr}, &Grand},
    {{"in", 1, 1, nullptr}, &In},
    {{"int", 1, 1, nullptr}, &Int},
    {{"ln", 1, 1, nullptr}, &Ln},
    {{"log", 1, 1, nullptr}, &Log},
    {{"max", 2, 1, nullptr}, &MaxMin<true>},
    {{"min", 2, 1, nullptr}, &MaxMin<false>},
    {{"not", 1, 1, nullptr}, &Not},
    {{"or", 2, 1, nullptr}, &Or},
    {{"out", 1, 1, nullptr}, &Out},
    {{"sgn", 1, 1, nullptr}, &Sgn},
    {{"sqrt", 1, 1, nullptr}, &Sqrt},
    {{"string", 1, 1, nullptr}, &StringOf},
    {{"tan", 1, 1, nullptr}, &Math<std::tan>},
    {{"type", 1, 1, nullptr}, &Type},
    {{"urand", 0, 1, nullptr}, &Urand},
    {{"clock", 0, 1, nullptr}, &Clock},
    {{"pi", 0, 1, nullptr}, &Pi},
    {{"degrad", 0, 1, nullptr}, &Degrad},
    {{"null", 0, 1, nullptr}, &Null},
    {{"table", 2, 0, nullptr}, &Table},
    {{"xtable", 2, 0, nullptr}, &TableEntry<true>},
    {{"ytable", 2, 0, nullptr}, &TableEntry<false>},
    {{"get_mem", 1, 1, nullptr}, &GetMem},
    {{"lose_mem", 2, 1, nullptr}, &LoseMem},
    {{"mem", 1, 0, nullptr}, &Mem},
    {{"fc_arg", 1, 1, nullptr}, &FcArg},
    {{"error", 0, 0, nullptr}, &Error},
    {{"set_rgb", 3, 1, nullptr}, &Draw<12>},
    {{"set_color", 1, 1, nullptr}, &Draw<0>},
    {{"set_line_width", 1, 1, nullptr}, &Draw<1>},
    {{"set_dash_pattern", 1, 1, nullptr}, &Draw<2>},
    {{"draw_line", 2, 1, "aa"}, &Draw<3>},
    {{"draw_rect", 2, 1, "aa"}, &Draw<4>},
    {{"draw_poly", 3, 1, "avv"}, &Draw<5>},
    {{"draw_circle", 2, 1, "av"}, &Draw<6>},
    {{"draw_arc", 4, 1, "avvv"}, &Draw<7>},
    {{"fill_rect", 1, 1, "a"}, &Draw<8>},
    {{"fill_poly", 2, 1, "av"}, &Draw<9>},
    {{"fill_circle", 2, 1, "av"}, &Draw<10>},
    {{"draw_string", 2, 1, "av"}, &Draw<11>},
    {{"dim", 0, 1, nullptr}, &Dim},
    {{"table_size", 1, 1, nullptr}, &TableSize},
    {{"open", 3, 1, nullptr}, &FileOp<0>},
    {{"close", 0, 1, nullptr}, &FileOp<1>},
    {{"read", 2, 1, "av"}, &FileOp<2>},
    {{"write", 2, 1, "av"}, &FileOp<3>},
    {{"parse", 2, 1, nullptr}, &Parse<false>},
    {{"pre_parse", 2, 1, nullptr}, &Parse<true>},
    {{"set_fontsize", 1, 1, nullptr}, &Draw<13>},
    {{"move_to", 1, 1, "a"}, &Draw<14>},
    {{"line_to", 1, 1, "a"}, &Draw<15>},
    {{"round", 1, 1, nullptr}, &Round},
    {{"sopen", 2, 1, nullptr}, &Socket<0>},
    {{"sclose", 1, 1, nullptr}, &Socket<1>},
    {{"sread", 3, 1, "avv"}, &Socket<2>},
    {{"swrite", 3, 1, "avv"}, &Socket<3>},
    {{"asin", 1, 1, nullptr}, &Math<std::asin>},
    {{"acos", 1, 1, nullptr}, &Math<std::acos>},
};
constexpr int kCoreCount = static_cast<int>(sizeof kCore / sizeof kCore[0]);
static_assert(kCoreCount == 67, "the core intrinsics are codes 0 to 66");

// Assignment to table, xtable, ytable, mem and error.
void CoreAssign(ZoltInterpreter& zolt, ZoltIntrinsicCall& c) {
  switch (c.code) {
    case 28:
    case 29:
    case 30: {
      void* t = TableOf(Arg(c, 0), true);
      if (!Arg(c, 1).IsNumeric()) throw ZoltArgExcept();
      if (!c.value.IsNumeric()) throw ZoltExcept("Invalid assignment");
      const double v = Real(c.value);
      if (c.code == 28) {
        GetZoltTables().AddPoint(t, Real(Arg(c, 1)), v);
        return;
      }
      const int32_t i = Integer(Arg(c, 1)) - 1;
      double x = 0.0, y = 0.0;
      if (i < GetZoltTables().Size(t)) GetZoltTables().GetEntry(t, i, x, y);
      if (c.code == 29)
        x = v;
      else
        y = v;
      GetZoltTables().SetEntry(t, i, x, y);
      return;
    }
    case 33:
      MemTarget(zolt, Arg(c, 0)) = c.value;
      return;
    case 35:
      throw ZoltExcept(c.value.TypeTag() == ZoltValue::kString ? c.value.Str() : c.value.ShortText());
    default:
      return;
  }
}
}  // namespace

// A name's set of candidates: the hash of the folded name finds the one
// entry to compare under the program's comparison.
int FindZoltIntrinsicName(const ZoltIntrinsicEntry* entries, int count, const char* name,
                          std::unordered_map<std::string, int>& index) {
  if (index.empty())
    for (int i = 0; i < count; ++i) {
      String key(entries[i].name);
      key.ToLower();
      index.emplace(key.c_str(), i);
    }
  String folded(name);
  folded.ToLower();
  const auto it = index.find(folded.c_str());
  if (it == index.end()) return -1;
  return String(entries[it->second].name).CompareString(String(name)) == 0 ? it->second : -1;
}

namespace {
class CoreSet : public ZoltIntrinsicSet {
 public:
  bool Call(ZoltInterpreter& zolt, ZoltIntrinsicCall& c) override {
    switch (c.mode) {
      case ZoltIntrinsicCall::kFind: {
        static std::unordered_map<std::string, int> index;
        static ZoltIntrinsicEntry entries[kCoreCount];
        if (index.empty())
          for (int i = 0; i < kCoreCount; ++i) entries[i] = kCore[i].entry;
        const int i = c.name ? FindZoltIntrinsicName(entries, kCoreCount, c.name, index) : -1;
        if (i < 0) {
          c.code = -1;
          return false;
        }
        c.code = i;
        c.readOnly = kCore[i].entry.readOnly;
        return true;
      }
      case ZoltIntrinsicCall::kDescribe:
        if (c.code < 0 || c.code >= kCoreCount) return false;
        c.argumentCount = kCore[c.code].entry.arguments;
        c.readOnly = kCore[c.code].entry.readOnly;
        c.argumentLetters = kCore[c.code].entry.letters ? String(kCore[c.code].entry.letters) : String();
        return true;
      case ZoltIntrinsicCall::kAssign:
        if (c.code < 0 || c.code >= kCoreCount) return false;
        CoreAssign(zolt, c);
        return true;
      case ZoltIntrinsicCall::kEvaluate:
        if (c.code < 0 || c.code >= kCoreCount) return false;
        c.value.SetInt(0);
        kCore[c.code].evaluate(zolt, c);
        return true;
      default:
        return false;
    }
  }
};
}  // namespace

ZoltIntrinsicSet& ZoltCoreIntrinsics() {
  static CoreSet set;
  return set;
}
