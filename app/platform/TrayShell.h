// TrayShell: icons in the desktop's notification area. A click on an icon posts its callback
// message to its window (wParam the icon id, lParam WM_LBUTTONUP or WM_RBUTTONUP). Back-ends:
// QtTrayShell; RecordingTrayShell for tests.
#pragma once

#include <string>

#include "CDialog.h"

constexpr int NIM_ADD = 0;
constexpr int NIM_MODIFY = 1;
constexpr int NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;
constexpr size_t kTrayTipLength = 128;  // characters of the tip, the terminating zero included

// The icon record. On Windows it is a 956-byte structure; here it holds only what the shell uses.
struct NotifyIconData {
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    int icon = 0;  // icon resource id
    std::u16string szTip;
};

class TrayShell {
  public:
    virtual ~TrayShell() = default;
    // NIM_ADD, NIM_MODIFY or NIM_DELETE of the icon (hWnd, uID) of the record.
    virtual bool Shell_NotifyIcon(int action, const NotifyIconData &data) = 0;
};
