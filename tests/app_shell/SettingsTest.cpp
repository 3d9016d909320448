// The settings store and the settings dialog.
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "ControllerFixture.h"
#include "shell/CSettingDlg.h"

namespace {

using Calls = std::vector<std::string>;

std::string Ini(const fs::path &dir) {
    return ReadFile(dir / "config" / "config.ini");
}

TEST_F(ControllerTest, MissingFileGivesTheDefaults) {
    AppSettings s;
    s.AutoUpdateType = s.ShowFlag = s.Language = 9;
    EXPECT_EQ(LoadSettings(&s), 1);
    EXPECT_EQ(s.AutoUpdateType, 1);
    EXPECT_EQ(s.AutoRun, 0);
    EXPECT_EQ(s.ClosePromp, 0);
    EXPECT_EQ(s.ShowFlag, 1);
    EXPECT_EQ(s.Language, 0);
    EXPECT_EQ(s.LongPressModel, 0);
    EXPECT_EQ(s.AutoModify, 0);
}

TEST_F(ControllerTest, SaveWritesAllSevenInOrderAndLoadReadsThemBack) {
    EXPECT_EQ(SaveSettings(2, 1, 1, 0, 13, 1, 1), 1);
    EXPECT_EQ(Ini(dir_),
              "[Setting]\r\nAutoUpdateType=2\r\nAutoRun=1\r\nClosePromp=1\r\nShowFlag=0\r\n"
              "Language=13\r\nLongPressModel=1\r\nAutoModify=1\r\n");
    // The path depends on the program file, not on the current directory.
    fs::current_path(fs::temp_directory_path());
    AppSettings s;
    LoadSettings(&s);
    EXPECT_EQ(s.AutoUpdateType, 2);
    EXPECT_EQ(s.AutoRun, 1);
    EXPECT_EQ(s.ClosePromp, 1);
    EXPECT_EQ(s.ShowFlag, 0);
    EXPECT_EQ(s.Language, 13);
    EXPECT_EQ(s.LongPressModel, 1);
    EXPECT_EQ(s.AutoModify, 1);
    EXPECT_EQ(GetSettingsPath(), dir_.string() + "/config/config.ini");
}

TEST_F(ControllerTest, ValuesReadAsThePrivateProfileReaderGivesThem) {
    WriteSettings("Language=3abc\r\nShowFlag=\r\nAutoRun=yes\r\nAutoUpdateType=0x2\r\n");
    AppSettings s;
    LoadSettings(&s);
    EXPECT_EQ(s.Language, 3);
    EXPECT_EQ(s.ShowFlag, 1) << "an empty value reads as the default";
    EXPECT_EQ(s.AutoRun, 0);
    EXPECT_EQ(s.AutoUpdateType, 2);
}

TEST_F(ControllerTest, WithoutAConfigDirectoryNothingIsStored) {
    fs::remove_all(dir_ / "config");
    SaveSettings(0, 1, 1, 0, 5, 1, 1);
    AppSettings s;
    LoadSettings(&s);
    EXPECT_EQ(s.Language, 0);
    EXPECT_EQ(s.AutoUpdateType, 1);
}

TEST_F(ControllerTest, SavingKeepsWhatElseTheFileHolds) {
    std::ofstream(dir_ / "config" / "config.ini", std::ios::binary)
        << "; user notes\r\n[Other]\r\nx=1\r\n[Setting]\r\nLanguage=4\r\n";
    SaveSettings(1, 0, 0, 1, 2, 0, 0);
    std::string ini = Ini(dir_);
    EXPECT_EQ(ini.find("; user notes\r\n[Other]\r\nx=1\r\n[Setting]\r\nLanguage=2\r\n"), 0u) << ini;
}

TEST_F(ControllerTest, ApplyAutoRunWritesAndEmptiesTheEntry) {
    std::u16string error;
    const fs::path entry = dir_ / "home" / "autostart" / "Zelvo.desktop";
    ASSERT_TRUE(ApplyAutoRun(&error, true));
    EXPECT_NE(ReadFile(entry).find("Exec=\"" + GetModuleFileName() + "\"\n"), std::string::npos);
    ASSERT_TRUE(ApplyAutoRun(&error, false));
    EXPECT_TRUE(fs::exists(entry)) << "disabling keeps the entry, empty";
    EXPECT_NE(ReadFile(entry).find("Exec=\nHidden=true\n"), std::string::npos);
}

class SettingDialog : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        Start();
        dlg_->SendMessage(WM_COMMAND, ID_SETTINGS);
        box_ = dlg_->m_pSettingDlg;
        ASSERT_NE(box_, nullptr);
        ASSERT_TRUE(box_->isVisible());
        dlg_->handled.clear();
    }
    void Click(int id) { static_cast<QAbstractButton *>(box_->GetDlgItem(id))->click(); }
    bool Checked(int id) { return box_->IsDlgButtonChecked(id) != 0; }
    CSettingDlg *box_ = nullptr;
};

