// KeyboardOutput: input into the window that has the keyboard focus — real key strokes, and text
// inserted at the caret as typed input. The program's one is the X11 back-end; tests install a
// recording one.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "WindowMessage.h"

constexpr UINT VK_BACK = 0x08;

class KeyboardOutput {
  public:
    virtual ~KeyboardOutput() = default;
    // A key of the system's input stream goes down or up (VK_BACK, VK_RETURN, VK_F15, ...).
    virtual void KeyDown(UINT virtualKey) = 0;
    virtual void KeyUp(UINT virtualKey) = 0;
    // Inserts UTF-16 `units`, in order, into the focused window as typed input. Without a focus
    // window the text goes nowhere.
    virtual void InsertText(std::u16string_view units) = 0;
};

// The back-end in use: the X11 one unless a test installed another.
KeyboardOutput &TheKeyboardOutput();
// Installs `output` (null: back to the X11 one) and returns the previous one, once the input
// posted so far has been done.
std::unique_ptr<KeyboardOutput> SetKeyboardOutput(std::unique_ptr<KeyboardOutput> output);

// Posts input for the back-end in use, done on a thread of the output's own in the order it was
// posted: `backspaces` presses of Backspace, each held for `hold`, then `text` (may be empty).
// The caller does not wait: the recorder thread types the pieces of continuous dictation, and
// while it waited for Backspace pauses or a busy target, capture would run out of buffers and
// lose what the user goes on saying.
void PostKeyboardInput(int backspaces, std::chrono::milliseconds hold, std::u16string text);
// Returns once everything posted so far has been done.
void WaitForKeyboardInput();
