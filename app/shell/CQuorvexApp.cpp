#include "CQuorvexApp.h"

#include <cstdlib>
#include <cstring>

#include "CommandLayer.h"
#include "QuorvexMessages.h"
#include "SpeechLayer.h"
#include "device/AssumeConnectedWatch.h"
#include "platform/MessageBoxes.h"
#include "platform/QtTrayShell.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/UdevDeviceWatch.h"
#include "platform/X11HotKeys.h"

namespace {

constexpr char kInstanceName[] = "tikoSmart";

[[noreturn]] void ExitAtOnce(int code) {
    std::_Exit(code);
}

}  // namespace

const char kAppUsage[] =
    "usage: quorvex [--assume-connected]\n"
    "  --assume-connected  act as if the mouse were plugged in: F15 (voice key down)\n"
    "                      and F16 (voice key up) then work from any keyboard\n";

bool ParseAppOptions(int argc, char **argv, AppOptions *options, std::string *message) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--assume-connected") == 0) {
            options->assumeConnected = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            *message = kAppUsage;
            return false;
        } else {
            *message = std::string("quorvex: unknown option ") + argv[i] + " (try --help)\n";
            return false;
        }
    }
    return true;
}

CQuorvexApp::CQuorvexApp(const AppOptions &options) : m_options(options) {}

CQuorvexApp::~CQuorvexApp() = default;

bool CQuorvexApp::InitInstance() {
    m_messageBoxes = std::make_unique<QtMessageBoxes>();
    // Held until the process ends.
    static SingleInstance instance;
    bool alreadyRunning = false;
    if (!instance.Create(kInstanceName, &alreadyRunning) && alreadyRunning) {
        m_messageBoxes->MessageBox(nullptr, u"程序正在运行，请不要重复启动", u"Warning",
                                   MB_ICONWARNING);
        return false;
    }

    m_hotKeys = std::make_unique<X11HotKeys>();
    std::unique_ptr<DeviceWatch> devices = std::make_unique<UdevDeviceWatch>();
    if (m_options.assumeConnected)
        devices = std::make_unique<AssumeConnectedWatch>(std::move(devices));
    m_devices = std::move(devices);
    m_tray = std::make_unique<QtTrayShell>();
    m_speech = CreateSpeechLayer();
    m_commands = CreateCommandLayer();

    ControllerServices services;
    services.hotKeys = m_hotKeys.get();
    services.devices = m_devices.get();
    services.messageBoxes = m_messageBoxes.get();
    services.tray = m_tray.get();
    services.speech = m_speech.get();
    services.commands = m_commands.get();
    services.exitProcess = &ExitAtOnce;
    {
        CQuorvexDlg dialog(services);
        PostOnTermination(&dialog, WM_COMMAND, ID_EXIT);
        dialog.DoModal();
    }
    return false;
}
