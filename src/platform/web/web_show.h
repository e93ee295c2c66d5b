// What the web platform's files tell the page's frame loop (show.cpp): the
// show was moved or paused by the shell, and commands the page itself gives.
#pragma once
#include <cstdint>

#include "platform/controls.h"

// The shell moved the show to ms of show time (seeking, or the start).
void pacing_moved(uint32_t ms);
void pacing_paused(bool paused);
// A command as if its key had been pressed (the page hiding pauses so).
void queue_command(ViewerCommand command);
