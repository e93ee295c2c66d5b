// The music through the page: a media element streams the track (compressed
// for the web) into Web Audio, and the show's clock in its worker follows
// what the page hears. Here it starts from a moment of the track, pauses and
// moves with the show; the frame loop hears of each pause and move too.
// Without Web Audio the show plays silent and its clock runs on its own.
#include <emscripten.h>

#include "common/numeric.h"
#include "platform/display.h"
#include "platform/music.h"
#include "platform/web/web_show.h"

namespace {

EM_JS(void, page_start_music, (const char* path, double from_ms), {
  Module.music.start(UTF8ToString(path), from_ms);
});
EM_JS(void, page_pause_music, (int paused), { Module.music.pause(paused !== 0); });
EM_JS(void, page_seek_music, (double ms), { Module.music.seek(ms); });
EM_JS(double, page_music_position_ms, (), { return Module.music.positionMs(); });

}  // namespace

void music_start(const char* path, uint32_t from_ms) {
  page_start_music(path, from_ms);
}

void music_pause(bool paused) {
  pacing_paused(paused);
  page_pause_music(paused ? 1 : 0);
}

void music_seek(uint32_t ms) {
  pacing_moved(ms);
  page_seek_music(ms);
}

uint32_t music_position_ms() {
  return platform_has_audio() ? static_cast<uint32_t>(to_int32(page_music_position_ms())) : 0;
}
