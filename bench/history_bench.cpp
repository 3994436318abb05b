// Histories and tables: one sample of 100 histories, reading 10^5 records of
// 100 histories back into a file, ascending sorted inserts into a table, and
// interpolation at rising x.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "zolt/history.h"
#include "zolt/table.h"

namespace {

double g_value = 1.0;

class ConstantHistory : public History {
 public:
  uint32_t TypeCode() const override { return kUnbal; }
  double Measure() override { return g_value; }
};

class BenchModule : public HistoryModule {
 public:
  std::unique_ptr<History> Create(uint32_t) override { return std::make_unique<ConstantHistory>(); }
};

void Fill(BenchModule& m, int histories) {
  for (int i = 0; i < histories; ++i) m.Add(std::make_unique<ConstantHistory>());
}

// One record of 100 histories: at most 20 us.
void BM_Sample100Histories(benchmark::State& state) {
  BenchModule m;
  Fill(m, 100);
  uint32_t step = 0;
  for (auto _ : state) {
    g_value += 1.0;
    m.Sample(++step);
    if (step % 100000 == 0) m.Purge();  // keeps the temporary file small
  }
}
BENCHMARK(BM_Sample100Histories);

// 10^5 records of 100 histories written to a text file: at most 1 s.
void BM_Write100kRecordsToFile(benchmark::State& state) {
  BenchModule m;
  Fill(m, 100);
  for (uint32_t step = 1; step <= 100000; ++step) m.Sample(step);
  HistorySelection sel;
  for (uint32_t i = 0; i < m.Count(); ++i) sel.entries.push_back({0, 0, m.At(i), 0.0, 0});
  const char* name = "history_bench.his";
  for (auto _ : state) {
    std::ofstream os(name);
    m.WriteTable(os, sel);
  }
  std::remove(name);
}
BENCHMARK(BM_Write100kRecordsToFile)->Unit(benchmark::kMillisecond)->Iterations(1);

// 10^5 ascending sorted inserts: at most 0.1 s.
void BM_AscendingInserts(benchmark::State& state) {
  for (auto _ : state) {
    Table t(1, "UnNamed");
    for (int i = 0; i < 100000; ++i) t.Insert(i, i);
    benchmark::DoNotOptimize(t.Count());
  }
}
BENCHMARK(BM_AscendingInserts)->Unit(benchmark::kMillisecond);

// Interpolation at rising x over a table of 10^5 points: O(1) per call.
void BM_InterpolateRising(benchmark::State& state) {
  Table t(1, "UnNamed");
  for (int i = 0; i < 100000; ++i) t.Append(i, 2.0 * i);
  double x = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.Interpolate(x));
    x += 0.25;
    if (x > 99999) x = 0.0;
  }
}
BENCHMARK(BM_InterpolateRising);

// The applied conditions' look-up of a table by number among 1000 tables.
void BM_TableByNumber(benchmark::State& state) {
  Table2List list;
  for (uint32_t i = 1; i <= 1000; ++i) list.GetOrCreateById(i).Append(0, i);
  uint32_t n = 0;
  for (auto _ : state) {
    n = n % 1000 + 1;
    benchmark::DoNotOptimize(list.FindById(n)->Interpolate(1.0));
  }
}
BENCHMARK(BM_TableByNumber);

}  // namespace

BENCHMARK_MAIN();
