#include "base/except.h"

#include <gtest/gtest.h>

#include <string>

TEST(ExceptTest, CarriesItsOwnMessage) {
  KWRExcept a("first");
  KWRExcept b("second", true);
  EXPECT_STREQ(a.Text(), "first");
  EXPECT_FALSE(a.IsFatal());
  EXPECT_STREQ(b.Text(), "second");
  EXPECT_TRUE(b.IsFatal());
}

TEST(ExceptTest, NullTextIsUnknownAndFatal) {
  KWRExcept e(static_cast<const char*>(nullptr));
  EXPECT_STREQ(e.Text(), "Unknown exception");
  EXPECT_TRUE(e.IsFatal());
}

TEST(ExceptTest, LongTextIsCut) {
  std::string text(2000, 'x');
  KWRExcept e(text.c_str());
  EXPECT_EQ(std::string(e.Text()).size(), 1023u);
}

TEST(ExceptTest, FamilyCatchesItsDescendantsOnly) {
  auto catchesAsModelError = [](auto thrower) {
    try {
      thrower();
    } catch (const QJExcept&) {
      return true;
    } catch (const KWRExcept&) {
      return false;
    }
    return false;
  };
  EXPECT_TRUE(catchesAsModelError([] { throw AttachExcept("a"); }));
  EXPECT_TRUE(catchesAsModelError([] { throw SolidExcept("a"); }));
  EXPECT_TRUE(catchesAsModelError([] { throw SELExcept("a"); }));
  EXPECT_TRUE(catchesAsModelError([] { throw InterfaceExcept("a"); }));
  EXPECT_FALSE(catchesAsModelError([] { throw GenExcept("a"); }));
  EXPECT_FALSE(catchesAsModelError([] { throw MemExcept(); }));
  EXPECT_FALSE(catchesAsModelError([] { throw ESCInterrupt(); }));
}
