// The music track, streamed from its file as it plays: started at a moment of
// the track, paused and moved with the show. Any failure leaves the show
// silent, without a word; the calls then do nothing.
#pragma once
#include <cstdint>

void music_start(const char* path, uint32_t from_ms);
void music_pause(bool paused);
void music_seek(uint32_t ms);  // the track's moment, ms from its start
uint32_t music_position_ms();  // how far the track has been fed; 0 when silent