TEST_F(SettingDialog, HasItsControlsAndCaptions) {
    EXPECT_EQ(box_->windowTitle().toStdString(), "软件设置");
    const std::pair<int, const char *> captions[] = {{1008, "有更新时自动安装"},
                                                     {1009, "有更新时不安装，但提醒我(推荐)"},
                                                     {1010, "不自动更新"},
                                                     {1011, "设置开机启动"},
                                                     {1012, "关闭提示"},
                                                     {1013, "去除标点"},
                                                     {1014, "语音键采用长按模式"},
                                                     {1015, "中文打字采用自动修正模式"},
                                                     {1, "确定"},
                                                     {2, "取消"}};
    for (auto [id, caption] : captions) {
        auto *button = qobject_cast<QAbstractButton *>(box_->GetDlgItem(id));
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->text().toStdString(), caption);
    }
    EXPECT_TRUE(qobject_cast<QRadioButton *>(box_->GetDlgItem(1008)));
    EXPECT_TRUE(qobject_cast<QCheckBox *>(box_->GetDlgItem(1013)));
    // Without a file: the recommended update choice, punctuation on, everything else off.
    EXPECT_TRUE(Checked(1009));
    for (int id = 1011; id <= 1015; ++id)
        EXPECT_FALSE(Checked(id)) << id;
}

TEST_F(SettingDialog, OkStoresAllSevenAndEndsAnUtterance) {
    g_settings.Language = 6;
    Click(1010);
    for (int id = 1011; id <= 1015; ++id)
        Click(id);
    speech_.Take();
    Click(IDOK);
    EXPECT_FALSE(box_->isVisible());
    Settle();
    EXPECT_EQ(Ini(dir_),
              "[Setting]\r\nAutoUpdateType=2\r\nAutoRun=1\r\nClosePromp=1\r\nShowFlag=0\r\n"
              "Language=6\r\nLongPressModel=1\r\nAutoModify=1\r\n");
    std::string entry = ReadFile(dir_ / "home" / "autostart" / "Zelvo.desktop");
    EXPECT_NE(entry.find("Exec=\"" + GetModuleFileName() + "\""), std::string::npos);
    Calls calls = speech_.Take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], "build");
    std::vector<std::pair<UINT, WPARAM>> messages;
    for (const auto &h : dlg_->handled)
        if (h.message != kProbe)
            messages.push_back({h.message, h.wParam});
    EXPECT_EQ(messages, (std::vector<std::pair<UINT, WPARAM>>{{WM_HOTKEY, HOTKEY_VOICE_UP},
                                                              {UM_BARREFRESH, 0}}));

    // Showing the dialog again shows what the file holds.
    dlg_->SendMessage(WM_COMMAND, ID_SETTINGS);
    EXPECT_TRUE(Checked(1010));
    for (int id = 1011; id <= 1015; ++id)
        EXPECT_TRUE(Checked(id)) << id;

    // And back: unchecking everything stores the opposite, and an inert start entry.
    Click(1008);
    for (int id = 1011; id <= 1015; ++id)
        Click(id);
    Click(IDOK);
    EXPECT_EQ(Ini(dir_),
              "[Setting]\r\nAutoUpdateType=0\r\nAutoRun=0\r\nClosePromp=0\r\nShowFlag=1\r\n"
              "Language=6\r\nLongPressModel=0\r\nAutoModify=0\r\n");
    EXPECT_NE(ReadFile(dir_ / "home" / "autostart" / "Zelvo.desktop").find("Exec=\nHidden=true"),
              std::string::npos);
}

