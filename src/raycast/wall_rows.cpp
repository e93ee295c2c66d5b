// The rows inside every wall of a block, and its solid fills, written once
// for every vector width (Highway, built for each target). Reading the
// picture word by word is what costs here, so a block whose rows show fewer
// picture rows than it has screen rows reads each picture row once, for all
// 16 columns, into a table; each screen row then takes its words from the
// few table rows its columns are on.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "raycast/wall_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cstring>

#include "common/numeric.h"
#include "raycast/block_lanes-inl.h"
#include "raycast/wall_rows.h"

HWY_BEFORE_NAMESPACE();
namespace wall_kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using namespace block_lanes::HWY_NAMESPACE;

// Picture rows a block may read into its table (the show's pictures have at
// most 128), and how many rows above the table row a screen row picks from
// its columns may be and still take their words from the table.
constexpr int kTableRows = 256;
constexpr int kReach = 3;

// The block's lanes side by side, loaded a vector at a time.
struct WallBlock {
  alignas(64) float half[kBlockColumns];
  alignas(64) float scale[kBlockColumns];
  alignas(64) int32_t column[kBlockColumns];
  alignas(64) int32_t width[kBlockColumns];
  alignas(64) int32_t last[kBlockColumns];  // the last word of each lane's pixel buffer
  alignas(64) int32_t dark[kBlockColumns];  // all ones where darkened
  const uint8_t* pixels[kBlockColumns];
  const int32_t* shared;  // the one pixel buffer of every lane, or null
};

void wall_block(const BlockLane* lanes, WallBlock& b) {
  b.shared = reinterpret_cast<const int32_t*>(lanes[0].pixels);
  for (int c = 0; c < kBlockColumns; ++c) {
    const BlockLane& l = lanes[c];
    b.half[c] = l.half;
    b.scale[c] = l.scale;
    b.column[c] = l.column;
    b.width[c] = l.width;
    b.last[c] = l.last;
    b.dark[c] = l.dark ? -1 : 0;
    b.pixels[c] = l.pixels;
    if (reinterpret_cast<const int32_t*>(l.pixels) != b.shared) b.shared = nullptr;
  }
}

// The picture rows of vector v's walls on screen row `row`, whole numbers
// as floats.
HWY_INLINE RealVector texture_rows(const WallBlock& b, size_t v, int row) {
  const Reals reals;
  return picture_rows(hn::Set(reals, float(row)), hn::Load(reals, b.half + v * kLanes),
                      hn::Load(reals, b.scale + v * kLanes));
}

HWY_INLINE IntVector darkened_where_asked(const WallBlock& b, size_t v, IntVector words) {
  const Ints ints;
  auto darkened = hn::Or(hn::And(words, hn::Set(ints, int32_t(0xFF000000u))),
                         hn::And(hn::ShiftRight<1>(words), hn::Set(ints, 0x007F7F7F)));
  return hn::IfThenElse(hn::MaskFromVec(hn::Load(ints, b.dark + v * kLanes)), darkened, words);
}

// Vector v's words on its picture rows, clamped into each lane's pixel
// buffer (table rows outside a lane's own may wrap) and darkened where asked.
HWY_INLINE IntVector picture_words(const WallBlock& b, size_t v, IntVector texture_row) {
  const Ints ints;
  const hn::RebindToUnsigned<Ints> words_tag;
  auto column = hn::BitCast(words_tag, hn::Load(ints, b.column + v * kLanes));
  auto width = hn::BitCast(words_tag, hn::Load(ints, b.width + v * kLanes));
  auto index =
      hn::BitCast(ints, hn::Add(column, hn::Mul(width, hn::BitCast(words_tag, texture_row))));
  index = hn::Min(hn::Max(index, hn::Zero(ints)), hn::Load(ints, b.last + v * kLanes));
  IntVector words;
  if (b.shared) {
    words = hn::GatherIndex(ints, b.shared, index);
  } else {
    alignas(64) int32_t at[kLanes], read[kLanes];
    hn::Store(index, ints, at);
    for (size_t lane = 0; lane < kLanes; ++lane)
      std::memcpy(&read[lane], b.pixels[v * kLanes + lane] + size_t(at[lane]) * 4, 4);
    words = hn::Load(ints, read);
  }
  return darkened_where_asked(b, v, words);
}

// Where vector v's lanes read one picture of one width at texture columns
// less than a vector's lanes apart, and every table row's words from the
// least of them on lie inside the pixel buffer (so that no index is
// clamped): that least column, and the first table row's word on it.
struct NeighbouringColumns {
  bool found;
  int32_t least;
  int64_t start;
};

