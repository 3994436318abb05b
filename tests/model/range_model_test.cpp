// The model range elements: what they accept of grid-points, zones and zone
// faces, how they read, name, write back and save themselves.
#include <cmath>
#include <functional>
#include <numbers>

#include "base/range.h"
#include "model/grid_fixture.h"
#include "model/module_doubles.h"
#include "model/range_model.h"

namespace {

class RangeModelTest : public GridTest {
 protected:
  // The range of a phrase (the words after "range").
  Range Parse(const char* phrase) {
    interp.ClearTokens();
    String line(phrase);
    for (String w = line.NextToken(" (),"); !w.IsEmpty(); w = line.NextToken(" (),")) interp.AddToken(w);
    Range r;
    int idx = 0;
    int code = r.ParsePhrase(interp, &idx);
    if (code) interp.ThrowParamError(code, &idx);
    return r;
  }
};

TEST_F(RangeModelTest, GroupIdAndModelSelectZonesAndGridPoints) {
  Zone* a = UnitBrick();
  Zone* b = UnitBrick(1, 0, 0);
  a->SetGroupByName("soil");
  b->SetModelByName("elastic");
  Range soil = Parse("group soil");
  EXPECT_TRUE(soil.IsIn(a));
  EXPECT_FALSE(soil.IsIn(b));
  EXPECT_TRUE(soil.IsIn(a->Gp(1)));   // on the shared face
  EXPECT_FALSE(soil.IsIn(b->Gp(1)));  // at x = 2
  ZoneFace face(b, 2), orphan(nullptr, 2);
  EXPECT_FALSE(soil.IsIn(&face));
  EXPECT_FALSE(soil.IsIn(&orphan));

  Range ids = Parse("id 7 2");
  const auto& idElement = static_cast<const IdRangeElement&>(*ids.ElementAt(0));
  EXPECT_EQ(idElement.Low(), 2);
  EXPECT_EQ(idElement.High(), 7);
  EXPECT_TRUE(ids.IsIn(b));
  EXPECT_TRUE(ids.IsIn(&face));
  EXPECT_FALSE(ids.IsIn(a->Gp(0)));
  EXPECT_TRUE(ids.IsIn(a->Gp(1)));

  Range model = Parse("model el");
  EXPECT_TRUE(model.IsIn(b));
  EXPECT_FALSE(model.IsIn(a));
  EXPECT_FALSE(model.IsIn(b->Gp(1)));  // a grid-point is never inside
  EXPECT_TRUE(b->Gp(1)->flags & NodeBase::kModelRangeMark);
  EXPECT_FALSE(a->Gp(0)->flags & NodeBase::kModelRangeMark);
  EXPECT_TRUE(Parse("model und").IsIn(a));
  // Words that name no group or model end the element and then the phrase.
  EXPECT_THROW(Parse("group rock"), CommandType::UnrecognizedExcept);
  EXPECT_THROW(Parse("model granite"), CommandType::UnrecognizedExcept);
  EXPECT_TRUE(Parse("region soil not").IsIn(b));
}

TEST_F(RangeModelTest, DirectionSelectsFacesByTheirOutwardNormal) {
  GridPoint* gps[8];
  // A brick tilted by 30 degrees about y: its top face normal lies 30 degrees from z.
  const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6);
  static const double kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                       {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
  for (int i = 0; i < 8; ++i) {
    const double* p = kCorner[i];
    gps[i] = Gp(c * p[0] + s * p[2], p[1], -s * p[0] + c * p[2]);
  }
  Zone* z = CreateZone(kBrick, gps);
  ZoneFace top(z, 1), bottom(z, 0);
  EXPECT_TRUE(Parse("direction 0 0 1 angle 31").IsIn(&top));
  EXPECT_FALSE(Parse("direction 0 0 1 angle 29").IsIn(&top));
  EXPECT_TRUE(Parse("direction 0 0 1").IsIn(&top));  // within 90 degrees
  EXPECT_FALSE(Parse("direction 0 0 2").IsIn(&bottom));
  EXPECT_TRUE(Parse("direction 0 0 1 angle 30").IsIn(z));  // a zone is not restricted
}

TEST_F(RangeModelTest, NamesAndPhraseTexts) {
  Zone* a = UnitBrick();
  a->SetGroupByName("soil");
  struct Case {
    const char* phrase;
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {"group soil", "Group soil", "group 'soil' "},
      {"id 5", "ID", "id 5 "},
      {"cid 7 3 any", "Component ID", "cid 3,7 any"},
      {"selid 1 2 not", "SEL_ID", "selid 1,2 not"},
      {"seltype cableSEL", "SELType Cable", "seltype cableSEL "},
      {"seltype PILEsel", "SELType Pile", "seltype pileSEL "},
      {"model mohr", "Model mohr", "model mohr "},
      {"direction 0 0 3 angle 45", "Direction",
       "direction (0.000000e+00,0.000000e+00,1.000000e+00) angle 4.500000e+01 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phrase);
    Range r = Parse(c.phrase);
    ASSERT_EQ(r.ElementCount(), 1);
    EXPECT_EQ(r.ElementAt(0)->Name().str(), c.name);
    EXPECT_EQ(r.ElementAt(0)->CommandText().str(), c.text);
    // The text reads back into the same element.
    Range again = Parse(r.ElementAt(0)->CommandText().c_str());
    EXPECT_EQ(again.ElementAt(0)->CommandText().str(), c.text);
  }
  EXPECT_EQ(static_cast<const SELTypeRangeElement&>(*Parse("seltype cableSEL").ElementAt(0)).Type(), 4);
}

TEST_F(RangeModelTest, SubjectsOfOtherSubsystemsAnswerForThemselves) {
  struct Triangle : LocatedObject {
    Triangle() : LocatedObject(kGenerateTriangle) {}
    void GetPosition(double p[3]) const override { p[0] = p[1] = p[2] = 0.5; }
  } triangle;
  // A subject with an id of its own, 4, that answers the id element.
  struct Numbered : Triangle {
    bool RangeAnswer(const RangeElement& e, const double*, bool* inside) const override {
      if (e.Kind() != IdRangeElement::kKind) return false;
      *inside = static_cast<const IdRangeElement&>(e).Contains(4);
      return true;
    }
  } numbered;
  UnitBrick()->SetGroupByName("soil");
  // Without its own answer an id does not restrict a triangle; a group
  // takes the zone at its position.
  EXPECT_TRUE(Parse("id 9").IsIn(&triangle));
  EXPECT_TRUE(Parse("group soil").IsIn(&triangle));
  EXPECT_FALSE(Parse("id 9").IsIn(&numbered));
  EXPECT_TRUE(Parse("id 1 5").IsIn(&numbered));
  EXPECT_TRUE(Parse("group soil").IsIn(&numbered));
}

TEST_F(RangeModelTest, ElementsSaveAndRestoreThroughTheLists) {
  FindOrCreateGroup("soil");
  FindOrCreateGroup("clay");
  Range r = Parse("region clay any id 3 9 direction 1 1 0 angle 10 model mohr not");
  const std::string text = r.CommandText().str();
  NumberAllLists();
  MemoryStream out;
  r.Save(out);
  Range back;
  MemoryStream in;
  in.bytes = out.bytes;
  // Restored lists give the indices their objects.
  MemoryStream groups;
  GroupList().Save(groups);
  GroupList().Restore(groups);
  back.Restore(in);
  GroupList().RemapAll();
  back.RemapPointers();
  EXPECT_EQ(back.CommandText().str(), text);
  EXPECT_EQ(static_cast<const GroupRangeElement&>(*back.ElementAt(0)).GetGroup(), GroupList().Tail());
  ReleaseIndexArrays();
}

}  // namespace
