// The controller's start-up, its utterance state machine and its windows, driven through real
// message delivery.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <regex>

#include "ControllerFixture.h"
#include "shell/CMiniBar.h"
#include "shell/CShowTipsDlg.h"
#include "shell/ListeningRestart.h"

namespace {

using Calls = std::vector<std::string>;
using Tips = std::vector<WPARAM>;

TEST_F(ControllerTest, StartsUpWithTheMouse) {
    Start();
    EXPECT_EQ(g_mainWnd, dlg_.get());
    EXPECT_EQ(fs::current_path(), dir_) << "the program directory becomes the current one";
    EXPECT_EQ(commands_.calls, (Calls{"load " + dir_.string() + "/default_self.grm"}));
    EXPECT_TRUE(dlg_->m_connected);
    EXPECT_EQ(dlg_->m_mode, 0);
    EXPECT_TRUE(dlg_->m_ready);
    EXPECT_EQ(hotKeys_.calls, (Calls{"unregister 32799", "unregister 32800", "register 32799 0 126",
                                     "register 32800 0 127"}));
    ASSERT_EQ(tray_.icons.count(150), 1u);
    EXPECT_EQ(tray_.icons[150].icon, 150);
    EXPECT_EQ(tray_.icons[150].szTip, u"Zelvo");
    EXPECT_EQ(tray_.icons[150].uCallbackMessage, UM_TRAYICON);
    EXPECT_EQ(devices_.window, dlg_.get()) << "registered for device notifications";
    EXPECT_EQ(g_statusText, u"已经连接到Zelvo");
    ASSERT_NE(dlg_->m_pMiniBar, nullptr);
    EXPECT_TRUE(dlg_->m_pMiniBar->isVisible());
    ASSERT_NE(dlg_->m_pTipsDlg, nullptr) << "the status was shown as a tip";
    EXPECT_FALSE(dlg_->m_pTipsDlg->isVisible()) << "and hidden again";
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_EQ(Journal(), "login appid=7d3e21a9\n");
    EXPECT_TRUE(fs::exists(dir_ / "home" / "autostart" / "Zelvo.desktop"));
}

TEST_F(ControllerTest, StartsUpWithoutTheMouse) {
    devices_.present = {"\\\\?\\hid#vid_046d&pid_c077#0003&046d&c077&0001#x"};
    Start();
    EXPECT_FALSE(dlg_->m_connected);
    EXPECT_EQ(tray_.icons[150].icon, 151);
    EXPECT_EQ(tray_.icons[150].szTip, u"请连接Zelvo");
    EXPECT_EQ(g_statusText, u"请连接Zelvo");
    EXPECT_NE(dlg_->m_pTipsDlg, nullptr);
    EXPECT_EQ(dlg_->m_pMiniBar, nullptr);

    // Without the mouse the voice key does nothing, and the mini bar stays away.
    Press();
    Release();
    EXPECT_EQ(speech_.Take(), (Calls{"reset"}));
    EXPECT_EQ(dlg_->m_pMiniBar, nullptr);
}

TEST_F(ControllerTest, FailedLoginEndsTheProgram) {
    setenv("MSC_PARAMS", "engine = nonesuch", 1);
    dlg_ = std::make_unique<TestDlg>(Services());
    EXPECT_FALSE(dlg_->OnInitDialog());
    EXPECT_EQ(g_exitCode, 0);
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, u"MSPLogin failed:10106");
    EXPECT_EQ(boxes_.shown[0].caption, u"Quorvex");
    EXPECT_NE(WordLog().find("\tMSPLogin failed:10106\r\r\n"), std::string::npos);
}

TEST_F(ControllerTest, AutoRunThatCannotBeWrittenIsShownAndStartUpGoesOn) {
    std::ofstream(dir_ / "config-file") << "x";
    setenv("XDG_CONFIG_HOME", (dir_ / "config-file").c_str(), 1);
    Start();
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, u"RegOpen Failed:20");
    EXPECT_EQ(boxes_.shown[0].caption, u"Error");
    EXPECT_EQ(boxes_.shown[0].type, MB_ICONERROR);
    EXPECT_TRUE(dlg_->m_connected);
}

TEST_F(ControllerTest, UnavailableHotKeysAreLogged) {
    hotKeys_.refuse = true;
    Start();
    EXPECT_NE(WordLog().find("\tRegisterHotKey F15 failed: refused by the test\r\r\n"),
              std::string::npos);
    EXPECT_NE(WordLog().find("\tRegisterHotKey F16 failed: refused by the test\r\r\n"),
              std::string::npos);
}