NeighbouringColumns neighbouring_columns(const WallBlock& b, size_t v, int lowest, int rows) {
  const int32_t* column = b.column + v * kLanes;
  const int32_t* width = b.width + v * kLanes;
  const NeighbouringColumns none = {false, 0, 0};
  if (!b.shared || std::any_of(width, width + kLanes, [&](int32_t w) { return w != width[0]; }))
    return none;
  auto [least, most] = std::minmax_element(column, column + kLanes);
  if (int64_t(*most) - *least >= int64_t(kLanes)) return none;
  int64_t start = *least + int64_t(width[0]) * lowest;
  int64_t last_start = start + int64_t(width[0]) * (rows - 1);
  if (start < 0 || last_start + int64_t(kLanes) - 1 > b.last[v * kLanes]) return none;
  return {true, *least, start};
}

// Table rows 0 .. rows - 1, picture rows lowest on. Lanes on neighbouring
// texture columns take a row's words from one load, each lane picking its
// own, instead of a gather (with AVX2 on this processor about 8 loads' time).
void fill_table(const WallBlock& b, int lowest, int rows, int32_t* table) {
  const Ints ints;
  for (size_t v = 0; v < kVectors; ++v) {
    int32_t* to = table + v * kLanes;
    NeighbouringColumns n = neighbouring_columns(b, v, lowest, rows);
    if (!n.found) {
      for (int t = 0; t < rows; ++t)
        hn::Store(picture_words(b, v, hn::Set(ints, lowest + t)), ints, to + t * kBlockColumns);
      continue;
    }
    auto picks = hn::IndicesFromVec(
        ints, hn::Sub(hn::Load(ints, b.column + v * kLanes), hn::Set(ints, n.least)));
    const int32_t* from = b.shared + n.start;
    for (int t = 0; t < rows; ++t, from += b.width[v * kLanes])
      hn::Store(darkened_where_asked(b, v, hn::TableLookupLanes(hn::LoadU(ints, from), picks)),
                ints, to + t * kBlockColumns);
  }
}

// The lowest (kLowest) or highest lane of the block's vectors.
template <bool kLowest>
HWY_INLINE int32_t extreme_lane(const RealVector (&rows)[kVectors]) {
  const Reals reals;
  RealVector e = rows[0];
  for (size_t v = 1; v < kVectors; ++v) e = kLowest ? hn::Min(e, rows[v]) : hn::Max(e, rows[v]);
  return to_int32_in_range(hn::GetLane(kLowest ? hn::MinOfLanes(reals, e) : hn::MaxOfLanes(reals, e)));
}

template <bool kLowest>
HWY_INLINE int32_t extreme_row(const WallBlock& b, int row) {
  RealVector rows[kVectors];
  for (size_t v = 0; v < kVectors; ++v) rows[v] = texture_rows(b, v, row);
  return extreme_lane<kLowest>(rows);
}

HWY_INLINE void store_row(uint32_t* out, const IntVector (&words)[kVectors]) {
  const Ints ints;
  for (size_t v = 0; v < kVectors; ++v)
    hn::StoreU(words[v], ints, reinterpret_cast<int32_t*>(out) + v * kLanes);
}

void rows_by_gather(uint32_t* out, size_t stride, const WallBlock& b, int first, int end) {
  for (int row = first; row < end; ++row) {
    IntVector words[kVectors];
    for (size_t v = 0; v < kVectors; ++v)
      words[v] = picture_words(b, v, hn::ConvertTo(Ints(), texture_rows(b, v, row)));
    store_row(out + row * stride, words);
  }
}

// How far each lane's picture row lies above the table row base, whole
// numbers as floats; true when every lane lies within the table's reach
// (one test for the whole row, not a branch for each vector).
HWY_INLINE bool rows_above(const RealVector (&texture_row)[kVectors], int base,
                           RealVector (&above)[kVectors]) {
  const Reals reals;
  auto beyond = hn::FirstN(reals, 0);
  for (size_t v = 0; v < kVectors; ++v) {
    above[v] = hn::Sub(texture_row[v], hn::Set(reals, float(base)));
    beyond = hn::Or(beyond, hn::Gt(above[v], hn::Set(reals, float(kReach))));
  }
  return hn::AllFalse(reals, beyond);
}

// Each lane's word from the table rows from .. from + kReach, picked by how
// far its picture row lies above the first of them, stored straight into
// the row (kept in vectors for a whole row, they went through the stack).
HWY_INLINE void store_table_words(uint32_t* out, const int32_t* from,
                                  const RealVector (&above)[kVectors]) {
  const Ints ints;
  const Reals reals;
  for (size_t v = 0; v < kVectors; ++v) {
    auto words = hn::Load(ints, from + v * kLanes);
    for (int k = 1; k <= kReach; ++k)
      words = hn::IfThenElse(hn::RebindMask(ints, hn::Eq(above[v], hn::Set(reals, float(k)))),
                             hn::Load(ints, from + k * kBlockColumns + v * kLanes), words);
    hn::StoreU(words, ints, reinterpret_cast<int32_t*>(out) + v * kLanes);
  }
}

