// The socket channels against a peer thread on the loopback: one value sent
// and answered (at most 200 us, with no stalls of delayed acknowledgements),
// and 10^5 values each way (at most 0.5 s). Listens on port 3335.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "base/command.h"
#include "bench_support.h"
#include "platform/net/socket.h"
#include "zolt/zolt_interpreter.h"
#include "zolt/zolt_intrinsics.h"

namespace {

constexpr int kChannel = 2;
constexpr size_t kFloatRecord = 12;

// An array symbol of n floats.
std::unique_ptr<ZoltSymbol> Floats(int n) {
  auto symbol = std::make_unique<ZoltSymbol>(String("a"));
  auto array = std::make_unique<ZoltArray>(std::vector<int32_t>{n});
  for (int i = 0; i < n; ++i) array->At(static_cast<uint32_t>(i)).SetFloat(i * 0.25);
  symbol->value.SetArray(std::move(array));
  return symbol;
}

// Opens the channel as a client to a peer thread that answers every
// `batch` float records with the same bytes, until the channel closes.
struct Link {
  ScriptProgram program;
  Socket peer;
  std::thread thread;
  bool ok = false;

  explicit Link(size_t batch) {
    if (!Socket::Listen(3333 + kChannel)) return;
    ZoltValue args[2];
    args[0].SetInt(0);
    args[1].SetInt(kChannel);
    const bool opened = ZoltSocketIo(program.zolt, 0, args) == 0;
    unsigned char word[4];
    ok = opened && peer.GetConnection(1000) && peer.Receive(word, 4, 0, 0, 1000) == 4;
    Socket::StopListening();
    if (!ok) return;
    thread = std::thread([this, batch] {
      std::vector<unsigned char> bytes(batch * kFloatRecord);
      while (peer.Receive(bytes.data(), bytes.size()) == bytes.size()) {
        peer.Send(bytes.data(), bytes.size());
        if (!peer.Flush()) break;
      }
    });
  }
  ~Link() {
    ZoltValue args[1];
    args[0].SetInt(kChannel);
    ZoltSocketIo(program.zolt, 1, args);
    if (thread.joinable()) thread.join();
  }
};

void Transfer(benchmark::State& state, int count) {
  Link link(static_cast<size_t>(count));
  if (!link.ok) {
    state.SkipWithError("no connection");
    return;
  }
  auto out = Floats(count), back = Floats(count);
  ZoltValue write[3], read[3];
  write[0].SetReference(out.get());
  read[0].SetReference(back.get());
  for (ZoltValue* args : {write, read}) {
    args[1].SetInt(kChannel);
    args[2].SetInt(count);
  }
  // The slowest exchange shows a stall that the average would hide; the
  // first on a new connection (the connection's windows still growing) is
  // shown apart.
  double slowest = 0.0, first = -1.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (ZoltSocketIo(link.program.zolt, 3, write) != 0 || ZoltSocketIo(link.program.zolt, 2, read) != 0) {
      state.SkipWithError("transfer failed");
      break;
    }
    const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    if (first < 0.0)
      first = us;
    else if (us > slowest)
      slowest = us;
  }
  state.counters["values each way"] = count;
  state.counters["slowest us"] = slowest;
  state.counters["first us"] = first;
}

void BM_SocketPingPong(benchmark::State& state) { Transfer(state, 1); }
BENCHMARK(BM_SocketPingPong)->Unit(benchmark::kMicrosecond);

void BM_SocketHundredThousandEachWay(benchmark::State& state) { Transfer(state, 100000); }
BENCHMARK(BM_SocketHundredThousandEachWay)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
