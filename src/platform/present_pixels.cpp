// The presentation blend's pixels, written once for every vector width
// (Highway, built for each target): two channels of a pixel share its 32-bit
// lane, each in a 16-bit half, so every target blends alike, down to one lane.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "platform/present_pixels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstring>

#include "platform/present_pixels.h"

HWY_BEFORE_NAMESPACE();
namespace present_kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using Lanes = hn::CappedTag<uint32_t, 16>;
using Words = hn::Vec<Lanes>;
constexpr size_t kLanes = hn::MaxLanes(Lanes());

// Both halves of every lane (channel values 0..255 at bits 0 and 16) blended
// with alpha a (0..255): (p + 127) / 255 of p = src x a + dst x (255 - a),
// left in bits 8-15 and 24-31. (p + 127) / 255 is p / 255 rounded to
// nearest (no p makes it a half), which for p = 0..65025 is (v + v / 256) /
// 256 with v = p + 128. Each half's sums stay below 65,536, so neither
// carries into the other.
HWY_INLINE Words blend_halves(Words src, Words dst, Words a, Words rest) {
  const Lanes d;
  const Words v = hn::Add(hn::Add(hn::Mul(src, a), hn::Mul(dst, rest)), hn::Set(d, 0x00800080u));
  return hn::Add(v, hn::And(hn::ShiftRight<8>(v), hn::Set(d, 0x00FF00FFu)));
}

// Red with blue, and green with alpha; the frame's alpha channel blends as 255.
HWY_INLINE Words blend_words(Words src, Words dst) {
  const Lanes d;
  const Words low_bytes = hn::Set(d, 0x00FF00FFu);
  const Words a = hn::ShiftRight<24>(src);
  const Words rest = hn::Sub(hn::Set(d, 255u), a);
  const Words red_blue = blend_halves(hn::And(src, low_bytes), hn::And(dst, low_bytes), a, rest);
  const Words green_alpha =
      blend_halves(hn::Or(hn::And(hn::ShiftRight<8>(src), low_bytes), hn::Set(d, 0x00FF0000u)),
                   hn::And(hn::ShiftRight<8>(dst), low_bytes), a, rest);
  return hn::Or(hn::And(hn::ShiftRight<8>(red_blue), low_bytes),
                hn::AndNot(low_bytes, green_alpha));
}

// The pixels after the last whole vector go through a vector of their own.
void BlendPixels(uint32_t* presented, const uint32_t* frame, size_t count) {
  const Lanes d;
  size_t i = 0;
  for (; i + kLanes <= count; i += kLanes)
    hn::StoreU(blend_words(hn::LoadU(d, frame + i), hn::LoadU(d, presented + i)), d, presented + i);
  if (i == count) return;
  uint32_t src[kLanes] = {}, dst[kLanes] = {};
  std::memcpy(dst, presented + i, (count - i) * sizeof *dst);
  std::memcpy(src, frame + i, (count - i) * sizeof *src);
  hn::StoreU(blend_words(hn::LoadU(d, src), hn::LoadU(d, dst)), d, dst);
  std::memcpy(presented + i, dst, (count - i) * sizeof *dst);
}

}  // namespace HWY_NAMESPACE
}  // namespace present_kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace present_kernels {
HWY_EXPORT(BlendPixels);
}  // namespace present_kernels

void blend_pixels(uint32_t* presented, const uint32_t* frame, size_t count) {
  using namespace present_kernels;
  HWY_DYNAMIC_DISPATCH(BlendPixels)(presented, frame, count);
}
#endif
