#include "SysSettings.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace vra_sys {
namespace {

std::string Trim(const std::string &s) {
    const char *ws = " \t\r\n";
    size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
    for (char &c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool ParseBool(const std::string &v, bool &out) {
    std::string l = Lower(v);
    if (l == "yes" || l == "1" || l == "true" || l == "on") {
        out = true;
        return true;
    }
    if (l == "no" || l == "0" || l == "false" || l == "off") {
        out = false;
        return true;
    }
    return false;
}

bool ParseInt(const std::string &v, long lo, long hi, int &out) {
    if (v.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    long n = std::strtol(v.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || n < lo || n > hi)
        return false;
    out = static_cast<int>(n);
    return true;
}

bool ParseDouble(const std::string &v, double lo, double hi, double &out) {
    if (v.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    double d = std::strtod(v.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(d >= lo && d <= hi))
        return false;
    out = d;
    return true;
}

// 64-bit FNV-1a: a stable digest so that the raw machine id never leaves the machine.
std::string Digest(const std::string &text) {
    unsigned long long h = 1469598103934665603ULL;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    char buf[17];
    snprintf(buf, sizeof buf, "%016llx", h);
    return buf;
}

std::string MachineId() {
    for (const char *path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        std::ifstream in(path);
        std::string id;
        if (in && std::getline(in, id) && !Trim(id).empty())
            return Trim(id);
    }
    char host[256] = {0};
    if (gethostname(host, sizeof host - 1) == 0)
        return host;
    return "unknown";
}

std::string DefaultAuthPath() {
    const char *xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/vra_hwr";
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/vra_hwr";
    return "/tmp/vra_hwr-" + std::to_string(getuid());
}

std::string StripTrailingSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// One item: key=value. `name` is the lower-cased part before the first '.', `qualifier` the rest.
int ApplyItem(const std::string &name, const std::string &qualifier, const std::string &value,
              SysSettings &s, bool &historyFileSet, std::string &error) {
    auto bad = [&](const char *what) {
        error = "bad value for " + name + (qualifier.empty() ? "" : "." + qualifier) + ": '" +
                value + "' (" + what + ")";
        return 3;
    };
    bool flag = false;
    if (!qualifier.empty()) {
        if (name == "devkey") {
            s.devKeys[qualifier] = value;
        } else if (name == "serviceurl") {
            s.serviceUrls[qualifier] = value;
        } else {
            error = "unknown key " + name + "." + qualifier;
            return 3;
        }
        return 0;
    }
    if (name == "appkey") {
        s.appKey = value;
    } else if (name == "devkey") {
        s.devKey = value;
    } else if (name == "serviceurl") {
        s.serviceUrl = value;
    } else if (name == "maxsessions") {
        if (!ParseInt(value, 1, 256, s.maxSessions))
            return bad("1 to 256");
    } else if (name == "authpath") {
        if (value.empty())
            return bad("a directory");
        s.authPath = StripTrailingSlashes(value);
        if (!historyFileSet)
            s.historyFile = s.authPath + "/usage_history.bin";
    } else if (name == "history") {
        if (!ParseBool(value, s.history))
            return bad("yes or no");
    } else if (name == "historyfile") {
        if (value.empty())
            return bad("a file name");
        s.historyFile = value;
        historyFileSet = true;
    } else if (name == "latitude") {
        if (!ParseDouble(value, -90, 90, s.latitude))
            return bad("-90 to 90");
    } else if (name == "longitude") {
        if (!ParseDouble(value, -180, 180, s.longitude))
            return bad("-180 to 180");
    } else if (name == "udid") {
        s.udid = value;
    } else if (name == "udidtype") {
        if (!ParseInt(value, -2147483647L - 1, 2147483647L, s.udidType))
            return bad("a number");
    } else if (name == "tid") {
        s.tid = value;
    } else if (name == "eid") {
        s.eid = value;
    } else if (name == "userid") {
        s.userId = value;
    } else if (name == "version") {
        s.version = value;
    } else if (name == "smartspace") {
        if (!ParseBool(value, s.smartSpace))
            return bad("yes or no");
    } else if (name == "loglevel") {
        if (!ParseInt(value, 0, 5, s.log.level))
            return bad("0 to 5");
    } else if (name == "logfile") {
        s.log.file = value;
    } else if (name == "logstderr") {
        if (!ParseBool(value, flag))
            return bad("yes or no");
        s.log.toStderr = flag ? 1 : 0;
    } else {
        error = "unknown key " + name;
        return 3;
    }
    return 0;
}

struct Item {
    std::string name, qualifier, value;
};

// Splits "key=value" into its parts; false when there is no '=' or no key.
bool SplitItem(const std::string &piece, Item &item) {
    size_t eq = piece.find('=');
    if (eq == std::string::npos)
        return false;
    std::string key = Trim(piece.substr(0, eq));
    if (key.empty())
        return false;
    size_t dot = key.find('.');
    item.name = Lower(key.substr(0, dot));
    item.qualifier = dot == std::string::npos ? "" : key.substr(dot + 1);
    item.value = Trim(piece.substr(eq + 1));
    return !item.name.empty() && (dot == std::string::npos || !item.qualifier.empty());
}

int ParseItems(const std::vector<std::string> &pieces, std::vector<Item> &items,
               std::string &error) {
    for (const std::string &raw : pieces) {
        std::string piece = Trim(raw);
        if (piece.empty())
            continue;
        Item item;
        if (!SplitItem(piece, item)) {
            error = "malformed item '" + piece + "' (expected key=value)";
            return 3;
        }
        items.push_back(item);
    }
    return 0;
}

int ReadConfigFile(const std::string &path, std::vector<Item> &items, std::string &error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read configfile " + path;
        return 102;
    }
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        lines.push_back(t);
    }
    int code = ParseItems(lines, items, error);
    if (code == 0) {
        for (const Item &i : items) {
            if (i.name == "configfile") {
                error = "configfile inside " + path;
                return 3;
            }
        }
    }
    if (code != 0)
        error = path + ": " + error;
    return code;
}

}  // namespace

std::string SysSettings::ServiceUrlFor(const std::string &capkey) const {
    const std::string *best = nullptr;
    size_t bestLen = 0;
    for (const auto &[prefix, url] : serviceUrls) {
        bool matches = capkey.compare(0, prefix.size(), prefix) == 0 &&
                       (capkey.size() == prefix.size() || capkey[prefix.size()] == '.');
        if (matches && prefix.size() >= bestLen) {
            best = &url;
            bestLen = prefix.size();
        }
    }
    return best ? *best : serviceUrl;
}

SysSettings DefaultSettings() {
    SysSettings s;
    s.authPath = DefaultAuthPath();
    s.historyFile = s.authPath + "/usage_history.bin";
    s.udid = Digest("vra_hwr:" + MachineId());
    s.version = VRA_SYS_VERSION_TEXT;
    return s;
}

int ApplyConfig(const char *text, SysSettings &settings, std::string &error) {
    std::vector<std::string> pieces;
    if (text) {
        std::string t(text);
        size_t start = 0;
        while (start <= t.size()) {
            size_t comma = t.find(',', start);
            if (comma == std::string::npos)
                comma = t.size();
            pieces.push_back(t.substr(start, comma - start));
            start = comma + 1;
        }
    }
    std::vector<Item> own;
    int code = ParseItems(pieces, own, error);
    if (code != 0)
        return code;

    // The file's items come first so that the text overrides them.
    std::vector<Item> items;
    for (const Item &i : own) {
        if (i.name == "configfile") {
            if (!i.qualifier.empty() || i.value.empty()) {
                error = "configfile needs a path";
                return 3;
            }
            code = ReadConfigFile(i.value, items, error);
            if (code != 0)
                return code;
        }
    }
    SysSettings s = settings;
    bool historyFileSet = false;
    for (const Item &i : own) {
        if (i.name != "configfile")
            items.push_back(i);
    }
    for (const Item &i : items) {
        code = ApplyItem(i.name, i.qualifier, i.value, s, historyFileSet, error);
        if (code != 0)
            return code;
    }
    settings = s;
    return 0;
}

void ApplyLogEnvironment(LogSettings &log) {
    if (const char *v = std::getenv("VRA_LOG_LEVEL"); v && *v) {
        int level = 0;
        if (ParseInt(Trim(v), 0, 5, level))
            log.level = level;
    }
    if (const char *v = std::getenv("VRA_LOG_FILE"); v && *v)
        log.file = v;
    if (const char *v = std::getenv("VRA_LOG_STDERR"); v && *v) {
        bool flag = false;
        if (ParseBool(Trim(v), flag))
            log.toStderr = flag ? 1 : 0;
    }
}

}  // namespace vra_sys
