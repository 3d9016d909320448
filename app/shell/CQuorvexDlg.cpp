#include "CQuorvexDlg.h"

#include <unistd.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>
#include <cstdio>

#include "AppSettings.h"
#include "CAboutDlg.h"
#include "CMiniBar.h"
#include "CSettingDlg.h"
#include "CShowTipsDlg.h"
#include "CommandLayer.h"
#include "ListeningRestart.h"
#include "ProgramState.h"
#include "QuorvexMessages.h"
#include "SpeechLayer.h"
#include "device/DeviceLink.h"
#include "msc.h"
#include "platform/CodePage.h"
#include "platform/DeviceWatch.h"
#include "platform/HotKeys.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramDirectory.h"
#include "platform/WriteLog.h"

namespace {

constexpr char kLoginParams[] = "appid = 7d3e21a9, work_dir = .";
constexpr char16_t kAppName[] = u"Quorvex";
constexpr char16_t kConnectedTip[] = u"Zelvo";
constexpr char16_t kDisconnectedTip[] = u"请连接Zelvo";
constexpr char16_t kConnectedStatus[] = u"已经连接到Zelvo";
constexpr char16_t kDisconnectedStatus[] = u"Zelvo已经断开";
constexpr char16_t kSayAgain[] = u"请重说";
constexpr int kEnglish = 1;
// The designed size of dialog 102, used when the main window is shown.
constexpr int kDialogWidth = 420;
constexpr int kDialogHeight = 300;

std::u16string Format(const char *format, int code) {
    char text[96];
    std::snprintf(text, sizeof text, format, code);
    return Utf8ToWide(text);
}

bool ContinuousDictation() {
    return (g_settings.LongPressModel || g_settings.AutoModify) && g_settings.Language != kEnglish;
}

}  // namespace

const MessageEntry<CQuorvexDlg> CQuorvexDlg::kMessageMap[] = {
    {WM_HOTKEY, 0, 0, &CQuorvexDlg::OnHotKey},
    {UM_SETMODE, 0, 0, &CQuorvexDlg::OnSetMode},
    {UM_SHOWTIP, 0, 0, &CQuorvexDlg::OnShowTip},
    {UM_ADDLOG, 0, 0, &CQuorvexDlg::OnAddLog},
    {UM_BARREFRESH, 0, 0, &CQuorvexDlg::OnBarRefresh},
    {UM_TRAYICON, 0, 0, &CQuorvexDlg::OnTrayIcon},
    {WM_DEVICECHANGE, 0, 0, &CQuorvexDlg::OnDeviceChange},
    {WM_CLOSE, 0, 0, &CQuorvexDlg::OnClose},
    {WM_SYSCOMMAND, 0, 0, &CQuorvexDlg::OnSysCommand},
    {WM_COMMAND, ID_SHOW_MAIN_WINDOW, ID_SHOW_MAIN_WINDOW, &CQuorvexDlg::OnShowMainWindow},
    {WM_COMMAND, ID_SETTINGS, ID_SETTINGS, &CQuorvexDlg::OnSettings},
    {WM_COMMAND, ID_SHOW_MINI_BAR, ID_SHOW_MINI_BAR, &CQuorvexDlg::OnShowMiniBarCommand},
    {WM_COMMAND, ID_EXIT, ID_EXIT, &CQuorvexDlg::OnExit},
};

CQuorvexDlg::CQuorvexDlg(const ControllerServices &services, QWidget *parent)
    : CDialog(IDD_QUORVEX_DIALOG, parent),
      m_services(services),
      m_restartsSeen(ListeningRestartsPosted()) {
    setWindowTitle(QStringLiteral("Zelvo"));
    setWindowIcon(QIcon(QStringLiteral(":/res/icon150.png")));
    resize(kDialogWidth, kDialogHeight);
    m_logList = new QListWidget(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_logList);
    SetDlgItem(IDC_LOG_LIST, m_logList);
}

CQuorvexDlg::~CQuorvexDlg() {
    if (g_mainWnd == this)
        g_mainWnd = nullptr;
    delete m_pMiniBar;
    delete m_pSettingDlg;
    delete m_pTipsDlg;
}

