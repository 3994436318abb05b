// SAVE and RESTORE of the interpreter state: the header, the version gates,
// refusals that leave memory alone, and the overwrite rules.
#include "base/savefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/app.h"
#include "base/command.h"
#include "base/file.h"
#include "base/linklist.h"
#include "base/system.h"
#include "base/temp_dir.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"

namespace {

int64_t FixedTime() { return 1796810910; }

std::string I32(int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xff);
  return s;
}
std::string Str(const std::string& s) { return I32(static_cast<int32_t>(s.size())) + s; }

// A header as files of a given format and program version hold it.
std::string Header(int32_t format, int32_t program) {
  std::string h = I32(29572024) + I32(format) + I32(program);
  if (format > 51) h += I32(261) + I32(261);
  if (format > 53) h += I32(0);
  return h + std::string("\0\0\x40\x40", 4);
}

// An interpreter level that appends a section of its own after the macros.
class ExtendedInterp : public CommandType {
 public:
  using CommandType::CommandType;
  int32_t extra = 0;
  RestoreVersions during;
  uint32_t badPointers = 0;
  void SaveState(SaveStream& s) override {
    CommandType::SaveState(s);
    s.WriteI32(extra);
  }
  void RestoreState(SaveStream& s, bool quiet) override {
    CommandType::RestoreState(s, quiet);
    during = CurrentRestoreVersions();
    extra = s.ReadI32();
  }
  int AfterRestore() override {
    for (uint32_t i = 0; i < badPointers; ++i) CountBadPointer();
    return 0;
  }
};

class SaveFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  ProgramIdentity saved = Identity();
  FakeDevice device;
  MacroTable macros;
  ExtendedInterp interp{0, &macros, true, &device};

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
    CustomerLine1() = "me";
    CustomerLine2() = "there";
  }
  void TearDown() override {
    Identity() = saved;
    JobTitle() = String();
    CustomerLine1() = " ";
    CustomerLine2() = " ";
    System::SetTimeSource(nullptr);
    unsetenv("TZ");
    tzset();
  }
  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
  // Files left in the folder, other than the ones named.
  static int FileCount() {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(".")) n += e.is_regular_file();
    return n;
  }
};

TEST_F(SaveFileTest, SaveWritesTheHeaderFieldByField) {
  interp.extra = 77;
  std::string out = Run({"title demo", "macro xx 'print version'", "save t"});
  EXPECT_TRUE(Has(out, "Terrax>save t\nSaving file... please wait\r" + std::string(26, ' ') + "\r")) << out;
  const std::string expected = std::string("\xb8\x3b\xc3\x01\x86\0\0\0\x3c\x01\0\0", 12) + I32(261) + I32(261) +
                               I32(0) + std::string("\0\0\x40\x40", 4) + I32(1796810910) + Str("demo") + Str("me") +
                               Str("there") + I32(1) + Str("xx") + Str("print version") + I32(77);
  // The checksum trailer: marker, the bytes before it, their CRC-32.
  const std::string trailer = "TRXCRC32" + I32(static_cast<int32_t>(expected.size())) + I32(0) +
                              I32(static_cast<int32_t>(Crc32(expected.data(), expected.size())));
  EXPECT_EQ(TempDir::Read("t.sav"), expected + trailer);
  EXPECT_EQ(FileCount(), 1);
}

TEST_F(SaveFileTest, RestoreReadsItBack) {
  interp.extra = 5;
  Run({"title demo", "macro xx 'print version'", "save t"});
  macros.Clear();
  JobTitle() = "other";
  interp.extra = 0;
  std::string out = Run({"restore t", "xx"});
  EXPECT_EQ(out,
            "Terrax>restore t\nRestoring from TERRAX Version: R261 B261 A316\n"
            "File Created on Wed Dec  9 10:08:30 2026\n\n By: me\n     there\n Heading: demo\n"
            "Restoring file... please wait\r" +
                std::string(29, ' ') + "\rTerrax>xx\nTERRAX version 3.00-261\n");
  EXPECT_STREQ(JobTitle().c_str(), "demo");
  EXPECT_EQ(interp.extra, 5);
  // The file's versions hold while it is read, the program's after.
  EXPECT_EQ(interp.during.format, 134);
  EXPECT_EQ(interp.during.program, 316);
}

