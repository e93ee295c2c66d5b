// The music through the page's Web Audio: the page has fetched and decoded
// the track (compressed for the web) before the show starts; here it plays
// from a moment of the track, pauses and moves with the show. Without Web
// Audio the show plays silent and these calls do nothing.
#include <emscripten.h>

#include "common/numeric.h"
#include "platform/display.h"
#include "platform/music.h"

namespace {

EM_JS(void, page_start_music, (const char* path, double from_ms), {
  Module.music.start(UTF8ToString(path), from_ms);
});
EM_JS(void, page_pause_music, (int paused), { Module.music.pause(paused !== 0); });
EM_JS(void, page_seek_music, (double ms), { Module.music.seek(ms); });
EM_JS(double, page_music_position_ms, (), { return Module.music.positionMs(); });

bool playing = false;

}  // namespace

void music_start(const char* path, uint32_t from_ms) {
  playing = platform_has_audio();
  if (playing) page_start_music(path, from_ms);
}

void music_pause(bool paused) {
  if (playing) page_pause_music(paused ? 1 : 0);
}

void music_seek(uint32_t ms) {
  if (playing) page_seek_music(ms);
}

uint32_t music_position_ms() {
  return playing ? static_cast<uint32_t>(to_int32(page_music_position_ms())) : 0;
}
