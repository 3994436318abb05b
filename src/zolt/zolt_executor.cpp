#include "zolt/zolt_executor.h"

#include <climits>
#include <cmath>
#include <memory>

#include "base/command.h"
#include "base/logstream.h"
#include "zolt/zolt_error.h"
#include "zolt/zolt_interpreter.h"

namespace {
// ESC is polled once every this many statements.
constexpr uint32_t kPollMask = 0xFFFF;

// The lines of a COMMAND block as an input source. The block ends after its
// last line; an empty line inside it is a blank command.
class ZoltFunctionSource : public CommandSource {
 public:
  static constexpr unsigned char kKind = 3;
  ZoltFunctionSource(const std::vector<String>& lines, CommandType& interp)
      : CommandSource(kKind), lines_(lines), interp_(interp) {}

  String ReadLine(const String&) override {
    if (interp_.EscPressed()) throw ESCInterrupt();
    if (next_ >= lines_.size()) return String();
    const String& line = lines_[next_++];
    if (!line.IsEmpty()) return line;
    return next_ >= lines_.size() ? String() : String(" ");
  }
  bool ReportsEnd() const override { return true; }
  String Name() const override { return String("ZOLT Function"); }

 private:
  // A copy: the source may outlive the statement when an error ends the block.
  std::vector<String> lines_;
  size_t next_ = 0;
  CommandType& interp_;
};

ZoltStatement* AsStatement(LinkListNode* n) { return static_cast<ZoltStatement*>(n); }
ZoltSymbol* AsSymbol(LinkListNode* n) { return static_cast<ZoltSymbol*>(n); }

// An integer or real operand as a real.
inline double Real(const ZoltValue& v) { return v.TypeTag() == ZoltValue::kInteger ? v.Int() : v.Float(); }

// Integer arithmetic wraps as 32-bit two's complement.
int32_t Wrap(uint32_t v) { return static_cast<int32_t>(v); }

int32_t IntPower(int32_t a, int32_t b) {
  if (a == 0 || b < 0) return 0;
  // Squaring gives the product of b factors modulo 2^32 in log2(b) steps.
  uint32_t base = static_cast<uint32_t>(a), result = 1;
  for (uint32_t e = static_cast<uint32_t>(b); e; e >>= 1) {
    if (e & 1u) result *= base;
    base *= base;
  }
  return Wrap(result);
}

// A real raised to an integer as repeated multiplication or division, ended
// early once the result can no longer change.
double RealIntPower(double a, int32_t b) {
  if (a == 0.0) return 0.0;
  double r = 1.0;
  const bool up = b > 0;
  uint32_t n = b < 0 ? 0u - static_cast<uint32_t>(b) : static_cast<uint32_t>(b);
  if (a == 1.0) return 1.0;
  if (a == -1.0) return (n & 1u) ? -1.0 : 1.0;
  for (; n; --n) {
    r = up ? r * a : r / a;
    if (r == 0.0 || std::isinf(r) || std::isnan(r)) {
      // Zero and infinity stay what they are (a negative base only flips the sign).
      if (a < 0.0 && ((n - 1) & 1u)) r = -r;
      break;
    }
  }
  return r;
}
}  // namespace

void ZoltExecutor::Fail(int code, const String& name) {
  if (!name.IsEmpty()) messageName_ = name;
  ZoltError(code, nullptr, -1, messageName_);
}

void ZoltExecutor::Reset() {
  for (ZoltValue& s : slots_) s.SetInt(0);
  frames_.clear();
  saved_.clear();
  wholeArray_ = 0;
  depth_ = 0;
}

void ZoltExecutor::Execute(CommandType& interp, ZoltStatement* head) {
  if (!head) return;
  interp_ = &interp;
  if (head->running) Fail(kErrRecursion, head->HeadSymbol() ? head->HeadSymbol()->name : String());
  const size_t base = frames_.size();
  head->running = true;
  ++depth_;
  try {
    Run(interp, head, base);
  } catch (...) {
    Unwind(base);
    head->running = false;
    --depth_;
    throw;
  }
  head->running = false;
  --depth_;
}

