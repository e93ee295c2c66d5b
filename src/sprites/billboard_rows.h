// The billboards' row work: runs of columns filled and the sampled words
// that a row writes picked out in vectors; each thread's last sampled row of
// every billboard; and how a row goes over the frame: stretches that write
// nothing are left out, stretches that write every word are copied, the rest
// are blended with their select words, several pixels at a time.
#pragma once
#include <cstdint>

#include "common/framebuffer.h"
#include "sprites/sprites.h"

// Words that fill_runs may write past the last run's end: a vector's lanes
// but one, on the widest target (16 lanes).
constexpr int kRunFillSpill = 15;

// words[c] becomes run_word[k] for every column c of run k, the runs following
// each other from column first, run k ending before run_end[k].
void fill_runs(uint32_t* words, int32_t first, const int32_t* run_end, const uint32_t* run_word,
               int runs);

// The stores of one sampled row: stretches of columns in steps of a vector
// (at least kPlanStep columns, steps lying on multiples of their width),
// each copied or blended.
constexpr int kPlanStep = 4;
struct RowStretch {
  int32_t first, end;
  bool copy;  // every select word of the stretch is all ones
};
struct RowStores {
  int count;
  RowStretch stretches[kFrameWidth / kPlanStep];  // one for each step at most
};

// For c in first .. end - 1: select[c] becomes shown[c] (0 or 0xFFFFFFFF)
// where words[c] is not key and 0 where it is, then words[c] becomes
// tint[c] | words[c]; and the plan of stores that put select[c] ? words[c]
// : frame[c] into a row of the frame.
void select_tint_and_plan(uint32_t* words, uint32_t* select, const uint32_t* tint,
                          const uint32_t* shown, uint32_t key, int32_t first, int32_t end,
                          RowStores& plan);

// One picture row as a billboard shows it across the screen: the word for
// each of its columns, whether that word is written (select all ones), and
// the stores that put the written words into a row of the frame.
struct SampledRow {
  uint32_t words[kFrameWidth + kRunFillSpill];
  uint32_t select[kFrameWidth];
  RowStores stores;
};

// The last row a thread sampled for one billboard: picture row ty of the
// billboard's drawing number `drawing` (0: none yet).
struct SampledRowSlot {
  uint64_t drawing;
  int32_t ty;
  SampledRow row;
};

// The calling thread's slot for the billboard at place k (0..14) of a
// drawing's list.
SampledRowSlot& thread_sampled_row(int k);

// Carries out a plan on one row of the frame.
void store_row(uint32_t* frame_row, const uint32_t* words, const uint32_t* select,
               const RowStores& plan);