// One utterance in each kind of session: what the speech layer is asked, what is shown.
struct UtteranceCase {
    const char *name;
    int mode;            // 0 dictation, 1 command
    int language;        // the setting Language
    int longPress;       // LongPressModel
    int autoModify;      // AutoModify
    const char *result;  // UTF-8, converted to the ANSI code page
    bool localCommand;   // the custom-command matcher takes it
    Tips tipsAtPress;
    Calls speechAtRelease;
    Calls commands;  // of the release
    Tips tipsAtRelease;
    const char16_t *status;
};

class Utterance : public ControllerTest, public testing::WithParamInterface<UtteranceCase> {};

TEST_P(Utterance, GoesFromPressToRelease) {
    const UtteranceCase &c = GetParam();
    Start();
    if (c.mode == 1) {
        dlg_->SendMessage(UM_SETMODE, 1);
        Settle();
    }
    g_settings.Language = c.language;
    g_settings.LongPressModel = c.longPress;
    g_settings.AutoModify = c.autoModify;
    speech_.Take();
    commands_.calls.clear();
    dlg_->handled.clear();

    Press();
    EXPECT_EQ(speech_.Take(), (Calls{"build", "prepare", "begin"}));
    EXPECT_TRUE(g_listening);
    EXPECT_FALSE(dlg_->m_ready);
    EXPECT_EQ(g_tipMode, c.mode);
    EXPECT_EQ(TipRequests(), c.tipsAtPress);
    if (c.mode == 1) {
        EXPECT_EQ(g_settings.LongPressModel, 0) << "command mode clears it in memory";
        EXPECT_EQ(g_settings.AutoModify, 0);
    }

    speech_.resultText = Utf8ToAnsi(c.result);
    commands_.matches = c.localCommand;
    Release();
    EXPECT_EQ(speech_.Take(), c.speechAtRelease);
    EXPECT_EQ(commands_.calls, c.commands);
    EXPECT_EQ(TipRequests(), c.tipsAtRelease);
    EXPECT_EQ(g_statusText, c.status);
    EXPECT_FALSE(g_listening);
    EXPECT_TRUE(dlg_->m_ready) << "the key works again";
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, Utterance,
    testing::Values(UtteranceCase{"Dictation", 0, 0, 0, 0, "今天天气很好。", false, Tips{1},
                                  Calls{"reset", "stop running", "type 今天天气很好。", "clear"},
                                  Calls{}, Tips{0}, u"今天天气很好。"},
                    UtteranceCase{"DictationWithNothingSaid", 0, 0, 0, 0, "", false, Tips{1},
                                  Calls{"reset", "stop running"}, Calls{}, Tips{0}, u"请重说"},
                    UtteranceCase{"ContinuousDictationTypedAsItCame", 0, 0, 1, 0, "已打", false,
                                  Tips{}, Calls{"reset", "stop running"}, Calls{}, Tips{}, u""},
                    UtteranceCase{"CorrectingDictationTypedAsItCame", 0, 3, 0, 1, "", false, Tips{},
                                  Calls{"reset", "stop running"}, Calls{}, Tips{}, u""},
                    UtteranceCase{"EnglishIsAlwaysSingleUtterance", 0, 1, 1, 1, "hello", false,
                                  Tips{1}, Calls{"reset", "stop running", "type hello", "clear"},
                                  Calls{}, Tips{0}, u"hello"},
                    UtteranceCase{"CommandMatchedLocally", 1, 0, 1, 1, "打开记事本", true, Tips{1},
                                  Calls{"reset", "stop running", "clear"},
                                  Calls{"match 打开记事本"}, Tips{0}, u"打开记事本"},
                    UtteranceCase{"CommandWithNothingSaid", 1, 0, 0, 0, "", false, Tips{1},
                                  Calls{"reset", "stop running"}, Calls{}, Tips{0}, u"请重说"}),
    [](const testing::TestParamInfo<UtteranceCase> &info) { return info.param.name; });

