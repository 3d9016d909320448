// RecordingTrayShell: the test back-end of TrayShell; it keeps the icons as the shell would show
// them and lets the test click one.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "TrayShell.h"

class RecordingTrayShell : public TrayShell {
  public:
    bool Shell_NotifyIcon(int action, const NotifyIconData &data) override {
        actions.push_back(action);
        auto it = icons.find(data.uID);
        if (action == NIM_ADD) {
            if (it != icons.end())
                return false;
            icons[data.uID] = data;
            return true;
        }
        if (it == icons.end())
            return false;
        if (action == NIM_DELETE) {
            icons.erase(it);
            return true;
        }
        if (data.uFlags & NIF_ICON)
            it->second.icon = data.icon;
        if (data.uFlags & NIF_TIP)
            it->second.szTip = data.szTip;
        return true;
    }

    // Posts the icon's callback message for a click (WM_LBUTTONUP or WM_RBUTTONUP).
    bool Click(UINT id, LPARAM button) {
        auto it = icons.find(id);
        return it != icons.end() &&
               ::PostMessage(it->second.hWnd, it->second.uCallbackMessage, id, button);
    }

    std::map<UINT, NotifyIconData> icons;
    std::vector<int> actions;
};
