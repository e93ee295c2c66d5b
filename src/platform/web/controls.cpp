// The page's keys as viewer commands: the page's key handler hands each key
// press here by its name, and the show takes the commands once a frame. F
// and double-click are the page's own (fullscreen needs the key press itself).
#include <emscripten.h>

#include <cstring>

#include "platform/controls.h"
#include "platform/web/web_show.h"

namespace {

struct KeyCommand {
  const char* key;  // the browser's KeyboardEvent.key
  ViewerCommand command;
};
constexpr KeyCommand key_commands[] = {
    {"Escape", COMMAND_QUIT},       {" ", COMMAND_PAUSE},       {"ArrowLeft", COMMAND_BACK},
    {"ArrowRight", COMMAND_FORWARD}, {"Home", COMMAND_RESTART}, {"F1", COMMAND_OVERLAY},
};

// Commands not yet taken, oldest first; presses beyond its size are dropped.
constexpr int kQueueSize = 64;
struct CommandQueue {
  ViewerCommand commands[kQueueSize];
  int first = 0;
  int count = 0;
};
CommandQueue queue;

}  // namespace

void queue_command(ViewerCommand command) {
  if (queue.count < kQueueSize) queue.commands[(queue.first + queue.count++) % kQueueSize] = command;
}

// True when the key is one of the show's, so the page keeps it from the browser.
extern "C" EMSCRIPTEN_KEEPALIVE int web_key(const char* key) {
  for (const KeyCommand& entry : key_commands) {
    if (std::strcmp(entry.key, key) != 0) continue;
    queue_command(entry.command);
    return 1;
  }
  return 0;
}

bool platform_next_command(ViewerCommand* command) {
  if (queue.count == 0) return false;
  *command = queue.commands[queue.first];
  queue.first = (queue.first + 1) % kQueueSize;
  --queue.count;
  return true;
}