TEST_F(SettingDialog, OkWhileHoldingTheKeyEndsTheUtterance) {
    box_->hide();
    Press();
    speech_.resultText = "x";
    dlg_->SendMessage(WM_COMMAND, ID_SETTINGS);
    speech_.Take();
    Click(IDOK);
    Settle();
    EXPECT_EQ(speech_.Take(), (Calls{"build", "reset", "stop running", "type x", "clear"}));
}

TEST_F(SettingDialog, CancelStoresNothingAndShowingAgainShowsTheFile) {
    WriteSettings("ClosePromp=1\r\n");
    box_->hide();
    dlg_->SendMessage(WM_COMMAND, ID_SETTINGS);
    EXPECT_TRUE(Checked(1012));
    Click(1012);
    Click(1013);
    dlg_->handled.clear();
    Click(IDCANCEL);
    EXPECT_FALSE(box_->isVisible());
    EXPECT_EQ(Ini(dir_), "[Setting]\r\nClosePromp=1\r\n");
    EXPECT_EQ(g_settings.ClosePromp, 1) << "hiding reloads the settings";
    EXPECT_EQ(g_settings.ShowFlag, 1);
    Settle();
    EXPECT_EQ(dlg_->handled.front().message, UM_BARREFRESH);
    dlg_->SendMessage(WM_COMMAND, ID_SETTINGS);
    EXPECT_TRUE(Checked(1012));
    EXPECT_FALSE(Checked(1013));
}

// An update choice that names no radio button shows none chosen, even after one was; OK then
// takes the group's value as it is, none (-1).
TEST_F(SettingDialog, UpdateChoiceOutOfRangeChoosesNoRadioButton) {
    EXPECT_TRUE(Checked(1009));
    box_->hide();
    WriteSettings("AutoUpdateType=7\r\n");
    dlg_->SendMessage(WM_COMMAND, ID_SETTINGS);
    for (int id = 1008; id <= 1010; ++id)
        EXPECT_FALSE(Checked(id)) << id;
    Click(IDOK);
    EXPECT_NE(Ini(dir_).find("AutoUpdateType=-1\r\n"), std::string::npos) << Ini(dir_);
    box_->hide();
    WriteSettings("AutoUpdateType=0\r\n");
    dlg_->SendMessage(WM_COMMAND, ID_SETTINGS);
    EXPECT_TRUE(Checked(1008));
    Click(1010);
    EXPECT_FALSE(Checked(1008)) << "the group is exclusive again";
    EXPECT_TRUE(Checked(1010));
}

TEST_F(SettingDialog, ClosingAndEscapeAreCancel) {
    Click(1011);
    box_->close();
    EXPECT_FALSE(box_->isVisible());
    dlg_->SendMessage(WM_COMMAND, ID_SETTINGS);
    EXPECT_FALSE(Checked(1011));
    Click(1011);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(box_, &escape);
    EXPECT_FALSE(box_->isVisible());
    EXPECT_FALSE(fs::exists(dir_ / "config" / "config.ini"));
    EXPECT_EQ(dlg_->m_pSettingDlg, box_) << "the same dialog is shown again";
}

TEST_F(SettingDialog, FailedAutoRunIsShownAndTheSettingsAreStillSaved) {
    std::ofstream(dir_ / "config-file") << "x";
    setenv("XDG_CONFIG_HOME", (dir_ / "config-file").c_str(), 1);
    Click(1011);
    Click(IDOK);
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, u"RegOpen Failed:20");
    EXPECT_EQ(boxes_.shown[0].caption, u"Error");
    EXPECT_NE(Ini(dir_).find("AutoRun=1"), std::string::npos);
}

}  // namespace
