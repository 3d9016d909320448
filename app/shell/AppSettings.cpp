#include "AppSettings.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/AutoStart.h"
#include "platform/CodePage.h"
#include "platform/PrivateProfile.h"
#include "platform/ProgramDirectory.h"

AppSettings g_settings;

namespace {

constexpr char kSection[] = "Setting";
constexpr char kRunValueName[] = "Zelvo";

std::u16string Format(const char *format, int code) {
    char text[64];
    std::snprintf(text, sizeof text, format, code);
    return Utf8ToWide(text);
}

}  // namespace

std::string GetSettingsPath() {
    return GetProgramDirectory() + "config/config.ini";
}

int LoadSettings(AppSettings *record) {
    const std::string path = GetSettingsPath();
    AppSettings defaults;
    record->AutoUpdateType =
        GetPrivateProfileInt(kSection, "AutoUpdateType", defaults.AutoUpdateType, path);
    record->AutoRun = GetPrivateProfileInt(kSection, "AutoRun", defaults.AutoRun, path);
    record->ClosePromp = GetPrivateProfileInt(kSection, "ClosePromp", defaults.ClosePromp, path);
    record->ShowFlag = GetPrivateProfileInt(kSection, "ShowFlag", defaults.ShowFlag, path);
    record->Language = GetPrivateProfileInt(kSection, "Language", defaults.Language, path);
    record->LongPressModel =
        GetPrivateProfileInt(kSection, "LongPressModel", defaults.LongPressModel, path);
    record->AutoModify = GetPrivateProfileInt(kSection, "AutoModify", defaults.AutoModify, path);
    return 1;
}

int SaveSettings(int autoUpdateType, int autoRun, int closePromp, int showFlag, int language,
                 int longPressModel, int autoModify) {
    auto value = [](int v) { return std::to_string(v); };
    WritePrivateProfileStrings(kSection,
                               {{"AutoUpdateType", value(autoUpdateType)},
                                {"AutoRun", value(autoRun)},
                                {"ClosePromp", value(closePromp)},
                                {"ShowFlag", value(showFlag)},
                                {"Language", value(language)},
                                {"LongPressModel", value(longPressModel)},
                                {"AutoModify", value(autoModify)}},
                               GetSettingsPath());
    return 1;
}

bool ApplyAutoRun(std::u16string *errorText, bool enable) {
    std::string directory;
    if (int rc = OpenAutoStartDirectory(&directory)) {
        *errorText = Format("RegOpen Failed:%d", rc);
        return false;
    }
    if (int rc = SetAutoStartEntry(directory, kRunValueName, enable ? GetModuleFileName() : "")) {
        *errorText = Format("RegSet Failed:%d", rc);
        return false;
    }
    return true;
}
