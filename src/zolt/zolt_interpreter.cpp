#include "zolt/zolt_interpreter.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <string>

#include "base/command_table.h"
#include "base/except.h"
#include "base/message.h"
#include "base/savestream.h"
#include "zolt/zolt_compiler.h"
#include "zolt/zolt_error.h"
#include "zolt/zolt_intrinsics.h"
#include "zolt/zolt_link.h"
#include "zolt/zolt_model_pointers.h"

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
template <void (ZoltInterpreter::*List)(CommandType&)>
int Listing(ZoltInterpreter& zolt, CommandType& interp) {
  (zolt.*List)(interp);
  return CommandType::kOk;
}

CommandTable<ZoltWordHandler> g_zoltPrintWords("print zolt",
                                               {
                                                   {"zolt", &Listing<&ZoltInterpreter::ListVariables>},
                                                   {"-p", &Listing<&ZoltInterpreter::ListStatements>},
                                                   {"-s", &Listing<&ZoltInterpreter::ListSymbols>},
                                                   {"-t", &Listing<&ZoltInterpreter::ListJumpTables>},
                                                   {"zoltcall", &Listing<&ZoltInterpreter::ListZoltCalls>},
                                                   {"-m", &Listing<&ZoltInterpreter::ListMemoryBlocks>},
                                               });

// Runs the handler of the table's word at the interpreter's token, when one
// matches: true with its result in `result`; else the matcher's code.
bool RunWord(const CommandTable<ZoltWordHandler>& table, const char* what, ZoltInterpreter& zolt, CommandType& interp,
             int& result) {
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
    case ZoltValue::kInteger:
      interp << v.Int();
      break;
    case ZoltValue::kFloat:
      interp << DoubleToString(v.Float(), 12, 0, 2);
      break;
    case ZoltValue::kString:
      if (quoteText)
        interp << "'" << v.Str() << "'";
      else
        interp << v.Str();
      break;
    case ZoltValue::kPointer:
      interp << std::setw(8) << reinterpret_cast<uintptr_t>(v.Pointer()) << " (pointer)";
      break;
    default:
      interp << v.ShortText();
      break;
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
  if (RunWord(g_zoltPrintWords, "PRINT %s is not available in this version", *this, interp, result)) return result;
  if (ZoltSymbol* s = GetSymbol(interp)) {
    PrintSymbol(interp, *s);
    return CommandType::kOk;
  }
  return result;
}

int ZoltInterpreter::Set(CommandType& interp) {
  int word = 0;
  const int start = interp.TokenIndex();
  if (interp.MatchKeyword("zoltcall", word) == CommandType::kOk) {
    ZoltCallCommand(interp);
    return CommandType::kOk;
  }
  interp.TokenIndex() = start;
  const int r = interp.SetGeneral();
  if (r == CommandType::kOk || r == CommandType::kMissing) return r;
  interp.TokenIndex() = start;
  ZoltSymbol* symbol = NamedSymbol(interp);
  if (!symbol) {
    const String word = interp.Token(start);
    if (word.Length() > 1 && word.GetAt(0) == '@')
      throw ZoltExcept(MessageText("ZOLT symbol %s not found", word.Mid(1, word.Length() - 1)));
    return r;
  }
  SetVariable(interp, *symbol);
  return CommandType::kOk;
}

void ZoltInterpreter::Clear(CommandType&) {
  halt_ = nullptr;
  state_.Clear();
  executor_.Reset();
  ZoltCloseFile();
}

void ZoltInterpreter::ResetSources(CommandType&) {
  if (executor_.Running()) return;
  for (LinkListNode* n : state_.statements) static_cast<ZoltStatement*>(n)->running = false;
}

void ZoltInterpreter::BeforeRestore(CommandType&) {
  if (executor_.Running()) throw ZoltExcept("Restore not allowed in ZOLT command block");
}

void ZoltInterpreter::SaveState(CommandType&, SaveStream& stream) {
  ZoltForgetDeadExtraPointers();
  state_.Save(stream);
}

void ZoltInterpreter::RestoreState(CommandType&, SaveStream& stream) {
  executor_.Reset();
  halt_ = nullptr;
  HeldZoltPointers().clear();
  state_.Restore(stream);
}

void ZoltInterpreter::RemapPointers(CommandType&) {
  state_.RemapModelPointers([this](ZoltValue& value, uint32_t index) { return RemapPointer(value, index); });
  ZoltRemapExtraPointers();
}

void ZoltInterpreter::Define(CommandType& interp) { ZoltCompiler(*this, interp).Define(); }

