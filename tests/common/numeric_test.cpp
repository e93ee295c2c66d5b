// The numeric conventions: the one real-to-integer conversion and the angle
// normalisation.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/numeric.h"

TEST(Numeric, TruncationTowardZeroAndOutOfRange) {
  EXPECT_EQ(to_int32(2.9), 2);
  EXPECT_EQ(to_int32(-2.9), -2);
  EXPECT_EQ(to_int32(-0.5), 0);
  EXPECT_EQ(to_int32(2147483647.9), 2147483647);
  EXPECT_EQ(to_int32(-2147483648.9), INT32_MIN);
  EXPECT_EQ(to_int32(2147483648.0), INT32_MIN);
  EXPECT_EQ(to_int32(-2147483649.0), INT32_MIN);
  EXPECT_EQ(to_int32(std::numeric_limits<double>::quiet_NaN()), INT32_MIN);
  EXPECT_EQ(to_int32(std::numeric_limits<double>::infinity()), INT32_MIN);
  EXPECT_EQ(to_int32(-std::numeric_limits<double>::infinity()), INT32_MIN);
}

TEST(Numeric, AngleConstantsAndNormalisation) {
  EXPECT_EQ(kThreeHalfPi, 3 * kHalfPi);
  EXPECT_EQ(kSixthPi, kPi / 6);
  EXPECT_DOUBLE_EQ(projection_distance, 1385.640647969658);
  EXPECT_NEAR(normalize_angle(-0.1f), 6.1831853f, 1e-6);
  EXPECT_NEAR(normalize_angle(7.0f), 0.7168147f, 1e-6);
  EXPECT_NEAR(normalize_angle(6.2831855f), 1.82e-7f, 1e-8);
  EXPECT_EQ(normalize_angle(0.0f), 0.0f);
}
