// CQuorvexDlg: the main dialog and controller. It owns every other window of the program and
// drives one utterance at a time from window messages: the voice key's hot keys, the mini bar's
// mode switch, tip requests, device changes and the commands of the tray menu.
#pragma once

#include <string>

#include "platform/CDialog.h"
#include "platform/TrayShell.h"

class CAddShowDlg;
class CMiniBar;
class CSettingDlg;
class CShowTipsDlg;
class CommandLayer;
class DeviceWatch;
class HotKeys;
class MessageBoxes;
class QListWidget;
class SpeechLayer;

// What the controller uses of the platform and of the layers below it; owned by the caller and
// alive as long as the dialog.
struct ControllerServices {
    HotKeys *hotKeys = nullptr;
    DeviceWatch *devices = nullptr;
    MessageBoxes *messageBoxes = nullptr;
    TrayShell *tray = nullptr;
    SpeechLayer *speech = nullptr;
    CommandLayer *commands = nullptr;
    // Ends the process at once (a failed login); tests catch it.
    void (*exitProcess)(int code) = nullptr;
};

class CQuorvexDlg : public CDialog {
    Q_OBJECT
  public:
    explicit CQuorvexDlg(const ControllerServices &services, QWidget *parent = nullptr);
    ~CQuorvexDlg() override;

    // The start-up of the controller; true when it is running.
    bool OnInitDialog();
    // Runs the controller until the exit command; returns the dialog's result.
    int DoModal();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void OnVoiceDown();
    void OnVoiceUp();
    void FinishUtterance();
    void DeliverDictation(const std::u16string &text);
    void ShowMiniBar();

    // State, for the windows the dialog owns and for tests.
    bool m_ready = true;
    int m_mode = 1;
    bool m_connected = false;
    bool m_mainVisible = false;
    NotifyIconData m_trayIcon;
    QRect m_windowRect;
    CMiniBar *m_pMiniBar = nullptr;
    CAddShowDlg *m_pCustomDlg = nullptr;
    CSettingDlg *m_pSettingDlg = nullptr;
    CShowTipsDlg *m_pTipsDlg = nullptr;
    QListWidget *m_logList = nullptr;
    // How long a brief tip stays (one second); tests that are not about the wait shorten it.
    int m_tipWaitMs = 1000;

  private:
    LRESULT OnHotKey(WPARAM id, LPARAM lParam);
    LRESULT OnSetMode(WPARAM mode, LPARAM);
    LRESULT OnShowTip(WPARAM keep, LPARAM);
    LRESULT OnAddLog(WPARAM text, LPARAM);
    LRESULT OnBarRefresh(WPARAM state, LPARAM lParam);
    LRESULT OnTrayIcon(WPARAM id, LPARAM mouse);
    LRESULT OnDeviceChange(WPARAM event, LPARAM data);
    LRESULT OnClose(WPARAM, LPARAM);
    LRESULT OnSysCommand(WPARAM command, LPARAM);
    LRESULT OnShowMainWindow(WPARAM, LPARAM);
    LRESULT OnSettings(WPARAM, LPARAM);
    LRESULT OnShowMiniBarCommand(WPARAM, LPARAM);
    LRESULT OnExit(WPARAM, LPARAM);

    // The controller's wrappers of the recognizer's preparation and start: false with the error
    // text (already in the log file).
    bool PrepareRecognizer(std::u16string *error);
    // True for the press of a restart pair (ListeningRestart.h) that a real release overtook.
    bool IsRestartAfterRelease(bool afterRelease);
    bool BeginListening(std::u16string *error);
    void RegisterHotKeys();
    void AddTrayIcon();
    void ModifyTrayIcon(int icon, const std::u16string &tip);
    void DestroyWindow();

    static const MessageEntry<CQuorvexDlg> kMessageMap[];
    ControllerServices m_services;
    // Restart pairs already answered, releases since the newest was posted, and whether the last
    // voice-key message was a release.
    unsigned m_restartsSeen = 0;
    int m_releasesSinceRestart = 0;
    bool m_lastVoiceKeyWasUp = false;
};
