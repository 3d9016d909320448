// RecordingMessageBoxes: the test back-end of MessageBoxes; it answers at once.
#pragma once

#include <vector>

#include "MessageBoxes.h"

class RecordingMessageBoxes : public MessageBoxes {
  public:
    struct Box {
        std::u16string text;
        std::u16string caption;
        UINT type;
    };
    int MessageBox(HWND, const std::u16string &text, const std::u16string &caption,
                   UINT type) override {
        shown.push_back({text, caption, type});
        return IDOK;
    }
    std::vector<Box> shown;
};