ZoltSymbol* ZoltInterpreter::GetSymbol(CommandType& interp, int* index) {
  int& idx = index ? *index : interp.TokenIndex();
  if (!interp.HasToken(&idx)) return nullptr;
  // The word as typed: the parameter checks ask here first.
  const String word = interp.Token(idx);
  if (word.IsEmpty()) return nullptr;
  const char first = word.GetAt(0);
  if (first == '\'' || first == '"') return nullptr;
  const bool forced = first == '@';
  const bool safeConversion = interp.Macros() && interp.Macros()->HashOnly();
  if (safeConversion && !forced) return nullptr;
  const String name = forced ? word.Mid(1, word.Length() - 1) : word;
  ZoltSymbol* s = state_.symbols.Find(name);
  if (!s) {
    if (forced) throw ZoltExcept(MessageText("ZOLT symbol %s not found", name));
    return nullptr;
  }
  ++idx;
  return s;
}

ZoltSymbol* ZoltInterpreter::NamedSymbol(CommandType& interp, int* index) {
  int& idx = index ? *index : interp.TokenIndex();
  if (!interp.HasToken(&idx)) return nullptr;
  const String word = interp.Token(idx);
  const bool forced = word.Length() > 0 && word.GetAt(0) == '@';
  ZoltSymbol* s = state_.symbols.Find(forced ? word.Mid(1, word.Length() - 1) : word);
  if (s) ++idx;
  return s;
}

void ZoltInterpreter::Evaluate(CommandType& interp, ZoltSymbol& symbol) {
  if (symbol.function) Execute(interp, symbol.function);
}

bool ZoltInterpreter::CheckInteger(CommandType& interp, int32_t* out, int& index, int& code) {
  ZoltSymbol* s = GetSymbol(interp, &index);
  if (!s) return false;
  Evaluate(interp, *s);
  *out = s->value.GetInt(kZoltIntMin, kZoltIntMax);
  code = CommandType::kOk;
  return true;
}

bool ZoltInterpreter::CheckNumber(CommandType& interp, double* out, int& index, int& code) {
  ZoltSymbol* s = GetSymbol(interp, &index);
  if (!s) return false;
  Evaluate(interp, *s);
  *out = s->value.GetFloat();
  code = CommandType::kOk;
  return true;
}

bool ZoltInterpreter::CheckString(CommandType& interp, String* out, int& index, int* quoted, int& code) {
  ZoltSymbol* s = GetSymbol(interp, &index);
  if (!s) return false;
  Evaluate(interp, *s);
  *out = s->value.GetString();
  if (quoted) *quoted = 0;
  code = CommandType::kOk;
  return true;
}

bool ZoltInterpreter::CheckBool(CommandType& interp, bool* out, int& index, int& code) {
  ZoltSymbol* s = GetSymbol(interp, &index);
  if (!s) return false;
  Evaluate(interp, *s);
  *out = s->value.GetInt(kZoltIntMin, kZoltIntMax) != 0;
  code = CommandType::kOk;
  return true;
}

bool ZoltInterpreter::CheckPointer(CommandType& interp, void** out, uint32_t* kind, int& index, int& code) {
  int at = index;
  ZoltSymbol* s = GetSymbol(interp, &at);
  if (!s || !s->IsArray() || !s->value.Array()) return false;
  index = at;
  *out = s->value.Array();
  if (kind) *kind = ZoltValue::kArray;
  code = CommandType::kOk;
  return true;
}

void ZoltInterpreter::SetVariable(CommandType& interp, ZoltSymbol& symbol) {
  if (symbol.IsArray()) throw ZoltExcept("Cannot overwrite base of array");
  int& idx = interp.TokenIndex();
  if (!interp.HasToken(&idx)) interp.ThrowParamError(CommandType::kMissing);
  if (ZoltSymbol* from = GetSymbol(interp, &idx)) {
    Evaluate(interp, *from);
    if (from != &symbol) symbol.value = from->value;
    return;
  }
  const int at = idx;
  const String word = interp.Token(at);
  const char first = word.IsEmpty() ? 0 : word.GetAt(0);
  if (first == '\'' || first == '"') {
    String text;
    interp.GetString(&idx);
    int n = word.Length() - 1;
    if (n > 0 && word.GetAt(word.Length() - 1) == first) --n;
    symbol.value.SetString(word.Mid(1, n));
    return;
  }
  bool digits = false, real = false, other = false;
  for (int i = 0; i < word.Length(); ++i) {
    const char c = word.GetAt(i);
    if (c >= '0' && c <= '9')
      digits = true;
    else if (c == '.' || c == 'e' || c == 'E')
      real = true;
    else if (c != '+' && c != '-' && c != ' ')
      other = true;
  }
  if (other || !digits) throw CommandType::ConvertExcept(at, word);
  if (real) {
    double v = 0.0;
    char tail = 0;
    if (std::sscanf(word.c_str(), "%lf%c", &v, &tail) != 1) throw CommandType::ConvertExcept(at, word);
    symbol.value.SetFloat(v);
  } else {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(word.c_str(), &end, 10);
    if (errno == ERANGE || *end != 0 || v > INT32_MAX || v < INT32_MIN) throw CommandType::ConvertExcept(at, word);
    symbol.value.SetInt(static_cast<int32_t>(v));
  }
  ++idx;
}

