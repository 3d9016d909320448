// MessageBoxes: modal message boxes. Back-ends: QtMessageBoxes; RecordingMessageBoxes for tests.
#pragma once

#include <string>

#include "CDialog.h"

constexpr UINT MB_OK = 0x00;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows the box and waits until the user closes it; returns the button (IDOK).
    virtual int MessageBox(HWND owner, const std::u16string &text, const std::u16string &caption,
                           UINT type) = 0;
};

class QtMessageBoxes : public MessageBoxes {
  public:
    int MessageBox(HWND owner, const std::u16string &text, const std::u16string &caption,
                   UINT type) override;
};
