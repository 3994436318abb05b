// The step on several threads gives the serial step's bits: the saved model
// after a run is byte for byte the same at 1 and at 4 threads, and from run
// to run, on grids whose chunks share grid-points.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/temp_dir.h"
#include "mechanics/cycle_fixture.h"
#include "mechanics/step_chunks.h"
#include "support/untimed_save.h"

namespace {

class StepThreadsTest : public CycleTest {
 protected:
  void SetUp() override {
    CycleTest::SetUp();
    threads_ = StepThreads();
    SetStepChunkMinimum(1, 1);  // small grids on threads too
  }
  void TearDown() override {
    SetStepThreads(threads_);
    SetStepChunkMinimum(kStepChunkZones, kStepChunkGps);
    CycleTest::TearDown();
  }

  // What a run on a fresh model with that many threads leaves.
  struct Outcome {
    std::string saved;     // the saved model
    std::string error;     // what stopped the last line
    bool chunked = false;  // the threaded passes ran with grid-points shared between chunks
    int yielding = 0;
    double moved = 0.0;
  };
  Outcome RunFresh(int threads, const std::vector<const char*>& lines,
                   const std::function<void()>& beforeLast = nullptr) {
    SetStepThreads(threads);
    FakeDevice out;
    MacroTable table;
    ModelInterpreter fresh(&table, &out);
    InstallSubsystems(fresh.TheModel());
    InstallMechanicsCycle();
    Outcome o;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i + 1 == lines.size() && beforeLast) beforeLast();
      RunLines(fresh, out, {lines[i]});
    }
    const std::string said = out.Take();
    if (const size_t at = said.find("Illegal"); at != std::string::npos)
      o.error = said.substr(at, said.find('\n', at) - at);
    RunLines(fresh, out, {"save run.sav"});
    o.saved = UntimedSave(TempDir::Read("run.sav"));
    const ZoneChunks* zones = CurrentZoneChunks(threads);
    o.chunked = zones && zones->chunks.size() >= static_cast<size_t>(threads) && !zones->shared.empty() &&
                ZonesThreadable() && CurrentGpChunks(threads) && GridPointsThreadable(Settings().timestep);
    for (GridPoint* gp : GridPointList()) o.moved += std::fabs(gp->displacement[2]);
    for (Zone* zone : ZoneList())
      if (zone->Tetra(0)) o.yielding += zone->Tetra(0)[0].state != 0;
    return o;
  }

  int threads_ = 1;
};

const char* const kSides[] = {"fix x range x -0.1 0.1", "fix y range y -0.1 0.1", "fix z range z -0.1 0.1",
                              "set gravity 10"};

std::vector<const char*> Lines(std::initializer_list<const char*> head, std::initializer_list<const char*> tail) {
  std::vector<const char*> lines{"set hist_rep 1000000"};  // no history samples kept across the runs
  lines.insert(lines.end(), head);
  lines.insert(lines.end(), std::begin(kSides), std::end(kSides));
  lines.insert(lines.end(), tail);
  return lines;
}

