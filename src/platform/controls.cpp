// SDL's events as viewer commands: a quit request and the show's keys. A held
// key repeats only the jumps; the other keys act once for every press.
#include "platform/controls.h"

#include <SDL.h>

namespace {

// X11 takes a key's release followed within 2 ms by a press of the same key
// for the key repeating: the release is dropped and the press comes marked
// as a repeat. Such a press follows the last one sooner than any key
// repeat starts (a repeat begins a quarter to two thirds of a second after the
// press), so a repeat this soon after a press is a press of its own.
constexpr Uint32 kSoonerThanAnyRepeatMs = 150;

struct KeyPress {
  SDL_Keycode key = SDLK_UNKNOWN;
  Uint32 at_ms = 0;  // SDL's timestamp of the press
  bool repeating = false;
};
KeyPress last_press;

// True for a press, false for the key repeating while held.
bool pressed(const SDL_KeyboardEvent& key) {
  bool again = key.keysym.sym == last_press.key && !last_press.repeating &&
               key.timestamp - last_press.at_ms < kSoonerThanAnyRepeatMs;
  if (key.repeat == 0 || again) {
    last_press = {key.keysym.sym, key.timestamp, false};
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
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT) {
      *command = COMMAND_QUIT;
      return true;
    }
    if (event.type == SDL_KEYDOWN && key_command(event.key, command)) return true;
  }
  return false;
}
