// The general commands run through the command loop, as typed at a piped
// terminal, in a folder of their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "base/memory.h"
#include "base/random.h"
#include "base/system.h"
#include "base/temp_dir.h"
#include "support/interp_fixture.h"

namespace {

int64_t FixedTime() { return 1796810910; }

class GeneralTest : public ::testing::Test {
 protected:
  TempDir dir;
  ProgramIdentity saved = Identity();
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};

  void SetUp() override {
    ProgramIdentity& id = Identity();
    id.upperName = "TERRAX";
    id.lowerName = "terrax";
    id.productCode = 29572024;
    id.versionNumber = 3.0f;
    id.updateNumber = 261;
    id.betaNumber = 261;
    id.releaseNumber = 261;
    ResetRestoreVersions();
    setenv("TZ", "UTC", 1);
    tzset();
    System::SetTimeSource(FixedTime);
    setenv("OLVENA", dir.Path().c_str(), 1);
  }
  void TearDown() override {
    interp.CloseLog();
    Identity() = saved;
    JobTitle() = String();
    System::SetTimeSource(nullptr);
    SetCaseSensitive(false);
    unsetenv("TZ");
    tzset();
  }
  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(GeneralTest, CallRunsFilesAndResumesAfterANestedCall) {
  TempDir::Write("a.dat", "print version\ncall b\nprint version develop\n");
  TempDir::Write("b.dat", "title inner\nreturn\ntitle never\n");
  TempDir::Write("terrax.dat", "title default\n");
  std::string out = Run({"call a", "print information", "call"});
  EXPECT_EQ(out.substr(0, out.find("Terrax>print information")),
            "Terrax>call a\nTerrax>print version\nTERRAX version 3.00-261\nTerrax>call b\nTerrax>title inner\n"
            "Terrax>return\nTerrax>print version develop\n"
            "TERRAX version 3.00-261 :: -Rel261-Beta261-Alpha316-Lib134\n");
  EXPECT_TRUE(Has(out, "        Job Title : inner\n")) << out;
  EXPECT_STREQ(JobTitle().c_str(), "default");
}

TEST_F(GeneralTest, AnErrorInANestedFileEndsEveryFile) {
  TempDir::Write("a.dat", "call b\ntitle after\n");
  TempDir::Write("b.dat", "foo\ntitle never\n");
  std::string out = Run({"call a", "c 10", "title typed"});
  EXPECT_TRUE(Has(out,
                  "Terrax>foo\n*** Bad command (foo)\nTerrax>c 10\n*** Error opening file 10.dat\n"
                  "Terrax>title typed\n"))
      << out;
  EXPECT_STREQ(JobTitle().c_str(), "typed");
}

TEST_F(GeneralTest, CommandFileLines) {
  // Carriage returns are dropped, an empty line is a blank command, a zero
  // byte ends a line, Ctrl-Z ends the file and a last line needs no line feed.
  static const char kLines[] = "title a\r\n\nmacro m1 x\0title b\nmacro m2 y";
  TempDir::Write("lines.dat", std::string(kLines, sizeof kLines - 1));
  TempDir::Write("ctrlz.dat", std::string("macro m3 z\n\x1amacro m4 w\n"));
  std::string out = Run({"call lines", "call ctrlz"});
  EXPECT_TRUE(Has(out, "Terrax>title a\nTerrax> \nTerrax>macro m1 x\nTerrax>title b\nTerrax>macro m2 y\n")) << out;
  EXPECT_NE(macros.Find("m3"), nullptr);
  EXPECT_EQ(macros.Find("m4"), nullptr);
  EXPECT_STREQ(JobTitle().c_str(), "b");
}

TEST_F(GeneralTest, PauseAndContinue) {
  TempDir::Write("p.dat", "title one\npause\ntitle two\n");
  std::string out = Run({"call p", "title typed", "continue", "pause key", "pause 0", "continue"});
  EXPECT_TRUE(Has(out,
                  "Terrax>pause\nType 'continue' to resume processing\nTerrax>title typed\n"
                  "Terrax>continue\nTerrax>title two\n"))
      << out;
  EXPECT_TRUE(Has(out, "Terrax>pause key\nPress Any Key To Continue---\r" + std::string(38, ' ') + "\r"));
  EXPECT_STREQ(JobTitle().c_str(), "two");
  // ESC during a timed pause ends the command file without a message: the
  // third poll for ESC is the first one inside the pause.
  struct LateEsc : FakeDevice {
    int polls = 0;
    bool KeyPressed(int key) override { return key == 27 && ++polls == 3; }
    bool IsTerminal() const override { return true; }  // with no terminal a pause does not wait
  } late;
  CommandType other(0, &macros, true, &late);
  TempDir::Write("q.dat", "pause 30\ntitle never\n");
  RunLines(other, late, {"call q", "title after"});
  EXPECT_EQ(late.output, "Terrax>call q\nTerrax>pause 30\nTerrax>title after\n");
  // The space bar ends it early.
  device.keys = {' '};
  out = Run({"pause 30", "pause x"});
  EXPECT_TRUE(Has(out, "Terrax>pause x\n*** Bad conversion parameter 1 (x)\n")) << out;
}

TEST_F(GeneralTest, TitleAndSettingsListing) {
  std::string out = Run({"title My job", "title", "A typed title", "set cust1 'Someone'", "set cust2",
                         "set pagelength 30", "set echo off", "print information"});
  EXPECT_TRUE(Has(out, "Job Title:A typed title\n")) << out;
  EXPECT_EQ(out.substr(out.find("        Job Title")),
            "        Job Title : A typed title\nGlobal Pagination : On\n      Page Length : 30\n"
            "Case Sensitivity  : Off\nLog File          : Off\nLog File Name     : terrax.log\n"
            "             Echo : Off\n        Safe Mode : Off\n");
  EXPECT_STREQ(CustomerLine1().c_str(), "Someone");
  EXPECT_STREQ(CustomerLine2().c_str(), " ");
}

TEST_F(GeneralTest, BadParameters) {
  BeginModelDiscard();
  EmptyModelMemory();
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"print", "*** Missing parameter 1\n"},
      {"set", "*** Missing parameter 1\n"},
      {"macro", "*** Missing parameter 1\n"},
      {"set pagelength x", "*** Bad conversion parameter 2 (x)\n"},
      {"set pagelength 99999999999", "*** Bad conversion parameter 2 (99999999999)\n"},
      {"set foo", "*** Unrecognized parameter 1 (foo)\n"},
      {"set echo maybe", "*** Bad conversion parameter 2 (maybe)\n"},
      {"set memory size -1", "*** Bad conversion parameter 3 (-1)\n"},
      {"set memory add x", "*** Bad conversion parameter 3 (x)\n"},
      {"set memory", "*** Missing parameter 2\n"},
      {"set memory grow", "*** Unrecognized parameter 2 (grow)\n"},
      {"set directory /nonexistent/dir", "*** Could not change directory!\n"},
      {"print memory x", "Approximately 0 KBytes being actively used by TERRAX\n*** Unrecognized parameter 2 (x)\n"},
  };
  for (const Case& c : cases) {
    std::string out = Run({c.line});
    EXPECT_EQ(out, std::string("Terrax>") + c.line + "\n" + c.message);
  }
}

