#include "zolt/zolt_compiler.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/command.h"
#include "zolt/zolt_error.h"
#include "zolt/zolt_interpreter.h"

namespace {
// Deeper nesting of parentheses than this is refused: the compiler recurses
// once per level.
constexpr int kMaxNesting = 200;
constexpr size_t kNone = static_cast<size_t>(-1);

bool IsOperatorChar(char c) {
  switch (c) {
    case '^':
    case '/':
    case '*':
    case '-':
    case '+':
    case '(':
    case '[':
    case '{':
    case ')':
    case ']':
    case '}':
    case '=':
    case ',':
    case '>':
    case '<':
    case '#':
      return true;
    default:
      return false;
  }
}

int32_t OperatorCode(char c) {
  switch (c) {
    case '^':
      return kOperPower;
    case '/':
      return kOperDivide;
    case '*':
      return kOperMultiply;
    case '-':
      return kOperMinus;
    case '+':
      return kOperPlus;
    case '(':
    case '[':
    case '{':
      return kOperOpen;
    case ')':
    case ']':
    case '}':
      return kOperClose;
    case '=':
      return kOperEquals;
    case ',':
      return kOperComma;
    case '>':
      return kOperGreater;
    case '<':
      return kOperLess;
    default:
      return kOperNotEqual;  // '#'
  }
}

bool IsComparison(const ZoltToken& t) {
  if (!t.IsOperator()) return false;
  const int32_t c = t.value.Word();
  return c == kOperEquals || (c >= kOperGreater && c <= kOperLessEqual);
}

// The test that jumps past the code of a condition: the condition's opposite.
int32_t InvertedTest(int32_t comparison) {
  switch (comparison) {
    case kOperEquals:
      return kTestNotEqual;
    case kOperNotEqual:
      return kTestEqual;
    case kOperGreater:
      return kTestLessEqual;
    case kOperLessEqual:
      return kTestGreater;
    case kOperLess:
      return kTestGreaterEqual;
    default:
      return kTestLess;  // ">="
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

// The statement keywords as the compiler matches them (whole words), with
// the handler of a line that begins with each. "f_prop " keeps its blank:
// no word can match it.
const ZoltCompiler::KeywordEntry ZoltCompiler::kKeywords[] = {
    {"def", kKwDef, &ZoltCompiler::OnInappropriate},
    {"end", kKwEnd, &ZoltCompiler::OnEnd},
    {"command", kKwCommand, &ZoltCompiler::OnCommand},
    {"while_stepping", kKwWhileStepping, &ZoltCompiler::OnWhileStepping},
    {"whilestepping", kKwWhileStepping, &ZoltCompiler::OnWhileStepping},
    {"loop", kKwLoop, &ZoltCompiler::OnLoop},
    {"end_loop", kKwEndLoop, &ZoltCompiler::OnEndLoop},
    {"endloop", kKwEndLoop, &ZoltCompiler::OnEndLoop},
    {"if", kKwIf, &ZoltCompiler::OnIf},
    {"then", kKwThen, &ZoltCompiler::OnIgnored},
    {"else", kKwElse, &ZoltCompiler::OnElse},
    {"exit", kKwExit, &ZoltCompiler::OnExit},
    {"end_if", kKwEndIf, &ZoltCompiler::OnEndIf},
    {"endif", kKwEndIf, &ZoltCompiler::OnEndIf},
    {"end_command", kKwEndCommand, &ZoltCompiler::OnIgnored},
    {"endcommand", kKwEndCommand, &ZoltCompiler::OnIgnored},
    {"constitutive_model", kKwConstitutiveModel, &ZoltCompiler::OnInappropriate},
    {"f_prop ", kKwFProp, &ZoltCompiler::OnInappropriate},
    {"int", kKwInt, &ZoltCompiler::OnInappropriate},
    {"float", kKwFloat, &ZoltCompiler::OnInappropriate},
    {"string", kKwString, &ZoltCompiler::OnInappropriate},
    {"case_of", kKwCaseOf, &ZoltCompiler::OnCaseOf},
    {"caseof", kKwCaseOf, &ZoltCompiler::OnCaseOf},
    {"case", kKwCase, &ZoltCompiler::OnCase},
    {"end_case", kKwEndCase, &ZoltCompiler::OnEndCase},
    {"endcase", kKwEndCase, &ZoltCompiler::OnEndCase},
    {"while", kKwWhile, &ZoltCompiler::OnInappropriate},
    {"section", kKwSection, &ZoltCompiler::OnSection},
    {"end_section", kKwEndSection, &ZoltCompiler::OnEndSection},
    {"endsection", kKwEndSection, &ZoltCompiler::OnEndSection},
    {"array", kKwArray, &ZoltCompiler::OnArray},
};

int32_t ZoltCompiler::KeywordCode(const String& word) {
  for (const KeywordEntry& k : kKeywords)
    if (word.Compare(k.word) == 0) return k.code;
  return 0;
}

ZoltCompiler::ZoltCompiler(ZoltInterpreter& zolt, CommandType& interp)
    : zolt_(zolt), interp_(interp), state_(zolt.State()) {}

void ZoltCompiler::Error(int code, int column) { ZoltError(code, caret_ && column >= 0 ? &interp_ : nullptr, column); }

void ZoltCompiler::ErrorAt(int code, size_t token) {
  int column = -1;
  if (token < tokens_.size())
    column = tokens_[token].column;
  else if (!tokens_.empty())
    column = tokens_.back().column + 1;
  Error(code, column);
}

// ---------------------------------------------------------------------------
// Tokens

std::vector<ZoltToken> ZoltCompiler::Tokenize(const std::string& line, int start) {
  // The line ends at a NUL, a line end or a ";" outside quotes.
  size_t end = static_cast<size_t>(start);
  int quotes = 0, lastQuote = -1;
  for (bool quoted = false; end < line.size(); ++end) {
    const char c = line[end];
    if (c == '\0' || c == '\n' || c == '\r') break;
    if (quoted && c == '\\') {
      if (end + 1 < line.size()) ++end;
      continue;
    }
    if (c == '\'') {
      quoted = !quoted;
      ++quotes;
      lastQuote = static_cast<int>(end);
      continue;
    }
    if (!quoted && c == ';') break;
  }
  if (quotes % 2) Error(kErrUnbalancedQuotes, lastQuote);

  std::vector<ZoltToken> out;
  ZoltIntrinsicCall find;
  size_t pos = static_cast<size_t>(start);
  while (pos < end) {
    const char c = line[pos];
    const int column = static_cast<int>(pos);
    if (IsBlank(c)) {
      ++pos;
      continue;
    }
    ZoltToken t;
    t.column = column;
    if (c == '\'') {
      std::string text;
      for (++pos; pos < end && line[pos] != '\''; ++pos) {
        if (line[pos] == '\\' && pos + 1 < end) {
          switch (const char e = line[++pos]) {
            case 'b':
              text += '\b';
              break;
            case 'n':
              text += '\n';
              break;
            case 'r':
              text += '\r';
              break;
            case 't':
              text += '\t';
              break;
            default:
              text += e;
              break;
          }
        } else {
          text += line[pos];
        }
      }
      ++pos;  // the closing quote
      t.value.SetString(String(std::move(text)));
    } else if (IsOperatorChar(c)) {
      int32_t code = OperatorCode(c);
      ++pos;
      if ((c == '>' || c == '<') && pos < end && line[pos] == '=') {
        code = c == '>' ? kOperGreaterEqual : kOperLessEqual;
        ++pos;
      }
      t.value.SetWordTag(ZoltValue::kOperator, code);
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      const size_t first = pos;
      for (++pos; pos < end && !IsBlank(line[pos]); ++pos) {
        const char ch = line[pos];
        // An exponent keeps its sign; any other operator ends the number.
        if (IsOperatorChar(ch) && !((ch == '+' || ch == '-') && line[pos - 1] == 'e')) break;
      }
      const std::string text = line.substr(first, pos - first);
      bool digitsOnly = true, allowed = true;
      for (char ch : text) {
        if (!std::isdigit(static_cast<unsigned char>(ch))) digitsOnly = false;
        if (!std::isdigit(static_cast<unsigned char>(ch)) && ch != '.' && ch != 'e' && ch != '+' && ch != '-')
          allowed = false;
      }
      if (!allowed) Error(kErrNumberFormat, column);
      errno = 0;
      char* stop = nullptr;
      if (digitsOnly) {
        const long long v = std::strtoll(text.c_str(), &stop, 10);
        if (errno == ERANGE || v > INT32_MAX) Error(kErrNumberFormat, column);
        t.value.SetInt(static_cast<int32_t>(v));
      } else {
        const double v = std::strtod(text.c_str(), &stop);
        if (stop != text.c_str() + text.size()) Error(kErrNumberFormat, column);
        t.value.SetFloat(v);
      }
    } else if (c >= 'A' && c <= 'z') {
      const size_t first = pos;
      while (pos < end && !IsBlank(line[pos]) && !IsOperatorChar(line[pos])) ++pos;
      const String word(line.substr(first, pos - first));
      const int32_t keyword = KeywordCode(word);
      const bool typeWord = keyword == kKwInt || keyword == kKwFloat || keyword == kKwString;
      // "int", "float" and "string" after the start of a line are the
      // intrinsics of those names.
      if (keyword && !(typeWord && !out.empty())) {
        t.value.SetWordTag(ZoltValue::kKeyword, keyword);
      } else {
        find.mode = ZoltIntrinsicCall::kFind;
        find.name = word.c_str();
        find.code = -1;
        if (zolt_.CallIntrinsic(find) && find.code >= 0)
          t.value.SetWordTag(ZoltValue::kIntrinsic, find.code);
        else if (keyword)
          t.value.SetWordTag(ZoltValue::kKeyword, keyword);
        else
          t.value.SetReference(state_.symbols.FindOrCreate(word));
      }
    } else {
      ++pos;  // a character that starts nothing
      continue;
    }
    out.push_back(std::move(t));
  }
  return out;
}

// Parentheses balance, "()" and ")(" are refused, an "=" stands alone, at
// the top level and only in assignments and conditions, and THEN ends a
// condition's line. Pairs the parentheses for the rest of the line's work.
void ZoltCompiler::CheckLine() {
  const size_t n = tokens_.size();
  const int32_t first = tokens_[0].IsKeyword() ? tokens_[0].value.Word() : 0;
  const bool conditionLine = first == kKwIf || first == kKwLoop;
  match_.assign(n, kNone);
  std::vector<size_t> open;
  int equals = 0;
  for (size_t i = 0; i < n; ++i) {
    const ZoltToken& t = tokens_[i];
    if (t.IsOperator(kOperOpen)) {
      if (i + 1 < n && tokens_[i + 1].IsOperator(kOperClose)) ErrorAt(kErrSyntax, i + 1);
      open.push_back(i);
      if (open.size() > static_cast<size_t>(kMaxNesting)) ErrorAt(kErrSyntax, i);
    } else if (t.IsOperator(kOperClose)) {
      if (open.empty()) ErrorAt(kErrSyntax, i);
      match_[i] = open.back();
      match_[open.back()] = i;
      open.pop_back();
      if (i + 1 < n && tokens_[i + 1].IsOperator(kOperOpen)) ErrorAt(kErrSyntax, i + 1);
    } else if (t.IsOperator(kOperEquals)) {
      if (!open.empty()) ErrorAt(kErrParentheses, i);
      if (++equals > 1) ErrorAt(kErrEquals, i);
      if (first && !conditionLine) ErrorAt(kErrEqualsPlace, i);
    } else if (t.IsKeyword(kKwThen) && conditionLine && i + 1 < n) {
      ErrorAt(kErrExtraneous, i + 1);
    }
  }
  if (!open.empty()) ErrorAt(kErrParentheses, open.back());
}

// ---------------------------------------------------------------------------
// Definitions

void ZoltCompiler::Define() {
  // The name as typed: a symbol's value never stands for it.
  if (!interp_.HasToken()) interp_.ThrowParamError(CommandType::kMissing);
  const String word = interp_.Token(interp_.TokenIndex()++);
  // The name's word is no line of the definition: no caret under it.
  caret_ = false;
  tokens_ = Tokenize(word.str(), 0);
  caret_ = true;
  if (tokens_.empty() || !tokens_[0].IsSymbol()) ZoltError(kErrFunctionName);
  symbol_ = tokens_[0].Symbol();
  if (symbol_->IsArray()) ZoltError(kErrFunctionArray);
  if (symbol_->function) {
    // Its statements are being run.
    if (symbol_->function->running) ZoltError(kErrDefinedBefore);
    interp_ << "... deleting existing function"
            << "\n";
    DeleteFunction(*symbol_);
  }
  head_ = Add(kOpHead);
  head_->a.SetNode(ZoltValue::kHeadSymbol, symbol_);
  symbol_->function = head_;
  try {
    while (!ended_) {
      bool sourceEnded = false;
      const String line = interp_.ReadLine(String("   Def>"), sourceEnded);
      if (sourceEnded) throw ZoltExcept("DEFINE ended before its END");
      CompileLine(line);
    }
  } catch (...) {
    RemoveFunction();
    throw;
  }
}

// Takes out what a failed definition compiled: its HEAD and every statement
// after it, and any call resolved to it.
void ZoltCompiler::RemoveFunction() {
  for (ZoltStatement* s = head_; s;) {
    ZoltStatement* next = s->Next();
    delete static_cast<ZoltStatement*>(state_.statements.Remove(s));
    s = next;
  }
  for (LinkListNode* n : state_.statements) {
    auto* s = static_cast<ZoltStatement*>(n);
    if (s->op == kOpJsr && s->Callee() == head_) s->a.SetNode(ZoltValue::kCallee, nullptr);
  }
  if (symbol_ && symbol_->function == head_) symbol_->function = nullptr;
  head_ = nullptr;
}

// A redefinition: the old function's statements go, calls of it resolve
// again when they run, its zoltcall registrations are dropped.
void ZoltCompiler::DeleteFunction(ZoltSymbol& symbol) {
  ZoltStatement* head = symbol.function;
  ++state_.deletions;
  for (LinkListNode* n : state_.statements) {
    auto* s = static_cast<ZoltStatement*>(n);
    if (s->op == kOpJsr && s->Callee() == head) s->a.SetNode(ZoltValue::kCallee, nullptr);
  }
  for (ZoltCallList& list : state_.calls) {
    for (LinkListNode* n = list.First(); n;) {
      LinkListNode* next = n->NextNode();
      if (static_cast<ZoltCallEntry*>(n)->head == head) delete list.Remove(n);
      n = next;
    }
  }
  for (ZoltStatement* s = head; s;) {
    ZoltStatement* next = s->Next();
    const bool last = s->op == kOpEnd;
    delete static_cast<ZoltStatement*>(state_.statements.Remove(s));
    if (last) break;
    s = next;
  }
  symbol.function = nullptr;
}

bool ZoltCompiler::CompileLine(const String& raw) {
  const std::string& line = raw.str();
  size_t p = 0;
  while (p < line.size() && IsBlank(line[p])) ++p;
  if (p >= line.size() || line[p] == ';' || line[p] == '\n' || line[p] == '\r') return false;
  if (commandDepth_ > 0) {
    CommandBlockLine(String(line.substr(p)));
    return false;
  }
  offset_ = static_cast<int>(p);
  tokens_ = Tokenize(line, offset_);
  if (tokens_.empty()) return false;
  CheckLine();
  if (tokens_[0].IsKeyword()) {
    const int32_t code = tokens_[0].value.Word();
    for (const KeywordEntry& k : kKeywords) {
      if (k.code == code) {
        (this->*k.handler)();
        break;
      }
    }
    return ended_;
  }
  size_t equals = kNone;
  for (size_t i = 0; i < tokens_.size(); ++i)
    if (tokens_[i].IsOperator(kOperEquals)) equals = i;
  if (equals != kNone)
    Assignment(equals);
  else
    CallList();
  return false;
}

// A line inside a COMMAND block is kept as it is; nested blocks are counted,
// and the END_COMMAND that closes the block is kept as an empty line.
void ZoltCompiler::CommandBlockLine(const String& line) {
  const std::string& s = line.str();
  size_t n = 0;
  while (n < s.size() && !IsBlank(s[n])) ++n;
  const String word(s.substr(0, n));
  std::vector<String>& lines = command_->a.Lines();
  if (word.Compare("command") == 0) {
    ++commandDepth_;
  } else if (word.Compare("end_command") == 0 || word.Compare("endcommand") == 0) {
    if (--commandDepth_ == 0) {
      lines.push_back(String());
      command_ = nullptr;
      return;
    }
  }
  lines.push_back(line);
}

// ---------------------------------------------------------------------------
// Statements and expressions

ZoltStatement* ZoltCompiler::Add(uint32_t op) {
  auto* s = new ZoltStatement(op);
  switch (op) {
    case kOpEnd:
      s->a.SetControl(ZoltValue::kEndHead);
      s->b.SetControl(ZoltValue::kEndB);
      s->t.SetControl(ZoltValue::kEndT);
      break;
    case kOpHead:
      s->a.SetControl(ZoltValue::kHeadSymbol);
      s->b.SetControl(ZoltValue::kHeadContinuation);
      s->t.SetControl(ZoltValue::kHeadT);
      break;
    case kOpJsr:
      s->a.SetControl(ZoltValue::kCallee);
      s->b.SetControl(ZoltValue::kCallB);
      s->t.SetControl(ZoltValue::kCalleeSymbol);
      break;
    case kOpJmp:
      s->a.SetControl(ZoltValue::kJumpA);
      s->b.SetControl(ZoltValue::kJumpB);
      s->t.SetControl(ZoltValue::kJumpTarget);
      break;
    case kOpCommand:
      s->a.SetControl(ZoltValue::kCommandLines);
      s->b.SetControl(ZoltValue::kCommandLast);
      s->t.SetControl(ZoltValue::kCommandT);
      break;
    default:
      break;
  }
  state_.statements.Append(s);
  return s;
}

ZoltStatement* ZoltCompiler::AddJump(int32_t test) {
  ZoltStatement* s = Add(kOpJmp);
  s->t.SetJump(nullptr, test);
  return s;
}

ZoltToken ZoltCompiler::ResultOf(ZoltStatement* s, int column) {
  ZoltToken t;
  t.value.SetResult(s);
  t.column = column;
  return t;
}

void ZoltCompiler::Describe(const ZoltToken& intrinsic, int32_t& count, bool& readOnly, String& letters) {
  ZoltIntrinsicCall call;
  call.mode = ZoltIntrinsicCall::kDescribe;
  call.code = intrinsic.value.Word();
  if (!zolt_.CallIntrinsic(call)) Error(kErrArgument, intrinsic.column);
  count = call.argumentCount;
  readOnly = call.readOnly != 0;
  letters = call.argumentLetters;
}

// The arguments between a "(" and its ")", split at the commas of the top level.
std::vector<ZoltCompiler::Range> ZoltCompiler::Arguments(size_t open) const {
  std::vector<Range> args;
  const size_t close = match_[open];
  size_t from = open + 1;
  for (size_t i = open + 1; i < close; ++i) {
    if (tokens_[i].IsOperator(kOperOpen)) {
      i = match_[i];
    } else if (tokens_[i].IsOperator(kOperComma)) {
      args.push_back({from, i});
      from = i + 1;
    }
  }
  args.push_back({from, close});
  return args;
}

// An intrinsic's arguments or an array's indices: each is computed, then
// all are moved into the argument slots 0, 1, ... (so that computing one
// cannot overwrite the slot of another), then the intrinsic or element is
// fetched into a new statement's result.
ZoltToken ZoltCompiler::CallOrIndex(const ZoltToken& callee, size_t open, int depth) {
  const std::vector<Range> args = Arguments(open);
  String letters;
  if (callee.IsIntrinsic()) {
    int32_t count = 0;
    bool readOnly = true;
    Describe(callee, count, readOnly, letters);
    if (static_cast<int32_t>(args.size()) != count) ErrorAt(kErrArgument, open);
  } else if (args.size() > static_cast<size_t>(kZoltSlots)) {
    ErrorAt(kErrArgument, open);
  }
  std::vector<ZoltToken> values;
  values.reserve(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].Empty()) ErrorAt(kErrSyntax, args[i].begin);
    const bool whole = i < static_cast<size_t>(letters.Length()) && letters.GetAt(static_cast<int>(i)) == 'a';
    values.push_back(Expression(args[i], whole, depth + 1));
  }
  for (size_t i = 0; i < values.size(); ++i) {
    ZoltStatement* m = Add(kOpMov);
    m->a = values[i].value;
    m->t.SetWordTag(ZoltValue::kSlot, static_cast<int32_t>(i));
    m->flags = values[i].wholeArray ? 1 : 0;
  }
  ZoltStatement* m = Add(kOpMov);
  m->a = callee.value;
  return ResultOf(m, callee.column);
}

// An expression reduced to one token. Calls, indexing and parentheses
// first; a leading "-" is 0 - x; then the operators in passes, each from
// left to right: "^", "/", "*", "-", "+" (so a * b / c is a * (b / c) and
// a - b + c is a - (b + c)).
ZoltToken ZoltCompiler::Expression(Range r, bool wholeAllowed, int depth) {
  if (r.Empty()) ErrorAt(kErrSyntax, r.begin);
  if (depth > kMaxNesting) ErrorAt(kErrSyntax, r.begin);
  int32_t count = 0;
  bool readOnly = true;
  String letters;
  if (r.Size() == 1) {
    const ZoltToken& t = tokens_[r.begin];
    if (t.IsOperator()) ErrorAt(kErrSyntax, r.begin);
    if (t.IsKeyword()) ErrorAt(kErrKeyword, r.begin);
    if (t.IsIntrinsic()) {
      Describe(t, count, readOnly, letters);
      if (count > 0) ErrorAt(kErrArgument, r.begin);
    }
    if (t.IsSymbol() && t.Symbol()->IsArray()) {
      if (!wholeAllowed) ErrorAt(kErrArgument, r.begin);
      ZoltToken whole = t;
      whole.wholeArray = true;
      return whole;
    }
    return t;
  }

  std::vector<ZoltToken> items;
  for (size_t i = r.begin; i < r.end;) {
    const ZoltToken& t = tokens_[i];
    const bool called = i + 1 < r.end && tokens_[i + 1].IsOperator(kOperOpen);
    const bool isArray = t.IsSymbol() && t.Symbol()->IsArray();
    if ((t.IsIntrinsic() || isArray) && called) {
      items.push_back(CallOrIndex(t, i + 1, depth));
      i = match_[i + 1] + 1;
      continue;
    }
    if (t.IsIntrinsic()) {
      Describe(t, count, readOnly, letters);
      if (count > 0) ErrorAt(kErrArgument, i);
    }
    if (isArray) ErrorAt(kErrArgument, i);
    if (t.IsOperator(kOperOpen)) {
      const size_t close = match_[i];
      items.push_back(Expression({i + 1, close}, false, depth + 1));
      i = close + 1;
      continue;
    }
    if (t.IsKeyword()) ErrorAt(kErrKeyword, i);
    items.push_back(t);
    ++i;
  }

  if (items[0].IsOperator()) {
    if (!items[0].IsOperator(kOperMinus)) Error(kErrSyntax, items[0].column);
    ZoltToken zero;
    zero.value.SetInt(0);
    zero.column = items[0].column;
    items.insert(items.begin(), std::move(zero));
  }
  for (size_t k = 0; k < items.size(); ++k) {
    const ZoltToken& t = items[k];
    const bool arithmetic = t.IsOperator() && t.value.Word() >= kOperPower && t.value.Word() <= kOperPlus;
    if ((k % 2 == 0) == t.IsOperator() || (k % 2 == 1 && !arithmetic)) Error(kErrSyntax, t.column);
  }
  if (items.size() % 2 == 0) Error(kErrSyntax, items.back().column);

  for (int32_t op = kOperPower; op <= kOperPlus && items.size() > 1; ++op) {
    std::vector<ZoltToken> out;
    out.reserve(items.size());
    out.push_back(std::move(items[0]));
    for (size_t k = 1; k < items.size(); k += 2) {
      if (items[k].IsOperator(op)) {
        ZoltStatement* s = Add(static_cast<uint32_t>(op));
        s->a = out.back().value;
        s->b = items[k + 1].value;
        out.back() = ResultOf(s, out.back().column);
      } else {
        out.push_back(std::move(items[k]));
        out.push_back(std::move(items[k + 1]));
      }
    }
    items.swap(out);
  }
  return std::move(items[0]);
}

// A condition of IF or LOOP WHILE: one comparison at the top level; the
// .JMP appended jumps when the condition is false.
ZoltStatement* ZoltCompiler::Condition(Range r) {
  if (!r.Empty() && tokens_[r.end - 1].IsKeyword(kKwThen)) --r.end;
  size_t at = kNone;
  for (size_t i = r.begin; i < r.end; ++i) {
    const ZoltToken& t = tokens_[i];
    if (t.IsOperator(kOperOpen)) {
      i = match_[i];
    } else if (t.IsKeyword()) {
      ErrorAt(kErrKeyword, i);
    } else if (IsComparison(t)) {
      if (at != kNone) ErrorAt(kErrMultipleTests, i);
      at = i;
    }
  }
  if (at == kNone) ErrorAt(kErrNoTest, r.begin);
  if (at == r.begin || at + 1 >= r.end) ErrorAt(kErrSyntax, at);
  const ZoltToken left = Expression({r.begin, at}, false, 0);
  const ZoltToken right = Expression({at + 1, r.end}, false, 0);
  ZoltStatement* jump = AddJump(InvertedTest(tokens_[at].value.Word()));
  jump->a = left.value;
  jump->b = right.value;
  return jump;
}

void ZoltCompiler::OnInappropriate() { ErrorAt(kErrKeyword, 0); }

void ZoltCompiler::OnIgnored() {}

void ZoltCompiler::OnCommand() {
  command_ = Add(kOpCommand);
  commandDepth_ = 1;
}

void ZoltCompiler::OnWhileStepping() { head_->a.SetTagWord(1); }

void ZoltCompiler::OnLoop() {
  const size_t n = tokens_.size();
  if (n < 2) ErrorAt(kErrMissingMaterial, 1);
  if (tokens_[1].IsKeyword(kKwWhile)) {
    if (n < 3) ErrorAt(kErrMissingMaterial, 2);
    ZoltStatement* before = state_.statements.LastStatement();
    ZoltStatement* jump = Condition({2, n});
    loops_.push_back(LoopEntry{before->Next(), jump, ZoltValue(), ZoltValue()});
    return;
  }
  const ZoltToken& variable = tokens_[1];
  if (!variable.IsSymbol()) ErrorAt(kErrSyntax, 1);
  if (variable.Symbol()->IsArray()) ErrorAt(kErrArgument, 1);
  if (n < 3) ErrorAt(kErrMissingMaterial, 2);
  if (!tokens_[2].IsOperator(kOperOpen)) ErrorAt(kErrSyntax, 2);
  const size_t close = match_[2];
  if (close + 1 < n) ErrorAt(kErrExtraneous, close + 1);
  const std::vector<Range> parts = Arguments(2);
  if (parts.size() < 2) ErrorAt(kErrLoopComma, 2);
  // Everything after the first comma is the end value.
  const Range first = parts[0];
  const Range last{parts[1].begin, close};
  if (first.Empty() || last.Empty()) ErrorAt(kErrLoopRange, first.Empty() ? first.begin : last.begin);
  const ZoltToken start = Expression(first, false, 0);
  const ZoltToken end = Expression(last, false, 0);
  ZoltStatement* move = Add(kOpMov);
  move->a = start.value;
  move->t = variable.value;
  ZoltStatement* top = AddNoop();
  loops_.push_back(LoopEntry{nullptr, top, variable.value, end.value});
}

void ZoltCompiler::OnEndLoop() {
  if (loops_.empty()) ErrorAt(kErrNoLoop, 0);
  LoopEntry loop = std::move(loops_.back());
  loops_.pop_back();
  if (!loop.testFirst) {
    // The end value is read at every test: a variable as it is then, a
    // computed value as it was on entry.
    ZoltStatement* add = Add(kOpAdd);
    add->a = loop.variable;
    add->b.SetInt(1);
    add->t = loop.variable;
    ZoltStatement* jump = AddJump(kTestLessEqual);
    jump->a = loop.variable;
    jump->b = loop.end;
    jump->t.SetTarget(loop.top);
  } else {
    AddJump(kTestAlways)->t.SetTarget(loop.testFirst);
    loop.top->t.SetTarget(AddNoop());
  }
}

void ZoltCompiler::OnIf() { ifs_.push_back(IfEntry{Condition({1, tokens_.size()}), false}); }

void ZoltCompiler::OnElse() {
  if (tokens_.size() > 1) ErrorAt(kErrExtraneous, 1);
  if (ifs_.empty()) ErrorAt(kErrNoIf, 0);
  if (ifs_.back().hasElse) ErrorAt(kErrTooManyElse, 0);
  ZoltStatement* jump = AddJump(kTestAlways);
  ifs_.back().jump->t.SetTarget(AddNoop());
  ifs_.back() = IfEntry{jump, true};
}

void ZoltCompiler::OnEndIf() {
  if (ifs_.empty()) ErrorAt(kErrNoIf, 0);
  ifs_.back().jump->t.SetTarget(AddNoop());
  ifs_.pop_back();
}

void ZoltCompiler::OnExit() {
  if (tokens_.size() == 1) {
    exits_.push_back(AddJump(kTestAlways));
    return;
  }
  if (tokens_[1].IsKeyword(kKwSection)) {
    if (!inSection_) ErrorAt(kErrNoSection, 1);
    sectionExits_.push_back(AddJump(kTestAlways));
    return;
  }
  ErrorAt(tokens_[1].IsKeyword() ? kErrKeyword : kErrExtraneous, 1);
}

void ZoltCompiler::OnSection() {
  if (inSection_) ErrorAt(kErrNestedSection, 0);
  inSection_ = true;
}

void ZoltCompiler::OnEndSection() {
  if (!inSection_) ErrorAt(kErrNoSection, 0);
  ZoltStatement* label = AddNoop();
  for (ZoltStatement* j : sectionExits_) j->t.SetTarget(label);
  sectionExits_.clear();
  inSection_ = false;
}

void ZoltCompiler::OnCaseOf() {
  if (tokens_.size() < 2) ErrorAt(kErrMissingMaterial, 1);
  const ZoltToken selector = Expression({1, tokens_.size()}, false, 0);
  ZoltStatement* dispatch = AddJump(kTestAlways);
  dispatch->a = selector.value;
  cases_.push_back(CaseEntry{dispatch, {}});
}

void ZoltCompiler::OnCase() {
  if (cases_.empty()) ErrorAt(kErrNoCaseOf, 0);
  if (tokens_.size() < 2 || tokens_[1].value.TypeTag() != ZoltValue::kInteger) ErrorAt(kErrCaseNumber, 1);
  const int32_t n = tokens_[1].value.Int();
  if (n < 0 || n > 255) ErrorAt(kErrCaseNumber, 1);
  for (const auto& c : cases_.back().cases)
    if (c.first == n) ErrorAt(kErrDuplicateCase, 1);
  // The jump ends the code before this case.
  cases_.back().cases.emplace_back(n, AddJump(kTestAlways));
}

void ZoltCompiler::OnEndCase() {
  if (cases_.empty()) ErrorAt(kErrNoCaseOf, 0);
  CaseEntry entry = std::move(cases_.back());
  cases_.pop_back();
  if (entry.cases.empty()) {
    entry.dispatch->op = kOpNoop;
    return;
  }
  ZoltStatement* end = AddNoop();
  int32_t highest = 0;
  for (const auto& c : entry.cases) highest = std::max(highest, c.first);
  // The code between CASE_OF and the first CASE is the default.
  ZoltStatement* byDefault = entry.dispatch->Next();
  std::vector<LinkListNode*> table(static_cast<size_t>(highest) + 1, byDefault);
  for (const auto& c : entry.cases) {
    table[static_cast<size_t>(c.first)] = c.second->Next();
    c.second->t.SetTarget(end);
  }
  ZoltStatement& d = *entry.dispatch;
  d.a.SetPlainKind(ZoltValue::kCaseSelector);
  d.b.SetCaseTable(std::move(table), byDefault);
  d.t.SetCaseHighest(static_cast<uint32_t>(highest));
}

void ZoltCompiler::OnArray() {
  const size_t n = tokens_.size();
  if (n < 2) ErrorAt(kErrMissingMaterial, 1);
  for (size_t i = 1;;) {
    if (i >= n) ErrorAt(kErrMissingMaterial, i);
    const ZoltToken& name = tokens_[i];
    if (!name.IsSymbol()) ErrorAt(kErrNotSymbol, i);
    ZoltSymbol& symbol = *name.Symbol();
    if (symbol.IsArray()) ErrorAt(kErrArrayArray, i);
    if (symbol.function) ErrorAt(kErrArrayFunction, i);
    if (i + 1 >= n || !tokens_[i + 1].IsOperator(kOperOpen)) ErrorAt(kErrSyntax, i + 1);
    const std::vector<Range> dims = Arguments(i + 1);
    if (dims.size() > static_cast<size_t>(kZoltSlots)) ErrorAt(kErrArgument, i + 1);
    std::vector<int32_t> sizes;
    for (const Range& d : dims) {
      if (d.Size() != 1) ErrorAt(kErrDimension, d.begin);
      const ZoltToken& t = tokens_[d.begin];
      ZoltValue v;
      if (t.value.TypeTag() == ZoltValue::kInteger) {
        v = t.value;
      } else if (t.IsSymbol() && !t.Symbol()->IsArray()) {
        v = t.Symbol()->value;
      } else if (t.IsIntrinsic()) {
        int32_t count = 0;
        bool readOnly = true;
        String letters;
        Describe(t, count, readOnly, letters);
        if (count == 0) {
          ZoltIntrinsicCall call;
          call.mode = ZoltIntrinsicCall::kEvaluate;
          call.code = t.value.Word();
          call.arguments = &zolt_.Executor().Slot(0);
          if (zolt_.CallIntrinsic(call)) v = call.value;
        }
      }
      if (v.TypeTag() != ZoltValue::kInteger || v.KindWord() != ZoltValue::kPlain || v.Int() < 1)
        ErrorAt(kErrDimension, d.begin);
      sizes.push_back(v.Int());
    }
    symbol.value.SetArray(std::make_unique<ZoltArray>(sizes));
    i = match_[i + 1] + 1;
    if (i >= n) break;
    if (!tokens_[i].IsOperator(kOperComma)) ErrorAt(kErrExtraneous, i);
    ++i;
  }
}

// name = value, element(i, ...) = value or intrinsic(...) = value: the
// value first, then the indices or arguments, then the move.
void ZoltCompiler::Assignment(size_t equals) {
  const size_t n = tokens_.size();
  if (equals == 0) ErrorAt(kErrLeftSide, equals);
  if (equals + 1 >= n) ErrorAt(kErrRightSide, equals);
  const ZoltToken right = Expression({equals + 1, n}, false, 0);
  const ZoltToken& left = tokens_[0];
  const bool opens = equals > 1 && tokens_[1].IsOperator(kOperOpen);
  if (left.IsSymbol() && !left.Symbol()->IsArray()) {
    if (opens) ErrorAt(kErrScalarArguments, 1);
    if (equals > 1) ErrorAt(kErrExtraneous, 1);
  } else if (left.IsSymbol()) {
    if (!opens) ErrorAt(kErrArgument, 0);
    if (match_[1] + 1 != equals) ErrorAt(kErrExtraneous, match_[1] + 1);
    const std::vector<Range> indices = Arguments(1);
    if (indices.size() > static_cast<size_t>(kZoltSlots)) ErrorAt(kErrArgument, 1);
    std::vector<ZoltToken> values;
    for (const Range& r : indices) {
      if (r.Empty()) ErrorAt(kErrSyntax, r.begin);
      values.push_back(Expression(r, false, 1));
    }
    for (size_t i = 0; i < values.size(); ++i) {
      ZoltStatement* m = Add(kOpMov);
      m->a = values[i].value;
      m->t.SetWordTag(ZoltValue::kSlot, static_cast<int32_t>(i));
    }
  } else if (left.IsIntrinsic()) {
    int32_t count = 0;
    bool readOnly = true;
    String letters;
    Describe(left, count, readOnly, letters);
    if (readOnly) ErrorAt(kErrNotAssignable, 0);
    if (count > 0) {
      if (!opens) ErrorAt(kErrArgument, 0);
      if (match_[1] + 1 != equals) ErrorAt(kErrExtraneous, match_[1] + 1);
      // Its arguments as a call would move them; the fetch that follows is dropped.
      ZoltToken fetched = CallOrIndex(left, 1, 1);
      ZoltStatement* fetch = static_cast<ZoltStatement*>(fetched.value.Node());
      delete static_cast<ZoltStatement*>(state_.statements.Remove(fetch));
    } else if (equals > 1) {
      ErrorAt(kErrExtraneous, 1);
    }
  } else {
    ErrorAt(kErrExtraneous, 0);
  }
  ZoltStatement* move = Add(kOpMov);
  move->a = right.value;
  move->t = left.value;
}

// A line of function names: each is called in turn.
void ZoltCompiler::CallList() {
  for (size_t i = 0; i < tokens_.size(); ++i) {
    if (!tokens_[i].IsSymbol()) ErrorAt(kErrFunctionExpected, i);
    ZoltStatement* call = Add(kOpJsr);
    call->t.SetNode(ZoltValue::kCalleeSymbol, tokens_[i].Symbol());
  }
}

// ---------------------------------------------------------------------------
// End of a definition

void ZoltCompiler::OnEnd() {
  if (!ifs_.empty()) ErrorAt(kErrMissingEndIf, 0);
  if (!cases_.empty()) ErrorAt(kErrMissingEndCase, 0);
  if (!loops_.empty()) ErrorAt(kErrMissingEndLoop, 0);
  if (inSection_) ErrorAt(kErrNoEndSection, 0);
  ZoltStatement* end = Add(kOpEnd);
  end->a.SetNode(ZoltValue::kEndHead, head_);
  for (ZoltStatement* j : exits_) j->t.SetTarget(end);
  // The argument slots that the function's own calls fill.
  uint32_t slots = 0;
  for (ZoltStatement* s = head_; s != end; s = s->Next())
    if (s->op == kOpMov && s->t.IsPlainKind() && s->t.TypeTag() == ZoltValue::kSlot)
      slots = std::max(slots, static_cast<uint32_t>(s->t.Word()) + 1);
  head_->flags = slots;
  EndPass(end);
  ended_ = true;
}

namespace {
// Calls every target of a jump or case dispatch, which may change it.
template <class Visit>
void ForEachTarget(ZoltStatement& s, Visit&& visit) {
  if (s.op != kOpJmp) return;
  if (s.Test() == kTestCase) {
    for (LinkListNode*& entry : s.b.Table()) visit(entry);
    LinkListNode* byDefault = s.b.DefaultTarget();
    visit(byDefault);
    s.b.SetDefaultTarget(byDefault);
  } else {
    LinkListNode* target = s.t.Target();
    visit(target);
    s.t.SetTarget(target);
  }
}

// The symbol that names a function in an operand, or null.
ZoltSymbol* NamedFunction(const ZoltValue& v) {
  if (!v.IsPlainKind() || v.TypeTag() != ZoltValue::kReference) return nullptr;
  auto* s = static_cast<ZoltSymbol*>(v.Node());
  return s->function ? s : nullptr;
}

// Moves the jumps to a statement onto the call put before it; they all lie
// in the statement's own function.
void Retarget(ZoltStatement* from, ZoltStatement* to) {
  ZoltStatement* head = from;
  while (head->op != kOpHead && head->Previous()) head = head->Previous();
  for (ZoltStatement* s = head; s; s = s->Next()) {
    ForEachTarget(*s, [from, to](LinkListNode*& t) {
      if (t == from) t = to;
    });
    if (s->op == kOpEnd) break;
  }
  from->jumpTarget = false;
  to->jumpTarget = true;
}
}  // namespace

// A call that knows no callee yet takes its symbol's function when there is
// one now; and a function name used as a value is called first: before a
// statement whose operand A (or B, except in a .JMP) names a function, a
// call of it is inserted, once for a run of such statements. A run ends at
// a statement that names no function and at every jump target; jumps to a
// statement move to the calls put before it. Only the new function's
// statements can need this, unless other statements name it: then the
// whole list is walked.
void ZoltCompiler::EndPass(ZoltStatement* end) {
  const uint32_t before = symbol_->references;
  for (ZoltStatement* s = head_;; s = s->Next()) {
    ForEachTarget(*s, [](LinkListNode*& t) { static_cast<ZoltStatement*>(t)->jumpTarget = true; });
    s->CountReferences();
    if (s == end) break;
  }
  const uint32_t inside = symbol_->references - before;
  const bool elsewhere = symbol_->references > inside;
  ZoltStatement* from = elsewhere ? state_.statements.FirstStatement() : head_;
  ZoltStatement* to = elsewhere ? nullptr : end->Next();

  std::vector<ZoltSymbol*> run;
  for (ZoltStatement* s = from; s != to; s = s->Next()) {
    if (s->jumpTarget) run.clear();
    if (s->op == kOpJsr) {
      ZoltSymbol* callee = s->CalleeSymbol();
      if (!s->Callee() && callee->function) s->a.SetNode(ZoltValue::kCallee, callee->function);
      run.push_back(callee);
      continue;
    }
    ZoltSymbol* named[2] = {NamedFunction(s->a), s->op == kOpJmp ? nullptr : NamedFunction(s->b)};
    if (!named[0] && !named[1]) {
      run.clear();
      continue;
    }
    ZoltStatement* first = nullptr;
    for (ZoltSymbol* f : named) {
      if (!f || std::find(run.begin(), run.end(), f) != run.end()) continue;
      auto* call = new ZoltStatement(kOpJsr);
      call->a.SetNode(ZoltValue::kCallee, f->function);
      call->b.SetControl(ZoltValue::kCallB);
      call->t.SetNode(ZoltValue::kCalleeSymbol, f);
      state_.statements.InsertBefore(s, call);
      call->CountReferences();
      if (!first) first = call;
      run.push_back(f);
    }
    if (first && s->jumpTarget) Retarget(s, first);
  }
}
