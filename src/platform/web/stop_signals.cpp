// A page is never sent a signal: it stops when its tab closes.
#include "platform/stop_signals.h"

void catch_stop_signals() {}
int stop_signal() { return 0; }
void hold_stop_signals(bool) {}
