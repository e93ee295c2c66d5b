// Wall rows sixteen words at a time. Reading the picture word by word (a
// gather) is what costs here, so a block whose rows show fewer picture rows
// than it has screen rows reads each picture row once, for all 16 columns,
// into a table; each screen row then takes its words from the few table rows
// its columns are on. Words are clamped into the pixel buffers and darkened
// as block_rows does, so the pixels are the same.
#include "raycast/wall_rows_wide.h"

#include "common/wide_vectors.h"

#ifdef DEMO_WIDE_VECTORS
#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace {

// Picture rows a block may read into its table (the show's pictures have at
// most 128), and how many rows above a screen row's lowest picture row its
// other columns may be and still take their words from the table.
constexpr int kTableRows = 256;
constexpr int kReach = 3;

// A lane is a column of the block; quarters and pairs of the lanes serve
// the folds.
typedef int32_t QuarterInts __attribute__((vector_size(16)));
typedef int32_t PairInts __attribute__((vector_size(8)));

WIDE_VECTORS inline WideInts splat(int32_t v) { return WideInts{} + v; }

template <bool kLowest, typename V>
WIDE_VECTORS inline V pick(V a, V b) {
  return kLowest ? (a < b ? a : b) : (a > b ? a : b);
}

// The smallest (kLowest) or largest lane, halving the vector each step.
template <bool kLowest>
WIDE_VECTORS inline int32_t extreme_lane(WideInts v) {
  HalfInts h = pick<kLowest>(__builtin_shufflevector(v, v, 0, 1, 2, 3, 4, 5, 6, 7),
                             __builtin_shufflevector(v, v, 8, 9, 10, 11, 12, 13, 14, 15));
  QuarterInts q = pick<kLowest>(__builtin_shufflevector(h, h, 0, 1, 2, 3),
                                __builtin_shufflevector(h, h, 4, 5, 6, 7));
  PairInts p =
      pick<kLowest>(__builtin_shufflevector(q, q, 0, 1), __builtin_shufflevector(q, q, 2, 3));
  return kLowest ? std::min(p[0], p[1]) : std::max(p[0], p[1]);
}

struct WideBlock {
  WideReals half;
  WideReals scale;
  WideInts column;
  WideInts width;
  WideInts last;        // the last word of each lane's pixel buffer
  WideInts dark;        // all ones where darkened
  HalfLongs pixels[2];  // the pixel buffers' addresses, lanes 0..7 and 8..15
  const void* shared;   // the one pixel buffer of every lane, or null
};

WIDE_VECTORS WideBlock wide_block(const BlockLane (&lanes)[kBlockColumns]) {
  WideBlock b;
  b.shared = lanes[0].pixels;
  for (int c = 0; c < kBlockColumns; ++c) {
    const BlockLane& l = lanes[c];
    b.half[c] = l.half;
    b.scale[c] = l.scale;
    b.column[c] = l.column;
    b.width[c] = l.width;
    b.last[c] = l.last;
    b.dark[c] = l.dark ? -1 : 0;
    b.pixels[c / 8][c % 8] = int64_t(reinterpret_cast<uintptr_t>(l.pixels));
    if (l.pixels != b.shared) b.shared = nullptr;
  }
  return b;
}

// The picture rows of the 16 walls on screen row `row`, converted as
// block_rows converts them. The caller has kept both conversions in the
// 32-bit range, where truncating in place is the same as converting to an
// integer and back.
WIDE_VECTORS inline WideInts texture_rows(const WideBlock& b, int row) {
  WideReals from_top = (float(row) + b.half) - kCentreRow;
  WideReals stretched =
      WideReals(_mm512_maskz_roundscale_ps(0xFFFF, __m512(from_top), _MM_FROUND_TO_ZERO)) * b.scale;
  return __builtin_convertvector(stretched, WideInts);
}

WIDE_VECTORS inline WideInts gather_words(const WideBlock& b, WideInts index) {
  if (b.shared)
    return WideInts(
        _mm512_mask_i32gather_epi32(__m512i(WideInts{}), 0xFFFF, __m512i(index), b.shared, 4));
  HalfInts halves[2];
  std::memcpy(halves, &index, sizeof halves);
  __m256i words[2];
  for (int h = 0; h < 2; ++h) {
    HalfLongs at = b.pixels[h] + 4 * __builtin_convertvector(halves[h], HalfLongs);
    words[h] = _mm512_mask_i64gather_epi32(__m256i(HalfInts{}), 0xFF, __m512i(at), nullptr, 1);
  }
  WideInts joined;
  std::memcpy(&joined, words, sizeof joined);
  return joined;
}

// Each lane's word darkened where asked.
WIDE_VECTORS inline WideInts shaded(const WideBlock& b, WideInts words) {
  WideInts darkened = (words & int32_t(0xFF000000u)) | ((words >> 1) & 0x007F7F7F);
  return (darkened & b.dark) | (words & ~b.dark);
}