TEST_F(GeneralTest, DirectoryRandomAndMemorySettings) {
  std::filesystem::create_directory("sub");
  std::string here = System::CurrentDirectory().str();
  std::string out = Run({"set directory sub", "print directory", "set directory ..", "set directory"});
  EXPECT_TRUE(Has(out, "+++ Current directory is set to " + here + "sub/\nTerrax>print directory\n" + here + "sub/\n"))
      << out;
  EXPECT_STREQ(System::CurrentDirectory().c_str(), here.c_str());

  RandomSeed(0);
  double first = RandomUniform();
  Run({"set random 7"});
  double seven = RandomUniform();
  Run({"set random"});
  EXPECT_EQ(RandomUniform(), first);
  Run({"set random 7 pagination on"});
  EXPECT_EQ(RandomUniform(), seven);

  uint64_t chunk = ModelChunkSize();
  Run({"set memory size 2", "set memory lock on"});
  EXPECT_EQ(ModelChunkSize(), 2048000u);
  EXPECT_TRUE(ModelMemoryLocked());
  Run({"set memory lock off", "set memory size 0"});
  EXPECT_FALSE(ModelMemoryLocked());
  EXPECT_EQ(ModelChunkSize(), chunk);
}

TEST_F(GeneralTest, PrintMemory) {
  BeginModelDiscard();
  EmptyModelMemory();
  ModelAlloc(10 * 1024 - 16);
  macros.Define("m", std::string(3100, 'x'));
  std::string out = Run({"print memory", "print memory system", "print memory save"});
  EXPECT_TRUE(Has(out, "Approximately 10 KBytes being actively used by TERRAX\n")) << out;
  EXPECT_TRUE(Has(out, "Scanning system memory... please wait\r" + std::string(36, ' ') +
                           "\r10 KBytes being actively used by TERRAX\n"));
  EXPECT_TRUE(Has(out, " KBytes reserved from system for use by TERRAX\n"));
  // The header, the title and customer lines and one macro: 3,193 bytes.
  EXPECT_TRUE(Has(
      out, "Calculating file size... please wait\r" + std::string(36, ' ') + "\r3 KBytes in model (save file size)\n"))
      << out;
  BeginModelDiscard();
  EmptyModelMemory();
}

