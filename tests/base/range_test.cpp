#include "base/range.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "base/app.h"
#include "base/range_geometric.h"
#include "base/range_named.h"
#include "base/savestream.h"
#include "support/alloc_counter.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"

namespace {

// A subject at a fixed position that counts how often it is asked for it.
class Point : public LocatedObject {
 public:
  Point(double x, double y, double z) : LocatedObject(kGridPoint), p_{x, y, z} {}
  void GetPosition(double position[3]) const override {
    ++asked;
    for (int i = 0; i < 3; ++i) position[i] = p_[i];
  }
  mutable int asked = 0;

 private:
  double p_[3];
};

// The model interpreter's part in ranges, as the tests need it: RANGE,
// PRINT RLIST and DELETE namedrange; every other word goes to the general level.
class RangeInterp : public CommandType {
 public:
  using CommandType::CommandType;
  int Execute() override {
    TokenIndex() = 0;
    int word = 0;
    if (MatchKeyword("range print delete ", word) != kOk) return CommandType::Execute();
    if (word == 1) return RangeCommand(*this);
    if (word == 2) {
      int k = 0;
      if (MatchKeyword("rlist ", k) == kOk) return PrintRangeList(*this);
      return CommandType::Execute();
    }
    int k = 0;
    if (int code = MatchKeyword("namedrange ", k)) return code;
    String name = GetString();
    if (DeleteNamedRange(name))
      *this << "\n*** Deleted named range " << name << "\n";
    else
      *this << "\n*** Could not delete named range " << name << "\n";
    return kDone;
  }
};

class RangeTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  RangeInterp interp{0, &macros, true, &device};

  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    PrintRange().Clear();
    ClearNamedRanges();
    ResetRestoreVersions();
  }

  void Tokens(const char* line) {
    interp.ClearTokens();
    interp.Expand(String(line));
  }
  // Parses a phrase given without the word "range".
  Range Phrase(const char* text) {
    Tokens(text);
    Range r;
    int index = 0;
    EXPECT_EQ(r.ParsePhrase(interp, &index), 0) << text;
    return r;
  }
  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }
  static std::string Bytes(const Range& r) {
    MemoryStream m;
    r.Save(m);
    return m.bytes;
  }
};

// ---------------------------------------------------------------------------
// Membership

TEST_F(RangeTest, ContainmentTable) {
  Phrase("name either x 0 1 any y 0 1 any");
  struct Case {
    const char* phrase;
    double x, y, z;
    bool inside;
  };
  const Case cases[] = {
      {"", 1e9, -1e9, 0, true},  // an empty range contains everything
      {"x 0 1 y 0 1", 0.5, 0.5, 0, true},
      {"x 0 1 y 0 1", 1, 0, 0, true},  // both bounds belong to the interval
      {"x 0 1 y 0 1", 1.5, 0.5, 0, false},
      {"x 0 1 y 0 1", 0.5, -0.5, 0, false},
      {"x 0 1 any y 0 1 any", 5, 0.5, 0, true},
      {"x 0 1 any y 0 1 any", 0.5, 5, 0, true},
      {"x 0 1 any y 0 1 any", 5, 5, 0, false},
      // Once one element is "any", only the "any" elements decide.
      {"x 0 1 y 0 1 any", 5, 0.5, 0, true},
      {"x 0 1 y 0 1 any", 0.5, 5, 0, false},
      // "not" inverts its own element only.
      {"x 0 1 not", -0.1, 0, 0, true},
      {"x 0 1 not", 0.5, 0, 0, false},
      {"x 0 1 not", 1, 0, 0, false},
      {"x 0 1 not y 0 1", 2, 0.5, 0, true},
      {"x 0 1 not y 0 1", 2, 2, 0, false},
      {"x 0 1 not any y 0 1 any", 2, 5, 0, true},
      {"x 0 1 any not y 0 1 any", 0.5, 5, 0, false},
      // A named range is one element carrying its own any logic.
      {"either z 0 1", 5, 0.5, 0.5, true},
      {"either z 0 1", 5, 0.5, 5, false},
      {"either z 0 1", 5, 5, 0.5, false},
      {"either not", 5, 5, 0, true},
  };
  for (const Case& c : cases) {
    Range r = Phrase(c.phrase);
    Point p(c.x, c.y, c.z);
    EXPECT_EQ(r.IsIn(&p), c.inside) << c.phrase << " at " << c.x << "," << c.y << "," << c.z;
  }
  EXPECT_TRUE(Phrase("x 0 1").IsIn(nullptr));  // a null subject is inside
}

