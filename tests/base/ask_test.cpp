// Asking for an integer: at a terminal the question repeats until the answer
// lies inside the bounds; elsewhere it is cancelled without reading.
#include "base/ask.h"

#include <gtest/gtest.h>

#include "base/stream.h"
#include "support/fake_device.h"

namespace {

struct AskFixture : ::testing::Test {
  FakeDevice device;
  ConsoleStream console{&device};
  AskFixture() { device.terminal = true; }
};

using AskIntegerTest = AskFixture;

TEST_F(AskIntegerTest, RepeatsUntilTheValueLiesInsideTheBounds) {
  device.lines = {"101", "-1", "ten", "100", "never read"};
  int32_t value = 5;
  EXPECT_TRUE(AskInteger(&value, "Number of contours", 0, 100, &console));
  EXPECT_EQ(value, 100);
  EXPECT_EQ(device.lines.size(), 1u);
  EXPECT_EQ(device.output,
            "Number of contours\n"
            "*** The value must lie between 0 and 100.\n"
            "*** The value must lie between 0 and 100.\n"
            "*** Please type a whole number.\n");
  // Both bounds count as inside; an empty answer takes the value offered.
  device.lines = {"0"};
  EXPECT_TRUE(AskInteger(&value, "n", 0, 100, &console));
  EXPECT_EQ(value, 0);
  device.lines = {""};
  value = 42;
  EXPECT_TRUE(AskInteger(&value, "n", 0, 100, &console));
  EXPECT_EQ(value, 42);
  device.lines = {" 7 "};
  EXPECT_TRUE(AskInteger(&value, "n", 0, 100, &console));
  EXPECT_EQ(value, 7);
}

TEST_F(AskIntegerTest, CancellingKeepsTheLastNumberTyped) {
  device.lines = {"250", "x"};  // then the input ends: cancelled
  int32_t value = 5;
  EXPECT_FALSE(AskInteger(&value, "n", 0, 100, &console));
  EXPECT_EQ(value, 250);
  // An offered value outside the bounds is not accepted by an empty answer.
  device.lines = {""};
  EXPECT_FALSE(AskInteger(&value, "n", 0, 100, &console));
  EXPECT_EQ(value, 250);
  // Numbers beyond 32 bits are no whole numbers here.
  device.lines = {"99999999999"};
  EXPECT_FALSE(AskInteger(&value, "n", 0, 100, &console));
  EXPECT_EQ(value, 250);
}

TEST_F(AskIntegerTest, NoOneToAskOnAPipe) {
  device.terminal = false;
  device.lines = {"50"};
  int32_t value = 5;
  EXPECT_FALSE(AskInteger(&value, "n", 0, 100, &console));
  EXPECT_EQ(value, 5);
  EXPECT_EQ(device.lines.size(), 1u);
  EXPECT_EQ(device.output, "");
  // Without a stream or an application there is no one either.
  EXPECT_FALSE(AskInteger(&value, "n", 0, 100));
  EXPECT_FALSE(AskInteger(nullptr, "n", 0, 100, &console));
}

}  // namespace
