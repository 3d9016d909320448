// TerminationSignals: SIGTERM, SIGINT and SIGHUP (log-out, kill, Ctrl+C) become one posted window
// message, so that the program ends through its own exit path (session ended, logged out, tray
// icon removed) instead of dying on the spot.
#pragma once

#include "CDialog.h"

// From now on each of the three signals posts `message` with `wParam` to `window`. Call once, on
// the user-interface thread.
void PostOnTermination(HWND window, UINT message, WPARAM wParam);
