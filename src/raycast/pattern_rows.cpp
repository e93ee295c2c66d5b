// The generated patterns along a block's rows, written once for every
// vector width (Highway, built for each target): the sine skies and floors,
// the ripple and banded floors, and the tangent skies down each column a
// vector of sky indices at a time. The formulas are patterns'; each kernel
// gives exactly what they give.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "raycast/pattern_rows.cpp"
#include "raycast/pattern_rows.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cstdlib>

#include "raycast/block_lanes-inl.h"
#include "raycast/pattern_tables.h"

HWY_BEFORE_NAMESPACE();
namespace pattern_kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using namespace block_lanes::HWY_NAMESPACE;

// The block's columns i and the rows first .. end - 1 of each, side by side.
struct BlockLanes {
  alignas(64) int32_t column[kBlockColumns];
  alignas(64) int32_t first[kBlockColumns];
  alignas(64) int32_t end[kBlockColumns];
  alignas(64) float stretch[kBlockColumns];  // 5 i
  alignas(64) int32_t quadruple[kBlockColumns];  // 4 i
};

BlockLanes block_lanes(const BlockSpans& spans) {
  BlockLanes b;
  for (int c = 0; c < kBlockColumns; ++c) {
    b.column[c] = spans.first_column + c;
    b.first[c] = spans.first[c];
    b.end[c] = spans.end[c];
    b.stretch[c] = float(5 * (spans.first_column + c));
    b.quadruple[c] = 4 * (spans.first_column + c);
  }
  return b;
}

// The lanes of vector v whose span holds row j.
HWY_INLINE IntMask inside_span(const BlockLanes& b, size_t v, int j) {
  const Ints ints;
  return hn::And(hn::Lt(hn::Load(ints, b.first + v * kLanes), hn::Set(ints, j + 1)),
                 hn::Lt(hn::Set(ints, j), hn::Load(ints, b.end + v * kLanes)));
}

// The block's rows by kind: those every lane's span holds go whole, the
// rows above and below them are ragged.
struct RowKinds {
  int head_first, head_end;  // ragged
  int whole_first, whole_end;
  int tail_first, tail_end;  // ragged
};

RowKinds row_kinds(const BlockSpans& spans) {
  auto [min_first, max_first] = std::minmax_element(spans.first, spans.first + kBlockColumns);
  auto [min_end, max_end] = std::minmax_element(spans.end, spans.end + kBlockColumns);
  return {*min_first, std::min(*max_first, *max_end), *max_first,
          *min_end,   std::max(*max_first, *min_end), *max_end};
}

// |50 sin(u)|, truncated, for lanes whose u lies within -7994 .. 1, and the
// lanes it leaves undecided; gathering each lane's cell from the sine table
// took half of the rows' time. u less n pi, for n a whole number nearest
// u / pi (the truncation of u / pi - 1/2, which u's range keeps negative or
// below 1/2), is r in about -pi/2 .. pi/2, and |sin(u)| = |sin(r)|: pi is
// taken in three floats, the first two short enough that their products
// with n (below 2^12) are exact and u less the first is exact too. An odd
// polynomial to r^7, summed in single precision with a rounding after every
// product and every sum (no fused steps, so every target sums alike), stays
// within 1e-4 of 50 |sin(u)| (its own fit to 3e-5, the roundings of r and
// of the sums the rest); it is summed in units of 2^-16, so that the low 16
// bits of the truncated sum are its fraction, and a lane decides where that
// fraction is at least 16 units from a whole number (the sum's error would
// need 15). Every float of -8000 .. 1 was put through these very steps and
// checked against the library's sine: none decides wrongly (the largest
// error seen was 4e-5). Undecided are the u where 50 |sin(u)| is near a
// whole number, its peaks of 50 most of them, and those below 5e-6 in size:
// 1 in 640 of the floats from 1/64 on.
constexpr float kInversePi = float(1.0 / 3.14159265358979323846);
constexpr float kPiHigh = 0x1.92p+1f;      // 8 significant bits
constexpr float kPiMiddle = 0x1.fb4p-11f;  // 11 significant bits
constexpr float kPiLow = float(3.14159265358979323846 - double(kPiHigh) - double(kPiMiddle));
constexpr int kFractionBits = 16;
constexpr int kFractionMargin = 16;  // units of 2^-16
// index n = 0..3: 2^16 x the coefficient of r^(2n + 1) in the odd
// polynomial closest to 50 sin(r) for |r| <= pi/2 + 0.001 (fitted by
// Lawson's reweighted least squares; at most 3e-5 off in exact arithmetic)
constexpr int kSineTerms = 4;
constexpr float kSinePolynomial[kSineTerms] = {3276788.8567852206f, -546072.8741917612f,
                                               27217.94919997749f, -601.6813223768246f};

