// The main dialog's own messages, hot keys and commands. The values are fixed: other windows post
// them.
#pragma once

#include "platform/WindowMessage.h"

constexpr UINT UM_TRAYICON = 2024;    // wParam icon id, lParam mouse message
constexpr UINT UM_ADDLOG = 2025;      // wParam: const std::u16string *; sent, never posted
constexpr UINT UM_SETMODE = 2026;     // wParam 0 dictation, 1 command; sent
constexpr UINT UM_BARREFRESH = 2028;  // wParam button state; passed on to the mini bar
constexpr UINT UM_SHOWTIP = 11025;    // wParam 0 show briefly, 1 keep shown

constexpr UINT HOTKEY_VOICE_DOWN = 32799;  // F15
constexpr UINT HOTKEY_VOICE_UP = 32800;    // F16
constexpr LPARAM kVoiceDownLParam = 0x7E0000;
constexpr LPARAM kVoiceUpLParam = 0x7F0000;

constexpr UINT ID_SHOW_MAIN_WINDOW = 32781;
constexpr UINT ID_SETTINGS = 32782;
constexpr UINT ID_LANGUAGE_FIRST = 32784;  // 32784 + language index, up to 32797
constexpr UINT ID_LANGUAGE_LAST = 32797;
constexpr UINT ID_EXIT = 32798;
constexpr UINT ID_CUSTOM_FUNCTIONS = 32804;
constexpr UINT ID_LANGUAGE_MENU = 32808;
constexpr UINT ID_SHOW_MINI_BAR = 32809;
constexpr UINT IDM_ABOUTBOX = 16;  // system-menu command of the about box

constexpr UINT kTrayIconId = 150;
constexpr int IDR_ICON_CONNECTED = 150;
constexpr int IDR_ICON_DISCONNECTED = 151;

// Dialog resources.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_QUORVEX_DIALOG = 102;
constexpr int IDD_CUSTOM_DIALOG = 132;
constexpr int IDD_SETTING_DIALOG = 135;
constexpr int IDD_TIPS_DIALOG = 140;
constexpr int IDD_MINIBAR = 188;
constexpr int IDC_LOG_LIST = 1002;
