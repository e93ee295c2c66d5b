// What the viewer asks of the running show, taken from the platform's input
// events; events that ask nothing (mouse motion, window changes) are dropped.
#pragma once

enum ViewerCommand {
  COMMAND_QUIT,        // the window closed, or Escape
  COMMAND_PAUSE,       // Space: pause, or resume
  COMMAND_BACK,        // Left: 5 s back
  COMMAND_FORWARD,     // Right: 5 s forward
  COMMAND_RESTART,     // Home
  COMMAND_FULLSCREEN,  // F or Alt+Enter
  COMMAND_OVERLAY,     // F1: the overlay on or off
};

// Takes pending events until one asks something; false once none is left.
bool platform_next_command(ViewerCommand* command);
