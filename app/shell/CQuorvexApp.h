// CQuorvexApp: the application: makes sure that only one copy runs, then runs the main dialog.
#pragma once

#include <memory>
#include <string>

#include "CQuorvexDlg.h"

class CommandLayer;
class DeviceWatch;
class HotKeys;
class MessageBoxes;
class SpeechLayer;
class TrayShell;

// How the program was started.
struct AppOptions {
    // The mouse counts as present at start-up (F15/F16 from any keyboard then work).
    bool assumeConnected = false;
};

extern const char kAppUsage[];

// Reads the command line; false with a message for the user when it is wrong.
bool ParseAppOptions(int argc, char **argv, AppOptions *options, std::string *message);

class CQuorvexApp {
  public:
    explicit CQuorvexApp(const AppOptions &options);
    ~CQuorvexApp();

    // Start-up; returns false in every case, so that the application ends with its dialog.
    bool InitInstance();
    int ExitInstance() { return 0; }

  private:
    AppOptions m_options;
    std::unique_ptr<HotKeys> m_hotKeys;
    std::unique_ptr<DeviceWatch> m_devices;
    std::unique_ptr<MessageBoxes> m_messageBoxes;
    std::unique_ptr<TrayShell> m_tray;
    std::unique_ptr<SpeechLayer> m_speech;
    std::unique_ptr<CommandLayer> m_commands;
};
