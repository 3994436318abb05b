// The scripting language's intrinsics: one core call through the dispatch
// (at most 30 ns), the memory-block calls, and a million values written to
// a binary file (at most 0.3 s).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "base/command.h"
#include "bench_support.h"
#include "zolt/zolt_interpreter.h"
#include "zolt/zolt_intrinsics.h"

namespace {

// One evaluation request as the executor makes it.
void BM_CoreIntrinsicCall(benchmark::State& state) {
  ScriptProgram p;
  ZoltValue args[2];
  args[0].SetFloat(2.5);
  args[1].SetInt(1);
  ZoltIntrinsicCall call;
  call.mode = ZoltIntrinsicCall::kEvaluate;
  call.code = static_cast<int32_t>(state.range(0));  // 13 max, 19 sqrt
  call.arguments = args;
  for (auto _ : state) {
    p.zolt.CallIntrinsic(call);
    benchmark::DoNotOptimize(call.value);
  }
}
BENCHMARK(BM_CoreIntrinsicCall)->Arg(13)->Arg(19);

// get_mem, mem and lose_mem on a list that already holds many blocks: the
// cost does not grow with their number.
void BM_MemoryBlockCycle(benchmark::State& state) {
  ScriptProgram p;
  ZoltValue args[2];
  ZoltIntrinsicCall call;
  call.arguments = args;
  call.mode = ZoltIntrinsicCall::kEvaluate;
  args[0].SetInt(4);
  for (int64_t i = 0; i < state.range(0); ++i) {
    call.code = 31;
    p.zolt.CallIntrinsic(call);
  }
  for (auto _ : state) {
    call.code = 31;
    args[0].SetInt(4);
    p.zolt.CallIntrinsic(call);
    args[0] = call.value;
    call.code = 33;
    p.zolt.CallIntrinsic(call);
    args[1] = args[0];
    call.code = 32;
    p.zolt.CallIntrinsic(call);
  }
  state.counters["blocks"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_MemoryBlockCycle)->Arg(0)->Arg(10000);

// A million reals written through "write" in one call.
void BM_WriteMillionValues(benchmark::State& state) {
  constexpr int kCount = 1000000;
  std::vector<int32_t> sizes{kCount};
  ZoltSymbol symbol(String("a"));
  auto array = std::make_unique<ZoltArray>(sizes);
  for (int i = 0; i < kCount; ++i) array->At(static_cast<uint32_t>(i)).SetFloat(i * 0.5);
  symbol.value.SetArray(std::move(array));
  ZoltValue args[3];
  for (auto _ : state) {
    args[0].SetText("zolt_bench_values.bin");
    args[1].SetInt(1);
    args[2].SetInt(0);
    if (ZoltFileIo(0, args) != 0) state.SkipWithError("open failed");
    args[0].SetReference(&symbol);
    args[1].SetInt(kCount);
    ZoltFileIo(3, args);
    ZoltFileIo(1, args);
  }
  std::remove("zolt_bench_values.bin");
}
BENCHMARK(BM_WriteMillionValues)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
