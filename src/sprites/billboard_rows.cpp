// The billboards' row work in vectors of four 32-bit words, single words for
// the rest of a row; the plan that copies or leaves out whole steps of four;
// on processors with the wide instructions, sixteen words at a time whose
// masked stores need no plan; and the threads' sampled rows.
#include "sprites/billboard_rows.h"

#include <algorithm>
#include <cstring>

#include "common/vector_words.h"
#include "common/simd_target.h"
#include "common/wide_vectors.h"

#ifdef DEMO_WIDE_VECTORS
#include <immintrin.h>
#endif

namespace {

// out[c] becomes words[c] where select[c] is all ones and stays where it is
// 0, for c in 0 .. count - 1.
void blend_selected(uint32_t* out, const uint32_t* words, const uint32_t* select, int count) {
  int c = 0;
  for (; c + 4 <= count; c += 4) {
    Words s = load_words(select + c);
    store_words(out + c, (load_words(words + c) & s) | (load_words(out + c) & ~s));
  }
  for (; c < count; ++c) out[c] = (words[c] & select[c]) | (out[c] & ~select[c]);
}

enum StepStore { STEP_NONE, STEP_COPY, STEP_BLEND };

// How a step whose select words are s goes to the frame.
StepStore step_store(Words s) {
  Words any = s | __builtin_shufflevector(s, s, 2, 3, 0, 1);
  Words all = s & __builtin_shufflevector(s, s, 2, 3, 0, 1);
  any |= __builtin_shufflevector(any, any, 1, 0, 3, 2);
  all &= __builtin_shufflevector(all, all, 1, 0, 3, 2);
  return any[0] == 0 ? STEP_NONE : all[0] == ~0u ? STEP_COPY : STEP_BLEND;
}

// Adds the step first .. end - 1 to the plan, joining it to the stretch
// before when it ends there and is stored alike.
void add_step(StepStore store, int32_t first, int32_t end, StepStore& previous, RowStores& plan) {
  if (store != STEP_NONE && store == previous)
    plan.stretches[plan.count - 1].end = end;
  else if (store != STEP_NONE)
    plan.stretches[plan.count++] = {first, end, store == STEP_COPY};
  previous = store;
}

#ifdef DEMO_WIDE_VECTORS
constexpr int kWideLanes = 16;

// The lanes of the sixteen columns from c that lie in first .. end - 1.
inline __mmask16 lanes_within(int32_t c, int32_t first, int32_t end) {
  uint32_t from = uint32_t(std::max(first - c, 0));
  uint32_t to = uint32_t(std::min(end - c, kWideLanes));
  return __mmask16((0xFFFFu >> (kWideLanes - to)) & (0xFFFFu << from));
}

// From the sixteen-column step that holds first: every load and store lies
// inside the rows' arrays, which are whole steps long.
WIDE_VECTORS void select_and_tint_wide(uint32_t* words, uint32_t* select, const uint32_t* tint,
                                       const uint32_t* shown, uint32_t key, int32_t first,
                                       int32_t end) {
  const __m512i keys = _mm512_set1_epi32(int32_t(key));
  for (int32_t c = first & -kWideLanes; c < end; c += kWideLanes) {
    __mmask16 inside = lanes_within(c, first, end);
    __m512i w = _mm512_loadu_si512(words + c);
    __m512i s = _mm512_loadu_si512(shown + c);
    __mmask16 written =
        _mm512_mask_cmpneq_epu32_mask(inside, w, keys) & _mm512_test_epi32_mask(s, s);
    _mm512_storeu_si512(select + c, _mm512_maskz_set1_epi32(written, -1));
    _mm512_mask_storeu_epi32(words + c, inside, _mm512_or_si512(w, _mm512_loadu_si512(tint + c)));
  }
}

WIDE_VECTORS void store_row_wide(uint32_t* frame_row, const uint32_t* words, const uint32_t* select,
                                 int32_t first, int32_t end) {
  for (int32_t c = first & -kWideLanes; c < end; c += kWideLanes) {
    __m512i s = _mm512_loadu_si512(select + c);
    _mm512_mask_storeu_epi32(frame_row + c, _mm512_test_epi32_mask(s, s),
                             _mm512_loadu_si512(words + c));
  }
}
#endif

// Each thread's sampled rows, one per billboard of a drawing's list.
thread_local SampledRowSlot sampled_rows[kSpriteCount];

}  // namespace

SampledRowSlot& thread_sampled_row(int k) { return sampled_rows[k]; }

// Whole vectors from each run's start: the words past a run's end are
// written again by the next run.
void fill_runs(uint32_t* words, int32_t first, const int32_t* run_end, const uint32_t* run_word,
               int runs) {
  int32_t c = first;
  for (int k = 0; k < runs; ++k) {
    const Words w = {run_word[k], run_word[k], run_word[k], run_word[k]};
    int32_t end = run_end[k];
    do {
      store_words(words + c, w);
      c += 4;
    } while (c < end);
    c = end;
  }
}

void select_tint_and_plan(uint32_t* words, uint32_t* select, const uint32_t* tint,
                          const uint32_t* shown, uint32_t key, int32_t first, int32_t end,
                          RowStores& plan) {
#ifdef DEMO_WIDE_VECTORS
  plan.wide = simd_wide();
  if (plan.wide) {
    select_and_tint_wide(words, select, tint, shown, key, first, end);
    plan.count = 1;
    plan.stretches[0] = {first, end, false};
    return;
  }
#else
  plan.wide = false;
#endif
  const Words keys = {key, key, key, key};
  plan.count = 0;
  StepStore previous = STEP_NONE;
  int32_t c = first;
  for (; c + 4 <= end; c += 4) {
    Words w = load_words(words + c);
    Words s = Words(w != keys) & load_words(shown + c);
    store_words(select + c, s);
    store_words(words + c, w | load_words(tint + c));
    add_step(step_store(s), c, c + 4, previous, plan);
  }
  if (c == end) return;
  Words s = {0, 0, 0, 0};
  for (int32_t k = c; k < end; ++k) {
    select[k] = words[k] != key ? shown[k] : 0u;
    words[k] |= tint[k];
    s[k - c] = select[k];
  }
  for (int32_t k = end - c; k < 4; ++k) s[k] = s[0];  // lanes past the end keep the class
  add_step(step_store(s), c, end, previous, plan);
}

void store_row(uint32_t* frame_row, const uint32_t* words, const uint32_t* select,
               const RowStores& plan) {
#ifdef DEMO_WIDE_VECTORS
  if (plan.wide)
    return store_row_wide(frame_row, words, select, plan.stretches[0].first, plan.stretches[0].end);
#endif
  for (int k = 0; k < plan.count; ++k) {
    const RowStretch& s = plan.stretches[k];
    if (s.copy)
      std::memcpy(frame_row + s.first, words + s.first, size_t(s.end - s.first) * 4);
    else
      blend_selected(frame_row + s.first, words + s.first, select + s.first, s.end - s.first);
  }
}