void ZoltExecutor::Unwind(size_t base) {
  while (frames_.size() > base) {
    frames_.back().head->running = false;
    saved_.resize(frames_.back().saved);
    frames_.pop_back();
  }
}

ZoltValue& ZoltExecutor::Element(ZoltSymbol& symbol) {
  ZoltArray& array = *symbol.value.Array();
  const int n = array.Dimensions();
  int32_t indices[kZoltSlots];
  for (int d = 0; d < n; ++d) {
    const ZoltValue& v = slots_[d];
    if (v.TypeTag() != ZoltValue::kInteger) Fail(kErrIndexNotInteger);
    if (v.Int() < 1 || v.Int() > array.Size(d)) throw ZoltExcept("Array index out of range");
    indices[d] = v.Int();
  }
  return array.At(array.LinearIndex(indices));
}

const ZoltValue& ZoltExecutor::Fetch(const ZoltValue& v, ZoltValue& temp) {
  switch (v.TypeTag()) {
    case ZoltValue::kInteger:
    case ZoltValue::kFloat:
    case ZoltValue::kString:
    case ZoltValue::kPointer:
      return v;
    case ZoltValue::kResult:
      return AsStatement(v.Node())->t;
    case ZoltValue::kReference: {
      ZoltSymbol& s = *AsSymbol(v.Node());
      if (s.value.TypeTag() != ZoltValue::kArray) return s.value;
      if (wholeArray_) return v;
      return Element(s);
    }
    case ZoltValue::kIntrinsic:
      call_.mode = ZoltIntrinsicCall::kEvaluate;
      call_.code = v.Word();
      call_.arguments = slots_;
      if (!owner_.CallIntrinsic(call_)) Fail(kErrTypeConversion);
      temp = call_.value;
      return temp;
    case ZoltValue::kSlot:
      return slots_[v.Word()];
    default:
      Fail(kErrTypeConversion);
  }
}

void ZoltExecutor::Store(ZoltValue& target, const ZoltValue& v) {
  switch (target.TypeTag()) {
    case ZoltValue::kInteger:
    case ZoltValue::kFloat:
    case ZoltValue::kString:
    case ZoltValue::kPointer:
      target = v;
      return;
    case ZoltValue::kResult:
      AsStatement(target.Node())->t = v;
      return;
    case ZoltValue::kReference: {
      ZoltSymbol& s = *AsSymbol(target.Node());
      if (s.value.TypeTag() == ZoltValue::kArray && !wholeArray_)
        Element(s) = v;
      else
        s.value = v;
      return;
    }
    case ZoltValue::kIntrinsic:
      call_.mode = ZoltIntrinsicCall::kAssign;
      call_.code = target.Word();
      call_.arguments = slots_;
      call_.value = v;
      if (!owner_.CallIntrinsic(call_)) Fail(kErrNotAssignable);
      return;
    case ZoltValue::kSlot:
      slots_[target.Word()] = v;
      return;
    default:
      Fail(kErrTypeConversion);
  }
}

