#include "zolt/zolt_interpreter.h"

#include <iomanip>
#include <string>

#include "base/message.h"
#include "base/savestream.h"
#include "zolt/zolt_compiler.h"

namespace {
using WordHandler = int (*)(ZoltInterpreter& zolt, CommandType& interp);
struct ZoltWord {
  const char* word;
  WordHandler handler;  // none: a listing that this version does not have
};

int DefineWord(ZoltInterpreter& zolt, CommandType& interp) {
  zolt.Define(interp);
  return CommandType::kDone;
}

// The scripting level's own first words.
const ZoltWord kCommandWords[] = {
    {"define", &DefineWord},
};

// Its PRINT items: the listings of the variables, the compiled statements,
// the symbols, the jump tables, the zoltcall registrations and the memory
// blocks.
const ZoltWord kPrintWords[] = {
    {"zolt", nullptr}, {"-p", nullptr}, {"-s", nullptr}, {"-t", nullptr}, {"zoltcall", nullptr}, {"-m", nullptr},
};

// A word table with its blank-separated keyword list.
class WordTable {
 public:
  template <size_t N>
  explicit WordTable(const ZoltWord (&words)[N]) : words_(words), count_(N) {
    for (const ZoltWord& w : words) {
      if (!list_.empty()) list_ += ' ';
      list_ += w.word;
    }
  }

  // Runs the handler of the word at the interpreter's token, when one
  // matches: true with its result in `result`; else the matcher's code.
  bool Run(ZoltInterpreter& zolt, CommandType& interp, int& result) const {
    int k = 0;
    const int start = interp.TokenIndex();
    result = interp.MatchKeyword(list_.c_str(), k);
    if (result != CommandType::kOk || k < 1 || static_cast<size_t>(k) > count_) return false;
    const ZoltWord& w = words_[k - 1];
    if (!w.handler) {
      String upper(w.word);
      upper.ToUpper();
      interp.TokenIndex() = start;
      throw ZoltExcept(MessageText("PRINT %s is not available in this version", upper));
    }
    result = w.handler(zolt, interp);
    return true;
  }

 private:
  const ZoltWord* words_;
  size_t count_;
  std::string list_;
};

const WordTable& CommandWords() {
  static const WordTable table(kCommandWords);
  return table;
}

const WordTable& PrintWords() {
  static const WordTable table(kPrintWords);
  return table;
}

// Resolves nothing but the model's pointer kinds, through the interpreter.
class ModelLinks : public ZoltLinks {
 public:
  explicit ModelLinks(ZoltInterpreter& zolt) : zolt_(zolt) {}
  LinkListNode* Statement(uint32_t) override { return nullptr; }
  LinkListNode* Symbol(uint32_t) override { return nullptr; }
  ZoltMemBlock* Block(uint32_t) override { return nullptr; }
  void Damaged() override { throw ZoltExcept("Error remapping user defined pointer parameter"); }
  bool ModelPointer(ZoltValue& value) override { return zolt_.RemapPointer(value); }

 private:
  ZoltInterpreter& zolt_;
};

void WriteValue(CommandType& interp, const ZoltValue& v, bool quoteText) {
  switch (v.TypeTag()) {
    case ZoltValue::kInteger: interp << v.Int(); break;
    case ZoltValue::kFloat: interp << DoubleToString(v.Float(), 12, 0, 2); break;
    case ZoltValue::kString:
      if (quoteText) interp << "'" << v.Str() << "'";
      else interp << v.Str();
      break;
    case ZoltValue::kPointer:
      interp << std::setw(8) << reinterpret_cast<uintptr_t>(v.Pointer()) << " (pointer)";
      break;
    default: interp << v.ShortText(); break;
  }
}
}  // namespace

ZoltInterpreter::ZoltInterpreter() : executor_(*this) {}

int ZoltInterpreter::Dispatch(CommandType& interp) {
  const int r = interp.ExecuteGeneral();
  if (r != CommandType::kNotHandled) return r;
  interp.TokenIndex() = 0;
  int result = 0;
  if (CommandWords().Run(*this, interp, result)) return result;
  interp.TokenIndex() = 0;
  if (ZoltSymbol* s = GetSymbol(interp)) {
    Evaluate(interp, *s);
    return CommandType::kDone;
  }
  return result;
}

