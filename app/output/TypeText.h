// TypeText: delivers recognised text to the window that has the keyboard focus, as typed input,
// and in correction mode (AutoModify) takes back the part of the previous piece that a corrected
// piece replaces, with real Backspace strokes.
#pragma once

#include <string>

// The whole text of the last call in correction mode; never cleared.
extern std::u16string g_lastTyped;

// On entry g_replaceCount (speech/RecognitionResult.h) says whether `text` replaces the previous
// piece; on return it holds the number of Backspace presses asked for. The presses and the text
// are done on the keyboard output's own thread, in order after those of earlier calls
// (PostKeyboardInput): the caller does not wait for them.
void TypeText(std::u16string text);
