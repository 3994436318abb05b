#include "zolt/zolt_interpreter.h"

#include <iomanip>
#include <string>

#include "base/command_table.h"
#include "base/message.h"
#include "base/savestream.h"
#include "zolt/zolt_compiler.h"

namespace {
using ZoltWordHandler = int (*)(ZoltInterpreter& zolt, CommandType& interp);

int DefineWord(ZoltInterpreter& zolt, CommandType& interp) {
  zolt.Define(interp);
  return CommandType::kDone;
}

// The scripting level's own first words.
CommandTable<ZoltWordHandler> g_zoltWords("zolt", {
    {"define", &DefineWord},
});

// Its PRINT items: the listings of the variables, the compiled statements,
// the symbols, the jump tables, the zoltcall registrations and the memory
// blocks.
CommandTable<ZoltWordHandler> g_zoltPrintWords("print zolt", {
    {"zolt", kNotAvailable}, {"-p", kNotAvailable}, {"-s", kNotAvailable},
    {"-t", kNotAvailable},   {"zoltcall", kNotAvailable}, {"-m", kNotAvailable},
});

// Runs the handler of the table's word at the interpreter's token, when one
// matches: true with its result in `result`; else the matcher's code.
bool RunWord(const CommandTable<ZoltWordHandler>& table, const char* what, ZoltInterpreter& zolt,
             CommandType& interp, int& result) {
  int k = 0;
  const int start = interp.TokenIndex();
  result = interp.MatchKeyword(table.Keywords(), k);
  if (result != CommandType::kOk) return false;
  const ZoltWordHandler handler = table.HandlerOf(k);
  if (!handler) {
    interp.TokenIndex() = start;
    throw ZoltExcept(MessageText(what, table.UpperName(k)));
  }
  result = handler(zolt, interp);
  return true;
}

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
  if (RunWord(g_zoltWords, "%s is not available in this version", *this, interp, result)) return result;
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
  if (RunWord(g_zoltPrintWords, "PRINT %s is not available in this version", *this, interp, result))
    return result;
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
  state_.RemapModelPointers([this](ZoltValue& value, uint32_t index) { return RemapPointer(value, index); });
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

bool ZoltInterpreter::RemapPointer(ZoltValue&, uint32_t) { return false; }

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
