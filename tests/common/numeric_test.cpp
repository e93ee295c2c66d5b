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

TEST(Numeric, RemainderByTwoPiIsTheLibrarys) {
  // Every float a hundred steps either side of the turning points (0, the
  // ties at +-pi and +-3 pi, +-2 pi), and a sweep across +-40 and beyond.
  auto same = [](float a) {
    double library = std::remainder(double(a), kTwoPi);
    double ours = remainder_by_two_pi(a);
    if (std::isnan(library)) return std::isnan(ours);
    return ours == library && std::signbit(ours) == std::signbit(library);
  };
  for (double centre : {0.0, kTwoPi / 2, kTwoPi, 1.5 * kTwoPi, 2 * kTwoPi}) {
    for (double sign : {1.0, -1.0}) {
      float a = float(sign * centre);
      for (int k = 0; k < 100; ++k) a = std::nextafter(a, -HUGE_VALF);
      for (int k = 0; k < 200; ++k, a = std::nextafter(a, HUGE_VALF))
        EXPECT_TRUE(same(a)) << a;
    }
  }
  for (float a = -40.0f; a < 40.0f; a += 0.0001234f) EXPECT_TRUE(same(a)) << a;
  const float limits[] = {1e30f, -1e30f, HUGE_VALF, -HUGE_VALF, NAN, 1e-40f, -1e-40f, -0.0f};
  for (float a : limits) EXPECT_TRUE(same(a)) << a;
}