TEST_F(RangeTest, TestReadsThePositionOnceAndAllocatesNothing) {
  Phrase("name inner x 0 1 any sphere radius 2 any");
  Phrase("name outer inner y -5 5");
  Range r = Phrase("outer z 0 1 plane above annulus radius 0 10 cylinder end1 0 0 0 end2 0 0 1 radius 3");
  Point inside(0.5, 0.5, 0.5), outside(7, 7, 7);
  size_t before = TestAllocations();
  bool in = r.IsIn(&inside);
  bool out = r.IsIn(&outside);
  size_t after = TestAllocations();
  EXPECT_TRUE(in);
  EXPECT_FALSE(out);
  EXPECT_EQ(inside.asked, 1);
  EXPECT_EQ(outside.asked, 1);
  Point unasked(0, 0, 0);
  EXPECT_TRUE(Range().IsIn(&unasked));  // the empty range does not ask
  EXPECT_EQ(unasked.asked, 0);

  EXPECT_EQ(after, before);
}

// ---------------------------------------------------------------------------
// The phrase

TEST_F(RangeTest, PhraseEndsTheCommandWhereverItStands) {
  Tokens("model mohr range x 0 1 y 2 3");
  Range r;
  r.Parse(interp);
  EXPECT_EQ(r.ElementCount(), 2);
  EXPECT_EQ(interp.TokenLimit(), 2);
  int after = 2;
  EXPECT_FALSE(interp.HasToken(&after));

  Tokens("model mohr");
  r.Parse(interp);  // no phrase: empty, every object inside
  EXPECT_EQ(r.ElementCount(), 0);
  Tokens("model mohr ra");
  r.Parse(interp);  // "range" as the last word
  EXPECT_EQ(r.ElementCount(), 0);
  EXPECT_EQ(interp.TokenLimit(), 2);

  Tokens("model range x 0 1 bogus");
  try {
    r.Parse(interp);
    FAIL() << "no error";
  } catch (const CommandType::UnrecognizedExcept& e) {
    EXPECT_STREQ(e.Text(), "Unrecognized parameter 5 (bogus)");
  }
  EXPECT_EQ(r.ElementCount(), 1);
}

TEST_F(RangeTest, KeywordsInAnyOrderAndTheLastValueWins) {
  Range a = Phrase("sphere radius 1 center 1 2 3 radius 2 not");
  Range b = Phrase("sphere not center (1,2,3) radius=2");
  EXPECT_EQ(a.CommandText().str(), b.CommandText().str());
  EXPECT_EQ(a.CommandText().str(),
            "range sphere center=(1.000000e+00,2.000000e+00,3.000000e+00) radius=2.000000e+00 not ");
  // Lower kinds win abbreviations: "s" is the sphere, "c" the cylinder.
  EXPECT_EQ(Phrase("s").ElementAt(0)->Kind(), SphereRangeElement::kKind);
  EXPECT_EQ(Phrase("c").ElementAt(0)->Kind(), CylinderRangeElement::kKind);
  // A named range whose name abbreviates a keyword cannot be used by name.
  Phrase("name a x 0 1");
  EXPECT_EQ(Phrase("a").ElementAt(0)->Kind(), AnnulusRangeElement::kKind);
  // A name in quotes and the name anywhere in the phrase.
  Phrase("x 0 1 name 'Two Words' y 0 1");
  ASSERT_NE(FindNamedRange(String("two words")), nullptr);
  EXPECT_EQ(FindNamedRange(String("TWO WORDS"))->ElementCount(), 2);
}

