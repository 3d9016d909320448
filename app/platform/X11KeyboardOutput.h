// X11KeyboardOutput: typed input through the XTest extension, into whatever window has the
// focus, for every character on any keyboard layout.
//
// A character is typed by binding its keysym to a spare keycode (one the keymap leaves empty)
// and pressing that key. A batch of characters is bound with one keymap change; the receiving
// toolkit needs a moment to fetch the new keymap, so keys are pressed only after a short pause,
// and a keycode is bound anew only a while after its last press, so that keys still queued at
// the target keep their meaning. Characters already bound are typed without a change. The spare
// keycodes are emptied again once typing has been idle for a while.
#pragma once

#include <memory>

#include "KeyboardOutput.h"

class X11KeyboardOutput : public KeyboardOutput {
  public:
    X11KeyboardOutput();
    ~X11KeyboardOutput() override;  // restores the keymap

    void KeyDown(UINT virtualKey) override;
    void KeyUp(UINT virtualKey) override;
    void InsertText(std::u16string_view units) override;

    // Empties the spare keycodes now (otherwise done after a second of idleness).
    void RestoreKeymap();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