LRESULT CQuorvexDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (DispatchTable(kMessageMap, message, wParam, lParam, &result))
        return result;
    return CDialog::WindowProc(message, wParam, lParam);
}

bool CQuorvexDlg::PreTranslateMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Neither Escape nor Enter closes the main window.
    return message == WM_KEYDOWN && (wParam == VK_ESCAPE || wParam == VK_RETURN);
}

bool CQuorvexDlg::OnInitDialog() {
    // The about box stands where the system menu would have it: on the window's context menu.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("关于 Quorvex(&A)..."),
                       [this] { SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0); });
        menu.exec(mapToGlobal(at));
    });

    // Every relative file name of the program resolves in its own directory.
    const std::string programDirectory = GetProgramDirectory();
    if (!programDirectory.empty() && chdir(programDirectory.c_str()) != 0)
        WriteLog("cannot enter the program directory " + programDirectory);

    g_mainWnd = this;
    m_windowRect = QRect(0, 0, width(), height());
    // Hidden and without a taskbar button until the user asks for it.
    SetToolWindow(true);
    setGeometry(0, 0, 0, 0);
    hide();

    m_services.commands->LoadCustomCommands(programDirectory + "default_self.grm");
    LoadSettings(&g_settings);
    std::u16string error;
    if (!ApplyAutoRun(&error, g_settings.AutoRun != 0))
        m_services.messageBoxes->MessageBox(this, error, u"Error", MB_ICONERROR);

    m_connected = IsMousePresent(*m_services.devices);
    m_services.devices->RegisterDeviceNotification(this);
    AddTrayIcon();
    RegisterHotKeys();

    int rc = MSPLogin(nullptr, nullptr, kLoginParams);
    if (rc != 0) {
        std::u16string text = Format("MSPLogin failed:%d", rc);
        WriteLog(text);
        m_services.messageBoxes->MessageBox(this, text, kAppName, MB_OK);
        m_services.exitProcess(0);
        return false;
    }
    // The notification area's restarts are followed by the tray back-end itself; there is no
    // "TaskbarCreated" message to register here.

    m_services.speech->BuildSessionParams();
    m_mode = 0;
    if (m_connected) {
        g_statusText = kConnectedStatus;
        PostMessage(UM_SHOWTIP, 0);
        ShowMiniBar();
    } else {
        g_statusText = kDisconnectedTip;
        PostMessage(UM_SHOWTIP, 0);
    }
    return true;
}

int CQuorvexDlg::DoModal() {
    if (!OnInitDialog())
        return IDCANCEL;
    QApplication::exec();
    return result();
}

void CQuorvexDlg::RegisterHotKeys() {
    HotKeys &keys = *m_services.hotKeys;
    keys.UnregisterHotKey(this, HOTKEY_VOICE_DOWN);
    keys.UnregisterHotKey(this, HOTKEY_VOICE_UP);
    for (auto [id, vk] :
         {std::pair{HOTKEY_VOICE_DOWN, VK_F15}, std::pair{HOTKEY_VOICE_UP, VK_F16}}) {
        if (!keys.RegisterHotKey(this, static_cast<int>(id), 0, vk))
            WriteLog("RegisterHotKey F" + std::to_string(vk - VK_F1 + 1) +
                     " failed: " + keys.LastError());
    }
}

void CQuorvexDlg::AddTrayIcon() {
    m_trayIcon.hWnd = this;
    m_trayIcon.uID = kTrayIconId;
    m_trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_trayIcon.uCallbackMessage = UM_TRAYICON;
    m_trayIcon.icon = m_connected ? IDR_ICON_CONNECTED : IDR_ICON_DISCONNECTED;
    m_trayIcon.szTip = m_connected ? kConnectedTip : kDisconnectedTip;
    m_services.tray->Shell_NotifyIcon(NIM_ADD, m_trayIcon);
}

