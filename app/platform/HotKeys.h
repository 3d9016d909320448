// HotKeys: system-wide hot keys. While a key is registered, every press of it anywhere on the
// desktop posts WM_HOTKEY (wParam the id, lParam MakeHotKeyLParam(modifiers, vk)) to the window.
// Back-ends: X11HotKeys (a passive grab on the root window); RecordingHotKeys for tests. A source
// for other desktops (evdev, a portal) fits the same interface.
#pragma once

#include <string>

#include "CDialog.h"

// Modifier flags of RegisterHotKey.
constexpr UINT MOD_ALT = 0x1;
constexpr UINT MOD_CONTROL = 0x2;
constexpr UINT MOD_SHIFT = 0x4;
constexpr UINT MOD_WIN = 0x8;

class HotKeys {
  public:
    virtual ~HotKeys() = default;
    // False when the key cannot be had (no display, no such key, another program holds it);
    // LastError() then says why.
    virtual bool RegisterHotKey(HWND window, int id, UINT modifiers, UINT vk) = 0;
    // False when the id was not registered for the window.
    virtual bool UnregisterHotKey(HWND window, int id) = 0;
    virtual std::string LastError() const = 0;
};