TEST_F(RangeTest, ReparsedCommandTextGivesTheSameRange) {
  Phrase("name left x 0 1");
  const char* phrases[] = {
      "x 0 1",
      "x 5",
      "y -2.5 not any",
      "z 3 1 any",
      "sphere center 1 2 3 radius 4",
      "cylinder end1 0 0 0 end2 1 2 3 radius 0.5 not",
      "plane normal 0 0 1 origin 0 0 2 below",
      "plane normal 1 0 0 origin 1 1 1 distance 0.25 any",
      "annulus center 1 1 1 radius 2 3",
      "left not any",
      "left x 5 y 0 1",
  };
  for (const char* text : phrases) {
    Range first = Phrase(text);
    String command = first.CommandText();
    Tokens(command.c_str());
    Range second;
    second.Parse(interp);
    EXPECT_EQ(second.CommandText().str(), command.str()) << text;
    EXPECT_EQ(Bytes(second), Bytes(first)) << text;
  }
  EXPECT_EQ(FindNamedRange(String("left"))->CommandText().str(), "range name 'left' x 0.000000e+00,1.000000e+00  ");
}

TEST_F(RangeTest, RegistryTakesNewKindsAndRefusesASecondPrototype) {
  // A kind of another subsystem, registered the way the model registers its own.
  class TagElement : public RangeElement {
   public:
    TagElement() : RangeElement(900) {}
    String Name() const override { return String("Tag"); }
    bool IsIn(const double p[3], const LocatedObject* s) const override {
      return s && s->LocatedKind() == LocatedObject::kZone && p[0] >= 0;
    }
    std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override {
      int k = 0;
      if (interp.MatchKeyword("tagtest ", k, index)) return nullptr;
      return std::make_unique<TagElement>();
    }
    std::unique_ptr<RangeElement> Clone() const override { return std::make_unique<TagElement>(*this); }
    String CommandText() const override { return "tagtest " + RangeElement::CommandText(); }
  };
  static bool registered = RegisterRangeElement(std::make_unique<TagElement>());
  EXPECT_TRUE(registered);
  EXPECT_FALSE(RegisterRangeElement(std::make_unique<TagElement>()));
  EXPECT_FALSE(RegisterRangeElement(std::make_unique<AxisRangeElement>(1)));
  EXPECT_EQ(RangePrototype(AxisRangeElement::kKind)->Name().str(), "X");
  EXPECT_EQ(RangePrototype(99), nullptr);
  EXPECT_EQ(CreateRangeElementOfKind(-1), nullptr);
  EXPECT_EQ(CreateRangeElementOfKind(1 << 30), nullptr);
  EXPECT_GE(RangePrototypeCapacity(), 1024);

  Range r = Phrase("tagtest not x 0 1");
  ASSERT_EQ(r.ElementCount(), 2);
  EXPECT_TRUE(r.ElementAt(0)->Not());
  MemoryStream m;
  r.Save(m);
  Range back;
  back.Restore(m);
  EXPECT_EQ(back.CommandText().str(), r.CommandText().str());
}

// ---------------------------------------------------------------------------
// The RANGE command, PRINT RLIST and DELETE, as typed

TEST_F(RangeTest, NamedRangeListing) {
  EXPECT_EQ(Run({"print rlist"}), "Terrax>print rlist\n List of Named Ranges\n --------------------\n");
  std::string out = Run({"range name left x 0 1", "print rlist left", "print rlist", "print rlist nothing"});
  EXPECT_EQ(out,
            "Terrax>range name left x 0 1\n"
            "Terrax>print rlist left\n"
            "Contents of Range left ...\n"
            "      X From 0.000000e+00 to 1.000000e+00\n"
            "Terrax>print rlist\n"
            " List of Named Ranges\n --------------------\n  left\n"
            "Terrax>print rlist nothing\n"
            " List of Named Ranges\n --------------------\n  left\n");
}