void CQuorvexDlg::ModifyTrayIcon(int icon, const std::u16string &tip) {
    m_trayIcon.icon = icon;
    m_trayIcon.szTip = tip;
    m_services.tray->Shell_NotifyIcon(NIM_MODIFY, m_trayIcon);
}

bool CQuorvexDlg::PrepareRecognizer(std::u16string *error) {
    int rc = m_services.speech->Prepare();
    if (rc != 0) {
        *error = Format("speech recognizer init failed:%d", rc);
        WriteLog(*error);
        return false;
    }
    g_listening = true;
    return true;
}

bool CQuorvexDlg::BeginListening(std::u16string *error) {
    int rc = m_services.speech->BeginListening();
    if (rc != 0) {
        *error = Format("start listen failed %d", rc);
        WriteLog(*error);
        return false;
    }
    return true;
}

LRESULT CQuorvexDlg::OnHotKey(WPARAM id, LPARAM lParam) {
    if (id == HOTKEY_VOICE_DOWN)
        OnVoiceDown();
    else if (id == HOTKEY_VOICE_UP)
        OnVoiceUp();
    else
        return DefWindowProc(WM_HOTKEY, id, lParam);
    return 0;
}

void CQuorvexDlg::OnVoiceDown() {
    const bool afterRelease = m_lastVoiceKeyWasUp;
    m_lastVoiceKeyWasUp = false;
    ShowMiniBar();
    if (IsRestartAfterRelease(afterRelease))
        return;
    if (!m_connected || !m_ready)
        return;
    m_ready = false;
    if (g_listening)
        return;

    g_statusText.clear();
    g_tipMode = m_mode;
    if (m_mode == 1) {
        g_settings.LongPressModel = 0;
        g_settings.AutoModify = 0;
        PostMessage(UM_SHOWTIP, 1);
    } else if (!ContinuousDictation()) {
        PostMessage(UM_SHOWTIP, 1);
    }
    m_services.speech->BuildSessionParams();

    std::u16string error;
    if (!PrepareRecognizer(&error)) {
        SendMessage(UM_ADDLOG, reinterpret_cast<WPARAM>(&error));
        // Nothing else would make the key usable again until a mode switch; the user may well
        // fix the cause (plug a microphone in) and try again.
        m_ready = true;
        return;
    }
    if (!BeginListening(&error)) {
        m_services.speech->StopRecognition();
        g_statusText = error;
        g_tipMode = -1;
        PostMessage(UM_SHOWTIP, 0);
        SendMessage(UM_ADDLOG, reinterpret_cast<WPARAM>(&error));
    }
}

void CQuorvexDlg::OnVoiceUp() {
    m_services.speech->ResetReplaceCount();
    if (m_connected && g_listening)
        FinishUtterance();
    // Counted once the session has stopped: a phrase that was ending meanwhile has posted its
    // restart by now.
    if (ListeningRestartsPosted() != m_restartsSeen)
        ++m_releasesSinceRestart;
    m_lastVoiceKeyWasUp = true;
}

bool CQuorvexDlg::IsRestartAfterRelease(bool afterRelease) {
    // The press of a restart pair comes right after its release. One release since the pair was
    // posted is the pair's own; a second one is the user's, who let go of the key while the
    // phrase ended: that press must not start listening again.
    const unsigned posted = ListeningRestartsPosted();
    if (posted == m_restartsSeen || !afterRelease)
        return false;
    m_restartsSeen = posted;
    const bool released = m_releasesSinceRestart > 1;
    m_releasesSinceRestart = 0;
    return released;
}

void CQuorvexDlg::FinishUtterance() {
    SpeechLayer &speech = *m_services.speech;
    speech.StopRecognition();
    if (ContinuousDictation()) {
        // The text has been typed as it came.
        m_ready = true;
        g_listening = false;
        return;
    }
    const std::string text = speech.ResultText();
    if (text.empty()) {
        g_statusText = kSayAgain;
        PostMessage(UM_SHOWTIP, 0);
        return;
    }
    g_statusText = AnsiToWide(text);
    if (m_mode == 0) {
        DeliverDictation(g_statusText);
    } else if (!m_services.commands->MatchLocalCommand(text)) {
        std::string answer;
        if (m_services.commands->SendSemanticRequest(text, &answer))
            m_services.commands->StartSemanticWorker(std::move(answer));
    }
    PostMessage(UM_SHOWTIP, 0);
    std::u16string copy = g_statusText;
    SendMessage(UM_ADDLOG, reinterpret_cast<WPARAM>(&copy));
    speech.ClearResultText();
}

