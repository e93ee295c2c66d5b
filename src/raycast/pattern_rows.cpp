// The sine patterns along a block's rows, four lanes to a vector (the
// compilers' own vector types, a width every target has), or sixteen where
// the processor has the 512-bit instructions. On four lanes the vector
// division, conversion, product and sum round as the scalar ones do, so
// every lane finds the cell fifty_sine_below_limit finds; on sixteen a
// polynomial for the sine is summed. Either way a lane whose value is
// undecided asks the exact path. Rows inside every lane's span are stored
// whole; the ragged rows at the spans' ends keep the pixels of the lanes
// outside. The ripple and banded floors' rows take sixteen lanes only:
// without the 512-bit permutes, drawing them along the rows measured slower
// than down the columns. The tangent skies, with those instructions, go down
// each column eight sky indices at a time.
#include "raycast/pattern_rows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/vector_words.h"
#include "common/simd_target.h"
#include "common/wide_vectors.h"
#include "raycast/pattern_tables.h"

#ifdef DEMO_WIDE_VECTORS
#include <immintrin.h>
#endif

namespace {

typedef float Reals __attribute__((vector_size(16)));
typedef int32_t Ints __attribute__((vector_size(16)));
typedef double Doubles __attribute__((vector_size(32)));
typedef int64_t Longs __attribute__((vector_size(32)));
constexpr int kLanes = 4;
constexpr int kGroups = kBlockColumns / kLanes;

inline Ints splat(int32_t v) { return Ints{v, v, v, v}; }

// The block as vectors, lane c of group g being column first_column + 4g + c.
struct SineLanes {
  Reals stretch[kGroups];  // 5 i
  Words column[kGroups];   // i
  Ints first[kGroups];     // the lane's rows first .. end - 1
  Ints end[kGroups];
};

SineLanes sine_lanes(const BlockSpans& spans) {
  SineLanes v;
  for (int c = 0; c < kBlockColumns; ++c) {
    int g = c / kLanes, lane = c % kLanes, i = spans.first_column + c;
    v.stretch[g][lane] = float(5 * i);
    v.column[g][lane] = uint32_t(i);
    v.first[g][lane] = spans.first[c];
    v.end[g][lane] = spans.end[c];
  }
  return v;
}

// 50 sin(u), truncated, for the lanes' u = 1 - (5 i) / depth. With kSmall
// (every argument of the frame below the fast sine's limit) the cells
// decide and the rare undecided lanes take fifty_sine_below_limit; without
// it every lane takes fifty_sine.
template <bool kSmall>
inline void row_waves(const SineLanes& v, float depth, Ints (&waves)[kGroups]) {
  Reals divisor = {depth, depth, depth, depth};
  Reals u[kGroups];
#pragma GCC unroll 4
  for (int g = 0; g < kGroups; ++g) u[g] = 1.0f - v.stretch[g] / divisor;
  if (!kSmall) {
    for (int g = 0; g < kGroups; ++g)
      for (int l = 0; l < kLanes; ++l) waves[g][l] = fifty_sine(u[g][l]);
    return;
  }
  int32_t cell[kBlockColumns];
#pragma GCC unroll 4
  for (int g = 0; g < kGroups; ++g) {
    Doubles rounded = __builtin_convertvector(u[g], Doubles) * kSineCellsPerRadian + kRoundingShift;
    Longs bits;
    std::memcpy(&bits, &rounded, sizeof bits);
    Ints low = __builtin_convertvector(bits & int64_t(kSineCells - 1), Ints);
    std::memcpy(cell + g * kLanes, &low, sizeof low);
  }
  const int8_t* cells = pattern_tables.sine_cell;
  int32_t wave[kBlockColumns];
  for (int l = 0; l < kBlockColumns; ++l) wave[l] = cells[cell[l]];
  Ints undecided = {};
#pragma GCC unroll 4
  for (int g = 0; g < kGroups; ++g) {
    std::memcpy(&waves[g], wave + g * kLanes, sizeof waves[g]);
    undecided |= waves[g] == splat(kSineUndecided);
  }
  if (!any_lane(undecided)) return;
  for (int g = 0; g < kGroups; ++g)
    for (int l = 0; l < kLanes; ++l)
      if (waves[g][l] == kSineUndecided) waves[g][l] = fifty_sine_below_limit(u[g][l]);
}

// |wave| + 4 (row & i), xored with the row's key, modulo 2^32.
inline Words row_pixels(Ints wave, Words column, int row, uint32_t key) {
  Ints sign = wave >> 31;
  Words magnitude = Words(wave ^ sign) - Words(sign);
  Words rows = Words(splat(row));
  return (magnitude + ((rows & column) << 2)) ^ key;
}

// Rows first .. end - 1. With kRagged only the lanes whose span holds the
// row are written.
template <bool kSmall, bool kRagged>
void sine_rows(uint32_t* out, size_t stride, const SineLanes& v, const PatternFrame& frame,
               const uint32_t* keys, int first, int end) {
  for (int row = first; row < end; ++row) {
    Ints waves[kGroups];
    row_waves<kSmall>(v, frame.sine_depth[row], waves);
    uint32_t* row_out = out + row * stride;
#pragma GCC unroll 4
    for (int g = 0; g < kGroups; ++g) {
      Words pixels = row_pixels(waves[g], v.column[g], row, keys[row]);
      if (kRagged) {
        Words inside = Words((splat(row) >= v.first[g]) & (splat(row) < v.end[g]));
        pixels = (pixels & inside) | (load_words(row_out + g * kLanes) & ~inside);
      }
      store_words(row_out + g * kLanes, pixels);
    }
  }
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
  return {*min_first, std::min(*max_first, *max_end), *max_first, *min_end,
          std::max(*max_first, *min_end), *max_end};
}

#ifdef DEMO_WIDE_VECTORS
// The same rows sixteen lanes to a vector, for processors with the 512-bit
// instructions. Gathering the sixteen lanes' cells from the table took half
// of the rows' time on the processors measured; summing a polynomial for
// the sine in single precision takes about a dozen vector steps, and rarely
// leaves a lane to the exact path.

// The block's columns i and the rows first .. end - 1 of each, a lane each.
struct WideLanes {
  WideInts columns;
  WideInts firsts;
  WideInts ends;
};

WIDE_VECTORS inline WideLanes wide_lanes(const BlockSpans& spans) {
  WideLanes v;
  for (int c = 0; c < kBlockColumns; ++c) {
    v.columns[c] = spans.first_column + c;
    v.firsts[c] = spans.first[c];
    v.ends[c] = spans.end[c];
  }
  return v;
}

// |50 sin(u)|, truncated, for lanes whose u lies within -7994 .. 1, and
// the lanes it leaves undecided. u less n pi, for n the whole number nearest
// u / pi, is r in about -pi/2 .. pi/2 (pi in two floats, each product with n
// exact in the fused steps), and |sin(u)| = |sin(r)|. An odd polynomial to
// r^7, summed in single precision, stays within 1e-4 of 50 |sin(u)| (its
// own fit to 3e-5, the roundings of r and of the sums the rest); it is
// summed in units of 2^-16, so that the low 16 bits of the truncated sum are
// its fraction, and a lane decides where that fraction is at least 16 units
// from a whole number (the sum's error would need 15). Every float of
// -8000 .. 1 was put through this and checked against the library's sine:
// none decides wrongly (the largest error seen was 3.8e-5). Undecided are
// the u where 50 |sin(u)| is near a whole number, its peaks of 50 most of
// them, and those below 5e-6 in size: 1 in 640 of the floats from 1/64 on.
constexpr float kInversePi = float(1.0 / 3.14159265358979323846);
constexpr float kPiHigh = float(3.14159265358979323846);
constexpr float kPiLow = float(3.14159265358979323846 - double(kPiHigh));
constexpr int kFractionBits = 16;
constexpr int kFractionMargin = 16;  // units of 2^-16
// index n = 0..3: 2^16 x the coefficient of r^(2n + 1) in the odd
// polynomial closest to 50 sin(r) for |r| <= pi/2 + 0.001 (fitted by
// Lawson's reweighted least squares; at most 3e-5 off in exact arithmetic)
constexpr int kSineTerms = 4;
constexpr float kSinePolynomial[kSineTerms] = {3276788.8567852206f, -546072.8741917612f,
                                               27217.94919997749f, -601.6813223768246f};

template <int kRows>
WIDE_VECTORS inline void wide_sine_magnitudes(const WideReals (&u)[kRows],
                                              WideInts (&magnitude)[kRows],
                                              unsigned (&undecided)[kRows]) {
  __m512 r[kRows], sum[kRows];
#pragma GCC unroll 4
  for (int k = 0; k < kRows; ++k) {
    // (the zeroing form with every lane kept: the plain one starts from an
    // undefined vector, which GCC 12 warns of)
    __m512 n =
        _mm512_maskz_roundscale_ps(0xFFFF, __m512(u[k] * kInversePi), _MM_FROUND_TO_NEAREST_INT);
    r[k] = _mm512_fnmadd_ps(n, _mm512_set1_ps(kPiHigh), __m512(u[k]));
    r[k] = _mm512_fnmadd_ps(n, _mm512_set1_ps(kPiLow), r[k]);
    r[k] = __m512(WideInts(r[k]) & INT32_MAX);
  }
  __m512 t[kRows];
#pragma GCC unroll 4
  for (int k = 0; k < kRows; ++k) {
    t[k] = _mm512_mul_ps(r[k], r[k]);
    sum[k] = _mm512_set1_ps(kSinePolynomial[kSineTerms - 1]);
  }
#pragma GCC unroll 4
  for (int n = kSineTerms - 2; n >= 0; --n)
#pragma GCC unroll 4
    for (int k = 0; k < kRows; ++k)
      sum[k] = _mm512_fmadd_ps(sum[k], t[k], _mm512_set1_ps(kSinePolynomial[n]));
#pragma GCC unroll 4
  for (int k = 0; k < kRows; ++k) {
    WideInts units = __builtin_convertvector(WideReals(_mm512_mul_ps(sum[k], r[k])), WideInts);
    undecided[k] = _mm512_testn_epi32_mask(
        __m512i(units + kFractionMargin),
        _mm512_set1_epi32(((1 << kFractionBits) - 1) & ~(2 * kFractionMargin - 1)));
    magnitude[k] = units >> kFractionBits;
  }
}

// Rows row .. row + kRows - 1.
template <bool kRagged, int kRows>
WIDE_VECTORS inline void wide_sine_row_group(uint32_t* out, size_t stride, const WideLanes& v,
                                             WideReals stretch, const PatternFrame& frame,
                                             const uint32_t* keys, int row) {
  WideReals u[kRows];
#pragma GCC unroll 4
  for (int k = 0; k < kRows; ++k) u[k] = 1.0f - stretch / frame.sine_depth[row + k];
  WideInts magnitude[kRows];
  unsigned undecided[kRows];
  wide_sine_magnitudes(u, magnitude, undecided);
#pragma GCC unroll 4
  for (int k = 0; k < kRows; ++k) {
    for (; undecided[k] != 0; undecided[k] &= undecided[k] - 1) {
      int lane = __builtin_ctz(undecided[k]);
      magnitude[k][lane] = std::abs(fifty_sine_below_limit(u[k][lane]));
    }
    int j = row + k;
    WideWords rows = WideWords(WideInts{} + j);
    WideWords pixels = (WideWords(magnitude[k]) + ((rows & WideWords(v.columns)) << 2)) ^ keys[j];
    uint32_t* row_out = out + j * stride;
    if (kRagged) {
      WideWords inside = WideWords((j >= v.firsts) & (j < v.ends));
      WideWords kept;
      std::memcpy(&kept, row_out, sizeof kept);
      pixels = (pixels & inside) | (kept & ~inside);
    }
    std::memcpy(row_out, &pixels, sizeof pixels);
  }
}

// The rows go four at a time, so that the processor works on four rows'
// chains of dependent steps together.
constexpr int kRowsTogether = 4;
template <bool kRagged>
WIDE_VECTORS void wide_sine_rows(uint32_t* out, size_t stride, const BlockSpans& spans,
                                 const PatternFrame& frame, const uint32_t* keys, int first,
                                 int end) {
  WideLanes v = wide_lanes(spans);
  WideReals stretch = __builtin_convertvector(5 * v.columns, WideReals);
  int row = first;
  for (; row + kRowsTogether <= end; row += kRowsTogether)
    wide_sine_row_group<kRagged, kRowsTogether>(out, stride, v, stretch, frame, keys, row);
  for (; row < end; ++row)
    wide_sine_row_group<kRagged, 1>(out, stride, v, stretch, frame, keys, row);
}

// Sixteen 16-bit entries, and two such side by side.
typedef int16_t ShortLanes __attribute__((vector_size(32)));
typedef int16_t PairedShorts __attribute__((vector_size(64)));
#define PAIR_LANES                                                                              \
  0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, \
      26, 27, 28, 29, 30, 31

// The lanes' quotients i / (j + 1), on rows where the caller has shown them
// to be 0..3 in every lane. The quotient of the single-precision division
// truncates to i / (j + 1): i and j + 1 are whole numbers below 2^11, so a
// quotient just short of a whole number stays more than 2^-21 of it away,
// far beyond the division's rounding.
WIDE_VECTORS inline WideInts small_quotients(WideReals columns, int j) {
  return __builtin_convertvector(columns / float(j + 1), WideInts);
}

// The lanes' tangent differences table[q][base + offset] for their small
// quotients q and offsets 0..15; width is the length of the table's rows.
// The 16 entries from base of the four rows are read whole and each lane
// picks its own from those 64, which here costs a fraction of a gather.
WIDE_VECTORS inline WideInts small_quotient_entries(WideInts q, int base, WideInts offsets,
                                                    const int16_t* table, int width) {
  __mmask16 inside = width - base >= 16 ? 0xFFFF : __mmask16((1u << (width - base)) - 1);
  ShortLanes rows[kSmallQuotients];
  for (int n = 0; n < kSmallQuotients; ++n)
    rows[n] = ShortLanes(_mm256_maskz_loadu_epi16(inside, table + n * width + base));
  PairedShorts low = __builtin_shufflevector(rows[0], rows[1], PAIR_LANES);
  PairedShorts high = __builtin_shufflevector(rows[2], rows[3], PAIR_LANES);
  ShortLanes picks = __builtin_convertvector(q * kBlockColumns + offsets, ShortLanes);
  PairedShorts entries = PairedShorts(_mm512_permutex2var_epi16(
      __m512i(low), __m512i(__builtin_shufflevector(picks, picks, PAIR_LANES)), __m512i(high)));
  return __builtin_convertvector(__builtin_shufflevector(entries, entries, 0, 1, 2, 3, 4, 5, 6, 7,
                                                         8, 9, 10, 11, 12, 13, 14, 15),
                                 WideInts);
}

// tan(q + 1) x 100 - 5 b, truncated, for the lanes' small quotients q and
// b = 0..1599, worked out rather than read: 5 b is whole and tan(q + 1) x 100
// is not, so the difference truncates to trunc(tan(q + 1) x 100) - 5 b, one
// more where a positive tangent term falls below 5 b. Lanes 0..3 hold, for
// q = 0..3, the truncated tangent term and the largest 5 b it stays above
// (INT32_MAX for a negative term).
struct FiveTimesTerms {
  WideInts tangent;
  WideInts above;
};

WIDE_VECTORS inline FiveTimesTerms five_times_terms() {
  FiveTimesTerms terms = {};
  for (int q = 0; q < kSmallQuotients; ++q) {
    terms.tangent[q] = hundred_tan_less_five_times(q + 1, 0);
    terms.above[q] = hundred_tan(q + 1) > 0.0 ? terms.tangent[q] : INT32_MAX;
  }
  return terms;
}

WIDE_VECTORS inline WideInts tangent_less_five_times(const FiveTimesTerms& terms, WideInts q,
                                                     WideInts b) {
  WideInts five_b = (b << 2) + b;
  // (the zeroing form with every lane kept: the plain one starts from an
  // undefined vector, which GCC 12 warns of)
  WideInts tangent =
      WideInts(_mm512_maskz_permutexvar_epi32(0xFFFF, __m512i(q), __m512i(terms.tangent)));
  WideInts above =
      WideInts(_mm512_maskz_permutexvar_epi32(0xFFFF, __m512i(q), __m512i(terms.above)));
  return tangent - five_b - (five_b > above);
}

// The first row from which every lane's i / (j + 1) is at most 3.
inline int small_quotients_from(const BlockSpans& spans) {
  return (spans.first_column + kBlockColumns - 1) / kSmallQuotients;
}

// The ripple floors' rows (bits xored in, m = i & (j >> shift)) or the
// banded floor's (bits masked, m = (2 j) & i, row j & row_mask, some rows
// left out).
template <bool kBanded>
WIDE_VECTORS void wide_floor_rows(uint32_t* out, size_t stride, const BlockSpans& spans,
                                  int shift, uint32_t bits, uint32_t row_mask) {
  WideLanes v = wide_lanes(spans);
  WideReals real_columns = __builtin_convertvector(v.columns, WideReals);
  RowKinds rows = row_kinds(spans);
  int small_from = small_quotients_from(spans);
  FiveTimesTerms terms = kBanded ? five_times_terms() : FiveTimesTerms{};
  for (int j = rows.head_first; j < rows.tail_end; ++j) {
    WideInts drawn = (j >= v.firsts) & (j < v.ends);
    if (kBanded && (j & 2) == 0) drawn &= ~(j + 2 < v.ends);
    uint32_t* row_out = out + (kBanded ? uint32_t(j) & row_mask : uint32_t(j)) * stride;
    // Blocks begin at multiples of 16 columns, so the lanes' m lie in the 16
    // from the first lane's.
    WideInts m = kBanded ? (2 * j) & v.columns : v.columns & (j >> shift);
    int base = m[0];
    if (j < small_from) {
      for (int c = 0; c < kBlockColumns; ++c) {
        if (!drawn[c]) continue;
        int n = column_over_row(v.columns[c], j) + 1;
        row_out[c] = kBanded ? uint32_t(hundred_tan_less_five_times(n, m[c])) & bits
                             : uint32_t(hundred_tan_less_forty_atan(n, m[c])) ^ bits;
      }
      continue;
    }
    WideInts q = small_quotients(real_columns, j);
    WideInts entries =
        kBanded ? tangent_less_five_times(terms, q, m)
                : small_quotient_entries(q, base, m - base, &pattern_tables.tan_less_atan[0][0],
                                         kArctangentArguments);
    WideInts pixels = kBanded ? entries & int32_t(bits) : entries ^ int32_t(bits);
    _mm512_mask_storeu_epi32(row_out, _mm512_test_epi32_mask(__m512i(drawn), __m512i(drawn)),
                             __m512i(pixels));
  }
}

// One column's sky, eight indices to a vector: the angles in double
// precision as the formula has them, the memo's angles compared lane by
// lane (a lane whose angle differs, NaN included, asks twice_tangent, which
// remembers it), and the pixels scattered to their rows, where the
// processor writes overlapping lanes in order, the later index last.
typedef double EightReals __attribute__((vector_size(64)));
typedef int32_t EightInts __attribute__((vector_size(32)));

WIDE_VECTORS void tangent_column_wide(uint32_t* pixels, size_t stride, int i, int first, int end,
                                      const PatternFrame& frame, uint32_t flip, uint32_t keep) {
  TangentColumn memo = tangent_column(i);
  double tenth = 0.1 * i;
  const EightInts steps = {0, 1, 2, 3, 4, 5, 6, 7};
  for (int k = first; k < end; k += 8) {
    __mmask8 lanes = end - k >= 8 ? 0xFF : __mmask8((1u << (end - k)) - 1);
    EightInts indices = k + steps;
    EightReals angles =
        frame.sky_base +
        frame.sky_swing *
            ((0.5 * __builtin_convertvector(indices, EightReals) - tenth) * 20.0 / 25.0);
    __m512d seen = _mm512_maskz_loadu_pd(lanes, memo.angle + k);
    unsigned changed = _mm512_mask_cmp_pd_mask(lanes, __m512d(angles), seen, _CMP_NEQ_UQ);
    for (; changed != 0; changed &= changed - 1) {
      int lane = __builtin_ctz(changed);
      twice_tangent(angles[lane], k + lane, i);
    }
    EightInts values = EightInts(_mm256_maskz_loadu_epi32(lanes, memo.value + k));
    EightInts rows = 2 * indices - ((indices >> 1) & (i / 2));
    _mm256_mask_i32scatter_epi32(pixels, lanes, __m256i(rows * int32_t(stride)),
                                 __m256i((values ^ int32_t(flip)) & int32_t(keep)), 4);
  }
}
#endif

template <bool kSmall>
void sine_block(uint32_t* out, size_t stride, const BlockSpans& spans, const PatternFrame& frame,
                const uint32_t* keys, const RowKinds& rows) {
  SineLanes v = sine_lanes(spans);
  sine_rows<kSmall, true>(out, stride, v, frame, keys, rows.head_first, rows.head_end);
  sine_rows<kSmall, false>(out, stride, v, frame, keys, rows.whole_first, rows.whole_end);
  sine_rows<kSmall, true>(out, stride, v, frame, keys, rows.tail_first, rows.tail_end);
}

}  // namespace