// The sum is below 2^22 units: truncated in place and added to 2^23, it is
// a float whose low 23 bits are the truncated sum, the very integer a
// conversion gives, without the conversion's fix-up of overflowing lanes
// (n likewise: truncated in place, it is the float of the truncated integer,
// -0 aside, which u less n pi takes as 0).
constexpr float kIntegerShift = 0x1p23f;
constexpr int32_t kIntegerShiftBits = 0x4B000000;

// 50 |sin(u)| in units of 2^-16, truncated, plus kIntegerShiftBits.
HWY_INLINE IntVector sine_units(RealVector u) {
  const Reals reals;
  const Ints ints;
  auto n = hn::Trunc(hn::Sub(hn::Mul(u, hn::Set(reals, kInversePi)), hn::Set(reals, 0.5f)));
  auto r = hn::Sub(u, hn::Mul(n, hn::Set(reals, kPiHigh)));
  r = hn::Sub(r, hn::Mul(n, hn::Set(reals, kPiMiddle)));
  r = hn::Abs(hn::Sub(r, hn::Mul(n, hn::Set(reals, kPiLow))));
  auto t = hn::Mul(r, r);
  auto sum = hn::Set(reals, kSinePolynomial[kSineTerms - 1]);
  for (int k = kSineTerms - 2; k >= 0; --k)
    sum = hn::Add(hn::Mul(sum, t), hn::Set(reals, kSinePolynomial[k]));
  return hn::BitCast(ints,
                     hn::Add(hn::Trunc(hn::Mul(sum, r)), hn::Set(reals, kIntegerShift)));
}

// The undecided lanes' magnitudes from the exact path.
HWY_NOINLINE IntVector exact_magnitudes(RealVector u, IntVector magnitude, IntMask undecided) {
  const Reals reals;
  const Ints ints;
  alignas(64) float at[kLanes];
  alignas(64) int32_t value[kLanes], asked[kLanes];
  hn::Store(u, reals, at);
  hn::Store(magnitude, ints, value);
  hn::Store(hn::VecFromMask(ints, undecided), ints, asked);
  for (size_t lane = 0; lane < kLanes; ++lane)
    if (asked[lane]) value[lane] = std::abs(fifty_sine_below_limit(at[lane]));
  return hn::Load(ints, value);
}

// On vectors of 4 lanes or fewer each lane reads its cell from the sine
// table (as fifty_sine_below_limit does first), which measured faster there
// than summing the polynomial (patterns_bench's sine sky: with SSE4 0.85 of
// the polynomial's time, with the one-lane portable target a quarter); on
// wider ones the polynomial is faster. A cell that holds no single value
// leaves its lane undecided.
constexpr bool kSineByCells = kLanes <= 4;

#if HWY_HAVE_FLOAT64
// Half a vector's lanes (the one lane of a one-lane vector) and their doubles.
using HalfReals = hn::CappedTag<float, (kLanes + 1) / 2>;
using CellDoubles = hn::Rebind<double, HalfReals>;

// The lanes' cells, as sine_cell_of finds each: the products and sums in
// double vectors (one by one they took SSE4 a tenth more of the sine
// scenes' time), a separate Mul and Add rounding as the scalar steps do,
// never fused. There is no gather of bytes, so the table is read per lane.
HWY_INLINE void store_half_cells(hn::Vec<HalfReals> u, uint64_t* cell) {
  const CellDoubles doubles;
  const hn::RebindToUnsigned<CellDoubles> bits;
  auto rounded = hn::Add(hn::Mul(hn::PromoteTo(doubles, u), hn::Set(doubles, kSineCellsPerRadian)),
                         hn::Set(doubles, kRoundingShift));
  hn::Store(hn::And(hn::BitCast(bits, rounded), hn::Set(bits, uint64_t{kSineCells - 1})), bits,
            cell);
}