void CQuorvexDlg::DeliverDictation(const std::u16string &text) {
    m_services.speech->TypeText(text);
    m_ready = true;
}

void CQuorvexDlg::ShowMiniBar() {
    if (!m_connected)
        return;
    if (!m_pMiniBar)
        m_pMiniBar = new CMiniBar();
    m_pMiniBar->ShowWindow(SW_SHOWNOACTIVATE);
}

LRESULT CQuorvexDlg::OnSetMode(WPARAM mode, LPARAM) {
    m_mode = static_cast<int>(mode);
    g_tipMode = static_cast<int>(mode);
    if (mode != 0) {
        g_settings.LongPressModel = 0;
        g_settings.AutoModify = 0;
    } else {
        LoadSettings(&g_settings);
        m_services.speech->BuildSessionParams();
    }
    // The text of a running utterance is not processed.
    m_services.speech->StopRecognition();
    m_ready = true;
    return 0;
}

LRESULT CQuorvexDlg::OnShowTip(WPARAM keep, LPARAM) {
    if (g_settings.ClosePromp) {
        if (keep == 0)
            m_ready = true;
        return 0;
    }
    if (keep == 0 && g_statusText.empty())
        return 0;
    if (!m_pTipsDlg)
        m_pTipsDlg = new CShowTipsDlg();
    m_pTipsDlg->ShowWindow(SW_HIDE);
    m_pTipsDlg->ShowWindow(SW_SHOW);
    if (keep == 0) {
        // The user-interface thread does nothing else meanwhile: a press of the voice key waits.
        SleepOnUiThread(m_tipWaitMs);
        m_pTipsDlg->ShowWindow(SW_HIDE);
        m_ready = true;
    }
    return 1;
}

LRESULT CQuorvexDlg::OnAddLog(WPARAM text, LPARAM) {
    const auto *line = reinterpret_cast<const std::u16string *>(text);
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    m_logList->addItem(QString::asprintf("%d-%02d-%02d  %02d:%02d:%02d  ", d.year(), d.month(),
                                         d.day(), t.hour(), t.minute(), t.second()) +
                       QString::fromStdU16String(line ? *line : std::u16string()));
    // Selecting the last item and clearing the selection leaves the list showing its end.
    m_logList->setCurrentRow(m_logList->count() - 1);
    m_logList->clearSelection();
    return 1;
}

LRESULT CQuorvexDlg::OnBarRefresh(WPARAM state, LPARAM lParam) {
    if (m_pMiniBar)
        m_pMiniBar->PostMessage(UM_BARREFRESH, state, lParam);
    return 0;
}

LRESULT CQuorvexDlg::OnTrayIcon(WPARAM id, LPARAM mouse) {
    if (id != kTrayIconId)
        return 1;
    if (mouse == WM_LBUTTONUP) {
        ShowMiniBar();
    } else if (mouse == WM_RBUTTONUP) {
        LoadSettings(&g_settings);
        QMenu menu;
        QAction *first = menu.addAction(m_mainVisible ? QStringLiteral("隐藏主窗口")
                                                      : QStringLiteral("打开主窗口"));
        QFont bold = first->font();
        bold.setBold(true);
        first->setFont(bold);
        menu.setDefaultAction(first);
        auto command = [this](UINT id) { return [this, id] { PostMessage(WM_COMMAND, id, 0); }; };
        connect(first, &QAction::triggered, this, command(ID_SHOW_MAIN_WINDOW));
        menu.addAction(QStringLiteral("显示工具条"), this, command(ID_SHOW_MINI_BAR));
        menu.addAction(QStringLiteral("软件设置"), this, command(ID_SETTINGS));
        menu.addAction(QStringLiteral("退出"), this, command(ID_EXIT));
        menu.exec(QCursor::pos());
    }
    return 1;
}

