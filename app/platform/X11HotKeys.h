// X11HotKeys: hot keys as passive key grabs on the X root window, on a display connection of
// their own. Each key is grabbed with and without Caps Lock and Num Lock so that lock keys do not
// defeat it. F1-F24 are found by keysym; standard keymaps give the keys that the kernel calls
// F15 and F16 other keysyms (keycodes 193 and 194), so those two fall back to their keycodes.
#pragma once

#include <memory>
#include <vector>

#include "HotKeys.h"

class QSocketNotifier;
struct _XDisplay;

class X11HotKeys : public HotKeys {
  public:
    X11HotKeys();
    ~X11HotKeys() override;

    bool RegisterHotKey(HWND window, int id, UINT modifiers, UINT vk) override;
    bool UnregisterHotKey(HWND window, int id) override;
    std::string LastError() const override { return m_error; }

    // The keycode that RegisterHotKey grabs for a virtual key (0 when none); for tests.
    int KeycodeFor(UINT vk);

  private:
    struct Grab {
        HWND window;
        int id;
        UINT modifiers;
        UINT vk;
        int keycode;
        unsigned int mask;
    };

    bool OpenDisplay();
    void Ungrab(const Grab &grab);
    void ReadEvents();

    _XDisplay *m_display = nullptr;
    unsigned int m_numLockMask = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::vector<Grab> m_grabs;
    std::string m_error;
};