HWY_INLINE void store_cells(RealVector u, uint64_t* cell) {
#if HWY_TARGET == HWY_SCALAR
  store_half_cells(u, cell);  // its one lane has no halves
#else
  const HalfReals half;
  store_half_cells(hn::LowerHalf(half, u), cell);
  store_half_cells(hn::UpperHalf(half, u), cell + kLanes / 2);
#endif
}
#endif

// A row's arguments u = 1 - (5 i) / d, kVectors vectors.
HWY_INLINE void sine_arguments(const BlockLanes& b, const PatternFrame& frame, int j,
                               RealVector (&u)[kVectors]) {
  const Reals reals;
  for (size_t v = 0; v < kVectors; ++v)
    u[v] = hn::Sub(hn::Set(reals, 1.0f), hn::Div(hn::Load(reals, b.stretch + v * kLanes),
                                                 hn::Set(reals, frame.sine_depth[j])));
}

// One vector of row j's pixels from its lanes' magnitudes, the undecided
// lanes' asked of the exact path.
template <bool kRagged>
HWY_INLINE void write_sine_pixels(uint32_t* row_out, const BlockLanes& b, size_t v, int j,
                                  uint32_t key, RealVector u, IntVector magnitude,
                                  IntMask undecided) {
  const Ints ints;
  const Words words;
  if (!hn::AllFalse(ints, undecided)) magnitude = exact_magnitudes(u, magnitude, undecided);
  auto quadruple = hn::Load(ints, b.quadruple + v * kLanes);  // 4 (j & i) = (4 j) & (4 i)
  auto pixels = hn::Xor(hn::Add(hn::BitCast(words, magnitude),
                                hn::BitCast(words, hn::And(hn::Set(ints, 4 * j), quadruple))),
                        hn::Set(words, key));
  uint32_t* at = row_out + v * kLanes;
  if (kRagged)
    pixels = hn::IfThenElse(hn::RebindMask(words, inside_span(b, v, j)), pixels,
                            hn::LoadU(words, at));
  hn::StoreU(pixels, words, at);
}

// Rows row .. row + kRows - 1 by the polynomial, all kVectors vectors of
// each together, so that the processor works on several chains of
// dependent steps at once.
template <bool kRagged, int kRows>
HWY_INLINE void sine_row_group(uint32_t* out, size_t stride, const BlockLanes& b,
                               const PatternFrame& frame, const uint32_t* keys, int row) {
  const Ints ints;
  RealVector u[kRows][kVectors];
  // the sums in units of 2^-16 with the shift's bits (whose low 16 are clear)
  IntVector units[kRows][kVectors];
  for (int k = 0; k < kRows; ++k) sine_arguments(b, frame, row + k, u[k]);
  for (int k = 0; k < kRows; ++k)
    for (size_t v = 0; v < kVectors; ++v) units[k][v] = sine_units(u[k][v]);
  const auto fraction = hn::Set(ints, ((1 << kFractionBits) - 1) & ~(2 * kFractionMargin - 1));
  for (int k = 0; k < kRows; ++k) {
    int j = row + k;
    for (size_t v = 0; v < kVectors; ++v) {
      auto magnitude = hn::Sub(hn::ShiftRight<kFractionBits>(units[k][v]),
                               hn::Set(ints, kIntegerShiftBits >> kFractionBits));
      auto undecided = hn::Eq(
          hn::And(hn::Add(units[k][v], hn::Set(ints, kFractionMargin)), fraction), hn::Zero(ints));
      write_sine_pixels<kRagged>(out + j * stride, b, v, j, keys[j], u[k][v], magnitude,
                                 undecided);
    }
  }
}

constexpr int kRowsTogether = kVectors >= 4 ? 1 : int(4 / kVectors);

