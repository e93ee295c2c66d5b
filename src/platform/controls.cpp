// SDL's events as viewer commands: a quit request and the show's keys. A held
// key repeats only the jumps; the other keys act once per press.
#include "platform/controls.h"

#include <SDL.h>

namespace {

bool key_command(const SDL_KeyboardEvent& key, ViewerCommand* command) {
  bool first = key.repeat == 0;
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