LRESULT CQuorvexDlg::OnDeviceChange(WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
        return 0;
    const auto *record = reinterpret_cast<const DeviceBroadcast *>(data);
    const bool matches = record && DeviceMatches(*record);
    if (event == DBT_DEVICEARRIVAL && !m_connected && matches) {
        ModifyTrayIcon(IDR_ICON_CONNECTED, kConnectedTip);
        g_statusText = kConnectedStatus;
        SendMessage(UM_ADDLOG, reinterpret_cast<WPARAM>(&g_statusText));
        m_connected = true;
        ShowMiniBar();
        PostMessage(UM_SHOWTIP, 0);
    } else if (event == DBT_DEVICEREMOVECOMPLETE && m_connected && matches) {
        ModifyTrayIcon(IDR_ICON_DISCONNECTED, kDisconnectedTip);
        g_statusText = kDisconnectedStatus;
        SendMessage(UM_ADDLOG, reinterpret_cast<WPARAM>(&g_statusText));
        if (m_pMiniBar)
            m_pMiniBar->ShowWindow(SW_HIDE);
        PostMessage(UM_SHOWTIP, 0);
        m_connected = false;
    }
    return 1;
}

LRESULT CQuorvexDlg::OnClose(WPARAM, LPARAM) {
    // Closing only hides the window; the program goes on.
    hide();
    m_mainVisible = false;
    return 0;
}

LRESULT CQuorvexDlg::OnSysCommand(WPARAM command, LPARAM lParam) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.exec();
        return 0;
    }
    return DefWindowProc(WM_SYSCOMMAND, command, lParam);
}

LRESULT CQuorvexDlg::OnShowMainWindow(WPARAM, LPARAM) {
    if (m_mainVisible) {
        hide();
        m_mainVisible = false;
        return 0;
    }
    QRect area = QGuiApplication::primaryScreen()
                     ? QGuiApplication::primaryScreen()->availableGeometry()
                     : QRect(0, 0, 1024, 768);
    const int w = m_windowRect.width(), h = m_windowRect.height();
    hide();
    SetToolWindow(false);
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    setGeometry(area.x() + area.width() / 2 - w / 2, area.y() + area.height() / 2 - h / 2, w, h);
    ShowWindow(SW_SHOW);
    m_mainVisible = true;
    return 0;
}

LRESULT CQuorvexDlg::OnSettings(WPARAM, LPARAM) {
    if (!m_pSettingDlg)
        m_pSettingDlg = new CSettingDlg(m_services.speech, m_services.messageBoxes);
    m_pSettingDlg->ShowWindow(SW_SHOWNORMAL);
    return 0;
}

LRESULT CQuorvexDlg::OnShowMiniBarCommand(WPARAM, LPARAM) {
    ShowMiniBar();
    return 0;
}

LRESULT CQuorvexDlg::OnExit(WPARAM, LPARAM) {
    // The event loop ends once this handler has returned.
    QCoreApplication::exit(0);
    m_services.speech->StopRecognition();
    int rc = MSPLogout();
    if (rc != 0)
        WriteLog(Format("MSPLogout failed:%d", rc));
    m_services.tray->Shell_NotifyIcon(NIM_DELETE, m_trayIcon);
    m_services.hotKeys->UnregisterHotKey(this, HOTKEY_VOICE_DOWN);
    m_services.hotKeys->UnregisterHotKey(this, HOTKEY_VOICE_UP);
    DestroyWindow();
    return 0;
}

void CQuorvexDlg::DestroyWindow() {
    m_services.devices->UnregisterDeviceNotification();
    delete m_pMiniBar;
    m_pMiniBar = nullptr;
    delete m_pSettingDlg;
    m_pSettingDlg = nullptr;
    delete m_pTipsDlg;
    m_pTipsDlg = nullptr;
    hide();
    m_mainVisible = false;
}