TEST_F(ControllerTest, CommandNotMatchedGoesToSemanticSearch) {
    Start();
    dlg_->SendMessage(UM_SETMODE, 1);
    Press();
    speech_.resultText = Utf8ToAnsi("北京天气");
    Release();
    EXPECT_EQ(commands_.calls.back(), "worker {\"rc\":0}");
    EXPECT_EQ(commands_.calls, (Calls{"load " + dir_.string() + "/default_self.grm",
                                      "match 北京天气", "semantic 北京天气", "worker {\"rc\":0}"}));
    EXPECT_EQ(LogLines().back(), "北京天气");

    commands_.calls.clear();
    commands_.semanticSucceeds = false;
    Press();
    speech_.resultText = Utf8ToAnsi("北京天气");
    Release();
    EXPECT_EQ(commands_.calls, (Calls{"match 北京天气", "semantic 北京天气"}))
        << "a failed request starts no worker and shows nothing more";
}

TEST_F(ControllerTest, RepeatedPressesWhileListeningAreIgnored) {
    Start();
    Press();
    Press();
    Press();
    EXPECT_EQ(speech_.Take(), (Calls{"build", "prepare", "begin"}));
    speech_.resultText = "x";
    Release();
    EXPECT_EQ(speech_.Take(), (Calls{"reset", "stop running", "type x", "clear"}));
    Release();
    EXPECT_EQ(speech_.Take(), (Calls{"reset"})) << "a release without listening is ignored";
}

TEST_F(ControllerTest, FailedStartShowsTheErrorAndRestoresTheKey) {
    Start();
    speech_.beginResult = 10108;
    Press();
    EXPECT_EQ(speech_.Take(), (Calls{"build", "prepare", "begin", "stop"}));
    EXPECT_EQ(g_statusText, u"start listen failed 10108");
    EXPECT_EQ(g_tipMode, -1);
    EXPECT_EQ(TipRequests(), (Tips{1, 0}));
    EXPECT_EQ(LogLines().back(), "start listen failed 10108");
    EXPECT_NE(WordLog().find("\tstart listen failed 10108\r\r\n"), std::string::npos);
    EXPECT_TRUE(dlg_->m_ready) << "the brief tip restores readiness";
    EXPECT_FALSE(g_listening);
}

TEST_F(ControllerTest, FailedPreparationIsLoggedAndTheKeyStaysUsable) {
    Start();
    speech_.prepareResult = -1;
    Press();
    EXPECT_EQ(speech_.Take(), (Calls{"build", "prepare"}));
    EXPECT_FALSE(g_listening);
    EXPECT_EQ(LogLines().back(), "speech recognizer init failed:-1");
    EXPECT_NE(WordLog().find("\tspeech recognizer init failed:-1\r\r\n"), std::string::npos);
    EXPECT_EQ(g_statusText, u"") << "the error is not shown as a tip";
    speech_.prepareResult = 0;
    Press();
    EXPECT_EQ(speech_.Take(), (Calls{"build", "prepare", "begin"}));
}

TEST_F(ControllerTest, ClosePrompShowsNoTipsAndTheKeyKeepsWorking) {
    WriteSettings("ClosePromp=1\r\n");
    Start();
    EXPECT_EQ(dlg_->m_pTipsDlg, nullptr);
    dlg_->SendMessage(UM_SETMODE, 1);
    for (int i = 0; i < 2; ++i) {
        Press();
        speech_.resultText = i ? "" : "x";  // a command, then nothing said
        Release();
        EXPECT_TRUE(dlg_->m_ready);
    }
    EXPECT_EQ(dlg_->m_pTipsDlg, nullptr);
}

TEST_F(ControllerTest, ModeSwitchStopsListeningWithoutTakingTheText) {
    Start();
    Press();
    speech_.resultText = "unused";
    speech_.Take();
    EXPECT_EQ(dlg_->SendMessage(UM_SETMODE, 1), 0);
    EXPECT_EQ(speech_.Take(), (Calls{"stop running"}));
    EXPECT_EQ(dlg_->m_mode, 1);
    EXPECT_EQ(g_tipMode, 1);
    EXPECT_TRUE(dlg_->m_ready);
    EXPECT_FALSE(g_listening);
    Release();
    EXPECT_EQ(speech_.Take(), (Calls{"reset"})) << "the later release is ignored";
}

