#include "CSettingDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "AppSettings.h"
#include "ProgramState.h"
#include "QuorvexMessages.h"
#include "SpeechLayer.h"
#include "platform/MessageBoxes.h"

CSettingDlg::CSettingDlg(SpeechLayer *speech, MessageBoxes *messageBoxes, QWidget *parent)
    : CDialog(IDD_SETTING_DIALOG, parent), m_speech(speech), m_messageBoxes(messageBoxes) {
    setWindowTitle(QStringLiteral("软件设置"));
    auto *layout = new QVBoxLayout(this);

    auto *update = new QGroupBox(QStringLiteral("软件更新"), this);
    auto *updateLayout = new QVBoxLayout(update);
    const std::pair<int, const char *> radios[] = {
        {IDC_UPDATE_AUTO, "有更新时自动安装"},
        {IDC_UPDATE_REMIND, "有更新时不安装，但提醒我(推荐)"},
        {IDC_UPDATE_NEVER, "不自动更新"}};
    for (auto [id, caption] : radios) {
        auto *radio = new QRadioButton(QString::fromUtf8(caption), update);
        updateLayout->addWidget(radio);
        SetDlgItem(id, radio);
    }
    layout->addWidget(update);

    auto *other = new QGroupBox(QStringLiteral("其他设置"), this);
    auto *otherLayout = new QVBoxLayout(other);
    const std::pair<int, const char *> checks[] = {{IDC_AUTORUN, "设置开机启动"},
                                                   {IDC_CLOSE_PROMPT, "关闭提示"},
                                                   {IDC_NO_PUNCTUATION, "去除标点"},
                                                   {IDC_LONG_PRESS, "语音键采用长按模式"},
                                                   {IDC_AUTO_MODIFY, "中文打字采用自动修正模式"}};
    for (auto [id, caption] : checks) {
        auto *check = new QCheckBox(QString::fromUtf8(caption), other);
        otherLayout->addWidget(check);
        SetDlgItem(id, check);
    }
    layout->addWidget(other);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    QPushButton *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    SetDlgItem(IDOK, ok);
    SetDlgItem(IDCANCEL, cancel);
    layout->addWidget(buttons);
}

LRESULT CSettingDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SHOWWINDOW) {
        OnShowWindow();
        return 0;
    }
    // The radio buttons' own clicks do nothing.
    if (message == WM_COMMAND && LOWORD(wParam) >= IDC_UPDATE_AUTO &&
        LOWORD(wParam) <= IDC_AUTO_MODIFY)
        return 0;
    return CDialog::WindowProc(message, wParam, lParam);
}

void CSettingDlg::ExchangeRadio(bool fromControls) {
    if (fromControls) {
        int checked = GetCheckedRadioButton(IDC_UPDATE_AUTO, IDC_UPDATE_NEVER);
        m_updateChoice = checked ? checked - IDC_UPDATE_AUTO : -1;
    } else {
        CheckRadioButton(IDC_UPDATE_AUTO, IDC_UPDATE_NEVER, IDC_UPDATE_AUTO + m_updateChoice);
    }
}

void CSettingDlg::OnShowWindow() {
    LoadSettings(&g_settings);
    m_updateChoice = g_settings.AutoUpdateType;
    CheckDlgButton(IDC_AUTORUN, g_settings.AutoRun);
    CheckDlgButton(IDC_CLOSE_PROMPT, g_settings.ClosePromp);
    CheckDlgButton(IDC_NO_PUNCTUATION, !g_settings.ShowFlag);
    CheckDlgButton(IDC_LONG_PRESS, g_settings.LongPressModel);
    CheckDlgButton(IDC_AUTO_MODIFY, g_settings.AutoModify);
    ExchangeRadio(false);
}

void CSettingDlg::OnOK() {
    ExchangeRadio(true);
    g_settings.AutoUpdateType = m_updateChoice;
    g_settings.AutoRun = IsDlgButtonChecked(IDC_AUTORUN);
    g_settings.ClosePromp = IsDlgButtonChecked(IDC_CLOSE_PROMPT);
    g_settings.ShowFlag = IsDlgButtonChecked(IDC_NO_PUNCTUATION) ? 0 : 1;
    g_settings.LongPressModel = IsDlgButtonChecked(IDC_LONG_PRESS);
    g_settings.AutoModify = IsDlgButtonChecked(IDC_AUTO_MODIFY);
    std::u16string error;
    if (!ApplyAutoRun(&error, g_settings.AutoRun != 0))
        m_messageBoxes->MessageBox(this, error, u"Error", MB_ICONERROR);
    SaveSettings(g_settings.AutoUpdateType, g_settings.AutoRun, g_settings.ClosePromp,
                 g_settings.ShowFlag, g_settings.Language, g_settings.LongPressModel,
                 g_settings.AutoModify);
    m_speech->BuildSessionParams();
    // A running utterance ends as if the voice key had been released.
    ::PostMessage(g_mainWnd, WM_HOTKEY, HOTKEY_VOICE_UP, kVoiceUpLParam);
    ::PostMessage(g_mainWnd, UM_BARREFRESH, 0, 0);
    EndDialog(IDOK);
}

void CSettingDlg::OnCancel() {
    ::PostMessage(g_mainWnd, UM_BARREFRESH, 0, 0);
    EndDialog(IDCANCEL);
}
