// Numeric conventions shared by every subsystem: the one real-to-integer
// conversion, the angle constants (pi taken as 3.14159265) and the
// normalisation of angles into [0, 2 pi).
#pragma once
#include <cmath>
#include <cstdint>

constexpr double kPi = 3.14159265;
constexpr double kHalfPi = 1.570796325;
constexpr double kThreeHalfPi = 4.7123889750000005;  // 3 x 1.570796325 in double
constexpr double kSixthPi = 0.5235987750000001;      // 3.14159265 / 6
constexpr double kTwoPi = 6.2831853;

// Eye-to-screen distance in pixels for 1600 columns over a 60-degree view.
inline const double projection_distance = 800.0 / std::tan(kSixthPi);

// True when v truncates to a signed 32-bit integer (false for NaN).
inline bool fits_int32(double v) { return v > -2147483649.0 && v < 2147483648.0; }

// Truncates toward zero; NaN and values outside the signed 32-bit range
// give INT32_MIN, which several generated patterns rely on.
inline int32_t to_int32(double v) {
  if (!fits_int32(v)) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// The same truncation for a value its caller has already shown to lie
// inside the signed 32-bit range, without the range test: for inner loops
// whose bounds are checked once at set-up.
inline int32_t to_int32_in_range(double v) { return static_cast<int32_t>(v); }

// The IEEE remainder of a float by 2 pi, in double, exactly as the library's
// remainder gives it. Within pi of 0 the nearest quotient is 0 (a tie goes
// to the even 0) and a is its own remainder; from pi to 3 pi either way it
// is 1 or -1, and a -+ 2 pi is exact there, the two lying within a factor of
// 2 of each other. No float equals 2 pi as taken here, so that difference is
// never a zero whose sign the library would give otherwise. Farther out, and
// on the tie at 3 pi, the library decides.
inline double remainder_by_two_pi(float a) {
  static_assert(double(float(kTwoPi)) != kTwoPi);
  double d = a;
  if (std::fabs(d) <= kTwoPi / 2) return d;
  double r = d > 0 ? d - kTwoPi : d + kTwoPi;
  if (std::fabs(r) < kTwoPi / 2) return r;
  return std::remainder(d, kTwoPi);
}

// IEEE remainder by 2 pi in double, rounded to float; negative results are
// lifted by 2 pi (again rounded), so the result lies in [0, 6.2831855].
inline float normalize_angle(float a) {
  float r = static_cast<float>(remainder_by_two_pi(a));
  if (r < 0) r = static_cast<float>(static_cast<double>(r) + kTwoPi);
  return r;
}
