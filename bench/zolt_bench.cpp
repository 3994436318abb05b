// The scripting language: one call of a small numeric function (as a
// function registered to run in every step would be called), and the
// compilation of many functions. A call must cost well under a microsecond;
// a thousand definitions of twenty lines must take under a second.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/command.h"
#include "bench_support.h"
#include "zolt/zolt_interpreter.h"

namespace {

// Twenty statements: a counted loop of three passes around an IF and ELSE,
// real arithmetic before and after.
const char* const kNumeric =
    "define numeric\n"
    "  s = 0.0\n"
    "  loop i (1, 3)\n"
    "    if i > 1 then\n"
    "      s = s + i * 0.5\n"
    "    else\n"
    "      s = s - 1.0\n"
    "    end_if\n"
    "  end_loop\n"
    "  result = s * 2.0 / 3.0 + 1.0\n"
    "end\n";

void BM_NumericFunctionCall(benchmark::State& state) {
  ScriptProgram p;
  p.Type(kNumeric);
  ZoltStatement* head = p.zolt.State().symbols.Find(String("numeric"))->function;
  int statements = 0;
  for (ZoltStatement* s = head; s; s = s->Next()) ++statements;
  for (auto _ : state) p.zolt.Execute(p.interp, head);
  state.counters["statements"] = statements;
}
BENCHMARK(BM_NumericFunctionCall);

// The scripting level's share of one step: the numeric function registered
// under callback 0, and the sixteen other points of a step without
// registrations.
void BM_ZoltCallsOfAStep(benchmark::State& state) {
  ScriptProgram p;
  p.Type(kNumeric);
  if (state.range(0)) p.Type("set zoltcall 0 numeric\n");
  const int points[] = {2, 0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17, 18};
  for (auto _ : state)
    for (int n : points) p.zolt.ZoltCall(p.interp, n);
}
BENCHMARK(BM_ZoltCallsOfAStep)->Arg(0)->Arg(1);

// A thousand functions of twenty lines, each calling the one before it
// through its value.
std::string ManyDefinitions(int count) {
  std::string text;
  for (int f = 0; f < count; ++f) {
    const std::string name = "fun" + std::to_string(f);
    text += "define " + name + "\n";
    text += "  a" + std::to_string(f) + " = " + (f ? "fun" + std::to_string(f - 1) : std::string("1")) + " + 1\n";
    for (int line = 0; line < 7; ++line) {
      const std::string v = "v" + std::to_string(line);
      text += "  " + v + " = " + v + " * 2 + a" + std::to_string(f) + " / 3 - 1\n";
    }
    text += "  loop k (1, 4)\n";
    text += "    if k > 2 then\n";
    text += "      w = w + k\n";
    text += "    else\n";
    text += "      w = w - 1\n";
    text += "    end_if\n";
    text += "  end_loop\n";
    text += "  case_of w\n  case 1\n    w = 0\n  end_case\n";
    text += "  " + name + " = w\n";
    text += "end\n";
  }
  return text;
}

void BM_ThousandDefinitions(benchmark::State& state) {
  ScriptProgram p;
  const std::string text = ManyDefinitions(1000);
  for (auto _ : state) {
    p.zolt.Clear(p.interp);
    p.Type(text);
  }
  state.counters["statements"] = p.zolt.State().statements.Count();
}
BENCHMARK(BM_ThousandDefinitions)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
