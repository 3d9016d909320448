// CSettingDlg: the settings dialog "软件设置" (modeless; created once and shown again on later
// use). Showing or hiding it reloads the settings from the file; OK stores all seven.
#pragma once

#include "platform/CDialog.h"

class MessageBoxes;
class SpeechLayer;

constexpr int IDC_UPDATE_AUTO = 1008;  // first radio button of the update group
constexpr int IDC_UPDATE_REMIND = 1009;
constexpr int IDC_UPDATE_NEVER = 1010;
constexpr int IDC_AUTORUN = 1011;
constexpr int IDC_CLOSE_PROMPT = 1012;
constexpr int IDC_NO_PUNCTUATION = 1013;  // checked means ShowFlag 0
constexpr int IDC_LONG_PRESS = 1014;
constexpr int IDC_AUTO_MODIFY = 1015;

class CSettingDlg : public CDialog {
    Q_OBJECT
  public:
    CSettingDlg(SpeechLayer *speech, MessageBoxes *messageBoxes, QWidget *parent = nullptr);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;

    // The chosen update radio button: 0, 1 or 2.
    int m_updateChoice = 1;

  private:
    void OnShowWindow();
    void ExchangeRadio(bool fromControls);

    SpeechLayer *m_speech;
    MessageBoxes *m_messageBoxes;
};