#ifdef DEMO_WIDE_VECTORS
bool ripple_rows_wide(uint32_t* out, size_t stride, const BlockSpans& spans, int shift,
                      uint32_t key) {
  if (!simd_wide()) return false;
  wide_floor_rows<false>(out, stride, spans, shift, key, 0);
  return true;
}

bool banded_rows_wide(uint32_t* out, size_t stride, const BlockSpans& spans, uint32_t mask,
                      uint32_t row_mask) {
  if (!simd_wide()) return false;
  wide_floor_rows<true>(out, stride, spans, 0, mask, row_mask);
  return true;
}

bool tangent_sky_wide(uint32_t* out, size_t stride, const BlockSpans& spans,
                      const PatternFrame& frame, uint32_t flip, uint32_t keep) {
  if (!simd_wide()) return false;
  for (int c = 0; c < kBlockColumns; ++c)
    tangent_column_wide(out + c, stride, spans.first_column + c, spans.first[c],
                        std::min(spans.end[c], kSkyRows), frame, flip, keep);
  return true;
}
#else
bool ripple_rows_wide(uint32_t*, size_t, const BlockSpans&, int, uint32_t) { return false; }

bool banded_rows_wide(uint32_t*, size_t, const BlockSpans&, uint32_t, uint32_t) { return false; }

bool tangent_sky_wide(uint32_t*, size_t, const BlockSpans&, const PatternFrame&, uint32_t,
                      uint32_t) {
  return false;
}
#endif

void sine_wave_rows(uint32_t* out, size_t stride, const BlockSpans& spans,
                    const PatternFrame& frame, const uint32_t* keys) {
  RowKinds rows = row_kinds(spans);
#ifdef DEMO_WIDE_VECTORS
  if (frame.sine_arguments_small && simd_wide()) {
    wide_sine_rows<true>(out, stride, spans, frame, keys, rows.head_first, rows.head_end);
    wide_sine_rows<false>(out, stride, spans, frame, keys, rows.whole_first, rows.whole_end);
    wide_sine_rows<true>(out, stride, spans, frame, keys, rows.tail_first, rows.tail_end);
    return;
  }
#endif
  if (frame.sine_arguments_small)
    sine_block<true>(out, stride, spans, frame, keys, rows);
  else
    sine_block<false>(out, stride, spans, frame, keys, rows);
}