TEST_F(RangeTest, PhraseErrorsAsTyped) {
  std::string out = Run({"range x 0 1 foo", "range not x 0 1", "range sphere radius", "range sphere center 1 2",
                         "range", "range x 0 1 name"});
  EXPECT_NE(out.find("Terrax>range x 0 1 foo\n*** Unrecognized parameter 4 (foo)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Terrax>range not x 0 1\n*** Unrecognized parameter 1 (not)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Terrax>range sphere radius\n*** Missing parameter 3\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Terrax>range sphere center 1 2\n*** Missing parameter 5\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Terrax>range\nTerrax>range x 0 1 name\n*** Missing parameter 5\n"), std::string::npos) << out;
}

TEST_F(RangeTest, RedefinitionRecursionAndAFailedPhrase) {
  std::string out = Run({"range name left x 0 1", "range name user left", "range name left left",
                         "range name left user z 0 1", "print rlist left"});
  EXPECT_NE(out.find("Terrax>range name left left\n*** Recursive use of names in range\n"), std::string::npos);
  EXPECT_NE(out.find("Terrax>range name left user z 0 1\n*** Recursive use of names in range\n"), std::string::npos);
  EXPECT_NE(out.find("Terrax>print rlist left\nContents of Range left ...\n"
                     "      X From 0.000000e+00 to 1.000000e+00\n"),
            std::string::npos)
      << out;

  // A redefinition keeps the object: the ranges that use it see the new elements.
  Range* left = FindNamedRange(String("LEFT"));
  Point p(5, 0, 0);
  EXPECT_FALSE(FindNamedRange(String("user"))->IsIn(&p));
  Run({"range name Left x 4 6"});
  EXPECT_EQ(FindNamedRange(String("left")), left);
  EXPECT_EQ(left->Name().str(), "Left");
  EXPECT_TRUE(FindNamedRange(String("user"))->IsIn(&p));

  // A phrase that fails defines nothing.
  out = Run({"range name bad x 0 1 foo"});
  EXPECT_NE(out.find("*** Unrecognized parameter 6 (foo)\n"), std::string::npos);
  EXPECT_EQ(FindNamedRange(String("bad")), nullptr);
}

TEST_F(RangeTest, ANamedRangeInUseCannotBeDeleted) {
  std::string out =
      Run({"range name left x 0 1", "range name right left y 0 1", "delete namedrange left", "delete namedrange right",
           "delete namedrange left", "delete namedrange left", "delete namedrange right"});
  EXPECT_EQ(out,
            "Terrax>range name left x 0 1\nTerrax>range name right left y 0 1\n"
            "Terrax>delete namedrange left\n\n*** Could not delete named range left\n"
            "Terrax>delete namedrange right\n\n*** Deleted named range right\n"
            "Terrax>delete namedrange left\n\n*** Deleted named range left\n"
            "Terrax>delete namedrange left\n\n*** Could not delete named range left\n"
            "Terrax>delete namedrange right\n\n*** Could not delete named range right\n");
  EXPECT_FALSE(DeleteNamedRange(String()));

  // Any range that uses it holds it: the print range too, until it is parsed again.
  Run({"range name left x 0 1"});
  Tokens("print zone range left");
  PrintRange().Parse(interp);
  EXPECT_FALSE(DeleteNamedRange(String("left")));
  PrintRange().Clear();
  EXPECT_TRUE(DeleteNamedRange(String("left")));
}

TEST_F(RangeTest, ClearingNamedRangesLeavesNoDanglingReference) {
  Phrase("name left x 0 1");
  Range user = Phrase("left");
  Range copy = user;
  ClearNamedRanges();
  EXPECT_EQ(NamedRangeCount(), 0);
  ASSERT_EQ(user.ElementCount(), 1);
  EXPECT_EQ(user.ElementAt(0)->Name().str(), "Named Range");  // no target: accepts everything
  Point far(100, 0, 0);
  EXPECT_TRUE(user.IsIn(&far));
  EXPECT_TRUE(copy.IsIn(&far));
}