TEST_F(ControllerTest, DictationReloadsTheSettingsThatCommandModeCleared) {
    WriteSettings("LongPressModel=1\r\nAutoModify=1\r\n");
    Start();
    dlg_->SendMessage(UM_SETMODE, 1);
    EXPECT_EQ(g_settings.LongPressModel, 0);
    EXPECT_EQ(g_settings.AutoModify, 0);
    speech_.Take();
    dlg_->SendMessage(UM_SETMODE, 0);
    EXPECT_EQ(g_settings.LongPressModel, 1);
    EXPECT_EQ(g_settings.AutoModify, 1);
    EXPECT_EQ(speech_.Take(), (Calls{"build", "stop"}));
}

// In continuous dictation the end of speech posts a release and a press: the session ends
// without its text being taken, and a new one starts at once.
TEST_F(ControllerTest, SimulatedReleaseAndPressRestartListening) {
    WriteSettings("LongPressModel=1\r\n");
    Start();
    Press();
    speech_.Take();
    ::PostMessage(g_mainWnd, WM_HOTKEY, HOTKEY_VOICE_UP, kVoiceUpLParam);
    ::PostMessage(g_mainWnd, WM_HOTKEY, HOTKEY_VOICE_DOWN, kVoiceDownLParam);
    Settle();
    EXPECT_EQ(speech_.Take(), (Calls{"reset", "stop running", "build", "prepare", "begin"}));
    EXPECT_TRUE(g_listening);
    EXPECT_EQ(TipRequests(), (Tips{}));
}

// The end of a phrase posts its restart pair while the user lets go of the key: whatever the
// order in which the pair and the real release arrive, listening ends with the key up, and the
// next press starts it again.
TEST_F(ControllerTest, ReleaseWhileAPhraseEndsDoesNotStartListeningAgain) {
    enum Order { kPairOnly, kPairThenRelease, kReleaseThenPair, kPairDuringTheReleasesStop };
    struct Row {
        const char *name;
        Order order;
        Calls calls;
        bool listening;
    } rows[] = {
        {"the pair alone restarts", kPairOnly,
         Calls{"reset", "stop running", "build", "prepare", "begin"}, true},
        {"the pair, then the release", kPairThenRelease,
         Calls{"reset", "stop running", "build", "prepare", "begin", "reset", "stop running"},
         false},
        {"the release, then the pair", kReleaseThenPair, Calls{"reset", "stop running", "reset"},
         false},
        {"the pair posted while the release stops the session", kPairDuringTheReleasesStop,
         Calls{"reset", "stop running", "reset"}, false},
    };
    WriteSettings("LongPressModel=1\r\n");
    Start();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        if (g_listening)
            Release();
        Press();
        speech_.Take();
        switch (row.order) {
            case kPairOnly:
                PostListeningRestart();
                break;
            case kPairThenRelease:
                PostListeningRestart();
                ASSERT_TRUE(hotKeys_.Press(HOTKEY_VOICE_UP));
                break;
            case kReleaseThenPair:
                ASSERT_TRUE(hotKeys_.Press(HOTKEY_VOICE_UP));
                PostListeningRestart();
                break;
            case kPairDuringTheReleasesStop:
                speech_.duringStop = [] { PostListeningRestart(); };
                ASSERT_TRUE(hotKeys_.Press(HOTKEY_VOICE_UP));
                break;
        }
        Settle();
        EXPECT_EQ(speech_.Take(), row.calls);
        EXPECT_EQ(g_listening, row.listening);
        EXPECT_EQ(dlg_->m_ready, !row.listening) << "the key works again";
    }
    Release();
    Press();
    EXPECT_EQ(speech_.Take(), (Calls{"reset", "build", "prepare", "begin"}));
}

TEST_F(ControllerTest, PressDuringTheOneSecondTipWaitsForIt) {
    Start(1000);
    dlg_->SendMessage(UM_SETMODE, 1);
    commands_.matches = true;
    Press();
    speech_.resultText = "x";
    speech_.Take();
    // A press that arrives while the brief tip is shown is handled only after it.
    QTimer::singleShot(300, [this] {
        EXPECT_FALSE(dlg_->m_ready);
        EXPECT_TRUE(dlg_->m_pTipsDlg->isVisible());
        hotKeys_.Press(HOTKEY_VOICE_DOWN);
    });
    QElapsedTimer clock;
    clock.start();
    Release();
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(speech_.Take(),
              (Calls{"reset", "stop running", "clear", "build", "prepare", "begin"}))
        << "the waiting press started a new utterance";
    EXPECT_TRUE(g_listening);
}