// Each lane's word on its picture row, clamped into its pixel buffer and
// darkened where asked.
WIDE_VECTORS inline WideInts picture_words(const WideBlock& b, WideInts texture_row) {
  // Table rows outside a lane's own may wrap; the clamp keeps them inside its buffer.
  WideInts index = WideInts(WideWords(b.column) + WideWords(b.width) * WideWords(texture_row));
  index = index < 0 ? 0 : index;
  index = index > b.last ? b.last : index;
  return shaded(b, gather_words(b, index));
}

WIDE_VECTORS inline void store_row(uint32_t* out, WideInts words) {
  std::memcpy(out, &words, sizeof words);
}

WIDE_VECTORS void rows_by_gather(uint32_t* out, size_t stride, const WideBlock& b, int first,
                                 int end) {
  for (int row = first; row < end; ++row)
    store_row(out + row * stride, picture_words(b, texture_rows(b, row)));
}

// One row's words from the table, whose first row is picture row lowest;
// by gather where the row's columns lie further apart than the table's
// reach.
WIDE_VECTORS inline WideInts table_words(const WideBlock& b, const WideInts* table, int lowest,
                                         WideInts texture_row) {
  int row_lowest = extreme_lane<true>(texture_row);
  WideInts above = texture_row - row_lowest;
  if (_mm512_cmpgt_epu32_mask(__m512i(above), __m512i(splat(kReach))))
    return picture_words(b, texture_row);
  const WideInts* from = table + (row_lowest - lowest);
  __m512i taken = __m512i(from[0]);
  for (int k = 1; k <= kReach; ++k)
    taken = _mm512_mask_load_epi32(
        taken, _mm512_cmpeq_epi32_mask(__m512i(above), __m512i(splat(k))), from + k);
  return WideInts(taken);
}

// The table's rows, picture rows lowest .. lowest + rows - 1. Where the
// lanes share one picture, their columns lie within 16 words of each other
// and every row lies inside the picture, a row's 16 words are read whole and
// put in lane order by one permute; elsewhere each row is a gather.
WIDE_VECTORS void fill_table(WideInts* table, const WideBlock& b, int lowest, int rows) {
  int first_column = extreme_lane<true>(b.column);
  int last_column = extreme_lane<false>(b.column);
  int width = b.width[0];
  int64_t first_word = first_column + int64_t(width) * lowest;
  int64_t last_word = last_column + int64_t(width) * (lowest + rows - 1);
  bool whole = b.shared && last_column - first_column < kBlockColumns && first_word >= 0 &&
               last_word <= extreme_lane<true>(b.last) &&
               extreme_lane<false>(b.width) == extreme_lane<true>(b.width);
  if (!whole) {
    for (int t = 0; t < rows; ++t) table[t] = picture_words(b, splat(lowest + t));
    return;
  }
  __mmask16 span = __mmask16((1u << (last_column - first_column + 1)) - 1);
  __m512i picks = __m512i(b.column - first_column);
  const int32_t* from = static_cast<const int32_t*>(b.shared) + first_word;
  for (int t = 0; t < rows; ++t, from += width)
    table[t] = shaded(b, WideInts(_mm512_maskz_permutexvar_epi32(
                             0xFFFF, picks, _mm512_maskz_loadu_epi32(span, from))));
}

// Picture rows only grow down a wall, so the block's lie between the first
// row's lowest and the last row's highest. A near wall shows each picture
// row on several screen rows: most rows repeat the row above.
WIDE_VECTORS void rows_by_table(uint32_t* out, size_t stride, const WideBlock& b, int first,
                                int end, int lowest, int rows) {
  alignas(64) WideInts table[kTableRows + kReach];
  fill_table(table, b, lowest, rows);
  WideInts shown = splat(-1);
  WideInts words = {};
  for (int row = first; row < end; ++row) {
    WideInts texture_row = texture_rows(b, row);
    if (_mm512_cmpneq_epi32_mask(__m512i(texture_row), __m512i(shown))) {
      shown = texture_row;
      words = table_words(b, table, lowest, texture_row);
    }
    store_row(out + row * stride, words);
  }
}

WIDE_VECTORS void wall_rows(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
                            int first, int end) {
  WideBlock b = wide_block(lanes);
  int lowest = extreme_lane<true>(texture_rows(b, first));
  int rows = extreme_lane<false>(texture_rows(b, end - 1)) - lowest + 1;
  if (rows <= kTableRows && rows < end - first)
    rows_by_table(out, stride, b, first, end, lowest, rows);
  else
    rows_by_gather(out, stride, b, first, end);
}

}  // namespace

WIDE_VECTORS void fill_rows_wide(uint32_t* out, size_t stride, int first, int end,
                                 uint32_t colour) {
  for (int row = first; row < end; ++row) store_row(out + row * stride, splat(int32_t(colour)));
}

void draw_wall_rows_wide(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
                         int first, int end) {
  if (first < end) wall_rows(out, stride, lanes, first, end);
}
#else
void draw_wall_rows_wide(uint32_t*, size_t, const BlockLane (&)[kBlockColumns], int, int) {}
void fill_rows_wide(uint32_t*, size_t, int, int, uint32_t) {}
#endif
