// CShowTipsDlg: the coloured strip at the bottom right of the work area that shows the state of
// the current utterance and every event the controller reports. It never takes the focus. (The
// plain form of the window; its final look comes later.)
#pragma once

#include <QString>

#include "platform/CDialog.h"

class QLabel;

class CShowTipsDlg : public CDialog {
    Q_OBJECT
  public:
    explicit CShowTipsDlg(QWidget *parent = nullptr);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The text shown for the current g_statusText, g_languageName and g_tipMode.
    static QString ComposeText(bool *centred);

    QLabel *m_text = nullptr;
};