// ---------------------------------------------------------------------------
// Save and restore

TEST_F(RangeTest, SaveRestoreSaveIsByteIdentical) {
  // Every base kind with fields of its own, named ranges with a forward
  // reference, and the print range.
  Phrase("name left x 0 1");
  Phrase("name right y 2 not any");
  Phrase("name left right z 5 any");  // left, first in the list, now refers to right after it
  Phrase("name up sphere center 1 2 3 radius 4 cylinder end1 1 1 1 end2 2 2 2 radius 0.5 not");
  Phrase("name down plane dip 30 dd 120 origin 0 0 1 distance 2 annulus center 0 0 1 radius 1 2 any left");
  PrintRange() = Phrase("down not x -1 1 plane normal 0 1 1 moveincr 0.5 below");

  MemoryStream first;
  PrintRange().Save(first);
  SaveNamedRanges(first);

  Reset();
  first.pos = 0;
  PrintRange().Restore(first);
  RestoreNamedRanges(first);
  EXPECT_EQ(first.Remaining(), 0u);
  PrintRange().RemapPointers();
  RemapNamedRanges();
  EXPECT_EQ(NamedRangeBadPointers(), 0);

  MemoryStream second;
  PrintRange().Save(second);
  SaveNamedRanges(second);
  EXPECT_EQ(second.bytes, first.bytes);

  // The references were resolved to the restored objects.
  ASSERT_EQ(NamedRangeCount(), 4);
  auto* a = static_cast<NamedRangeElement*>(NamedRangeAt(0)->ElementAt(0));
  EXPECT_EQ(a->Target(), FindNamedRange(String("right")));
  EXPECT_EQ(static_cast<NamedRangeElement*>(PrintRange().ElementAt(0))->Target(), FindNamedRange(String("down")));
  Point p(0, 2, 5);
  EXPECT_EQ(NamedRangeAt(0)->IsIn(&p), true);
  EXPECT_FALSE(DeleteNamedRange(String("right")));
}

TEST_F(RangeTest, SaveFormOfAnAxisElement) {
  Range r = Phrase("y 1 2 not");
  std::string expected(
      "\0\0\0\0"  // no name
      "\1\0\0\0"  // one element
      "\2\0\0\0"  // kind 2
      "\1\0"      // not, any
      "\1",       // axis y
      15);
  double upper = 2, lower = 1;
  expected.append(reinterpret_cast<const char*>(&upper), 8);
  expected.append(reinterpret_cast<const char*>(&lower), 8);
  expected += '\0';  // single
  EXPECT_EQ(Bytes(r), expected);

  // Files of format 14 and older have no single flag.
  MemoryStream old;
  old.bytes = expected.substr(0, expected.size() - 1);
  CurrentRestoreVersions().format = 14;
  Range back;
  back.Restore(old);
  EXPECT_EQ(old.Remaining(), 0u);
  EXPECT_EQ(back.CommandText().str(), r.CommandText().str());
}

