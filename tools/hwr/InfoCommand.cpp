// hwr info: versions of the kit and its plug-ins, the capabilities that load, the paths in use.
#include <dirent.h>
#include <link.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "HwrCommand.h"
#include "KitSession.h"
#include "vra_hwr.h"
#include "vra_sys.h"

namespace {

const char *const kCapkeys[] = {
    "hwr.local.letter",        "hwr.local.gesture",       "hwr.local.freestylus",
    "hwr.local.freestylus.v7", "hwr.local.associateword", "hwr.cloud.letter",
    "hwr.cloud.gesture",       "hwr.cloud.freewrite",     "hwr.cloud.freewrite.english",
};

struct LoadedLibrary {
    std::string path;
    std::string version;  // "NAME VERSION" from the library's VraHwr note
};

// Kit libraries in this process, found by the version note that qv_add_version_note puts in
// each of them.
std::vector<LoadedLibrary> LoadedKitLibraries() {
    std::vector<LoadedLibrary> out;
    dl_iterate_phdr(
        [](struct dl_phdr_info *info, size_t, void *data) {
            auto *libs = static_cast<std::vector<LoadedLibrary> *>(data);
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr) &ph = info->dlpi_phdr[i];
                if (ph.p_type != PT_NOTE)
                    continue;
                const char *p = reinterpret_cast<const char *>(info->dlpi_addr + ph.p_vaddr);
                const char *end = p + ph.p_memsz;
                while (p + 12 <= end) {
                    uint32_t namesz, descsz, type;
                    memcpy(&namesz, p, 4);
                    memcpy(&descsz, p + 4, 4);
                    memcpy(&type, p + 8, 4);
                    const char *name = p + 12;
                    const char *desc = name + ((namesz + 3) & ~3u);
                    const char *next = desc + ((descsz + 3) & ~3u);
                    if (next > end || (namesz == 0 && descsz == 0 && type == 0))
                        break;
                    if (type == 1 && namesz == 7 && memcmp(name, "VraHwr", 7) == 0 && descsz > 0) {
                        libs->push_back({info->dlpi_name ? info->dlpi_name : "",
                                         std::string(desc, strnlen(desc, descsz))});
                    }
                    p = next;
                }
            }
            return 0;
        },
        &out);
    return out;
}

std::string Describe(const std::string &dataPath) {
    if (dataPath.empty())
        return "(none: local capabilities need --datapath DIR)";
    DIR *dir = opendir(dataPath.c_str());
    if (!dir)
        return dataPath + "  (cannot be read)";
    int files = 0;
    while (dirent *e = readdir(dir)) {
        if (e->d_name[0] != '.')
            ++files;
    }
    closedir(dir);
    return dataPath + "  (" + std::to_string(files) + " entries)";
}

int RunInfo(HwrArgs &args) {
    std::vector<std::string> keys(std::begin(kCapkeys), std::end(kCapkeys));
    if (args.Has("capkey"))
        keys = {args.Get("capkey")};

    // One initialisation per key: a key whose plug-in cannot load would fail the others.
    std::map<std::string, std::string> status;
    std::map<std::string, LoadedLibrary> served;
    std::string kitLibrary, dataPath, authPath;
    for (const std::string &key : keys) {
        KitSession kit(args, "initcapkeys=" + key, true);
        dataPath = kit.DataPath();
        authPath = VRA_GetAuthPath();
        if (kit.Code() != 0) {
            status[key] = std::to_string(kit.Code()) + " " + vra_get_error_info(kit.Code());
            continue;
        }
        status[key] = "ready";
        for (const LoadedLibrary &lib : LoadedKitLibraries()) {
            if (lib.version.rfind("vra_hwr ", 0) == 0) {
                kitLibrary = lib.path + "  " + lib.version.substr(8);
            } else {
                served[key] = lib;
            }
        }
    }
    if (kitLibrary.empty()) {
        for (const LoadedLibrary &lib : LoadedKitLibraries()) {
            if (lib.version.rfind("vra_hwr ", 0) == 0)
                kitLibrary = lib.path + "  " + lib.version.substr(8);
        }
    }

    printf("hwr           %s\n", QV_VERSION);
    printf("vra_hwr       %s\n", kitLibrary.c_str());
    printf("vra_sys       %s\n", VRA_GetVersion());
    printf("data path     %s\n", Describe(dataPath).c_str());
    printf("auth path     %s\n", authPath.c_str());
    printf("\n%-30s %-12s %s\n", "capability", "status", "plug-in");
    for (const std::string &key : keys) {
        auto lib = served.find(key);
        std::string plugin =
            lib == served.end() ? "" : lib->second.version + "  " + lib->second.path;
        const std::string &s = status[key];
        bool ready = s == "ready";
        printf("%-30s %-12s %s\n", key.c_str(), ready ? "ready" : s.substr(0, s.find(' ')).c_str(),
               ready ? plugin.c_str() : s.substr(s.find(' ') + 1).c_str());
    }
    return ExitCode::kOk;
}

}  // namespace

HWR_COMMAND(info, "show kit and plug-in versions, capabilities and paths",
            "hwr info [--capkey KEY] [--datapath DIR] [--sys ITEMS] [--plugin-dir DIR]", "capkey",
            "", RunInfo);