// SET zoltcall check on|off, SET zoltcall n [remove] name.
void ZoltInterpreter::ZoltCallCommand(CommandType& interp) {
  int word = 0;
  if (interp.MatchKeyword("check", word) == CommandType::kOk) {
    const bool on = interp.GetBool();
    state_.options[2] = on ? 1 : 0;
    interp << " ZOLT run-time checking turned " << OnOffText(on) << "\n";
    return;
  }
  const int32_t number = interp.GetInt();
  if (number < 0 || number >= kZoltCallLists) ZoltError(kErrCallNumber);
  const bool remove = interp.MatchKeyword("remove", word) == CommandType::kOk;
  ZoltSymbol* symbol = NamedSymbol(interp);
  if (!symbol) ZoltError(kErrFunctionExpected);
  if (!symbol->function) ZoltError(kErrVariableNotFunction);
  ZoltCallList& list = state_.calls[number];
  if (!remove) {
    auto* entry = new ZoltCallEntry;
    entry->head = symbol->function;
    list.Prepend(entry);
    return;
  }
  // The function's value stays as it is.
  for (LinkListNode* n : list)
    if (static_cast<ZoltCallEntry*>(n)->head == symbol->function) {
      delete static_cast<ZoltCallEntry*>(list.Remove(n));
      return;
    }
}

// The run works on a copy of the list's functions, so that registering or
// removing under the number from inside one of them changes the next call.
void ZoltInterpreter::RunCalls(CommandType& interp, int number) {
  const size_t base = running_.size();
  for (LinkListNode* n : state_.calls[number]) running_.push_back(static_cast<ZoltCallEntry*>(n)->head);
  const size_t end = running_.size();
  const uint32_t deletions = state_.deletions;
  try {
    for (size_t i = base; i < end; ++i) {
      ZoltStatement* head = running_[i];
      // A function redefined meanwhile has gone with its registrations.
      if (state_.deletions != deletions && !IsFunction(head)) continue;
      Execute(interp, head);
    }
  } catch (...) {
    running_.resize(base);
    throw;
  }
  running_.resize(base);
}

bool ZoltInterpreter::IsFunction(const ZoltStatement* head) const {
  for (LinkListNode* n : const_cast<ZoltSymbolTable&>(state_.symbols).List())
    if (static_cast<ZoltSymbol*>(n)->function == head) return true;
  return false;
}

void ZoltInterpreter::SetHalt(CommandType& interp) {
  halt_ = nullptr;
  ZoltSymbol* symbol = NamedSymbol(interp);
  if (!symbol) ZoltError(kErrFunctionExpected);
  halt_ = symbol;
}

int32_t ZoltInterpreter::HaltValue(CommandType& interp) {
  if (!halt_) return 0;
  Evaluate(interp, *halt_);
  return halt_->value.GetInt(kZoltIntMin, kZoltIntMax);
}

bool ZoltInterpreter::UsesPlotIntrinsics(const ZoltSymbol& symbol) {
  for (const ZoltStatement* s = symbol.function; s; s = s->Next()) {
    for (const ZoltValue* v : {&s->a, &s->b, &s->t})
      if (v->IsPlainKind() && v->TypeTag() == ZoltValue::kIntrinsic &&
          ((v->Word() >= 36 && v->Word() <= 48) || (v->Word() >= 57 && v->Word() <= 59)))
        return true;
    if (s->op == kOpEnd) break;
  }
  return false;
}

bool ZoltInterpreter::CallIntrinsic(ZoltIntrinsicCall& call) { return DispatchZoltIntrinsic(*this, call); }

bool ZoltInterpreter::RemapPointer(ZoltValue& value, uint32_t index) { return RemapZoltModelPointer(value, index); }

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
    // A symbol that holds no number is the next item, not an index.
    int probe = interp.TokenIndex();
    if (const ZoltSymbol* next = GetSymbol(interp, &probe); next && !next->function && !next->value.IsNumeric()) break;
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