// With 4 lanes or fewer a row whose picture rows are all those of the row
// above copies that row: picking from the table costs these targets several
// vectors a row, and the test's branch, though often guessed wrong, costs
// less (sse4 at t 320-340 of the show, where near walls show each picture
// row on many screen rows). Wider targets pick every row.
constexpr bool kRepeatRows = kLanes <= 4;

HWY_INLINE bool repeats(const RealVector (&texture_row)[kVectors],
                        const RealVector (&above_row)[kVectors]) {
  const Reals reals;
  auto differ = hn::Ne(texture_row[0], above_row[0]);
  for (size_t v = 1; v < kVectors; ++v)
    differ = hn::Or(differ, hn::Ne(texture_row[v], above_row[v]));
  return hn::AllFalse(reals, differ);
}

// Picture rows only grow down a wall, so the block's lie between the first
// row's lowest and the last row's highest. A near wall shows each picture
// row on several screen rows. Each row picks its words from the few table
// rows from base on, base being a row's lowest lane, which stays at or below
// every lane further down; it moves up only when some lane has gone beyond
// the table's reach. With more than 4 lanes every row is picked alike,
// without a test of whether it repeats the row above, which the lanes' rows
// changing at different screen rows made a branch that was mostly guessed
// wrong (kRepeatRows). Rows whose columns lie further apart than the reach
// are read from the picture.
void rows_by_table(uint32_t* out, size_t stride, const WallBlock& b, int first, int end,
                   int lowest, int rows) {
  alignas(64) int32_t table[(kTableRows + kReach) * kBlockColumns];
  fill_table(b, lowest, rows, table);
  int base = lowest;
  RealVector above_row[kVectors];
  for (size_t v = 0; v < kVectors; ++v) above_row[v] = hn::Zero(Reals());
  for (int row = first; row < end; ++row) {
    RealVector texture_row[kVectors], above[kVectors];
    for (size_t v = 0; v < kVectors; ++v) texture_row[v] = texture_rows(b, v, row);
    if (kRepeatRows && row > first && repeats(texture_row, above_row)) {
      std::memcpy(out + row * stride, out + (row - 1) * stride, kBlockColumns * sizeof *out);
      continue;
    }
    std::copy(texture_row, texture_row + kVectors, above_row);
    bool within = rows_above(texture_row, base, above);
    if (!within) {
      base = extreme_lane<true>(texture_row);
      within = rows_above(texture_row, base, above);
    }
    if (within) {
      store_table_words(out + row * stride, table + (base - lowest) * kBlockColumns, above);
      continue;
    }
    IntVector words[kVectors];
    for (size_t v = 0; v < kVectors; ++v)
      words[v] = picture_words(b, v, hn::ConvertTo(Ints(), texture_row[v]));
    store_row(out + row * stride, words);
  }
}

void WallRows(uint32_t* out, size_t stride, const BlockLane* lanes, int first, int end) {
  WallBlock b;
  wall_block(lanes, b);
  int lowest = extreme_row<true>(b, first);
  int rows = extreme_row<false>(b, end - 1) - lowest + 1;
  if (rows <= kTableRows && rows < end - first)
    rows_by_table(out, stride, b, first, end, lowest, rows);
  else
    rows_by_gather(out, stride, b, first, end);
}

void FillRows(uint32_t* out, size_t stride, int first, int end, uint32_t colour) {
  const Ints ints;
  auto words = hn::Set(ints, int32_t(colour));
  for (int row = first; row < end; ++row)
    for (size_t v = 0; v < kVectors; ++v)
      hn::StoreU(words, ints, reinterpret_cast<int32_t*>(out + row * stride) + v * kLanes);
}

}  // namespace HWY_NAMESPACE
}  // namespace wall_kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace wall_kernels {
HWY_EXPORT(WallRows);
HWY_EXPORT(FillRows);
}  // namespace wall_kernels

// (dispatched from inside the kernels' namespace, where a build with one
// target finds it by its own name)
void draw_wall_rows(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
                    int first, int end) {
  using namespace wall_kernels;
  if (first < end) HWY_DYNAMIC_DISPATCH(WallRows)(out, stride, lanes, first, end);
}

void fill_rows(uint32_t* out, size_t stride, int first, int end, uint32_t colour) {
  using namespace wall_kernels;
  HWY_DYNAMIC_DISPATCH(FillRows)(out, stride, first, end, colour);
}
#endif