TEST_F(GeneralTest, SystemCommandRunsTheShell) {
  std::string out = Run({"system echo hi > shell.txt", "system"});
  EXPECT_EQ(TempDir::Read("shell.txt"), "hi\n");
  EXPECT_EQ(out, "Terrax>system echo hi > shell.txt\nTerrax>system\n");
}

// ---------------------------------------------------------------------------
// The log file

TEST_F(GeneralTest, LogFileHeaderFooterAndAppending) {
  Run({"title demo", "set cust1 me", "set log on", "set log on", "print version", "set log off", "set log on",
       "set log off"});
  const std::string start =
      ";****************************************\n;Log File Started 10:08:30 Wed Dec  9 2026\n"
      ";Using TERRAX version 3.00-261\n;By: me\n;     \n;Job:demo\n";
  const std::string end = ";Log File Ended 10:08:30 Wed Dec  9 2026\n;****************************************\n";
  EXPECT_EQ(TempDir::Read("terrax.log"), start +
                                             "Terrax>set log on\nTerrax>print version\n"
                                             "TERRAX version 3.00-261\nTerrax>set log off\n" +
                                             end + start + "Terrax>set log off\n" + end);
}

TEST_F(GeneralTest, NewLogFileNameClosesTheOldLog) {
  std::string out =
      Run({"set log on", "set logfile other", "print version", "set logfile x.log create", "print information"});
  std::string first = TempDir::Read("terrax.log");
  EXPECT_TRUE(Has(first, "Terrax>set logfile other\n;Log File Ended")) << first;
  std::string second = TempDir::Read("other.log");
  EXPECT_EQ(second.substr(0, 41), ";****************************************");
  EXPECT_TRUE(Has(second, "Terrax>print version\nTERRAX version"));
  // The log goes on in the file named last.
  EXPECT_TRUE(Has(out, "Log File          : On\nLog File Name     : x.log\n")) << out;
  EXPECT_TRUE(Has(second, "Terrax>set logfile x.log create\n;Log File Ended"));
  EXPECT_TRUE(Has(TempDir::Read("x.log"), "Terrax>print information\n"));
}

TEST_F(GeneralTest, ExistingLogOnAPipeIsAppendedTo) {
  TempDir::Write("terrax.log", "old\n");
  std::string out = Run({"set log on", "set log off"});
  EXPECT_TRUE(Has(out, "Terrax>set log on\nFile terrax.log appended\nTerrax>set log off\n")) << out;
  EXPECT_EQ(TempDir::Read("terrax.log").substr(0, 5), "old\n;");
}

TEST_F(GeneralTest, ExistingLogAtATerminalAsks) {
  device.terminal = true;
  TempDir::Write("terrax.log", "old\n");
  device.keys = {'x', 'o'};
  std::string out = Run({"set log on", "set log off"});
  EXPECT_TRUE(Has(out, "*** File already exists!\n    A)ppend, O)verwrite, or C)ancel ? o\n")) << out;
  EXPECT_EQ(TempDir::Read("terrax.log").substr(0, 2), ";*");
  // After a new name the first opening asks again.
  device.keys = {'C'};
  out = Run({"set logfile terrax.log", "set log on", "print information"});
  EXPECT_TRUE(Has(out, "? \r*** File operation canceled.              \n")) << out;
  EXPECT_TRUE(Has(out, "Log File          : Off\n"));
}

TEST_F(GeneralTest, LogIsClosedWithItsFooterWhenTheProgramEnds) {
  EXPECT_EQ(RunLines(interp, device, {"set log on", "quit"}), 0);
  std::string log = TempDir::Read("terrax.log");
  EXPECT_TRUE(Has(log, "Terrax>quit\n;Log File Ended")) << log;
  EXPECT_FALSE(interp.LogOpen());
}

}  // namespace