TEST_F(SaveFileTest, RefusedFilesLeaveMemoryAsItWas) {
  TempDir::Write("a.dat", "print version\n");
  TempDir::Write("later.sav", Header(134, 317) + I32(0));
  TempDir::Write("newer.sav", Header(135, 316) + I32(0));
  TempDir::Write("old.sav", Header(134, 120));
  TempDir::Write("short.sav", "ab");
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"restore a.dat", "*** Not TERRAX save file\n"},
      {"restore nofile", "*** Error opening file nofile.sav\n"},
      {"restore later", "*** Save file created with a later version\n"},
      {"restore newer", "*** Save file created with a later version\n"},
      {"restore short", "*** Error reading file short.sav\n"},
      {"restore old",
       "*** Restore Aborted: Trying to restore Watcom save file version: Alpha120 with a GCC build; it needs "
       "Alpha(>= 130) \n"},
  };
  for (const Case& c : cases) {
    Run({"title kept", "macro mm 'print version'"});
    std::string out = Run({c.line, "mm"});
    EXPECT_EQ(out, std::string("Terrax>") + c.line + "\n" + c.message + "Terrax>mm\nTERRAX version 3.00-261\n");
    EXPECT_STREQ(JobTitle().c_str(), "kept");
    EXPECT_EQ(CurrentRestoreVersions().program, 316) << c.line;
    EXPECT_EQ(CurrentRestoreVersions().format, 134) << c.line;
  }
}

TEST_F(SaveFileTest, FailureAfterClearingClearsAgain) {
  Run({"title demo", "macro xx 'print version'", "save t"});
  // Damage inside the sections, as in a file written before the checksum.
  std::string bytes = TempDir::Read("t.sav");
  bytes.resize(bytes.size() - kSaveTrailerBytes);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"cut in the macros", bytes.substr(0, bytes.size() - 10)},
      {"cut in the extension", bytes.substr(0, bytes.size() - 2)},
      {"impossible macro count", bytes.substr(0, 61) + I32(0x7fffffff) + bytes.substr(65)},
      {"impossible title length", bytes.substr(0, 32) + I32(0x7ffffff0) + bytes.substr(36)},
  };
  for (const Case& c : cases) {
    TempDir::Write("bad.sav", c.bytes);
    Run({"macro mm 'print version'"});
    std::string out = Run({"restore bad", "mm"});
    EXPECT_TRUE(Has(out, "*** Error reading file bad.sav\nTerrax>mm\n*** Bad command (mm)\n")) << c.what << out;
    EXPECT_EQ(macros.Count(), 0) << c.what;
    EXPECT_EQ(CurrentRestoreVersions().program, 316);
  }
}

TEST_F(SaveFileTest, VersionGatesOfTheHeader) {
  struct Case {
    int32_t format;
    bool macros;
  };
  for (const Case& c :
       {Case{38, false}, Case{39, true}, Case{51, true}, Case{52, true}, Case{53, true}, Case{54, true}}) {
    BufferStream s;
    s.bytes = Header(c.format, 316) + I32(0) + Str("title") + Str("") + Str("");
    if (c.macros) s.bytes += I32(1) + Str("m") + Str("x");
    s.bytes += I32(9);  // the extension's own field
    macros.Clear();
    interp.RestoreState(s, true);
    EXPECT_EQ(s.Remaining(), 0u) << c.format;
    EXPECT_EQ(macros.Count(), c.macros ? 1 : 0) << c.format;
    EXPECT_EQ(interp.extra, 9);
    EXPECT_EQ(CurrentRestoreVersions().format, c.format);
  }
  // Quiet prints nothing.
  EXPECT_EQ(device.Take(), "");
  ResetRestoreVersions();
}

TEST_F(SaveFileTest, BadPointersAreReported) {
  Run({"save t"});
  interp.badPointers = 3;
  std::string out = Run({"restore t"});
  EXPECT_TRUE(Has(out,
                  "+++ Warning!  3 instances of invalid pointer data detected\n"
                  "+++ Warning! You may have pointers to deleted objects in ZOLT\n"))
      << out;
  EXPECT_EQ(BadPointerCount(), 0u);
}

