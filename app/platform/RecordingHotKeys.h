// RecordingHotKeys: the test back-end of HotKeys. It records every call and lets the test press a
// registered key, which posts WM_HOTKEY as a real press would.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "HotKeys.h"

class RecordingHotKeys : public HotKeys {
  public:
    bool RegisterHotKey(HWND window, int id, UINT modifiers, UINT vk) override {
        calls.push_back("register " + std::to_string(id) + " " + std::to_string(modifiers) + " " +
                        std::to_string(vk));
        if (refuse) {
            error = "refused by the test";
            return false;
        }
        registered[id] = {window, MakeHotKeyLParam(modifiers, vk)};
        return true;
    }
    bool UnregisterHotKey(HWND window, int id) override {
        calls.push_back("unregister " + std::to_string(id));
        auto it = registered.find(id);
        if (it == registered.end() || it->second.first != window)
            return false;
        registered.erase(it);
        return true;
    }
    std::string LastError() const override { return error; }

    // Posts the hot-key message of a registered key; false when it is not registered.
    bool Press(int id) {
        auto it = registered.find(id);
        return it != registered.end() && ::PostMessage(it->second.first, WM_HOTKEY,
                                                       static_cast<WPARAM>(id), it->second.second);
    }

    std::vector<std::string> calls;
    std::map<int, std::pair<HWND, LPARAM>> registered;
    bool refuse = false;
    std::string error;
};