void ZoltExecutor::Arithmetic(uint32_t op, const ZoltValue& a, const ZoltValue& b, ZoltValue& r) {
  const uint32_t ta = a.TypeTag(), tb = b.TypeTag();
  if (ta == ZoltValue::kInteger && tb == ZoltValue::kInteger) {
    const int32_t x = a.Int(), y = b.Int();
    const uint32_t ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    switch (op) {
      case kOpAdd:
        r.SetInt(Wrap(ux + uy));
        return;
      case kOpSub:
        r.SetInt(Wrap(ux - uy));
        return;
      case kOpMul:
        r.SetInt(Wrap(ux * uy));
        return;
      case kOpDiv:
        if (y == 0) Fail(kErrDivideByZero);
        r.SetInt(y == -1 ? Wrap(0u - ux) : x / y);  // the lowest integer over -1 stays itself
        return;
      default:
        r.SetInt(IntPower(x, y));
        return;
    }
  }
  if (a.IsNumeric() && b.IsNumeric()) {
    const double x = Real(a), y = Real(b);
    switch (op) {
      case kOpAdd:
        r.SetFloat(x + y);
        return;
      case kOpSub:
        r.SetFloat(x - y);
        return;
      case kOpMul:
        r.SetFloat(x * y);
        return;
      case kOpDiv:
        if (y == 0.0) Fail(kErrDivideByZero);
        r.SetFloat(x / y);
        return;
      default:
        if (tb == ZoltValue::kInteger) {
          r.SetFloat(RealIntPower(x, b.Int()));
        } else {
          if (x == 0.0) {
            r.SetFloat(0.0);
            return;
          }
          if (x < 0.0) Fail(kErrNegativePower);
          r.SetFloat(std::pow(x, y));
        }
        return;
    }
  }
  if (op == kOpAdd && ta == ZoltValue::kString && tb == ZoltValue::kString) {
    r.SetString(a.Str() + b.Str());
    return;
  }
  if (op == kOpAdd && ((ta == ZoltValue::kPointer && tb == ZoltValue::kInteger) ||
                       (ta == ZoltValue::kInteger && tb == ZoltValue::kPointer))) {
    const ZoltValue& p = ta == ZoltValue::kPointer ? a : b;
    const int32_t step = ta == ZoltValue::kPointer ? b.Int() : a.Int();
    if (p.KindWord() != ZoltValue::kMemoryPointer) throw ZoltExcept("Pointer arithmetic on memory pointers only");
    ZoltMemBlock* block = p.Block();
    if (!owner_.State().Live(block)) throw ZoltExcept("Bad memory pointer");
    const int64_t at = (p.Element() - block->Elements()) + int64_t{step};
    if (at < 0 || at >= block->Count()) throw ZoltExcept("Memory pointer moved out of valid range");
    r.SetMemoryPointer(block, block->Elements() + at);
    return;
  }
  Fail(kErrTypeConversion);
}

bool ZoltExecutor::Compare(int32_t test, const ZoltValue& a, const ZoltValue& b) {
  const uint32_t ta = a.TypeTag(), tb = b.TypeTag();
  int sign;
  if (ta == ZoltValue::kInteger && tb == ZoltValue::kInteger) {
    sign = a.Int() < b.Int() ? -1 : a.Int() > b.Int() ? 1 : 0;
  } else if (a.IsNumeric() && b.IsNumeric()) {
    const double x = Real(a), y = Real(b);
    if (x != x || y != y) return test == kTestNotEqual;  // no number equals or orders
    sign = x < y ? -1 : x > y ? 1 : 0;
  } else if (ta == ZoltValue::kString && tb == ZoltValue::kString) {
    if (test != kTestEqual && test != kTestNotEqual) Fail(kErrStringCompare);
    sign = a.Str().CompareString(b.Str()) == 0 ? 0 : 1;
  } else if (ta == ZoltValue::kPointer && tb == ZoltValue::kPointer) {
    if (test != kTestEqual && test != kTestNotEqual) Fail(kErrPointerCompare);
    sign = a.Pointer() == b.Pointer() ? 0 : 1;
  } else {
    Fail(kErrTypeConversion);
  }
  switch (test) {
    case kTestEqual:
      return sign == 0;
    case kTestGreater:
      return sign > 0;
    case kTestLess:
      return sign < 0;
    case kTestNotEqual:
      return sign != 0;
    case kTestGreaterEqual:
      return sign >= 0;
    default:
      return sign <= 0;
  }
}