TEST_F(SaveFileTest, SaveOverAnExistingFile) {
  TempDir::Write("t.sav", "old");
  // On a pipe the file is overwritten.
  std::string out = Run({"save t"});
  EXPECT_TRUE(Has(out, "Terrax>save t\nFile t.sav overwritten\nSaving file...")) << out;
  EXPECT_EQ(TempDir::Read("t.sav").substr(0, 4), "\xb8\x3b\xc3\x01");
  // "create" refuses it; nothing is touched.
  TempDir::Write("t.sav", "old");
  out = Run({"save t create"});
  EXPECT_TRUE(Has(out, "*** File already exists!\n*** Error opening file t.sav\n")) << out;
  EXPECT_EQ(TempDir::Read("t.sav"), "old");
  // At a terminal the question is asked; C cancels silently.
  device.terminal = true;
  device.keys = {'c'};
  out = Run({"save t"});
  EXPECT_EQ(out,
            "*** File already exists!\n    O)verwrite or C)ancel ? \r*** File operation canceled.              \n");
  EXPECT_EQ(TempDir::Read("t.sav"), "old");
  device.keys = {'a', 'O'};  // no append for a binary file
  out = Run({"save t"});
  EXPECT_TRUE(Has(out, "C)ancel ? O\nSaving file")) << out;
  EXPECT_EQ(TempDir::Read("t.sav").substr(0, 4), "\xb8\x3b\xc3\x01");
  EXPECT_EQ(FileCount(), 1);
}

TEST_F(SaveFileTest, NamesAndDefaults) {
  Run({"save", "save x.y", "save sub", "restore", "restore x.y"});
  EXPECT_TRUE(std::filesystem::exists("terrax.sav"));
  EXPECT_TRUE(std::filesystem::exists("x.y"));
  EXPECT_TRUE(std::filesystem::exists("sub.sav"));
  // A save into a folder that does not exist fails and leaves nothing behind.
  std::string out = Run({"save nodir/t"});
  EXPECT_TRUE(Has(out, "*** Error opening file nodir/t.sav\n")) << out;
  EXPECT_EQ(FileCount(), 3);
}

TEST_F(SaveFileTest, PrintMemorySaveCountsEverySection) {
  Run({"title demo", "save t"});
  std::string out = Run({"print memory save"});
  EXPECT_TRUE(Has(out, "\r0 KBytes in model (save file size)\n")) << out;
  macros.Define("m", std::string(5000, 'x'));
  Run({"save big"});
  out = Run({"print memory save"});
  EXPECT_TRUE(Has(out, "\r" + std::to_string(std::filesystem::file_size("big.sav") / 1024) + " KBytes in model"));
}

}  // namespace

// A file altered after it was written is refused before anything is cleared;
// a file without the trailer (written before it) restores as before.
TEST_F(SaveFileTest, TheChecksumRefusesAnAlteredFileAndOldFilesRestore) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);  // the standard check value
  Run({"title demo", "macro xx 'print version'", "save t"});
  const std::string bytes = TempDir::Read("t.sav");
  std::string flipped = bytes, cut = bytes, marker = bytes;
  flipped[40] ^= 0x01;                // a bit of the title
  cut.erase(30, 1);                   // a byte gone
  marker[marker.size() - 1] ^= 0x80;  // the checksum itself
  for (const std::string* damaged : {&flipped, &cut, &marker}) {
    TempDir::Write("bad.sav", *damaged);
    Run({"title kept", "macro mm 'print version'"});
    const std::string out = Run({"restore bad", "mm"});
    EXPECT_EQ(out, "Terrax>restore bad\n*** Error reading file bad.sav\nTerrax>mm\nTERRAX version 3.00-261\n");
    EXPECT_STREQ(JobTitle().c_str(), "kept");
  }
  TempDir::Write("old.sav", bytes.substr(0, bytes.size() - kSaveTrailerBytes));
  Run({"title other", "restore old"});
  EXPECT_STREQ(JobTitle().c_str(), "demo");
  EXPECT_TRUE(Has(Run({"xx"}), "TERRAX version"));
}

namespace {
// A stream that lends a few bytes of room at a time, as the block writers
// of SAVE do, and collects what it is given.
class LendingStream : public SaveStream {
 public:
  std::string bytes;
  LendingStream() { Lend(); }
  void Write(const void* data, size_t count) override {
    Pass();
    bytes.append(static_cast<const char*>(data), count);
  }
  void Read(void*, size_t) override { ReadFailure(); }
  void Pass() {
    bytes.append(reinterpret_cast<const char*>(room_), static_cast<size_t>(put_ - room_));
    Lend();
  }

