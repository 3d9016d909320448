// SpeechLayer: what the controller asks of the recognizer layer and of typing. The program's
// layer runs the recorder and a session of the speech library; tests put a recording one in its
// place.
#pragma once

#include <memory>
#include <string>

class SpeechLayer {
  public:
    virtual ~SpeechLayer() = default;

    // Sets g_languageName and the parameter text of the next session from g_settings.
    virtual void BuildSessionParams() = 0;
    // Prepares the recognizer and its recorder with the session parameters and the result
    // callbacks: 0, or the layer's own negative code, or the speech library's code.
    virtual int Prepare() = 0;
    // Opens a session and starts recording: 0 or an error code as Prepare.
    virtual int BeginListening() = 0;
    // Ends the session through the stop worker and waits for it without a limit; afterwards no
    // session runs, the recognizer is released and g_listening is false.
    virtual void StopRecognition() = 0;
    // The collected text of a single-utterance session, in the ANSI code page; read only after
    // StopRecognition.
    virtual std::string ResultText() = 0;
    virtual void ClearResultText() = 0;
    // Forgets the pending replacement of typed text (a new utterance types afresh).
    virtual void ResetReplaceCount() = 0;
    // Types `text` into the window that has the keyboard focus.
    virtual void TypeText(const std::u16string &text) = 0;
};

// The program's speech layer.
std::unique_ptr<SpeechLayer> CreateSpeechLayer();
