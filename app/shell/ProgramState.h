// The program-wide state of the controller. Everything here belongs to the user-interface thread
// unless said otherwise.
#pragma once

#include <string>

#include "platform/CDialog.h"

// The main dialog's window, set at start-up; other threads post hot-key messages to it.
extern HWND g_mainWnd;
// The text of the last event: recognised text, an error, a device or language message; empty
// while listening.
extern std::u16string g_statusText;
// Display name of the current recognition language.
extern std::u16string g_languageName;
// 0 dictation, 1 command, -1 after a failed start: the tips window's colour and prefix.
extern int g_tipMode;
// The recognizer is prepared and a session may be running. The stop worker clears it while the
// user-interface thread waits for that worker.
extern bool g_listening;
