// The tune as the mixer sees it: its tempo and length, the fade at the show's
// end, and the composer that lays every note of every track on the timeline.
#pragma once

#include <array>
#include <vector>

#include "synth.h"

// 150 beats a minute in sixteenth steps: one step is exactly 0.1 s, so the
// show's cues, all at tenths of a second, fall on the step grid.
constexpr int kBeatsPerMinute = 150;
constexpr int64_t kStepFrames = int64_t{kSampleRate} * 60 / (kBeatsPerMinute * 4);
static_assert(kStepFrames * 10 == kSampleRate);

// The show ends at 126 s; the music fades out by 130 s and is silent to the end.
constexpr int64_t kFadeStartFrame = 126 * int64_t{kSampleRate};
constexpr int64_t kFadeEndFrame = 130 * int64_t{kSampleRate};
constexpr int64_t kSongFrames = 132 * int64_t{kSampleRate};

using Score = std::array<std::vector<Note>, TRACK_COUNT>;

Score compose();
