// The billboards' row work, written once for every vector width (Highway,
// built for each target): runs filled a vector of words at a time, the sampled
// words picked out a step of lanes at a time with the plan that copies or
// leaves out whole steps and blends the rest under their select words; and
// the threads' sampled rows.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "sprites/billboard_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstring>

#include "sprites/billboard_rows.h"

HWY_BEFORE_NAMESPACE();
namespace billboard_kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// As many 32-bit lanes as the target has, up to 16; a step of the plan is
// one vector, or several where a vector has fewer than kPlanStep lanes.
using Lanes = hn::CappedTag<uint32_t, 16>;
constexpr int32_t kLanes = int32_t(hn::MaxLanes(Lanes()));
constexpr int32_t kStep = kLanes < kPlanStep ? kPlanStep : kLanes;
static_assert(kLanes - 1 <= kRunFillSpill);

// Whole vectors from each run's start: the words past a run's end are
// written again by the next run.
void FillRuns(uint32_t* words, int32_t first, const int32_t* run_end, const uint32_t* run_word,
              int runs) {
  const Lanes d;
  int32_t c = first;
  for (int k = 0; k < runs; ++k) {
    const auto w = hn::Set(d, run_word[k]);
    int32_t end = run_end[k];
    do {
      hn::StoreU(w, d, words + c);
      c += kLanes;
    } while (c < end);
    c = end;
  }
}

enum StepStore { STEP_NONE, STEP_COPY, STEP_BLEND };

// Adds the step first .. end - 1 to the plan, joining it to the stretch
// before when it ends there and is stored alike.
HWY_INLINE void add_step(StepStore store, int32_t first, int32_t end, StepStore& previous,
                         RowStores& plan) {
  if (store != STEP_NONE && store == previous)
    plan.stretches[plan.count - 1].end = end;
  else if (store != STEP_NONE)
    plan.stretches[plan.count++] = {first, end, store == STEP_COPY};
  previous = store;
}

// From the step that holds first: every load and store lies inside the
// rows' arrays, which are whole steps long; the lanes outside first .. end
// - 1 are not selected and count as copied for the step's kind.
void SelectTintAndPlan(uint32_t* words, uint32_t* select, const uint32_t* tint,
                       const uint32_t* shown, uint32_t key, int32_t first, int32_t end,
                       RowStores& plan) {
  const Lanes d;
  const hn::RebindToSigned<Lanes> columns;
  const auto keys = hn::Set(d, key);
  plan.count = 0;
  StepStore previous = STEP_NONE;
  for (int32_t c = first & -kStep; c < end; c += kStep) {
    bool any = false, all = true;
    for (int32_t v = c; v < c + kStep; v += kLanes) {
      auto column = hn::Iota(columns, v);
      auto inside = hn::RebindMask(d, hn::And(hn::Gt(column, hn::Set(columns, first - 1)),
                                              hn::Gt(hn::Set(columns, end), column)));
      auto w = hn::LoadU(d, words + v);
      auto s = hn::LoadU(d, shown + v);
      auto written = hn::And(inside, hn::And(hn::Ne(w, keys), hn::Ne(s, hn::Zero(d))));
      hn::StoreU(hn::VecFromMask(d, written), d, select + v);
      hn::StoreU(hn::Or(w, hn::LoadU(d, tint + v)), d, words + v);
      any = any || !hn::AllFalse(d, written);
      all = all && hn::AllTrue(d, hn::Or(written, hn::Not(inside)));
    }
    StepStore store = !any ? STEP_NONE : all ? STEP_COPY : STEP_BLEND;
    add_step(store, c < first ? first : c, c + kStep < end ? c + kStep : end, previous, plan);
  }
}

// out[c] becomes words[c] where select[c] is all ones and stays where it is
// 0, for c in 0 .. count - 1.
void blend_selected(uint32_t* out, const uint32_t* words, const uint32_t* select, int32_t count) {
  const Lanes d;
  int32_t c = 0;
  for (; c + kLanes <= count; c += kLanes)
    hn::BlendedStore(hn::LoadU(d, words + c), hn::MaskFromVec(hn::LoadU(d, select + c)), d, out + c);
  for (; c < count; ++c) out[c] = (words[c] & select[c]) | (out[c] & ~select[c]);
}

void StoreRow(uint32_t* frame_row, const uint32_t* words, const uint32_t* select,
              const RowStores& plan) {
  for (int k = 0; k < plan.count; ++k) {
    const RowStretch& s = plan.stretches[k];
    if (s.copy)
      std::memcpy(frame_row + s.first, words + s.first, size_t(s.end - s.first) * 4);
    else
      blend_selected(frame_row + s.first, words + s.first, select + s.first, s.end - s.first);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace billboard_kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace billboard_kernels {
HWY_EXPORT(FillRuns);
HWY_EXPORT(SelectTintAndPlan);
HWY_EXPORT(StoreRow);

// Each thread's sampled rows, one per billboard of a drawing's list.
thread_local SampledRowSlot sampled_rows[kSpriteCount];
}  // namespace billboard_kernels

SampledRowSlot& thread_sampled_row(int k) { return billboard_kernels::sampled_rows[k]; }

void fill_runs(uint32_t* words, int32_t first, const int32_t* run_end, const uint32_t* run_word,
               int runs) {
  using namespace billboard_kernels;
  HWY_DYNAMIC_DISPATCH(FillRuns)(words, first, run_end, run_word, runs);
}

void select_tint_and_plan(uint32_t* words, uint32_t* select, const uint32_t* tint,
                          const uint32_t* shown, uint32_t key, int32_t first, int32_t end,
                          RowStores& plan) {
  using namespace billboard_kernels;
  HWY_DYNAMIC_DISPATCH(SelectTintAndPlan)(words, select, tint, shown, key, first, end, plan);
}

void store_row(uint32_t* frame_row, const uint32_t* words, const uint32_t* select,
               const RowStores& plan) {
  using namespace billboard_kernels;
  HWY_DYNAMIC_DISPATCH(StoreRow)(frame_row, words, select, plan);
}
#endif
