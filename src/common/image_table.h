// The seventeen picture slots, filled by the shell at start-up; a slot whose
// picture failed to load stays empty (null) for the whole run.
#pragma once

struct Image;

constexpr int kImageSlots = 17;
extern Image* image_table[kImageSlots];