template <bool kRagged>
void sine_rows_by_polynomial(uint32_t* out, size_t stride, const BlockLanes& b,
                             const PatternFrame& frame, const uint32_t* keys, int first,
                             int end) {
  int row = first;
  for (; row + kRowsTogether <= end; row += kRowsTogether)
    sine_row_group<kRagged, kRowsTogether>(out, stride, b, frame, keys, row);
  for (; row < end; ++row) sine_row_group<kRagged, 1>(out, stride, b, frame, keys, row);
}

// A row's arguments and each lane's cell: 50 sin(u) truncated, or
// kSineUndecided. Without doubles (WebAssembly) each lane goes through
// sine_cell_of.
struct CellRow {
  alignas(64) float u[kBlockColumns];
  alignas(64) int32_t wave[kBlockColumns];
};

HWY_INLINE void cell_row(const BlockLanes& b, const PatternFrame& frame, int j, CellRow& row) {
  const Reals reals;
  RealVector u[kVectors];
  sine_arguments(b, frame, j, u);
  for (size_t v = 0; v < kVectors; ++v) hn::Store(u[v], reals, row.u + v * kLanes);
#if HWY_HAVE_FLOAT64
  alignas(64) uint64_t cell[kBlockColumns];
  for (size_t v = 0; v < kVectors; ++v) store_cells(u[v], cell + v * kLanes);
  for (int c = 0; c < kBlockColumns; ++c) row.wave[c] = pattern_tables.sine_cell[cell[c]];
#else
  for (int c = 0; c < kBlockColumns; ++c) row.wave[c] = sine_cell_of(row.u[c]);
#endif
}

// The next row's cells are read before this row's are loaded back as
// vectors: loaded right after their lanes were stored one by one, the
// vectors would wait on the stores.
template <bool kRagged>
void sine_rows_by_cells(uint32_t* out, size_t stride, const BlockLanes& b,
                        const PatternFrame& frame, const uint32_t* keys, int first, int end) {
  const Reals reals;
  const Ints ints;
  CellRow rows[2];
  if (first < end) cell_row(b, frame, first, rows[first & 1]);
  for (int j = first; j < end; ++j) {
    if (j + 1 < end) cell_row(b, frame, j + 1, rows[(j + 1) & 1]);
    const CellRow& row = rows[j & 1];
    for (size_t v = 0; v < kVectors; ++v) {
      auto wave = hn::Load(ints, row.wave + v * kLanes);
      write_sine_pixels<kRagged>(out + j * stride, b, v, j, keys[j],
                                 hn::Load(reals, row.u + v * kLanes), hn::Abs(wave),
                                 hn::Eq(wave, hn::Set(ints, kSineUndecided)));
    }
  }
}

template <bool kRagged>
void sine_rows(uint32_t* out, size_t stride, const BlockLanes& b, const PatternFrame& frame,
               const uint32_t* keys, int first, int end) {
  if (kSineByCells)
    sine_rows_by_cells<kRagged>(out, stride, b, frame, keys, first, end);
  else
    sine_rows_by_polynomial<kRagged>(out, stride, b, frame, keys, first, end);
}

void SineRows(uint32_t* out, size_t stride, const BlockSpans& spans, const PatternFrame& frame,
              const uint32_t* keys) {
  BlockLanes b = block_lanes(spans);
  RowKinds rows = row_kinds(spans);
  sine_rows<true>(out, stride, b, frame, keys, rows.head_first, rows.head_end);
  sine_rows<false>(out, stride, b, frame, keys, rows.whole_first, rows.whole_end);
  sine_rows<true>(out, stride, b, frame, keys, rows.tail_first, rows.tail_end);
}

// The ripple floors go along the rows only where a vector holds 8 lanes or
// more, which measured faster than down the columns (with AVX2 0.9 and 0.75
// of the time of the ripple and quarter ripple floors in patterns_bench); on
// 4 lanes gathering each lane's table entry took 1.15 times the time of the
// columns (SSE4), so there they go down the columns. The banded floor,
// whose tangent terms each lane picks from a vector of four, goes along the
// rows with 4 lanes too.
constexpr bool kRipplesAlongRows = kLanes >= 8;
constexpr bool kBandedAlongRows = kLanes >= 4;

