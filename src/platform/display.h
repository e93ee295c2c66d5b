// The window, its renderer and the streaming texture that receives each
// finished picture; with controls.h the only place the system talks to SDL's
// video and events.
#pragma once
#include <cstdint>

bool platform_init();             // false when the platform cannot start at all
// 0 x 0: borderless, centred, desktop size of display 0; otherwise a normal
// resizable window of that size.
bool platform_open_window(int width, int height);
bool platform_open_renderer();    // first suitable driver, synchronised to the retrace
void platform_create_texture();   // 1600 x 900 ABGR8888, streaming
void platform_hide_cursor();
// Shows a 1600 x 900 picture over the whole window as it is, alpha unused
// (present.h blends the frames into it).
void platform_present(const uint32_t* picture);
// Covering the screen becomes a normal window (the opening size, or 1600 x
// 900 for the desktop-sized one), and a normal window covers the screen.
void platform_toggle_fullscreen();
void platform_close();            // texture, then renderer, then window
bool platform_has_audio();
uint32_t platform_frames_presented();  // since start-up, for tests and tools
