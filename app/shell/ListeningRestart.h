// ListeningRestart: the release and press of the voice key that the end of a phrase posts in
// continuous dictation, so that the controller ends the session and starts the next one. The
// user may let go of the key while that phrase ends; the pair then reaches the controller
// around the real release, in either order, and its press must not start listening again with
// the key up. The count of pairs posted lets the controller tell.
#pragma once

// Posts to g_mainWnd a WM_HOTKEY 32800 and a WM_HOTKEY 32799 (the voice key's lParams), after
// counting them. Any thread.
void PostListeningRestart();
// How many pairs have been posted so far. Any thread.
unsigned ListeningRestartsPosted();