TEST_F(StepThreadsTest, SavedModelIsTheSameOnOneAndFourThreads) {
  TempDir dir;
  struct Case {
    const char* what;
    std::vector<const char*> lines;
    bool yields;
  };
  const Case cases[] = {
      {"gravity column",
       Lines({"gen zone brick size 2 2 30", "model elastic", "prop bulk 5e7 shear 3e7 density 2000",
              "fix x range x 1.9 2.1", "fix y range y 1.9 2.1"},
             {"step 300"}),
       false},
      // The second brick's zones follow the first's in the list but share
      // its grid-points at x = 4: chunk boundaries fall across the list.
      {"yielding Mohr-Coulomb on two bricks",
       Lines({"gen zone brick size 4 4 6", "gen zone brick size 3 4 6 p0 4 0 0", "model mohr",
              "prop bulk 5e7 shear 3e7 density 2000 cohesion 2e3 friction 15 tension 1e10", "fix x range x 6.9 7.1",
              "fix y range y 3.9 4.1"},
             {"step 250"}),
       true},
      // Zones deleted from the middle of the list, a null region and a
      // grid-point velocity fixed at the top.
      {"after a delete",
       Lines({"gen zone brick size 6 4 6", "delete range x 2 4 z 0 3", "model mohr",
              "prop bulk 5e7 shear 3e7 density 2000 cohesion 5e3 friction 25 tension 1e10",
              "model null range x 0 1 y 0 1 z 5 6", "fix x range x 5.9 6.1", "fix y range y 3.9 4.1"},
             {"fix z -1e-5 range z 5.9 6.1 x 4 6", "step 200"}),
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome serial = RunFresh(1, c.lines);
    const Outcome threaded = RunFresh(4, c.lines);
    EXPECT_TRUE(threaded.chunked);
    EXPECT_GT(serial.moved, 0.0);
    EXPECT_EQ(serial.yielding > 0, c.yields);
    ASSERT_GT(serial.saved.size(), 10000u);
    EXPECT_TRUE(serial.saved == threaded.saved);
    EXPECT_TRUE(RunFresh(4, c.lines).saved == threaded.saved);  // and again
    EXPECT_TRUE(RunFresh(3, c.lines).saved == threaded.saved);  // chunks of other sizes

    // The chunks cut anew in the middle of a run, as after uneven times.
    std::vector<const char*> longer = c.lines;
    longer.push_back("step 50");
    const Outcome recut = RunFresh(4, longer, [] {
      // The run may have cut its chunks anew on its own measured times, so
      // the first chunk is compared with itself before the slow times.
      const ZoneChunks* zones = CurrentZoneChunks(4);
      ASSERT_NE(zones, nullptr);
      const uint32_t before = zones->chunks.front().end - zones->chunks.front().begin;
      std::vector<double> seconds(zones->chunks.size(), 0.1);
      seconds[0] = 1.0;
      for (int i = 0; i < 10; ++i) ZoneChunkTimes(seconds.data());
      zones = CurrentZoneChunks(4);
      ASSERT_NE(zones, nullptr);
      const uint32_t after = zones->chunks.front().end - zones->chunks.front().begin;
      EXPECT_TRUE(after < before || before == 1) << after << " of " << before;
    });
    EXPECT_TRUE(recut.chunked);
    EXPECT_TRUE(recut.saved == RunFresh(1, longer).saved);
  }
}

// A zone that would stop the pass sends the step to the serial pass: the same
// error, the same state after it.
// Takes the volume of one tetrahedron of the 31st zone once a preparation is done.
class SpoilAfterPreparing final : public StepParticipant {
 public:
  void Callback(int point) override {
    if (point != kCallbackPrepared) return;
    Zone* zone = ZoneList().Head();
    for (int i = 0; i < 30; ++i) zone = ModelList<Zone>::Next(zone);
    zone->Tetra(1)[2].volume = -1.0;
  }
};

TEST_F(StepThreadsTest, ZoneWithoutVolumeStopsTheStepAsOnOneThread) {
  TempDir dir;
  const std::vector<const char*> lines = Lines(
      {"gen zone brick size 2 2 12", "model elastic", "prop bulk 5e7 shear 3e7 density 2000"}, {"step 20", "step 5"});
  Outcome runs[2];
  for (int r = 0; r < 2; ++r)
    runs[r] = RunFresh(r == 0 ? 1 : 4, lines,
                       [] { CurrentModel().Participants().Add(std::make_unique<SpoilAfterPreparing>()); });
  EXPECT_EQ(runs[0].error, "Illegal geometry in zone 31");
  EXPECT_EQ(runs[1].error, runs[0].error);
  EXPECT_TRUE(runs[0].saved == runs[1].saved);
}

}  // namespace
