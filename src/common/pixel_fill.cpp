// The one-colour fills of the frame (the clear, and the areas a drawing
// waits on), written once for every vector width (Highway, built for each
// target): a vector of the target's width a store. Stores are what these
// fills cost, and a wider store carries more pixels for each.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "common/pixel_fill.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "common/framebuffer.h"

HWY_BEFORE_NAMESPACE();
namespace fill_kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void FillArea(uint32_t* p, size_t stride, size_t columns, size_t rows, uint32_t colour) {
  const hn::CappedTag<uint32_t, 16> d;
  const size_t lanes = hn::Lanes(d);
  const auto words = hn::Set(d, colour);
  for (size_t row = 0; row < rows; ++row, p += stride) {
    size_t c = 0;
    for (; c + lanes <= columns; c += lanes) hn::StoreU(words, d, p + c);
    for (; c < columns; ++c) p[c] = colour;
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace fill_kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace fill_kernels {
HWY_EXPORT(FillArea);
}  // namespace fill_kernels

// (dispatched from inside the kernels' namespace, where a build with one
// target finds it by its own name)
void fill_area(uint32_t* p, size_t stride, size_t columns, size_t rows, uint32_t colour) {
  using namespace fill_kernels;
  HWY_DYNAMIC_DISPATCH(FillArea)(p, stride, columns, rows, colour);
}

void fill_pixels(uint32_t* p, size_t count, uint32_t colour) {
  fill_area(p, count, count, 1, colour);
}
#endif
