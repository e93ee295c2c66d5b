// The page's canvas as the window: each finished picture is put on the
// canvas (by the show's worker, show-worker.js), which the page scales to fit
// the browser's window at 16:9.
#include <emscripten.h>

#include "common/framebuffer.h"
#include "platform/display.h"
#include "platform/web/web_clock.h"

namespace {

uint32_t frames_presented = 0;

EM_JS(int, page_has_audio, (), { return Module.hasAudio() ? 1 : 0; });
EM_JS(void, page_toggle_fullscreen, (), { Module.toggleFullscreen(); });
EM_JS(void, page_show_picture, (const uint32_t* pixels, int width, int height), {
  Module.showPicture(HEAPU8.subarray(pixels, pixels + width * height * 4), width, height);
});

}  // namespace

bool platform_init() {
  web_clock_start();
  return true;
}

bool platform_has_audio() { return page_has_audio() != 0; }

// The page decides the canvas's size on screen; the asked size is not used.
bool platform_open_window(int, int) { return true; }

bool platform_open_renderer() { return true; }

// The canvas takes each picture whole.
void platform_create_texture() {}

// The page's controls hide the cursor with themselves while the show plays untouched.
void platform_hide_cursor() {}

void platform_present(const uint32_t* picture) {
  page_show_picture(picture, kFrameWidth, kFrameHeight);
  ++frames_presented;
}

// Browsers allow fullscreen only from a key press or click, which the page
// handles itself (F, double-click); from within a frame this may be refused.
void platform_toggle_fullscreen() { page_toggle_fullscreen(); }

uint32_t platform_frames_presented() { return frames_presented; }

void platform_close() {}
