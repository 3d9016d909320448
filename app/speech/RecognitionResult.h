// The recognizer's three callbacks: what becomes of recognised text. Single-utterance sessions
// collect plain pieces in g_resultText for the controller; continuous sessions type each JSON
// piece at once, taking back what a corrected piece replaces, and restart listening at the end
// of speech.
#pragma once

#include <string>

// The text of the current single-utterance session (ANSI code page), null-terminated; null
// before the first speech begin or when its allocation failed.
extern char *g_resultText;
extern int g_resultCapacity;
// The text of the previous JSON piece (ANSI code page).
extern std::string g_previousPiece;
// Non-zero when the current piece replaces the previous one; TypeText reads and changes it.
extern int g_replaceCount;

void OnRecognitionResult(const char *text, bool isLast);
void OnSpeechBegin();
void OnSpeechEnd(int reason);
