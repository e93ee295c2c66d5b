// SDL video: start-up in the shell's order, the window's size and fullscreen,
// and the upload-copy-present of the finished picture. The texture replaces
// the window's contents (blend mode none): what the back buffer held never shows.
#include "platform/display.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "common/framebuffer.h"

namespace {

struct DisplayState {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* frame_texture = nullptr;
  bool has_audio = false;
  uint32_t frames_presented = 0;
  int window_width = kFrameWidth;  // of the normal window
  int window_height = kFrameHeight;
};
DisplayState display;

constexpr int kFramePitchBytes = kFrameWidth * 4;
constexpr const char* kWindowTitle = "JUBRA demo";

bool covers_screen() {
  Uint32 flags = SDL_GetWindowFlags(display.window);
  return (flags & (SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS)) != 0;
}

void open_desktop_window() {
  SDL_DisplayMode mode = {};
  SDL_GetCurrentDisplayMode(0, &mode);
  display.window = SDL_CreateWindow(nullptr, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, mode.w,
                                    mode.h, SDL_WINDOW_BORDERLESS);
}

// Without any display SDL quietly falls back to a video driver that shows
// nothing, and the show would play unseen. That is a failed start unless the
// user chose the driver (tests and tools choose dummy or offscreen on purpose).
bool fell_back_to_no_display() {
  const char* chosen = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (chosen && *chosen) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0))
    return false;
  std::fputs("No display found; scripts/play.sh renders the show to a video instead.\n", stderr);
  return true;
}

}  // namespace

// A machine without a sound card still plays the show, silently: when the
// full start fails, try once more without audio.
bool platform_init() {
  display.has_audio = SDL_Init(SDL_INIT_EVERYTHING) == 0;
  if (!display.has_audio && SDL_Init(SDL_INIT_EVERYTHING & ~SDL_INIT_AUDIO) != 0) return false;
  return !fell_back_to_no_display();
}

bool platform_has_audio() { return display.has_audio; }

bool platform_open_window(int width, int height) {
  if (width <= 0 || height <= 0) {
    open_desktop_window();
    return display.window != nullptr;
  }
  display.window_width = width;
  display.window_height = height;
  display.window = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                    width, height, SDL_WINDOW_RESIZABLE);
  return display.window != nullptr;
}

void platform_toggle_fullscreen() {
  if (!covers_screen()) {
    SDL_SetWindowFullscreen(display.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return;
  }
  SDL_SetWindowFullscreen(display.window, 0);
  SDL_SetWindowTitle(display.window, kWindowTitle);
  SDL_SetWindowBordered(display.window, SDL_TRUE);
  SDL_SetWindowResizable(display.window, SDL_TRUE);
  SDL_SetWindowSize(display.window, display.window_width, display.window_height);
  SDL_SetWindowPosition(display.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

bool platform_open_renderer() {
  display.renderer = SDL_CreateRenderer(display.window, -1, SDL_RENDERER_PRESENTVSYNC);
  if (!display.renderer) return false;
  SDL_SetRenderDrawBlendMode(display.renderer, SDL_BLENDMODE_BLEND);
  return true;
}

void platform_create_texture() {
  display.frame_texture = SDL_CreateTexture(display.renderer, SDL_PIXELFORMAT_ABGR8888,
                                            SDL_TEXTUREACCESS_STREAMING, kFrameWidth, kFrameHeight);
  SDL_SetTextureBlendMode(display.frame_texture, SDL_BLENDMODE_NONE);
}

void platform_hide_cursor() { SDL_ShowCursor(SDL_DISABLE); }

void platform_present(const uint32_t* picture) {
  SDL_UpdateTexture(display.frame_texture, nullptr, picture, kFramePitchBytes);
  SDL_RenderCopy(display.renderer, display.frame_texture, nullptr, nullptr);
  SDL_RenderPresent(display.renderer);
  ++display.frames_presented;
}

uint32_t platform_frames_presented() { return display.frames_presented; }

void platform_close() {
  SDL_DestroyTexture(display.frame_texture);
  SDL_DestroyRenderer(display.renderer);
  SDL_DestroyWindow(display.window);
  display.window = nullptr;
  display.renderer = nullptr;
  display.frame_texture = nullptr;
}
