// SDL's events as viewer commands: a quit request and the show's keys. A held
// key repeats only the jumps; the other keys act once for every press.
#include "platform/controls.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace {

// X11 takes a key's release followed within 2 ms by a press of the same key
// for the key repeating: the release is dropped and the press comes marked
// as a repeat. Such a press follows the last one sooner than any key
// repeat starts (a repeat begins a quarter to two thirds of a second after the
// press), so a repeat this soon after a press is a press of its own.
constexpr Uint32 kSoonerThanAnyRepeatMs = 150;

// SDL stamps an event when it takes it from the display, and a slow step
// between two takings (leaving fullscreen waits on the window manager) can
// part two quick presses by more than the above. Under X11 the server's own
// time of each press (ms) is used instead, read from the raw event SDL passes
// on just before the key's own.
struct ServerTime {
  bool asked = false;
  bool known = false;
  Uint32 press_ms = 0;
};
ServerTime server_time;

void ask_for_server_times() {
  if (server_time.asked) return;
  server_time.asked = true;
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void note_server_time(const SDL_SysWMmsg& message) {
#if defined(SDL_VIDEO_DRIVER_X11)
  const XEvent& raw = message.msg.x11.event;
  server_time.known = message.subsystem == SDL_SYSWM_X11 && raw.type == KeyPress;
  if (server_time.known) server_time.press_ms = static_cast<Uint32>(raw.xkey.time);
#else
  (void)message;
#endif
}

Uint32 press_time_ms(const SDL_KeyboardEvent& key) {
  if (!server_time.known) return key.timestamp;
  server_time.known = false;
  return server_time.press_ms;
}

struct PressSeen {
  SDL_Keycode key = SDLK_UNKNOWN;
  Uint32 at_ms = 0;  // the press's time: the X server's, else SDL's stamp
  bool repeating = false;
};
PressSeen last_press;

// True for a press, false for the key repeating while held.
bool pressed(const SDL_KeyboardEvent& key) {
  Uint32 at_ms = press_time_ms(key);
  bool again = key.keysym.sym == last_press.key && !last_press.repeating &&
               at_ms - last_press.at_ms < kSoonerThanAnyRepeatMs;
  if (key.repeat == 0 || again) {
    last_press = {key.keysym.sym, at_ms, false};
    return true;
  }
  if (key.keysym.sym == last_press.key) last_press.repeating = true;
  return false;
}

bool key_command(const SDL_KeyboardEvent& key, ViewerCommand* command) {
  bool first = pressed(key);
  bool alt = (key.keysym.mod & KMOD_ALT) != 0;
  switch (key.keysym.sym) {
    case SDLK_ESCAPE: *command = COMMAND_QUIT; return true;
    case SDLK_LEFT: *command = COMMAND_BACK; return true;
    case SDLK_RIGHT: *command = COMMAND_FORWARD; return true;
    case SDLK_SPACE: *command = COMMAND_PAUSE; return first;
    case SDLK_HOME: *command = COMMAND_RESTART; return first;
    case SDLK_f: *command = COMMAND_FULLSCREEN; return first;
    case SDLK_RETURN: *command = COMMAND_FULLSCREEN; return first && alt;
    case SDLK_F1: *command = COMMAND_OVERLAY; return first;
    default: return false;
  }
}

}  // namespace

bool platform_next_command(ViewerCommand* command) {
  ask_for_server_times();
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_SYSWMEVENT) note_server_time(*event.syswm.msg);
    if (event.type == SDL_QUIT) {
      *command = COMMAND_QUIT;
      return true;
    }
    if (event.type == SDL_KEYDOWN && key_command(event.key, command)) return true;
  }
  return false;
}
