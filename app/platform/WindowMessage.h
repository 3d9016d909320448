// Window messages as the program's windows exchange them: an id with two parameters, delivered
// over the Qt event loop by CDialog.
#pragma once

#include <cstdint>

using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Standard messages the program's windows handle; the values are the usual ones so that
// message tables read as they always have.
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr UINT WM_HOTKEY = 0x0312;
constexpr UINT WM_USER = 0x0400;

// Virtual keys the program names.
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_F1 = 0x70;
constexpr UINT VK_F15 = 0x7E;
constexpr UINT VK_F16 = 0x7F;
constexpr UINT VK_F24 = 0x87;

// Dialog results and button ids.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Show states of ShowWindow.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;

// wParam of WM_COMMAND: the command or control id in the low word, the notification in the high.
constexpr UINT LOWORD(WPARAM w) {
    return static_cast<UINT>(w & 0xFFFF);
}
constexpr UINT HIWORD(WPARAM w) {
    return static_cast<UINT>((w >> 16) & 0xFFFF);
}
// lParam of WM_HOTKEY: the modifiers in the low word, the virtual key in the high word.
constexpr LPARAM MakeHotKeyLParam(UINT modifiers, UINT vk) {
    return static_cast<LPARAM>((vk << 16) | (modifiers & 0xFFFF));
}
