// RecordingKeyboardOutput: the test back-end of KeyboardOutput; it records every key stroke and
// every inserted text, in order and with the time it was asked.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "KeyboardOutput.h"

class RecordingKeyboardOutput : public KeyboardOutput {
  public:
    struct Event {
        enum Kind { kKeyDown, kKeyUp, kText } kind;
        UINT virtualKey;      // for key events
        std::u16string text;  // for kText
        std::chrono::steady_clock::time_point at;
    };

    void KeyDown(UINT virtualKey) override { Add({Event::kKeyDown, virtualKey, {}, Now()}); }
    void KeyUp(UINT virtualKey) override { Add({Event::kKeyUp, virtualKey, {}, Now()}); }
    void InsertText(std::u16string_view units) override {
        Add({Event::kText, 0, std::u16string(units), Now()});
    }

    // What was done of the input posted so far (PostKeyboardInput), once all of it is done.
    std::vector<Event> Events() const {
        WaitForKeyboardInput();
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    void Clear() {
        WaitForKeyboardInput();
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }
    // What a focused text field would show: inserted texts, with each Backspace press erasing
    // the character before the caret (both units of a surrogate pair).
    std::u16string Screen() const {
        WaitForKeyboardInput();
        std::lock_guard lock(m_mutex);
        std::u16string screen;
        for (const Event &e : m_events) {
            if (e.kind == Event::kText)
                screen += e.text;
            else if (e.kind == Event::kKeyDown && e.virtualKey == VK_BACK && !screen.empty()) {
                bool pair = screen.size() >= 2 && (screen.back() & 0xFC00) == 0xDC00 &&
                            (screen[screen.size() - 2] & 0xFC00) == 0xD800;
                screen.resize(screen.size() - (pair ? 2 : 1));
            }
        }
        return screen;
    }

  private:
    static std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
    void Add(Event e) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(e));
    }
    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
};