TEST_F(RangeTest, CorruptRecordsGiveTheReadError) {
  Phrase("name left x 0 1 sphere radius 1");
  Phrase("name right left plane below annulus radius 1 2");
  MemoryStream good;
  Phrase("right y 1").Save(good);
  SaveNamedRanges(good);

  // Every truncation fails cleanly.
  for (size_t n = 0; n < good.bytes.size(); ++n) {
    MemoryStream cut;
    cut.bytes = good.bytes.substr(0, n);
    EXPECT_THROW(
        {
          Range r;
          r.Restore(cut);
          RestoreNamedRanges(cut);
        },
        KWRExcept)
        << n;
  }

  auto fails = [](std::string bytes) {
    MemoryStream m;
    m.bytes = std::move(bytes);
    Range r;
    try {
      r.Restore(m);
    } catch (const KWRExcept& e) {
      return std::string(e.Text()) == "Error reading save file";
    }
    return false;
  };
  auto record = [](int32_t count, int32_t kind, std::string rest) {
    std::string b("\0\0\0\0", 4);
    b.append(reinterpret_cast<const char*>(&count), 4);
    b.append(reinterpret_cast<const char*>(&kind), 4);
    return b + rest;
  };
  std::string flags("\0\0", 2);
  std::string sphere = flags + std::string(32, '\0');
  EXPECT_FALSE(fails(record(1, 3, sphere)));
  EXPECT_TRUE(fails(record(-1, 3, sphere)));                                    // negative count
  EXPECT_TRUE(fails(record(1 << 30, 3, sphere)));                               // count beyond the bytes
  EXPECT_TRUE(fails(record(1, 99, sphere)));                                    // kind without prototype
  EXPECT_TRUE(fails(record(1, 3, std::string("\2\0", 2) + sphere.substr(2))));  // flag byte not 0 or 1
  EXPECT_TRUE(fails(record(1, 2, flags + "\3" + std::string(17, '\0'))));       // axis 3
  std::string plane = flags + std::string(96, '\0');
  plane[2 + 88] = 1;  // increment default
  EXPECT_FALSE(fails(record(1, 5, plane + std::string("\2\0\0\0", 4) + std::string(8, '\0'))));
  EXPECT_TRUE(fails(record(1, 5, plane + std::string("\3\0\0\0", 4) + std::string(8, '\0'))));  // side 3

  // The named-range list: a type code other than 0, an empty name.
  auto listFails = [](std::string bytes) {
    MemoryStream m;
    m.bytes = std::move(bytes);
    try {
      RestoreNamedRanges(m);
    } catch (const KWRExcept&) {
      return true;
    }
    return false;
  };
  EXPECT_TRUE(
      listFails(std::string("\1\0\0\0"
                            "\1\0\0\0"
                            "\1\0\0\0a"
                            "\0\0\0\0",
                            17)));
  EXPECT_TRUE(
      listFails(std::string("\1\0\0\0"
                            "\0\0\0\0"
                            "\0\0\0\0"
                            "\0\0\0\0",
                            16)));
  EXPECT_FALSE(
      listFails(std::string("\1\0\0\0"
                            "\0\0\0\0"
                            "\1\0\0\0a"
                            "\0\0\0\0",
                            17)));
}

TEST_F(RangeTest, CorruptReferencesBetweenNamedRanges) {
  // Two named ranges that refer to each other: a circle no phrase can build.
  auto member = [](const char* name, int32_t target) {
    std::string b(
        "\0\0\0\0"
        "\1\0\0\0",
        8);
    b += name;
    b += std::string(
        "\1\0\0\0"
        "\1\0\0\0"
        "\0\0",
        10);
    b.append(reinterpret_cast<const char*>(&target), 4);
    return b;
  };
  MemoryStream circle;
  circle.bytes = std::string("\2\0\0\0", 4) + member("a", 2) + member("b", 1);
  RestoreNamedRanges(circle);
  try {
    RemapNamedRanges();
    FAIL() << "circle accepted";
  } catch (const KWRExcept& e) {
    EXPECT_STREQ(e.Text(), "Error reading save file");
  }
  EXPECT_EQ(NamedRangeCount(), 0);

  // A reference beyond the list resolves to none and is counted.
  MemoryStream beyond;
  beyond.bytes = std::string("\1\0\0\0", 4) + member("a", 7);
  RestoreNamedRanges(beyond);
  RemapNamedRanges();
  EXPECT_EQ(NamedRangeBadPointers(), 1);
  EXPECT_EQ(static_cast<NamedRangeElement*>(NamedRangeAt(0)->ElementAt(0))->Target(), nullptr);
}

}  // namespace