// The lanes' quotients i / (j + 1), on rows where the caller has shown them
// to be 0..3 in every lane, from the row's reciprocal (row_reciprocal).
HWY_INLINE IntVector small_quotients(const BlockLanes& b, size_t v, uint32_t reciprocal) {
  const Words words;
  auto column = hn::BitCast(words, hn::Load(Ints(), b.column + v * kLanes));
  return hn::BitCast(Ints(), hn::ShiftRight<kRowReciprocalBits>(
                                 hn::Mul(column, hn::Set(words, reciprocal))));
}

// tan(q + 1) x 100 - 5 b, truncated, for the lanes' small quotients q and
// b = 0..1599, worked out rather than read: 5 b is whole and tan(q + 1) x 100
// is not, so the difference truncates to trunc(tan(q + 1) x 100) - 5 b, one
// more where a positive tangent term falls below 5 b. Index q = 0..3 (the
// rest of each row unused): the truncated tangent term and the largest 5 b
// it stays above (INT32_MAX for a negative term), each a vector that the
// lanes' quotients pick from.
struct FiveTimesTerms {
  alignas(64) int32_t tangent[kBlockColumns];
  alignas(64) int32_t above[kBlockColumns];
};

FiveTimesTerms five_times_terms() {
  FiveTimesTerms terms = {};
  for (int q = 0; q < kSmallQuotients; ++q) {
    terms.tangent[q] = hundred_tan_less_five_times(q + 1, 0);
    terms.above[q] = hundred_tan(q + 1) > 0.0 ? terms.tangent[q] : INT32_MAX;
  }
  return terms;
}

HWY_INLINE IntVector tangent_less_five_times(IntVector tangent, IntVector above, IntVector q,
                                             IntVector b) {
  const Ints ints;
  auto picks = hn::IndicesFromVec(ints, q);
  auto five_b = hn::Add(hn::ShiftLeft<2>(b), b);
  auto difference = hn::Sub(hn::TableLookupLanes(tangent, picks), five_b);
  return hn::Sub(difference,
                 hn::VecFromMask(ints, hn::Gt(five_b, hn::TableLookupLanes(above, picks))));
}

// The first row from which every lane's i / (j + 1) is at most 3.
int small_quotients_from(const BlockSpans& spans) {
  return (spans.first_column + kBlockColumns - 1) / kSmallQuotients;
}

// The ripple floors' rows (bits xored in, m = i & (j >> shift)) or the
// banded floor's (bits masked, m = (2 j) & i, row j & row_mask, some rows
// left out: a row whose every lane is left out is passed over whole).
template <bool kBanded>
void floor_rows(uint32_t* out, size_t stride, const BlockSpans& spans, int shift, uint32_t bits,
                uint32_t row_mask) {
  const Ints ints;
  BlockLanes b = block_lanes(spans);
  RowKinds rows = row_kinds(spans);
  int small_from = small_quotients_from(spans);
  FiveTimesTerms terms = kBanded ? five_times_terms() : FiveTimesTerms{};
  const auto tangent = hn::Load(ints, terms.tangent);
  const auto above = hn::Load(ints, terms.above);
  const int32_t* ripple_table = &pattern_tables.tan_less_atan[0][0];
  for (int j = rows.head_first; j < rows.tail_end; ++j) {
    bool bands_skip = kBanded && (j & 2) == 0;  // lanes whose span holds j + 2 leave j out
    if (bands_skip && j + 2 < rows.whole_end) continue;
    uint32_t* row_out = out + (kBanded ? uint32_t(j) & row_mask : uint32_t(j)) * stride;
    auto left_out = [&](int c) {
      return j < b.first[c] || j >= b.end[c] || (bands_skip && j + 2 < b.end[c]);
    };
    if (j < small_from) {
      for (int c = 0; c < kBlockColumns; ++c) {
        if (left_out(c)) continue;
        int i = b.column[c], n = column_over_row(i, j) + 1;
        row_out[c] = kBanded ? uint32_t(hundred_tan_less_five_times(n, (2 * j) & i)) & bits
                             : uint32_t(hundred_tan_less_forty_atan(n, i & (j >> shift))) ^ bits;
      }
      continue;
    }
    bool whole = j >= rows.whole_first && j < rows.whole_end && !bands_skip;
    uint32_t reciprocal = row_reciprocal(j);
    for (size_t v = 0; v < kVectors; ++v) {
      auto column = hn::Load(ints, b.column + v * kLanes);
      IntVector q = small_quotients(b, v, reciprocal);
      IntVector pixels;
      if (kBanded) {
        auto m = hn::And(hn::Set(ints, 2 * j), column);
        pixels = hn::And(tangent_less_five_times(tangent, above, q, m),
                         hn::Set(ints, int32_t(bits)));
      } else {
        auto m = hn::And(column, hn::Set(ints, j >> shift));
        auto index = hn::Add(hn::Mul(q, hn::Set(ints, kArctangentArguments)), m);
        pixels = hn::Xor(hn::GatherIndex(ints, ripple_table, index), hn::Set(ints, int32_t(bits)));
      }
      int32_t* at = reinterpret_cast<int32_t*>(row_out) + v * kLanes;
      if (!whole) {
        IntMask drawn = inside_span(b, v, j);
        if (bands_skip)
          drawn =
              hn::AndNot(hn::Lt(hn::Set(ints, j + 2), hn::Load(ints, b.end + v * kLanes)), drawn);
        pixels = hn::IfThenElse(drawn, pixels, hn::LoadU(ints, at));
      }
      hn::StoreU(pixels, ints, at);
    }
  }
}

