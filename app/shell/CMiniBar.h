// CMiniBar: the floating bar near the bottom right of the screen with the microphone and the two
// mode buttons. It never takes the keyboard focus and talks to the main dialog only through
// messages. (This is the plain form of the bar; its bitmap look comes later.)
#pragma once

#include "platform/CDialog.h"

class QPushButton;

class CMiniBar : public CDialog {
    Q_OBJECT
  public:
    explicit CMiniBar(QWidget *parent = nullptr);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(UINT message, WPARAM wParam, LPARAM) override {
        return message == WM_KEYDOWN && (wParam == VK_ESCAPE || wParam == VK_RETURN);
    }

    QPushButton *m_microphone = nullptr;
};
