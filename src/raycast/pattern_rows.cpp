// The sine patterns along a block's rows, four lanes to a vector (the
// compilers' own vector types, a width every target has). The vector
// division, conversion, product and sum round as the scalar ones do, so
// every lane finds the cell fifty_sine_below_limit finds; the table reads
// stay scalar loads, and a lane whose cell is undecided asks the exact path.
// Rows inside every lane's span are stored whole; the ragged rows at the
// spans' ends keep the pixels of the lanes outside.
#include "raycast/pattern_rows.h"

#include <algorithm>
#include <cstring>

#include "common/vector_words.h"
#include "raycast/pattern_tables.h"

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

inline bool any_lane(Ints mask) {
  int64_t halves[2];
  std::memcpy(halves, &mask, sizeof halves);
  return (halves[0] | halves[1]) != 0;
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

// The rows every lane's span holds go whole; the rows above and below them
// are ragged.
template <bool kSmall>
void sine_block(uint32_t* out, size_t stride, const BlockSpans& spans, const PatternFrame& frame,
                const uint32_t* keys) {
  SineLanes v = sine_lanes(spans);
  auto [min_first, max_first] = std::minmax_element(spans.first, spans.first + kBlockColumns);
  auto [min_end, max_end] = std::minmax_element(spans.end, spans.end + kBlockColumns);
  int whole_first = *max_first, whole_end = *min_end;
  sine_rows<kSmall, true>(out, stride, v, frame, keys, *min_first,
                          std::min(whole_first, *max_end));
  sine_rows<kSmall, false>(out, stride, v, frame, keys, whole_first, whole_end);
  sine_rows<kSmall, true>(out, stride, v, frame, keys, std::max(whole_first, whole_end),
                          *max_end);
}

}  // namespace

void sine_wave_rows(uint32_t* out, size_t stride, const BlockSpans& spans,
                    const PatternFrame& frame, const uint32_t* keys) {
  if (frame.sine_arguments_small)
    sine_block<true>(out, stride, spans, frame, keys);
  else
    sine_block<false>(out, stride, spans, frame, keys);
}