 private:
  void Lend() {
    put_ = room_;
    putEnd_ = room_ + sizeof room_;
  }
  unsigned char room_[40];
};
}  // namespace

// A run of doubles stored at once is the same bytes as the doubles stored
// one by one, whether the run fits the lent room or runs past its end.
TEST(SaveStreamTest, RunsOfDoublesAreStoredAsSingleDoubles) {
  std::vector<double> values;
  for (int i = 0; i < 40; ++i) values.push_back(i * -1.5e-3 + (i % 3 == 0 ? 1e300 : 0.0));
  LendingStream runs;
  MemoryStream singles;
  size_t at = 0;
  for (size_t n : {3, 1, 6, 12, 3, 0, 5}) {
    runs.WriteU8(static_cast<uint8_t>(n));
    singles.WriteU8(static_cast<uint8_t>(n));
    runs.WriteF64s(values.data() + at, n);
    for (size_t i = 0; i < n; ++i) singles.WriteF64(values[at + i]);
    at += n;
  }
  runs.Pass();
  EXPECT_EQ(runs.bytes, singles.bytes);
  EXPECT_EQ(runs.bytes.size(), 7 + 8 * at);
}

// The folded sum of large runs against the plain definition, one byte at a
// time: every length about the fold's 16- and 64-byte steps, at every
// alignment, continued from a sum already begun.
TEST(Crc32Test, FastSumMatchesTheDefinition) {
  auto reference = [](const unsigned char* p, size_t n, uint32_t crc) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
      crc ^= p[i];
      for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
  };
  std::string bytes(5000, '\0');
  uint32_t seed = 12345;
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t offset : {0, 1, 7, 13})
    for (size_t n : {0, 1, 15, 16, 17, 63, 64, 65, 79, 80, 127, 128, 129, 191, 1000, 4096, 4987})
      for (uint32_t start : {0u, 0xCBF43926u}) {
        EXPECT_EQ(Crc32(data + offset, n, start), reference(data + offset, n, start)) << offset << " " << n;
      }
  // A sum taken in pieces equals the sum of the whole.
  EXPECT_EQ(Crc32(data + 100, 4000, Crc32(data, 100)), Crc32(data, 4100));
}

// A state of several megabytes: the file is written and read in blocks, so
// fields and strings straddle the block boundaries; everything comes back,
// the checksum holds, and a second save gives the same bytes.
TEST_F(SaveFileTest, LargeStateCrossesTheBlocksWhole) {
  interp.extra = 41;
  for (int i = 0; i < 300; ++i) {
    std::string text(10007 + i, static_cast<char>('a' + i % 26));
    text[0] = static_cast<char>('A' + i % 26);
    macros.Define("m" + std::to_string(i), text);
  }
  Run({"save big"});
  const std::string first = TempDir::Read("big.sav");
  ASSERT_GT(first.size(), 2u << 20);
  macros.Clear();
  interp.extra = 0;
  const std::string out = Run({"restore big"});
  EXPECT_FALSE(Has(out, "***")) << out;
  EXPECT_EQ(interp.extra, 41);
  ASSERT_NE(macros.Find("m299"), nullptr);
  EXPECT_EQ(macros.Find("m299")->Length(), 10007 + 299);
  Run({"save again"});
  EXPECT_EQ(TempDir::Read("again.sav"), first);
  // One byte changed deep in the file is caught by the checksum.
  std::string damaged = first;
  damaged[2u << 20] ^= 0x20;
  TempDir::Write("bad.sav", damaged);
  EXPECT_TRUE(Has(Run({"restore bad"}), "*** Error reading file bad.sav"));
  EXPECT_EQ(interp.extra, 41);
}

// The measuring stream counts typed and raw writes alike, also when they
// run past its scratch room.
TEST(CountFileTest, CountsEveryByte) {
  CountFile count;
  BufferStream copy;
  const char raw[300] = {};
  for (int i = 0; i < 500; ++i) {
    for (SaveStream* s : {static_cast<SaveStream*>(&count), static_cast<SaveStream*>(&copy)}) {
      s->WriteU8(static_cast<uint8_t>(i));
      s->WriteU32(static_cast<uint32_t>(i));
      s->WriteF64(i * 0.5);
      s->Write(raw, static_cast<size_t>(i % 7 == 0 ? 300 : i % 13));
    }
  }
  EXPECT_EQ(count.Count(), copy.bytes.size());
}
