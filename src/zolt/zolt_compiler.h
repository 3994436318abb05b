// The compiler of DEFINE blocks: reads the lines of one function up to END
// and appends their three-operand statements to the state's statement list.
// One pass, line by line, with stacks for the open control structures and
// one pass over the whole list at END that resolves calls.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/zolt_value.h"
#include "zolt/zolt_state.h"

class CommandType;
class ZoltInterpreter;

// Operator codes of tokens (tag 4).
enum ZoltOperator : int32_t {
  kOperPower = 1,
  kOperDivide = 2,
  kOperMultiply = 3,
  kOperMinus = 4,
  kOperPlus = 5,
  kOperOpen = 6,
  kOperClose = 7,
  kOperEquals = 8,
  kOperComma = 9,
  kOperGreater = 12,
  kOperLess = 13,
  kOperNotEqual = 14,
  kOperGreaterEqual = 15,
  kOperLessEqual = 16
};

// Statement keywords (tag 8).
enum ZoltKeyword : int32_t {
  kKwDef = 1,
  kKwEnd,
  kKwCommand,
  kKwWhileStepping,
  kKwLoop,
  kKwEndLoop,
  kKwIf,
  kKwThen,
  kKwElse,
  kKwExit,
  kKwEndIf,
  kKwEndCommand,
  kKwConstitutiveModel,
  kKwFProp,
  kKwInt,
  kKwFloat,
  kKwString,
  kKwCaseOf,
  kKwCase,
  kKwEndCase,
  kKwWhile,
  kKwSection,
  kKwEndSection,
  kKwArray
};

// One token of a line: a number, a text, an operator, a keyword, an
// intrinsic, a symbol, or a compiled sub-expression (the statement holding
// its result); the column of its first character in the line.
struct ZoltToken {
  ZoltValue value;
  int column = 0;
  bool wholeArray = false;

  bool IsOperator(int32_t code) const { return value.TypeTag() == ZoltValue::kOperator && value.Word() == code; }
  bool IsOperator() const { return value.TypeTag() == ZoltValue::kOperator; }
  bool IsKeyword(int32_t code) const { return value.TypeTag() == ZoltValue::kKeyword && value.Word() == code; }
  bool IsKeyword() const { return value.TypeTag() == ZoltValue::kKeyword; }
  bool IsSymbol() const { return value.TypeTag() == ZoltValue::kReference; }
  bool IsIntrinsic() const { return value.TypeTag() == ZoltValue::kIntrinsic; }
  ZoltSymbol* Symbol() const { return static_cast<ZoltSymbol*>(value.Node()); }
};

class ZoltCompiler {
 public:
  ZoltCompiler(ZoltInterpreter& zolt, CommandType& interp);
  // DEFINE name, then the lines up to END. A failed definition leaves no
  // function of that name behind.
  void Define();
  // Cuts a line into tokens; the columns count from `offset`. Names become
  // keywords, intrinsics or symbols (made when missing).
  std::vector<ZoltToken> Tokenize(const std::string& line, int offset);

  // The statement keyword spelled by a word, or 0.
  static int32_t KeywordCode(const String& word);

 private:
  using Tokens = std::vector<ZoltToken>;
  struct Range {
    size_t begin, end;
    bool Empty() const { return begin >= end; }
    size_t Size() const { return end - begin; }
  };
  struct IfEntry {
    ZoltStatement* jump;
    bool hasElse;
  };
  struct LoopEntry {
    ZoltStatement* testFirst;  // LOOP WHILE: the first statement of the test
    ZoltStatement* top;        // the counted loop's top; the test's jump for LOOP WHILE
    ZoltValue variable;
    ZoltValue end;
  };
  struct CaseEntry {
    ZoltStatement* dispatch;
    std::vector<std::pair<int32_t, ZoltStatement*>> cases;
  };
  using Handler = void (ZoltCompiler::*)();
  struct KeywordEntry {
    const char* word;
    int32_t code;
    Handler handler;
  };
  static const KeywordEntry kKeywords[];

  [[noreturn]] void Error(int code, int column);
  [[noreturn]] void ErrorAt(int code, size_t token);
  bool CompileLine(const String& raw);
  void CommandBlockLine(const String& line);
  void CheckLine();
  void MatchParentheses();
  void RemoveFunction();
  void DeleteFunction(ZoltSymbol& symbol);
  void EndPass(ZoltStatement* end);

  ZoltStatement* Add(uint32_t op);
  ZoltStatement* AddJump(int32_t test);
  ZoltStatement* AddNoop() { return Add(kOpNoop); }
  ZoltToken ResultOf(ZoltStatement* s, int column);

  ZoltToken Expression(Range r, bool wholeAllowed, int depth);
  ZoltToken CallOrIndex(const ZoltToken& callee, size_t open, int depth);
  std::vector<Range> Arguments(size_t open) const;
  void Describe(const ZoltToken& intrinsic, int32_t& count, bool& readOnly, String& letters);
  ZoltStatement* Condition(Range r);
  ZoltValue Operand(const ZoltToken& t);

  void OnInappropriate();
  void OnIgnored();
  void OnEnd();
  void OnCommand();
  void OnWhileStepping();
  void OnLoop();
  void OnEndLoop();
  void OnIf();
  void OnElse();
  void OnExit();
  void OnEndIf();
  void OnCaseOf();
  void OnCase();
  void OnEndCase();
  void OnSection();
  void OnEndSection();
  void OnArray();
  void Assignment(size_t equals);
  void CallList();

  ZoltInterpreter& zolt_;
  CommandType& interp_;
  ZoltState& state_;
  ZoltSymbol* symbol_ = nullptr;
  ZoltStatement* head_ = nullptr;
  bool ended_ = false;
  bool caret_ = true;

  // The line being compiled.
  int offset_ = 0;
  Tokens tokens_;
  std::vector<size_t> match_;  // the other parenthesis of each parenthesis token

  std::vector<IfEntry> ifs_;
  std::vector<LoopEntry> loops_;
  std::vector<CaseEntry> cases_;
  std::vector<ZoltStatement*> exits_;
  std::vector<ZoltStatement*> sectionExits_;
  bool inSection_ = false;
  int commandDepth_ = 0;
  ZoltStatement* command_ = nullptr;
};
