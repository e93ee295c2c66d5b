// The block's rows: lane c is column c of the block, four lanes to a vector
// (the compilers' own vector types, a width every target has). The
// conversions truncate as the scalar ones do for the values the walls have
// been shown to keep in range, and every lane works out a row its wall
// really shows. Rows where every column shows the same kind of pixel (above
// every wall top, inside every wall, below every wall bottom) take the short
// paths, a vector of the processor's width at a time (wall_rows); only the
// ragged rows between mix the kinds lane by lane.
#include "raycast/block_rows.h"

#include <algorithm>
#include <cstring>

#include "common/framebuffer.h"
#include "common/vector_words.h"
#include "raycast/wall_rows.h"

namespace {

typedef int32_t Ints __attribute__((vector_size(16)));
typedef float Reals __attribute__((vector_size(16)));
constexpr int kLanes = 4;
constexpr int kGroups = kBlockColumns / kLanes;

inline Ints splat(int32_t v) { return Ints{v, v, v, v}; }
inline Ints select(Ints mask, Ints yes, Ints no) { return (yes & mask) | (no & ~mask); }

inline Ints load_row(const uint32_t* p) {
  Ints v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void store_row(uint32_t* p, Ints v) { std::memcpy(p, &v, sizeof v); }

// The block as vectors. Lanes whose wall is not drawn here show word 0 of a
// word of their own, so that every lane's index stays valid.
struct BlockVectors {
  Reals half[kGroups];
  Reals scale[kGroups];
  Ints column[kGroups];
  Ints width[kGroups];
  Ints top[kGroups];         // the wall's first row
  Ints bottom[kGroups];      // the row after it
  Ints wall_first[kGroups];  // the first and last wall rows drawn here; 0 when none
  Ints wall_last[kGroups];
  Ints drawn[kGroups];  // all ones where the wall is drawn here
  Ints dark[kGroups];   // all ones where it is darkened
  Ints last_word[kGroups];
  const uint8_t* pixels[kBlockColumns];
};

const uint32_t kNoPicture = 0;

BlockVectors block_vectors(const BlockLane (&lanes)[kBlockColumns]) {
  BlockVectors v;
  for (int c = 0; c < kBlockColumns; ++c) {
    const BlockLane& l = lanes[c];
    bool wall = l.wall && l.top < l.bottom;
    int g = c / kLanes, lane = c % kLanes;
    v.half[g][lane] = wall ? l.half : 0.0f;
    v.scale[g][lane] = wall ? l.scale : 0.0f;
    v.column[g][lane] = wall ? l.column : 0;
    v.width[g][lane] = wall ? l.width : 0;
    v.top[g][lane] = l.top;
    v.bottom[g][lane] = l.bottom;
    v.wall_first[g][lane] = wall ? l.top : 0;
    v.wall_last[g][lane] = wall ? l.bottom - 1 : 0;
    v.drawn[g][lane] = wall ? -1 : 0;
    v.dark[g][lane] = wall && l.dark ? -1 : 0;
    v.last_word[g][lane] = wall ? l.last : 0;
    v.pixels[c] = wall ? l.pixels : reinterpret_cast<const uint8_t*>(&kNoPicture);
  }
  return v;
}

inline int32_t picture_word(const uint8_t* pixels, int32_t index) {
  int32_t p;
  std::memcpy(&p, pixels + size_t(index) * 4, 4);
  return p;
}

// The picture rows of group g's walls on screen rows rows[l].
inline Ints texture_rows(const BlockVectors& v, int g, Ints rows) {
  Reals from_top = __builtin_convertvector(rows, Reals) + v.half[g] - kCentreRow;
  Ints offset = __builtin_convertvector(from_top, Ints);
  Reals stretched = __builtin_convertvector(offset, Reals) * v.scale[g];
  return __builtin_convertvector(stretched, Ints);
}

// The picture indices of group g's walls on the picture rows. kClamp keeps
// them inside the pixel buffers.
template <bool kClamp>
inline void picture_indices(const BlockVectors& v, int g, Ints texture_row, int32_t* index) {
  Ints indices = v.column[g] + v.width[g] * texture_row;
  if (kClamp) {
    indices &= ~(indices < 0);
    indices = select(indices > v.last_word[g], v.last_word[g], indices);
  }
  std::memcpy(index, &indices, sizeof indices);
}

// Group g's wall pixels at the indices.
template <bool kDark>
inline Ints wall_words(const BlockVectors& v, int g, const int32_t* index) {
  const uint8_t* const* pixels = v.pixels + g * kLanes;
  Ints words = {picture_word(pixels[0], index[0]), picture_word(pixels[1], index[1]),
                picture_word(pixels[2], index[2]), picture_word(pixels[3], index[3])};
  if (kDark) {
    Ints darkened = (words & int32_t(0xFF000000u)) | ((words >> 1) & 0x007F7F7F);
    words = select(v.dark[g], darkened, words);
  }
  return words;
}

// A row that mixes the kinds: each lane takes its fill above, its wall or its
// fill below, or keeps its pixel where that is not drawn here. The wall's
// indices are worked out for the wall row nearest to the row.
template <bool kDark, bool kClamp>
void ragged_row(uint32_t* row_out, const BlockVectors& v, int row, RowFill above, RowFill below) {
  Ints rows = splat(row);
  for (int g = 0; g < kGroups; ++g) {
    Ints is_above = rows < v.top[g];
    Ints is_below = rows >= v.bottom[g];
    Ints is_wall = ~(is_above | is_below) & v.drawn[g];
    Ints fills_above = above.drawn ? is_above : Ints{};
    Ints fills_below = below.drawn ? is_below : Ints{};
    Ints kept = ~(is_wall | fills_above | fills_below);
    Ints words = {};
    if (any_lane(is_wall)) {
      Ints nearest = select(rows < v.wall_first[g], v.wall_first[g], rows);
      nearest = select(nearest > v.wall_last[g], v.wall_last[g], nearest);
      int32_t index[kLanes];
      picture_indices<kClamp>(v, g, texture_rows(v, g, nearest), index);
      words = wall_words<kDark>(v, g, index);
    }
    Ints out = (words & is_wall) | (splat(int32_t(above.colour)) & fills_above) |
               (splat(int32_t(below.colour)) & fills_below) |
               (load_row(row_out + g * kLanes) & kept);
    store_row(row_out + g * kLanes, out);
  }
}

template <bool kDark, bool kClamp>
void block_rows(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
                RowFill above, RowFill below) {
  BlockVectors v = block_vectors(lanes);
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

}  // namespace

void draw_block_rows(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
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
