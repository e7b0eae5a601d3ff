#include "platform/core/decimal_number.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using platform::decimalToInt;

TEST(DecimalNumberTest, ReadsAsAtoiDoes) {
  EXPECT_EQ(decimalToInt("12"), 12);
  EXPECT_EQ(decimalToInt("-3"), -3);
  EXPECT_EQ(decimalToInt("+7"), 7);
  EXPECT_EQ(decimalToInt("007"), 7);
  EXPECT_EQ(decimalToInt(" \t\n12"), 12);
  EXPECT_EQ(decimalToInt("12abc"), 12);
  EXPECT_EQ(decimalToInt("1e3"), 1);
  EXPECT_EQ(decimalToInt("0x10"), 0);
  EXPECT_EQ(decimalToInt("-0"), 0);
  EXPECT_EQ(decimalToInt(""), 0);
  EXPECT_EQ(decimalToInt("x"), 0);
  EXPECT_EQ(decimalToInt("- 3"), 0);
  EXPECT_EQ(decimalToInt("--3"), 0);
  EXPECT_EQ(decimalToInt(nullptr), 0);
}

TEST(DecimalNumberTest, ClampsAtTheRangeOfInt) {
  EXPECT_EQ(decimalToInt("2147483647"), INT_MAX);
  EXPECT_EQ(decimalToInt("2147483648"), INT_MAX);
  EXPECT_EQ(decimalToInt("-2147483648"), INT_MIN);
  EXPECT_EQ(decimalToInt("-2147483649"), INT_MIN);
  EXPECT_EQ(decimalToInt("123456789012345678901234567890"), INT_MAX);
  EXPECT_EQ(decimalToInt("-99999999999"), INT_MIN);
  EXPECT_EQ(decimalToInt("0000000000000000000000000000042"), 42);
}

}  // namespace
