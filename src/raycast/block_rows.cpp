// The block's rows, written once for every vector width (Highway, built for
// each target): lane c is column c of the block. The conversions truncate
// as the scalar ones do for the values the walls have been shown to keep in
// range, and every lane works out a row its wall really shows. Rows where
// every column shows the same kind of pixel (above every wall top, inside
// every wall, below every wall bottom) take the short paths (wall_rows);
// only the ragged rows between mix the kinds lane by lane.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "raycast/block_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cstring>

#include "common/framebuffer.h"
#include "raycast/block_lanes-inl.h"
#include "raycast/block_rows.h"
#include "raycast/wall_rows.h"

HWY_BEFORE_NAMESPACE();
namespace block_kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using namespace block_lanes::HWY_NAMESPACE;

// The block's lanes side by side, loaded a vector at a time. Lanes whose
// wall is not drawn here show word 0 of a word of their own, so that every
// lane's index stays valid.
struct BlockVectors {
  alignas(64) float half[kBlockColumns];
  alignas(64) float scale[kBlockColumns];
  alignas(64) int32_t column[kBlockColumns];
  alignas(64) int32_t width[kBlockColumns];
  alignas(64) int32_t top[kBlockColumns];         // the wall's first row
  alignas(64) int32_t bottom[kBlockColumns];      // the row after it
  alignas(64) int32_t wall_first[kBlockColumns];  // the first and last wall rows drawn here;
  alignas(64) int32_t wall_last[kBlockColumns];   // 0 when none
  alignas(64) int32_t drawn[kBlockColumns];       // all ones where the wall is drawn here
  alignas(64) int32_t dark[kBlockColumns];        // all ones where it is darkened
  alignas(64) int32_t last_word[kBlockColumns];
  const uint8_t* pixels[kBlockColumns];
};

const uint32_t kNoPicture = 0;

void block_vectors(const BlockLane (&lanes)[kBlockColumns], BlockVectors& v) {
  for (int c = 0; c < kBlockColumns; ++c) {
    const BlockLane& l = lanes[c];
    bool wall = l.wall && l.top < l.bottom;
    v.half[c] = wall ? l.half : 0.0f;
    v.scale[c] = wall ? l.scale : 0.0f;
    v.column[c] = wall ? l.column : 0;
    v.width[c] = wall ? l.width : 0;
    v.top[c] = l.top;
    v.bottom[c] = l.bottom;
    v.wall_first[c] = wall ? l.top : 0;
    v.wall_last[c] = wall ? l.bottom - 1 : 0;
    v.drawn[c] = wall ? -1 : 0;
    v.dark[c] = wall && l.dark ? -1 : 0;
    v.last_word[c] = wall ? l.last : 0;
    v.pixels[c] = wall ? l.pixels : reinterpret_cast<const uint8_t*>(&kNoPicture);
  }
}

HWY_INLINE IntVector lanes_of(const int32_t* values, size_t g) {
  return hn::Load(Ints(), values + g * kLanes);
}

// The picture rows of vector g's walls on screen rows `rows`.
HWY_INLINE IntVector texture_rows(const BlockVectors& v, size_t g, IntVector rows) {
  const Reals reals;
  return hn::ConvertTo(Ints(), picture_rows(hn::ConvertTo(reals, rows),
                                            hn::Load(reals, v.half + g * kLanes),
                                            hn::Load(reals, v.scale + g * kLanes)));
}

// Vector g's wall pixels on the picture rows. kClamp keeps the indices
// inside the pixel buffers.
template <bool kDark, bool kClamp>
HWY_INLINE IntVector wall_words(const BlockVectors& v, size_t g, IntVector texture_row) {
  const Ints ints;
  auto index = hn::Add(lanes_of(v.column, g), hn::Mul(lanes_of(v.width, g), texture_row));
  if (kClamp) index = hn::Min(hn::Max(index, hn::Zero(ints)), lanes_of(v.last_word, g));
  alignas(64) int32_t at[kLanes], read[kLanes];
  hn::Store(index, ints, at);
  for (size_t lane = 0; lane < kLanes; ++lane)
    std::memcpy(&read[lane], v.pixels[g * kLanes + lane] + size_t(at[lane]) * 4, 4);
  auto words = hn::Load(ints, read);
  if (!kDark) return words;
  auto darkened = hn::Or(hn::And(words, hn::Set(ints, int32_t(0xFF000000u))),
                         hn::And(hn::ShiftRight<1>(words), hn::Set(ints, 0x007F7F7F)));
  return hn::IfThenElse(hn::MaskFromVec(lanes_of(v.dark, g)), darkened, words);
}

