// The music through the page's Web Audio: the page has fetched and decoded
// the track (compressed for the web) before the show starts; here it starts
// playing, once, from the start. Without Web Audio the show plays silent.
#include <emscripten.h>

#include "platform/display.h"
#include "platform/music.h"

namespace {

EM_JS(void, page_start_music, (const char* path), { Module.startMusic(UTF8ToString(path)); });

}  // namespace

void music_start(const char* path) {
  if (!platform_has_audio()) return;
  page_start_music(path);
}
