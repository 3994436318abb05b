// The PRINT ZOLT listings: the variables with their values, and for finding
// faults in functions the compiled statements, the symbols, the jump tables,
// the zoltcall registrations and the memory blocks. Statements, symbols and
// blocks are identified by their place in their list.
#include <cstdio>
#include <iomanip>
#include <sstream>
#include <string>

#include "base/stream.h"
#include "zolt/zolt_interpreter.h"

namespace {
const char* const kMnemonics[] = {"NOOP", ".EXP", ".DIV", ".MUL", ".SUB", ".ADD", ".NEG",
                                  ".MOV", ".END", "HEAD", ".JSR", ".JMP", ".COM"};

// The value in the 12 characters of the variables listing.
std::string ValueField(const ZoltValue& v) {
  std::ostringstream os;
  switch (v.TypeTag()) {
    case ZoltValue::kInteger:
    case ZoltValue::kFloat:
    case ZoltValue::kPointer:
      os << std::setw(12) << v.ShortText().str();
      break;
    case ZoltValue::kString:
      os << std::setw(12) << "- string -";
      break;
    case ZoltValue::kArray:
      os << std::setw(12) << "- array -";
      break;
    default:
      os << std::setw(12) << "";
      break;
  }
  return os.str();
}

std::string Sizes(const ZoltArray& array) {
  std::string text = "(";
  for (int d = 0; d < array.Dimensions(); ++d) {
    if (d) text += ",";
    text += std::to_string(array.Size(d));
  }
  return text + ")";
}

// Place of a node in its list (1, 2, ...), 0 for none: the lists are
// numbered before each listing.
uint32_t PlaceOf(const LinkListNode* node) { return node ? node->SaveIndex() : 0; }

// An operand's payload as a word: a number, a text, or the place of the
// statement or symbol it names.
std::string Payload(const ZoltValue& v) {
  char text[64];
  if (!v.IsPlainKind()) {
    switch (v.KindWord()) {
      case ZoltValue::kEndHead:
      case ZoltValue::kCallee:
        std::snprintf(text, sizeof text, "S%u", PlaceOf(v.Node()));
        return text;
      case ZoltValue::kHeadSymbol:
      case ZoltValue::kCalleeSymbol:
        std::snprintf(text, sizeof text, "Y%u", PlaceOf(v.Node()));
        return text;
      case ZoltValue::kCaseTable:
        std::snprintf(text, sizeof text, "S%u", PlaceOf(v.DefaultTarget()));
        return text;
      case ZoltValue::kCommandLines:
        std::snprintf(text, sizeof text, "%zu lines", v.Lines().size());
        return text;
      case ZoltValue::kJumpTarget:
        std::snprintf(text, sizeof text, "S%u/%d", PlaceOf(v.Target()), v.Word());
        return text;
      default:
        std::snprintf(text, sizeof text, "%d", v.Word());
        return text;
    }
  }
  switch (v.TypeTag()) {
    case ZoltValue::kResult:
      std::snprintf(text, sizeof text, "S%u", PlaceOf(v.Node()));
      return text;
    case ZoltValue::kReference:
      std::snprintf(text, sizeof text, "Y%u", PlaceOf(v.Node()));
      return text;
    case ZoltValue::kString:
      return v.Str().str();
    case ZoltValue::kArray:
      return Sizes(*v.Array());
    case ZoltValue::kFloat:
    case ZoltValue::kPointer:
      return v.ShortText().str();
    default:
      std::snprintf(text, sizeof text, "%d", v.Word());
      return text;
  }
}

void NumberLists(ZoltState& state) {
  state.statements.Number();
  state.symbols.List().Number();
  state.blocks.Number();
}

bool IsCaseDispatch(const ZoltStatement& s) { return s.op == kOpJmp && s.t.KindWord() == ZoltValue::kCaseHighest; }
}  // namespace

void ZoltInterpreter::ListVariables(CommandType& interp) {
  PageGuard guard(interp);
  interp << "                     Value   Name\n";
  interp << "                     -----   ----\n";
  for (LinkListNode* n : state_.symbols.List()) {
    const auto& s = *static_cast<ZoltSymbol*>(n);
    interp << "  " << (s.function && !s.IsArray() ? "(function)" : "          ") << "  " << ValueField(s.value) << "  "
           << s.name;
    if (s.IsArray()) interp << Sizes(*s.value.Array());
    interp << "\n";
  }
}

void ZoltInterpreter::ListZoltCalls(CommandType& interp) {
  bool any = false;
  for (const ZoltCallList& l : state_.calls) any = any || !l.IsEmpty();
  if (!any) return;
  PageGuard guard(interp);
  interp << "  Zoltcall number     function name\n";
  interp << "  ---------------     -------------\n";
  char number[8];
  for (int i = 0; i < kZoltCallLists; ++i)
    for (LinkListNode* n : state_.calls[i]) {
      const ZoltStatement* head = static_cast<ZoltCallEntry*>(n)->head;
      std::snprintf(number, sizeof number, "%3d", i);
      interp << " " << number << "                  " << (head ? head->HeadSymbol()->name : String()) << "\n";
    }
}

void ZoltInterpreter::ListStatements(CommandType& interp) {
  PageGuard guard(interp);
  NumberLists(state_);
  uint32_t place = 0;
  char line[96];
  for (LinkListNode* n : state_.statements) {
    const auto& s = *static_cast<ZoltStatement*>(n);
    std::snprintf(line, sizeof line, "%6u %-5s", ++place, s.op <= kOpCommand ? kMnemonics[s.op] : "????");
    interp << line;
    for (const ZoltValue* v : {&s.a, &s.b, &s.t}) {
      std::snprintf(line, sizeof line, " %3u %-14.14s", v->IsPlainKind() ? v->TypeTag() : v->KindWord(),
                    Payload(*v).c_str());
      interp << line;
    }
    interp << " " << s.flags << "\n";
    if (s.op == kOpCommand)
      for (const String& text : s.a.Lines()) interp << "              " << text << "\n";
  }
}

void ZoltInterpreter::ListSymbols(CommandType& interp) {
  PageGuard guard(interp);
  NumberLists(state_);
  uint32_t place = 0;
  char line[96];
  for (LinkListNode* n : state_.symbols.List()) {
    const auto& s = *static_cast<ZoltSymbol*>(n);
    std::string value = s.value.TypeTag() == ZoltValue::kString ? s.value.Str().str() : ValueField(s.value);
    std::snprintf(line, sizeof line, "Y%-5u S%-5u %3u %3u %12s ", ++place, PlaceOf(s.function), s.value.KindWord(),
                  s.value.TypeTag(), value.c_str());
    interp << line << s.name << "\n";
  }
}

void ZoltInterpreter::ListJumpTables(CommandType& interp) {
  PageGuard guard(interp);
  NumberLists(state_);
  uint32_t place = 0;
  char line[32];
  for (LinkListNode* n : state_.statements) {
    const auto& s = *static_cast<ZoltStatement*>(n);
    ++place;
    if (!IsCaseDispatch(s)) continue;
    interp << " Table S" << place << "\n";
    for (LinkListNode* entry : s.b.Table()) {
      std::snprintf(line, sizeof line, "%10u", PlaceOf(entry));
      interp << line << "\n";
    }
  }
}

void ZoltInterpreter::ListMemoryBlocks(CommandType& interp) {
  PageGuard guard(interp);
  NumberLists(state_);
  uint32_t place = 0;
  for (LinkListNode* n : state_.blocks)
    interp << "M" << ++place << " " << static_cast<ZoltMemBlock*>(n)->Count() << "\n";
}