// A row that mixes the kinds: each lane takes its fill above, its wall or its
// fill below, or keeps its pixel where that is not drawn here. The wall's
// indices are worked out for the wall row nearest to the row.
template <bool kDark, bool kClamp>
void ragged_row(uint32_t* row_out, const BlockVectors& v, int row, RowFill above, RowFill below) {
  const Ints ints;
  auto rows = hn::Set(ints, row);
  for (size_t g = 0; g < kVectors; ++g) {
    auto is_above = hn::VecFromMask(ints, hn::Lt(rows, lanes_of(v.top, g)));
    auto is_below = hn::Not(hn::VecFromMask(ints, hn::Lt(rows, lanes_of(v.bottom, g))));
    auto is_wall = hn::AndNot(hn::Or(is_above, is_below), lanes_of(v.drawn, g));
    auto fills_above = above.drawn ? is_above : hn::Zero(ints);
    auto fills_below = below.drawn ? is_below : hn::Zero(ints);
    auto kept = hn::Not(hn::Or(is_wall, hn::Or(fills_above, fills_below)));
    auto words = hn::Zero(ints);
    if (!hn::AllFalse(ints, hn::MaskFromVec(is_wall))) {
      auto nearest = hn::Min(hn::Max(rows, lanes_of(v.wall_first, g)), lanes_of(v.wall_last, g));
      words = wall_words<kDark, kClamp>(v, g, texture_rows(v, g, nearest));
    }
    int32_t* at = reinterpret_cast<int32_t*>(row_out) + g * kLanes;
    auto out = hn::Or(hn::Or(hn::And(words, is_wall),
                             hn::And(hn::Set(ints, int32_t(above.colour)), fills_above)),
                      hn::Or(hn::And(hn::Set(ints, int32_t(below.colour)), fills_below),
                             hn::And(hn::LoadU(ints, at), kept)));
    hn::StoreU(out, ints, at);
  }
}

template <bool kDark, bool kClamp>
void block_rows(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
                RowFill above, RowFill below) {
  BlockVectors v;
  block_vectors(lanes, v);
  int min_top = kFrameHeight, max_top = 0, min_bottom = kFrameHeight, max_bottom = 0;
  bool walls_everywhere = true;
  for (const BlockLane& l : lanes) {
    min_top = std::min(min_top, l.top);
    max_top = std::max(max_top, l.top);
    min_bottom = std::min(min_bottom, l.bottom);
    max_bottom = std::max(max_bottom, l.bottom);
    walls_everywhere = walls_everywhere && l.wall;
  }
  bool any_wall = std::any_of(lanes, lanes + kBlockColumns,
                              [](const BlockLane& l) { return l.wall && l.top < l.bottom; });
  if (above.drawn) fill_rows(out, stride, 0, min_top, above.colour);
  int row = min_top;
  for (; row < max_top; ++row) ragged_row<kDark, kClamp>(out + row * stride, v, row, above, below);
  if (walls_everywhere) {
    draw_wall_rows(out, stride, lanes, row, min_bottom);
    row = std::max(row, min_bottom);
  }
  for (; row < min_bottom; ++row)
    if (any_wall) ragged_row<kDark, kClamp>(out + row * stride, v, row, above, below);
  for (; row < max_bottom; ++row)
    ragged_row<kDark, kClamp>(out + row * stride, v, row, above, below);
  if (below.drawn) fill_rows(out, stride, row, kFrameHeight, below.colour);
}

void BlockRows(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
               RowFill above, RowFill below) {
  auto any = [&](bool BlockLane::*flag) {
    return std::any_of(lanes, lanes + kBlockColumns,
                       [&](const BlockLane& l) { return l.wall && l.*flag; });
  };
  bool dark = any(&BlockLane::dark), clamped = any(&BlockLane::clamped);
  if (dark)
    clamped ? block_rows<true, true>(out, stride, lanes, above, below)
            : block_rows<true, false>(out, stride, lanes, above, below);
  else
    clamped ? block_rows<false, true>(out, stride, lanes, above, below)
            : block_rows<false, false>(out, stride, lanes, above, below);
}

}  // namespace HWY_NAMESPACE
}  // namespace block_kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace block_kernels {
HWY_EXPORT(BlockRows);
}  // namespace block_kernels

// (dispatched from inside the kernels' namespace, where a build with one
// target finds it by its own name)
void draw_block_rows(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
                     RowFill above, RowFill below) {
  using namespace block_kernels;
  HWY_DYNAMIC_DISPATCH(BlockRows)(out, stride, lanes, above, below);
}
#endif
