// The shape every block kernel shares: a block's 16 columns as kVectors
// vectors of as many 32-bit lanes as the target has, up to 16. Built once
// for each target, as the kernels that include it are.
#if defined(RAYCAST_BLOCK_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef RAYCAST_BLOCK_LANES_INL_H_
#undef RAYCAST_BLOCK_LANES_INL_H_
#else
#define RAYCAST_BLOCK_LANES_INL_H_
#endif

#include <hwy/highway.h>

#include "raycast/block_rows.h"

HWY_BEFORE_NAMESPACE();
namespace block_lanes {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using Ints = hn::CappedTag<int32_t, kBlockColumns>;
using Reals = hn::Rebind<float, Ints>;
using Words = hn::RebindToUnsigned<Ints>;
using IntVector = hn::Vec<Ints>;
using RealVector = hn::Vec<Reals>;
using IntMask = hn::Mask<Ints>;
constexpr size_t kLanes = hn::MaxLanes(Ints());
constexpr size_t kVectors = kBlockColumns / kLanes;

// The picture rows of walls on screen rows `rows`: ((row + half - 450,
// truncated) x scale, truncated), single precision, as the column pipeline
// works them out, still as floats. The caller has kept both truncations in
// the 32-bit range, where a float truncated in place is the one converting
// it to an integer and back gives (-0 aside, which converts to 0), in one
// step instead of two conversions and their fix-up of overflowing lanes.
HWY_INLINE RealVector picture_rows(RealVector rows, RealVector half, RealVector scale) {
  const Reals reals;
  auto offset = hn::Trunc(hn::Sub(hn::Add(rows, half), hn::Set(reals, kCentreRow)));
  return hn::Trunc(hn::Mul(offset, scale));
}

}  // namespace HWY_NAMESPACE
}  // namespace block_lanes
HWY_AFTER_NAMESPACE();

#endif