TEST_F(ControllerTest, ExitWhileListeningStopsLogsOutAndRemovesTheIcon) {
    Start();
    Press();
    speech_.Take();
    // The exit command comes from the tray menu while the program's event loop runs; the loop
    // ends with it.
    dlg_->PostMessage(WM_COMMAND, ID_EXIT);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(speech_.Take(), (Calls{"stop running"}));
    EXPECT_EQ(Journal(), "login appid=7d3e21a9\nlogout\n");
    EXPECT_TRUE(tray_.icons.empty());
    EXPECT_TRUE(hotKeys_.registered.empty());
    EXPECT_EQ(devices_.window, nullptr);
    EXPECT_EQ(dlg_->m_pMiniBar, nullptr);
    EXPECT_EQ(MSPLogout(), MSC_ERROR_NOT_LOGGED_IN) << "already logged out";
}

TEST_F(ControllerTest, MainWindowShowsCentredAndClosingOnlyHidesIt) {
    Start();
    dlg_->SendMessage(WM_COMMAND, ID_SHOW_MAIN_WINDOW);
    EXPECT_TRUE(dlg_->isVisible());
    EXPECT_TRUE(dlg_->m_mainVisible);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = dlg_->geometry();
    EXPECT_EQ(frame.size(), dlg_->m_windowRect.size());
    EXPECT_EQ(frame.x(), area.width() / 2 - frame.width() / 2);
    EXPECT_EQ(frame.y(), area.height() / 2 - frame.height() / 2);
    EXPECT_EQ(dlg_->windowType(), Qt::Dialog) << "an application window while shown";

    dlg_->close();  // the caption button
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_FALSE(dlg_->m_mainVisible);
    dlg_->SendMessage(WM_COMMAND, ID_SHOW_MAIN_WINDOW);
    EXPECT_TRUE(dlg_->isVisible());
    dlg_->SendMessage(WM_COMMAND, ID_SHOW_MAIN_WINDOW);
    EXPECT_FALSE(dlg_->isVisible());
}

TEST_F(ControllerTest, EscapeAndEnterDoNotCloseTheMainWindow) {
    Start();
    dlg_->SendMessage(WM_COMMAND, ID_SHOW_MAIN_WINDOW);
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(dlg_.get(), &down);
        EXPECT_TRUE(dlg_->isVisible()) << key;
    }
}

TEST_F(ControllerTest, LogLinesCarryTheTimeAndShowTheEnd) {
    Start();
    std::u16string text = u"识别语言切换为:英语";
    for (int i = 0; i < 30; ++i)
        dlg_->SendMessage(UM_ADDLOG, reinterpret_cast<WPARAM>(&text));
    QListWidget *list = dlg_->m_logList;
    const std::string last = list->item(list->count() - 1)->text().toStdString();
    EXPECT_TRUE(std::regex_match(
        last, std::regex(R"(\d{4}-\d\d-\d\d  \d\d:\d\d:\d\d  识别语言切换为:英语)")))
        << last;
    EXPECT_EQ(list->currentRow(), list->count() - 1);
    EXPECT_TRUE(list->selectedItems().isEmpty());
}

TEST_F(ControllerTest, TrayClickShowsTheMiniBar) {
    Start();
    dlg_->m_pMiniBar->ShowWindow(SW_HIDE);
    ASSERT_TRUE(tray_.Click(150, WM_LBUTTONUP));
    Settle();
    EXPECT_TRUE(dlg_->m_pMiniBar->isVisible());
}

TEST_F(ControllerTest, TipComposesStatusLanguageAndMode) {
    struct Row {
        const char16_t *status;
        int tipMode;
        const char *text;
        bool centred;
    } rows[] = {{u"请重说", 0, "请重说", true},
                {u"识别语言切换为:英语", 1, "识别语言切换为:英语", true},
                {u"今天", 0, "打字[四川话]:今天", false},
                {u"北京", 1, "搜索[四川话]:北京", false},
                {u"start listen failed 5", -1, "四川话start listen failed 5", false}};
    g_languageName = u"四川话";
    for (const Row &row : rows) {
        g_statusText = row.status;
        g_tipMode = row.tipMode;
        bool centred = false;
        EXPECT_EQ(CShowTipsDlg::ComposeText(&centred).toStdString(), row.text);
        EXPECT_EQ(centred, row.centred) << row.text;
    }
}

}  // namespace
