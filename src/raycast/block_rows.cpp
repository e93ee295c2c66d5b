// The block's rows: lane c of every vector is column c of the block. The
// compilers' own vector types (which every target has) hold the 16 lanes;
// the conversions truncate as the scalar ones do for the values the walls
// have been shown to keep in range, and every lane works out a row its wall
// really shows.
#include "raycast/block_rows.h"

#include <algorithm>
#include <cstring>

#include "common/framebuffer.h"

namespace {

// Four lanes a vector, the width every target has; kGroups vectors a row.
typedef int32_t Ints __attribute__((vector_size(16)));
typedef float Reals __attribute__((vector_size(16)));
constexpr int kLanes = 4;
constexpr int kGroups = kBlockColumns / kLanes;

// The walls' set-up as vectors. Columns without wall rows show word 0 of a
// word of their own on row 0, so that every lane's index stays valid.
struct WallVectors {
  Reals half[kGroups];
  Reals scale[kGroups];
  Ints column[kGroups];
  Ints width[kGroups];
  Ints top[kGroups];
  Ints last_row[kGroups];   // bottom - 1
  Ints last_word[kGroups];  // of the pixel buffer
  const uint8_t* pixels[kBlockColumns];
};

const uint32_t kNoPicture = 0;

WallVectors wall_vectors(const WallLane (&lanes)[kBlockColumns]) {
  WallVectors v;
  for (int c = 0; c < kBlockColumns; ++c) {
    const WallLane& l = lanes[c];
    bool wall = l.top < l.bottom;
    int g = c / kLanes, lane = c % kLanes;
    v.half[g][lane] = wall ? l.half : 0.0f;
    v.scale[g][lane] = wall ? l.scale : 0.0f;
    v.column[g][lane] = wall ? l.column : 0;
    v.width[g][lane] = wall ? l.width : 0;
    v.top[g][lane] = wall ? l.top : 0;
    v.last_row[g][lane] = wall ? l.bottom - 1 : 0;
    v.last_word[g][lane] = wall ? l.last : 0;
    v.pixels[c] = wall ? l.pixels : reinterpret_cast<const uint8_t*>(&kNoPicture);
  }
  return v;
}

// The picture index that screen row `row` shows in every lane. On a ragged
// row each lane works out the wall row nearest to it instead, which its wall
// really shows; kClamp keeps the indices inside the pixel buffers.
template <bool kClamp>
inline void wall_row_indices(const WallVectors& v, int row, bool ragged,
                             int32_t (&index)[kBlockColumns]) {
  for (int g = 0; g < kGroups; ++g) {
    Ints rows = {row, row, row, row};
    if (ragged) {
      Ints before = rows < v.top[g];
      rows = (v.top[g] & before) | (rows & ~before);
      Ints after = rows > v.last_row[g];
      rows = (v.last_row[g] & after) | (rows & ~after);
    }
    Reals from_top = __builtin_convertvector(rows, Reals) + v.half[g] - kCentreRow;
    Ints offset = __builtin_convertvector(from_top, Ints);
    Reals stretched = __builtin_convertvector(offset, Reals) * v.scale[g];
    Ints indices = v.column[g] + v.width[g] * __builtin_convertvector(stretched, Ints);
    if (kClamp) {
      indices &= ~(indices < 0);
      Ints beyond = indices > v.last_word[g];
      indices = (v.last_word[g] & beyond) | (indices & ~beyond);
    }
    std::memcpy(index + g * kLanes, &indices, sizeof indices);
  }
}

inline int32_t picture_word(const uint8_t* pixels, int32_t index) {
  int32_t p;
  std::memcpy(&p, pixels + size_t(index) * 4, 4);
  return p;
}

// darken() on each lane.
inline Ints darkened(Ints p) {
  return (p & int32_t(0xFF000000u)) | ((p >> 1) & 0x007F7F7F);
}

template <bool kDark, bool kClamp>
void wall_rows(uint32_t* out, size_t stride, const WallLane (&lanes)[kBlockColumns]) {
  WallVectors v = wall_vectors(lanes);
  int first = kFrameHeight, end = 0, full_first = 0, full_end = kFrameHeight;
  for (const WallLane& l : lanes) {
    if (l.top < l.bottom) {
      first = std::min(first, l.top);
      end = std::max(end, l.bottom);
    }
    full_first = std::max(full_first, l.top);
    full_end = std::min(full_end, l.bottom);
  }
  if (full_first >= full_end) full_first = full_end = end;
  Ints dark[kGroups];
  for (int c = 0; c < kBlockColumns; ++c) dark[c / kLanes][c % kLanes] = lanes[c].dark ? -1 : 0;
  int32_t index[kBlockColumns];
  for (int row = first; row < end; ++row) {
    uint32_t* row_out = out + row * stride;
    bool ragged = row < full_first || row >= full_end;
    wall_row_indices<kClamp>(v, row, ragged, index);
    if (ragged) {
      for (int c = 0; c < kBlockColumns; ++c) {
        if (row < lanes[c].top || row >= lanes[c].bottom) continue;
        uint32_t p = uint32_t(picture_word(v.pixels[c], index[c]));
        row_out[c] = kDark && lanes[c].dark ? darken(p) : p;
      }
      continue;
    }
    for (int c = 0; c < kBlockColumns; c += kLanes) {
      Ints words = {picture_word(v.pixels[c], index[c]), picture_word(v.pixels[c + 1], index[c + 1]),
                    picture_word(v.pixels[c + 2], index[c + 2]),
                    picture_word(v.pixels[c + 3], index[c + 3])};
      if (kDark) words = (dark[c / kLanes] & darkened(words)) | (~dark[c / kLanes] & words);
      std::memcpy(row_out + c, &words, sizeof words);
    }
  }
}

}  // namespace

void draw_wall_lanes(uint32_t* out, size_t stride, const WallLane (&lanes)[kBlockColumns]) {
  auto any = [&](bool WallLane::*flag) {
    return std::any_of(lanes, lanes + kBlockColumns, [&](const WallLane& l) { return l.*flag; });
  };
  bool dark = any(&WallLane::dark), clamped = any(&WallLane::clamped);
  if (dark)
    clamped ? wall_rows<true, true>(out, stride, lanes) : wall_rows<true, false>(out, stride, lanes);
  else
    clamped ? wall_rows<false, true>(out, stride, lanes)
            : wall_rows<false, false>(out, stride, lanes);
}

// The rows every column fills are whole-row fills; the rest go lane by lane.
void fill_lane_rows(uint32_t* out, size_t stride, const int (&from)[kBlockColumns],
                    const int (&to)[kBlockColumns], uint32_t colour) {
  int first = kFrameHeight, end = 0, full_first = 0, full_end = kFrameHeight;
  for (int c = 0; c < kBlockColumns; ++c) {
    if (from[c] < to[c]) {
      first = std::min(first, from[c]);
      end = std::max(end, to[c]);
    }
    full_first = std::max(full_first, from[c]);
    full_end = std::min(full_end, to[c]);
  }
  if (full_first >= full_end) full_first = full_end = end;
  auto ragged = [&](int row) {
    for (int c = 0; c < kBlockColumns; ++c)
      if (row >= from[c] && row < to[c]) out[row * stride + c] = colour;
  };
  int row = first;
  for (; row < full_first; ++row) ragged(row);
  Ints colours = {int32_t(colour), int32_t(colour), int32_t(colour), int32_t(colour)};
  for (; row < full_end; ++row)
    for (int c = 0; c < kBlockColumns; c += kLanes)
      std::memcpy(out + row * stride + c, &colours, sizeof colours);
  for (; row < end; ++row) ragged(row);
}
