// The executor: runs a compiled function statement by statement on the flat
// statement list. Calls between functions run in the same loop on a call
// stack that keeps its storage; arguments and array indices pass through
// thirty argument slots.
#pragma once

#include <cstdint>
#include <vector>

#include "base/string.h"
#include "model/zolt_value.h"
#include "zolt/zolt_state.h"

class CommandType;
class ZoltInterpreter;

// The request block through which the compiler and the executor ask the
// interpreter about intrinsics: find a name, describe a code, assign to or
// evaluate an intrinsic.
struct ZoltIntrinsicCall {
  enum Mode : uint32_t { kFind = 0, kDescribe = 1, kAssign = 2, kEvaluate = 3 };
  uint32_t mode = kFind;
  int32_t code = -1;  // found code; -1 when no set knows the name
  int32_t argumentCount = 0;
  const char* name = nullptr;
  ZoltValue value;  // evaluate: the result; assign: the value given
  ZoltValue* arguments = nullptr;
  uint8_t readOnly = 1;
  String argumentLetters;  // "a" an argument passed as a whole array, "v" a value
};

class ZoltExecutor {
 public:
  explicit ZoltExecutor(ZoltInterpreter& owner) : owner_(owner) {}

  // Runs the function of a HEAD to its .END (nothing for none). A function
  // that is already running, as a callee or from the top, is refused with
  // code 16. An error leaves the loop at once; the functions it ends are no
  // longer running.
  void Execute(CommandType& interp, ZoltStatement* head);
  // Whether any function is running.
  bool Running() const { return depth_ > 0; }
  // The argument slots and the call stack back to their start (NEW).
  void Reset();

  ZoltValue& Slot(int i) { return slots_[i]; }
  // The function or word a message speaks of (codes 16, 18, 38).
  const String& MessageName() const { return messageName_; }
  // The interpreter of the last run (the intrinsics' console).
  CommandType* Interp() const { return interp_; }

 private:
  struct Frame {
    ZoltStatement* head;
    ZoltStatement* resume;
    uint32_t saved;  // first of its saved slots in saved_
    uint32_t count;
  };

  void Run(CommandType& interp, ZoltStatement* s, size_t base);
  void Unwind(size_t base);
  const ZoltValue& Fetch(const ZoltValue& v, ZoltValue& temp);
  void Store(ZoltValue& target, const ZoltValue& v);
  ZoltValue& Element(ZoltSymbol& symbol);
  void Arithmetic(uint32_t op, const ZoltValue& a, const ZoltValue& b, ZoltValue& r);
  bool Compare(int32_t test, const ZoltValue& a, const ZoltValue& b);
  ZoltStatement* Dispatch(const ZoltStatement& s);
  ZoltStatement* Call(ZoltStatement& s);
  void RunCommands(CommandType& interp, const ZoltStatement& s);
  [[noreturn]] void Fail(int code, const String& name = String());

  ZoltInterpreter& owner_;
  CommandType* interp_ = nullptr;
  ZoltValue slots_[kZoltSlots];
  std::vector<Frame> frames_;
  std::vector<ZoltValue> saved_;
  uint32_t wholeArray_ = 0;
  uint32_t ticks_ = 0;
  int depth_ = 0;
  String messageName_;
  ZoltValue tempA_, tempB_, result_;
  ZoltIntrinsicCall call_;
};
