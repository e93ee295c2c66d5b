// SIGINT and SIGTERM as a request to stop. They are caught without restarting
// the call they interrupt, so that a blocked wait ends, and always handled on
// the main thread, so that holding them off there holds them off entirely.
#pragma once

// Installs the handlers; called once on the main thread, before the platform
// starts (which then leaves them in place).
void catch_stop_signals();
// The signal that asked to stop, or 0.
int stop_signal();
// Holds the signals back on the main thread (true) until released (false):
// whatever must not be cut in two, such as a last check and a rename.
void hold_stop_signals(bool held);
