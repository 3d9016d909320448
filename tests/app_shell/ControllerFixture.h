// A controller on recording back-ends, in a program directory of its own, logged in to the real
// speech library with its scripted engine; messages travel over the real event loop.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "RecordingLayers.h"
#include "msc.h"
#include "platform/ProgramDirectory.h"
#include "platform/RecordingDeviceWatch.h"
#include "platform/RecordingHotKeys.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingTrayShell.h"
#include "shell/AppSettings.h"
#include "shell/CQuorvexDlg.h"
#include "shell/ProgramState.h"
#include "shell/QuorvexMessages.h"

namespace fs = std::filesystem;

constexpr UINT kProbe = WM_USER + 999;

// The controller with a note of every message it handled.
class TestDlg : public CQuorvexDlg {
  public:
    using CQuorvexDlg::CQuorvexDlg;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        handled.push_back({message, wParam});
        if (message == kProbe) {
            ++probes;
            return 0;
        }
        return CQuorvexDlg::WindowProc(message, wParam, lParam);
    }
    struct Handled {
        UINT message;
        WPARAM wParam;
    };
    std::vector<Handled> handled;
    int probes = 0;
};

inline int g_exitCode = -1;
inline void RecordExit(int code) {
    g_exitCode = code;
}

inline std::string ReadFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ControllerTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("controller-" + std::to_string(getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "config");
        fs::create_directories(dir_ / "home");
        oldCwd_ = fs::current_path();
        SetProgramDirectory(dir_.string());
        setenv("XDG_CONFIG_HOME", (dir_ / "home").c_str(), 1);
        setenv("MSC_PARAMS",
               ("engine = scripted, journal = " + (dir_ / "journal.txt").string()).c_str(), 1);
        g_settings = AppSettings();
        g_statusText.clear();
        g_languageName.clear();
        g_tipMode = 0;
        g_listening = false;
        g_exitCode = -1;
        devices_.present = {
            "\\\\?\\hid#vid_0617&pid_1004&mi_01#0003&0617&1004&0001#"
            "{4d1e55b2-f16f-11cf-88cb-001111000030}"};
    }

    void TearDown() override {
        dlg_.reset();
        MSPLogout();
        unsetenv("MSC_PARAMS");
        unsetenv("XDG_CONFIG_HOME");
        SetProgramDirectory("");
        fs::current_path(oldCwd_);
        fs::remove_all(dir_);
    }

    ControllerServices Services() {
        ControllerServices s;
        s.hotKeys = &hotKeys_;
        s.devices = &devices_;
        s.messageBoxes = &boxes_;
        s.tray = &tray_;
        s.speech = &speech_;
        s.commands = &commands_;
        s.exitProcess = &RecordExit;
        return s;
    }

    // Starts the controller; tips take no time unless a test wants the real second.
    void Start(int tipWaitMs = 0) {
        dlg_ = std::make_unique<TestDlg>(Services());
        dlg_->m_tipWaitMs = tipWaitMs;
        ASSERT_TRUE(dlg_->OnInitDialog());
        Settle();
        speech_.Take();
        dlg_->handled.clear();
    }

    // Handles every message that is queued, and every message those handlers queue.
    void Settle() {
        for (int round = 0; round < 100; ++round) {
            size_t before = dlg_->handled.size();
            int probes = dlg_->probes;
            dlg_->PostMessage(kProbe);
            while (dlg_->probes == probes)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            if (dlg_->handled.size() == before + 1)
                return;
        }
        FAIL() << "messages keep coming";
    }

    void Press() {
        ASSERT_TRUE(hotKeys_.Press(HOTKEY_VOICE_DOWN));
        Settle();
    }
    void Release() {
        ASSERT_TRUE(hotKeys_.Press(HOTKEY_VOICE_UP));
        Settle();
    }

    // The wParams of the tip requests handled since the last call.
    std::vector<WPARAM> TipRequests() {
        std::vector<WPARAM> out;
        for (const auto &h : dlg_->handled)
            if (h.message == UM_SHOWTIP)
                out.push_back(h.wParam);
        dlg_->handled.clear();
        return out;
    }

    // The texts of the log list, without their time stamps.
    std::vector<std::string> LogLines() {
        std::vector<std::string> out;
        for (int i = 0; i < dlg_->m_logList->count(); ++i)
            out.push_back(dlg_->m_logList->item(i)->text().mid(22).toStdString());
        return out;
    }

    std::string Journal() { return ReadFile(dir_ / "journal.txt"); }
    std::string WordLog() { return ReadFile(dir_ / "word.log"); }

    void WriteSettings(const std::string &lines) {
        std::ofstream(dir_ / "config" / "config.ini", std::ios::binary) << "[Setting]\r\n" << lines;
    }

    fs::path dir_, oldCwd_;
    RecordingHotKeys hotKeys_;
    RecordingDeviceWatch devices_;
    RecordingMessageBoxes boxes_;
    RecordingTrayShell tray_;
    RecordingSpeechLayer speech_;
    RecordingCommandLayer commands_;
    std::unique_ptr<TestDlg> dlg_;
};