int ZoltInterpreter::Print(CommandType& interp) {
  const int r = interp.PrintGeneral();
  if (r != CommandType::kUnrecognized) return r;
  int result = 0;
  if (PrintWords().Run(*this, interp, result)) return result;
  if (ZoltSymbol* s = GetSymbol(interp)) {
    PrintSymbol(interp, *s);
    return CommandType::kOk;
  }
  return result;
}

int ZoltInterpreter::Set(CommandType& interp) { return interp.SetGeneral(); }

void ZoltInterpreter::Clear(CommandType&) {
  state_.Clear();
  executor_.Reset();
}

void ZoltInterpreter::ResetSources(CommandType&) {
  if (executor_.Running()) return;
  for (LinkListNode* n : state_.statements) static_cast<ZoltStatement*>(n)->running = false;
}

void ZoltInterpreter::BeforeRestore(CommandType&) {
  if (executor_.Running()) throw ZoltExcept("Restore not allowed in ZOLT command block");
}

void ZoltInterpreter::SaveState(CommandType&, SaveStream& stream) { state_.Save(stream); }

void ZoltInterpreter::RestoreState(CommandType&, SaveStream& stream) {
  executor_.Reset();
  state_.Restore(stream);
}

void ZoltInterpreter::RemapPointers(CommandType&) {
  ModelLinks links(*this);
  state_.RemapModelPointers(links);
}

void ZoltInterpreter::Define(CommandType& interp) { ZoltCompiler(*this, interp).Define(); }

ZoltSymbol* ZoltInterpreter::GetSymbol(CommandType& interp, int* index) {
  int& idx = index ? *index : interp.TokenIndex();
  const int start = idx;
  String word;
  int quoted = 0;
  if (interp.CheckString(&word, &idx, &quoted, false) != CommandType::kOk) {
    idx = start;
    return nullptr;
  }
  const bool forced = !quoted && word.Length() > 0 && word.GetAt(0) == '@';
  const bool safeConversion = interp.Macros() && interp.Macros()->HashOnly();
  if (quoted || (safeConversion && !forced)) {
    idx = start;
    return nullptr;
  }
  const String name = forced ? word.Mid(1, word.Length() - 1) : word;
  ZoltSymbol* s = state_.symbols.Find(name);
  if (!s) {
    idx = start;
    if (forced) throw ZoltExcept(MessageText("ZOLT symbol %s not found", name));
  }
  return s;
}

void ZoltInterpreter::Evaluate(CommandType& interp, ZoltSymbol& symbol) {
  if (symbol.function) Execute(interp, symbol.function);
}

bool ZoltInterpreter::CallIntrinsic(ZoltIntrinsicCall& call) {
  call.code = -1;
  return false;
}

bool ZoltInterpreter::RemapPointer(ZoltValue&) { return false; }

// A symbol on one line: "name = value"; an array element "name(i,j) = value"
// when the words after the name give every index within its size, else the
// array's sizes.
void ZoltInterpreter::PrintSymbol(CommandType& interp, ZoltSymbol& symbol) {
  Evaluate(interp, symbol);
  const ZoltValue& v = symbol.value;
  if (v.TypeTag() != ZoltValue::kArray) {
    interp << symbol.name << " = ";
    WriteValue(interp, v, false);
    interp << "\n";
    return;
  }
  const ZoltArray& array = *v.Array();
  const int n = array.Dimensions();
  int32_t indices[kZoltSlots];
  int read = 0;
  bool inside = true;
  while (read < n) {
    int32_t k = 0;
    if (interp.CheckInteger(&k) != CommandType::kOk) break;
    inside = inside && k >= 1 && k <= array.Size(read);
    indices[read++] = k;
  }
  if (read == n && inside) {
    interp << symbol.name << "(";
    for (int d = 0; d < n; ++d) interp << (d ? "," : "") << indices[d];
    interp << ") = ";
    WriteValue(interp, array.At(array.LinearIndex(indices)), true);
    interp << "\n";
    return;
  }
  interp << symbol.name << ":  array of dimension(s) (";
  for (int d = 0; d < n; ++d) interp << (d ? "," : "") << array.Size(d);
  interp << ")\n";
}
