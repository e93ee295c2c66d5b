// The window, its renderer and the streaming texture that receives each
// finished frame; the only place the system talks to SDL's video and events.
#pragma once
#include <cstdint>

bool platform_init();             // false when the platform cannot start at all
bool platform_open_window();      // borderless, centred, desktop size of display 0
bool platform_open_renderer();    // first suitable driver, synchronised to the retrace
void platform_create_texture();   // 1600 x 900 ABGR8888, streaming
void platform_hide_cursor();
bool platform_poll_quit();        // takes at most one event; true on a quit request or Escape
void platform_present(const uint32_t* pixels);
void platform_close();            // texture, then renderer, then window
bool platform_has_audio();
uint32_t platform_frames_presented();  // since start-up, for tests and tools
