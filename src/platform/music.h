// The music track: played once from the start of the run, in the background,
// until the process ends. Any failure leaves the show silent, without a word.
#pragma once

void music_start(const char* path);
