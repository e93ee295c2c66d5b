// The presentation blend in vector lanes equals the plain per-channel formula
// with a division, for every channel value over every background at every
// alpha, the pixels after the last whole row and vector included, with every
// vector target the processor runs.
#include "platform/present.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/framebuffer.h"
#include "common/simd_target.h"
#include "testkit/testkit.h"

namespace {

uint32_t plain_channel(uint32_t src, uint32_t dst, uint32_t a) {
  return (src * a + dst * (255 - a) + 127) / 255;
}

TEST(PresentBlend, EqualsThePlainFormulaForEveryValue) {
  constexpr int kCount = 256 * 256 + 3;  // 40 whole rows, then 1,539 pixels
  std::vector<uint32_t> frame(kCount), presented(kCount), expected(kCount);
  EveryVectorTarget targets;
  for (const char* target : targets.names) {
    simd_choose(target);
    for (uint32_t a = 0; a < 256; ++a) {
      for (int i = 0; i < kCount; ++i) {
        const uint32_t s = uint32_t(i) & 0xFF, d = (uint32_t(i) >> 8) & 0xFF;
        frame[i] = a << 24 | (s ^ 0x5A) << 16 | (255 - s) << 8 | s;
        presented[i] = d << 24 | (255 - d) << 16 | (d ^ 0xA5) << 8 | d;
        uint32_t out = plain_channel(0xFF, d, a) << 24;
        for (int shift = 0; shift < 24; shift += 8)
          out |= plain_channel((frame[i] >> shift) & 0xFF, (presented[i] >> shift) & 0xFF, a)
                 << shift;
        expected[i] = out;
      }
      present_blend(presented.data(), frame.data(), kCount);
      for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(presented[i], expected[i]) << target << ", alpha " << a << ", pixel " << i;
    }
  }
}

}  // namespace
