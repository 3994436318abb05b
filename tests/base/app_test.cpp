// The program entry, the start-up arguments and the settings file.
#include "base/app.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/command.h"
#include "base/temp_dir.h"
#include "support/interp_fixture.h"

namespace {

class ArgsApp : public Application {
 public:
  std::vector<std::string> args;
  int argc = 0;
  int Run(int n, const char* const* argv) override {
    argc = n;
    EXPECT_EQ(argv[0], nullptr);
    for (int i = 1; i < n; ++i) args.push_back(argv[i]);
    return 7;
  }
};

TEST(AppTest, EntrySplitsAtMostTwentyArguments) {
  ArgsApp app;
  ASSERT_EQ(TheApplication(), &app);
  std::string line;
  for (int i = 1; i <= 25; ++i) line += "w" + std::to_string(i) + " ";
  EXPECT_EQ(ProgramEntry(line.c_str()), 7);
  EXPECT_EQ(app.argc, 21);
  EXPECT_EQ(app.args.back(), "w20");
  app.args.clear();
  EXPECT_EQ(ProgramEntry(""), 7);
  EXPECT_EQ(app.argc, 1);
}

// The program's own argument vector keeps arguments that hold blanks whole.
TEST(AppTest, ArgumentVectorKeepsBlanksAndAtMostTwentyArguments) {
  ArgsApp app;
  std::vector<std::string> words = {"terrax", "my model.dat", "quit"};
  for (int i = 3; i <= 25; ++i) words.push_back("w" + std::to_string(i));
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  EXPECT_EQ(ProgramEntry(static_cast<int>(argv.size()), argv.data()), 7);
  EXPECT_EQ(app.argc, 21);
  EXPECT_EQ(app.args.front(), "my model.dat");
  EXPECT_EQ(app.args.back(), "w20");
}

TEST(AppTest, NoApplicationGivesMinusOne) {
  ASSERT_EQ(TheApplication(), nullptr);
  EXPECT_EQ(ProgramEntry("a b"), -1);
}

class StartupTest : public ::testing::Test {
 protected:
  TempDir dir;
  ProgramIdentity saved = Identity();
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};
  GuiApplication app{&interp};

  void SetUp() override {
    Identity().lowerName = "terrax";
    Identity().productCode = 29572024;
    setenv("OLVENA", (dir.Path() / "home").c_str(), 1);
    std::filesystem::create_directory("home");
  }
  void TearDown() override {
    Identity() = saved;
    JobTitle() = String();
  }
  std::string RunArgs(std::vector<const char*> args, std::initializer_list<const char*> typed = {}) {
    args.insert(args.begin(), nullptr);
    app.RunStartupFile(static_cast<int>(args.size()), args.data());
    app.ReadIniFile();
    RunLines(interp, device, typed);
    return device.Take();
  }
};

TEST_F(StartupTest, ArgumentsBecomeCallOrRestore) {
  TempDir::Write("a.dat", "title from-a\n");
  TempDir::Write("Two.dat", "title from-two\n");
  TempDir::Write("x", "t");  // shorter than the product code: a command file
  TempDir::Write("s.sav", std::string("\xb8\x3b\xc3\x01", 4));
  TempDir::Write("terrax.ini", "title ini\n");
  std::string out = RunArgs({"a.dat", "nofile.dat", "Two.dat", "quit", "x", "s.sav", "QUIT"}, {"title typed"});
  EXPECT_EQ(out.substr(0, out.find("Terrax>restore")),
            "*** Unable to open file nofile.dat\nTerrax>title ini\nTerrax>call a.dat\nTerrax>title from-a\n"
            "Terrax>call Two.dat\nTerrax>title from-two\nTerrax>stop\n");
}

TEST_F(StartupTest, RestoreAndQuit) {
  TempDir::Write("x", "t");
  TempDir::Write("s.sav", std::string("\xb8\x3b\xc3\x01", 4));
  std::string out = RunArgs({"x", "s.sav", "quit"});
  EXPECT_TRUE(out.find("Terrax>call x\n*** Error opening file x.dat\n") != std::string::npos) << out;
  RunArgs({"s.sav", "quit"});
  // quit alone adds nothing.
  EXPECT_EQ(RunArgs({"quit"}, {"title t"}), "Terrax>title t\n");
}

// A file name with a blank or a separator in it reaches CALL and RESTORE whole.
TEST_F(StartupTest, NamesWithBlanksAndSeparatorsAreQuoted) {
  TempDir::Write("my model.dat", "title from-blank\n");
  TempDir::Write("a,b(1).dat", "title from-comma\n");
  std::string out = RunArgs({"my model.dat", "a,b(1).dat"});
  EXPECT_EQ(out,
            "Terrax>call \"my model.dat\"\nTerrax>title from-blank\n"
            "Terrax>call \"a,b(1).dat\"\nTerrax>title from-comma\n");
}

TEST_F(StartupTest, SettingsFileFromTheCurrentFolderBeforeTheHomeFolder) {
  TempDir::Write("home/terrax.ini", "title home\n");
  EXPECT_EQ(RunArgs({}), "Terrax>title home\n");
  TempDir::Write("terrax.ini", "title here\n");
  EXPECT_EQ(RunArgs({}), "Terrax>title here\n");
  std::filesystem::remove("terrax.ini");
  std::filesystem::remove("home/terrax.ini");
  EXPECT_FALSE(app.ReadIniFile());
}

int g_hookRuns = 0;
void CountHook(void*) { ++g_hookRuns; }

TEST(ExitTest, HooksRunOnceNewestFirst) {
  static std::string order;
  AddExitHook([](void*) { order += "a"; }, nullptr);
  AddExitHook([](void*) { order += "b"; }, nullptr);
  AddExitHook(CountHook, &order);
  RemoveExitHook(CountHook, &order);
  SetExitHandler([](int) {});
  ExitProgram(0);
  ExitProgram(0);
  SetExitHandler(nullptr);
  EXPECT_EQ(order, "ba");
  EXPECT_EQ(g_hookRuns, 0);
}

}  // namespace