bool RippleRows(uint32_t* out, size_t stride, const BlockSpans& spans, int shift, uint32_t key) {
  if (!kRipplesAlongRows) return false;
  floor_rows<false>(out, stride, spans, shift, key, 0);
  return true;
}

bool BandedRows(uint32_t* out, size_t stride, const BlockSpans& spans, uint32_t mask,
                uint32_t row_mask) {
  if (!kBandedAlongRows) return false;
  floor_rows<true>(out, stride, spans, 0, mask, row_mask);
  return true;
}

#if HWY_HAVE_FLOAT64
// The tangent skies' sky indices, as many a vector as the target holds
// doubles, up to 8; their offsets in double precision as the formula has
// them. (Highway's WebAssembly target holds no doubles: there every index
// goes one by one.)
using Doubles = hn::CappedTag<double, 8>;
using SkyInts = hn::Rebind<int32_t, Doubles>;
constexpr int kSkyLanes = int(hn::MaxLanes(Doubles()));

// Sky indices k .. k + kSkyLanes - 1 of column i: the memo's offsets
// compared lane by lane (a lane whose offset differs asks twice_tangent,
// which remembers it), and the pixels scattered to their rows in index
// order, the later index last where two land on one row.
HWY_INLINE void sky_vector(uint32_t* pixels, size_t stride, int i, int k, TangentColumn memo,
                           double tenth, uint32_t flip, uint32_t keep) {
  const Doubles doubles;
  const SkyInts ints;
  auto indices = hn::Add(hn::Set(ints, k), hn::Iota(ints, 0));
  auto offsets = hn::Sub(hn::Mul(hn::Set(doubles, 0.5), hn::PromoteTo(doubles, indices)),
                         hn::Set(doubles, tenth));
  auto changed = hn::Not(hn::Eq(offsets, hn::LoadU(doubles, memo.offset + k)));
  if (!hn::AllFalse(doubles, changed)) {
    const hn::RebindToSigned<Doubles> longs;
    alignas(64) double offset[kSkyLanes];
    alignas(64) int64_t asked[kSkyLanes];
    hn::Store(offsets, doubles, offset);
    hn::Store(hn::BitCast(longs, hn::VecFromMask(doubles, changed)), longs, asked);
    for (int lane = 0; lane < kSkyLanes; ++lane)
      if (asked[lane]) twice_tangent(offset[lane], k + lane, i);
  }
  auto values = hn::LoadU(ints, memo.value + k);
  auto rows = hn::Sub(hn::ShiftLeft<1>(indices),
                      hn::And(hn::ShiftRight<1>(indices), hn::Set(ints, i / 2)));
  auto words =
      hn::And(hn::Xor(values, hn::Set(ints, int32_t(flip))), hn::Set(ints, int32_t(keep)));
  // stored lane by lane, the lanes unrolled (as a loop, its own steps were
  // half of the scatter's)
  alignas(64) int32_t word[kSkyLanes], at[kSkyLanes];
  hn::Store(words, ints, word);
  hn::Store(hn::Mul(rows, hn::Set(ints, int32_t(stride))), ints, at);
#pragma GCC unroll 8
  for (int lane = 0; lane < kSkyLanes; ++lane) pixels[at[lane]] = uint32_t(word[lane]);
}
#endif

