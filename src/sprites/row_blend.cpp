// The billboards' row work in vectors of four 32-bit words (the compilers'
// own vector type, which every target has), single words for the rest of a
// row; and the plan that copies or leaves out whole steps of four.
#include "sprites/row_blend.h"

#include <cstring>

namespace {

typedef uint32_t Words __attribute__((vector_size(16)));

inline Words load_words(const uint32_t* p) {
  Words w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

inline void store_words(uint32_t* p, Words w) { std::memcpy(p, &w, sizeof w); }

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

StepStore step_store(const uint32_t* select, int count) {
  uint32_t any = 0, all = ~0u;
  for (int k = 0; k < count; ++k) {
    any |= select[k];
    all &= select[k];
  }
  return any == 0 ? STEP_NONE : all == ~0u ? STEP_COPY : STEP_BLEND;
}

}  // namespace

void select_and_tint(uint32_t* words, uint32_t* select, const uint32_t* tint,
                     const uint32_t* shown, uint32_t key, int count) {
  const Words keys = {key, key, key, key};
  int c = 0;
  for (; c + 4 <= count; c += 4) {
    Words w = load_words(words + c);
    store_words(select + c, Words(w != keys) & load_words(shown + c));
    store_words(words + c, w | load_words(tint + c));
  }
  for (; c < count; ++c) {
    select[c] = words[c] != key ? shown[c] : 0u;
    words[c] |= tint[c];
  }
}

void plan_row_stores(const uint32_t* select, int32_t first, int32_t end, RowStores& plan) {
  plan.count = 0;
  StepStore previous = STEP_NONE;
  for (int32_t c = first; c < end; c += 4) {
    int32_t step_end = c + 4 < end ? c + 4 : end;
    StepStore store = step_store(select + c, step_end - c);
    if (store != STEP_NONE && store == previous)
      plan.stretches[plan.count - 1].end = step_end;
    else if (store != STEP_NONE)
      plan.stretches[plan.count++] = {c, step_end, store == STEP_COPY};
    previous = store;
  }
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
