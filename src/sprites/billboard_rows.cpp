// The billboards' row work in vectors of four 32-bit words, single words for
// the rest of a row; the plan that copies or leaves out whole steps of four;
// and the threads' sampled rows.
#include "sprites/billboard_rows.h"

#include <cstring>

#include "common/vector_words.h"

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
  for (int k = 0; k < plan.count; ++k) {
    const RowStretch& s = plan.stretches[k];
    if (s.copy)
      std::memcpy(frame_row + s.first, words + s.first, size_t(s.end - s.first) * 4);
    else
      blend_selected(frame_row + s.first, words + s.first, select + s.first, s.end - s.first);
  }
}