// One column's sky; the indices short of a whole vector at the end go one
// by one. Kept out of line: inlined into the loop over the block's columns,
// the sky's inner loop ran short of registers (about a fifth slower).
HWY_NOINLINE void sky_column(uint32_t* pixels, size_t stride, int i, int first, int end,
                             uint32_t flip, uint32_t keep) {
  double tenth = 0.1 * i;
  int k = first;
#if HWY_HAVE_FLOAT64
  TangentColumn memo = tangent_column(i);
  for (; k + kSkyLanes <= end; k += kSkyLanes)
    sky_vector(pixels, stride, i, k, memo, tenth, flip, keep);
#endif
  for (; k < end; ++k)
    pixels[sky_row(k, i) * stride] =
        (uint32_t(twice_tangent(sky_offset(k, tenth), k, i)) ^ flip) & keep;
}

void TangentSkyRows(uint32_t* out, size_t stride, const BlockSpans& spans,
                    const PatternFrame& frame, uint32_t flip, uint32_t keep) {
  tangent_memo_for(frame.sky_base, frame.sky_swing);
  for (int c = 0; c < kBlockColumns; ++c)
    sky_column(out + c, stride, spans.first_column + c, spans.first[c],
               std::min(spans.end[c], kSkyRows), flip, keep);
}

}  // namespace HWY_NAMESPACE
}  // namespace pattern_kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace pattern_kernels {
HWY_EXPORT(SineRows);
HWY_EXPORT(RippleRows);
HWY_EXPORT(BandedRows);
HWY_EXPORT(TangentSkyRows);
}  // namespace pattern_kernels

// (dispatched from inside the kernels' namespace, where a build with one
// target finds them by their own names)
bool ripple_rows(uint32_t* out, size_t stride, const BlockSpans& spans, int shift, uint32_t key) {
  using namespace pattern_kernels;
  return HWY_DYNAMIC_DISPATCH(RippleRows)(out, stride, spans, shift, key);
}

bool banded_rows(uint32_t* out, size_t stride, const BlockSpans& spans, uint32_t mask,
                 uint32_t row_mask) {
  using namespace pattern_kernels;
  return HWY_DYNAMIC_DISPATCH(BandedRows)(out, stride, spans, mask, row_mask);
}

// Arguments beyond the fast sine's limit (a negative clock) go lane by lane.
void sine_wave_rows(uint32_t* out, size_t stride, const BlockSpans& spans,
                    const PatternFrame& frame, const uint32_t* keys) {
  using namespace pattern_kernels;
  if (frame.sine_arguments_small) {
    HWY_DYNAMIC_DISPATCH(SineRows)(out, stride, spans, frame, keys);
    return;
  }
  for (int c = 0; c < kBlockColumns; ++c) {
    int i = spans.first_column + c;
    for (int row = spans.first[c]; row < spans.end[c]; ++row) {
      int32_t wave = fifty_sine(1.0f - float(5 * i) / frame.sine_depth[row]);
      uint32_t magnitude = wave < 0 ? 0u - uint32_t(wave) : uint32_t(wave);
      out[row * stride + c] = (magnitude + 4 * uint32_t(row & i)) ^ keys[row];
    }
  }
}

void tangent_sky_rows(uint32_t* out, size_t stride, const BlockSpans& spans,
                      const PatternFrame& frame, uint32_t flip, uint32_t keep) {
  using namespace pattern_kernels;
  HWY_DYNAMIC_DISPATCH(TangentSkyRows)(out, stride, spans, frame, flip, keep);
}
#endif
