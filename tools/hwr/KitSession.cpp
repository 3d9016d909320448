#include "KitSession.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "vra_hwr.h"
#include "vra_sys.h"

namespace ExitCode {
int ForKitCode(int code) {
    if (code == 0)
        return kOk;
    if (code == -1)
        return 10;
    if (code >= 1 && code <= 23)
        return 10 + code;
    if (code >= 100 && code <= 105)
        return 40 + (code - 100);
    if (code >= 300 && code <= 308)
        return 50 + (code - 300);
    return 125;
}
}  // namespace ExitCode

namespace {

bool IsDir(const std::string &path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ProgramDir() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "";
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.find_last_of('/'));
}

const char *Hint(int code) {
    switch (code) {
        case 3:
            return "check the key=value items";
        case 6:
            return "give --datapath DIR (the kit's resource folder)";
        case 14:
            return "the data path lacks a resource file of this capability";
        case 22:
            return "no plug-in serves this capability key";
        case 23:
            return "the plug-in library is not built or not found beside libvra_hwr.so";
        case 103:
            return "configure a service address, e.g. --sys serviceurl=http://HOST:PORT";
        default:
            return nullptr;
    }
}

}  // namespace

std::string DefaultDataPath() {
    if (const char *env = getenv("VRA_HWR_DATAPATH"); env && *env)
        return env;
    std::string installed = ProgramDir() + "/../" QV_HWR_INSTALL_DATA_DIR;
    if (IsDir(installed))
        return installed;
    if (IsDir(QV_HWR_SOURCE_DATA_DIR))
        return QV_HWR_SOURCE_DATA_DIR;
    return "";
}

int KitSession::InitSystem(const HwrArgs &args) {
    // The tool prints its own messages; the kit's lines come with -v (3) and -vv (5).
    static const int kLevels[] = {0, 3, 5};
    int level = kLevels[std::min(args.Verbosity(), 2)];
    std::string config = "loglevel=" + std::to_string(level);
    if (args.Has("sys"))
        config += "," + args.Get("sys");
    return VRA_Init(config.c_str());
}

KitSession::KitSession(const HwrArgs &args, const std::string &initExtra, bool quiet)
    : args_(args), quiet_(quiet) {
    code_ = InitSystem(args);
    if (code_ != 0) {
        Report("system library configuration", code_);
        return;
    }
    sysInited_ = true;
    dataPath_ = args.Has("datapath") ? args.Get("datapath") : DefaultDataPath();
    std::string config;
    auto add = [&](const std::string &item) {
        if (item.empty())
            return;
        if (!config.empty())
            config += ",";
        config += item;
    };
    if (!dataPath_.empty())
        add("datapath=" + dataPath_);
    if (args.Has("plugin-dir"))
        add("pluginpath=" + args.Get("plugin-dir"));
    add(initExtra);
    code_ = vra_hwr_init(config.c_str());
    if (code_ != 0) {
        Report("kit initialisation", code_);
        return;
    }
    kitInited_ = true;
}

KitSession::~KitSession() {
    if (kitInited_)
        vra_hwr_release();
    if (sysInited_)
        VRA_Release();
}

int KitSession::Report(const std::string &what, int code) const {
    if (quiet_)
        return ExitCode::ForKitCode(code);
    fprintf(stderr, "hwr %s: %s failed: %s (code %d)\n", args_.command.c_str(), what.c_str(),
            vra_get_error_info(code), code);
    if (const char *hint = Hint(code))
        fprintf(stderr, "hwr %s: %s\n", args_.command.c_str(), hint);
    return ExitCode::ForKitCode(code);
}
