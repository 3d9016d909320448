// AppSettings: the program's seven settings, kept in config/config.ini beside the program
// (section "Setting"), and the start-at-log-on entry "Zelvo" that AutoRun controls.
#pragma once

#include <string>

struct AppSettings {
    int AutoUpdateType = 1;  // 0 install updates, 1 remind only, 2 none; stored and shown only
    int AutoRun = 0;         // 1: start at log-on
    int ClosePromp = 0;      // 1: no tips window
    int ShowFlag = 1;        // 1: the service punctuates ("ptt")
    int Language = 0;        // recognition language index 0 to 13
    int LongPressModel = 0;  // 1: continuous recognition while the voice key is held
    int AutoModify = 0;      // 1: continuous recognition with corrected pieces
};

extern AppSettings g_settings;

// The settings file: the program file's directory followed by "config/config.ini", whatever the
// current directory.
std::string GetSettingsPath();
// Fills `record` from the file; missing file, section or keys read as the defaults. Returns 1.
int LoadSettings(AppSettings *record);
// Writes all seven keys, in the order of the record, each as a decimal integer. Returns 1; the
// result of writing is not looked at (without a config directory nothing is stored).
int SaveSettings(int autoUpdateType, int autoRun, int closePromp, int showFlag, int language,
                 int longPressModel, int autoModify);
// Writes the start-at-log-on entry "Zelvo": the program's path when enabling, an inert entry
// otherwise. False with "RegOpen Failed:%d" or "RegSet Failed:%d" in *errorText on failure.
bool ApplyAutoRun(std::u16string *errorText, bool enable);