// A case dispatch: the case of the selector's value, else the default.
ZoltStatement* ZoltExecutor::Dispatch(const ZoltStatement& s) {
  const ZoltValue& v = Fetch(s.a, tempA_);
  int64_t i;
  if (v.TypeTag() == ZoltValue::kInteger) {
    i = v.Int();
  } else if (v.TypeTag() == ZoltValue::kFloat) {
    const double d = std::trunc(v.Float());
    i = (d >= 0.0 && d <= 255.0) ? static_cast<int64_t>(d) : -1;
  } else {
    Fail(kErrTypeConversion);
  }
  const std::vector<LinkListNode*>& table = s.b.Table();
  if (i >= 0 && i < static_cast<int64_t>(table.size())) return AsStatement(table[static_cast<size_t>(i)]);
  return AsStatement(s.b.DefaultTarget());
}

// A .JSR: the callee's HEAD is resolved once and kept; the caller's
// argument slots that the callee uses are kept on the call stack.
ZoltStatement* ZoltExecutor::Call(ZoltStatement& s) {
  ZoltStatement* callee = s.Callee();
  if (!callee) {
    ZoltSymbol* symbol = s.CalleeSymbol();
    callee = symbol->function;
    if (!callee) Fail(kErrNotFunction, symbol->name);
    s.a.SetNode(ZoltValue::kCallee, callee);
  }
  if (callee->running) Fail(kErrRecursion, callee->HeadSymbol()->name);
  const uint32_t n = callee->flags;
  frames_.push_back(Frame{callee, s.Next(), static_cast<uint32_t>(saved_.size()), n});
  for (uint32_t i = 0; i < n; ++i) saved_.emplace_back(std::move(slots_[i]));  // leaves integer 0 behind
  callee->running = true;
  return callee;
}

void ZoltExecutor::RunCommands(CommandType& interp, const ZoltStatement& s) {
  interp.PushSource(std::make_unique<ZoltFunctionSource>(s.a.Lines(), interp));
  if (interp.Process(String("Zolt>"))) throw ZoltExcept("New not allowed in ZOLT command block");
}

void ZoltExecutor::Run(CommandType& interp, ZoltStatement* s, size_t base) {
  for (;;) {
    if ((++ticks_ & kPollMask) == 0 && interp.EscPressed()) throw ESCInterrupt();
    wholeArray_ = s->flags;
    switch (s->op) {
      case kOpExp:
      case kOpDiv:
      case kOpMul:
      case kOpSub:
      case kOpAdd: {
        const ZoltValue& a = Fetch(s->a, tempA_);
        const ZoltValue& b = Fetch(s->b, tempB_);
        Arithmetic(s->op, a, b, result_);
        Store(s->t, result_);
        break;
      }
      case kOpMov:
        Store(s->t, Fetch(s->a, tempA_));
        break;
      case kOpEnd: {
        if (frames_.size() == base) return;
        Frame& f = frames_.back();
        for (uint32_t i = 0; i < f.count; ++i) slots_[i] = std::move(saved_[f.saved + i]);
        saved_.resize(f.saved);
        f.head->running = false;
        s = f.resume;
        frames_.pop_back();
        continue;
      }
      case kOpJsr:
        s = Call(*s);
        break;
      case kOpJmp: {
        const int32_t test = s->Test();
        if (test == kTestAlways) {
          s = s->JumpTarget();
          continue;
        }
        if (test == kTestCase) {
          s = Dispatch(*s);
          continue;
        }
        const ZoltValue& a = Fetch(s->a, tempA_);
        const ZoltValue& b = Fetch(s->b, tempB_);
        if (Compare(test, a, b)) {
          s = s->JumpTarget();
          continue;
        }
        break;
      }
      case kOpCommand:
        RunCommands(interp, *s);
        break;
      default:
        break;  // NOOP, HEAD, .NEG and unknown codes do nothing
    }
    s = s->Next();
  }
}
