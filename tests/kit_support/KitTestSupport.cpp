#include "KitTestSupport.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "vra_sys.h"

namespace kit_test {
namespace {

uint32_t Crc32(const unsigned char *p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

uint32_t U32(const std::string &s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

// The text of a log line after "date time LEVEL [tid] ".
std::string StripHead(const std::string &line) {
    size_t close = line.find("] ");
    return close == std::string::npos ? line : line.substr(close + 2);
}

}  // namespace

TempDir::TempDir() {
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/kit-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string &name, const std::string &bytes) const {
    std::string p = File(name);
    std::ofstream out(p, std::ios::binary);
    out << bytes;
    return p;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

SysSession::SysSession(const std::string &extra) {
    std::string config =
        "loglevel=5,logstderr=no,logfile=" + LogPath() + ",authpath=" + dir_.File("auth");
    if (!extra.empty())
        config += "," + extra;
    initCode_ = VRA_Init(config.c_str());
}

SysSession::~SysSession() {
    VRA_Release();
}

std::vector<std::string> SysSession::LogLines() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(LogPath()));
    std::string line;
    while (std::getline(in, line))
        lines.push_back(StripHead(line));
    return lines;
}

bool SysSession::Logged(const std::string &text) const {
    for (const std::string &l : LogLines()) {
        if (l == text)
            return true;
    }
    return false;
}

bool SysSession::LogContains(const std::string &part) const {
    for (const std::string &l : LogLines()) {
        if (l.find(part) != std::string::npos)
            return true;
    }
    return false;
}

void SysSession::ClearLog() const {
    // Truncate in place: the library keeps its descriptor (O_APPEND) open.
    if (truncate(LogPath().c_str(), 0) != 0)
        throw std::runtime_error("truncate log failed");
}

std::vector<HistoryRecord> SysSession::History() const {
    return ReadHistory(dir_.File("auth") + "/usage_history.bin");
}

std::vector<HistoryRecord> ReadHistory(const std::string &path) {
    std::string s = ReadFile(path);
    std::vector<HistoryRecord> out;
    size_t at = 0;
    const size_t head = 4 + 4 + 4 + 8 + 20;
    while (at + head + 4 <= s.size()) {
        if (s.compare(at, 4, "VRAU") != 0)
            break;
        uint32_t total = U32(s, at + 4);
        if (total < head + 4 || at + total > s.size())
            break;
        const auto *p = reinterpret_cast<const unsigned char *>(s.data() + at);
        if (Crc32(p, total - 4) != U32(s, at + total - 4))
            break;
        HistoryRecord r;
        r.timeMs = U32(s, at + 12) | (static_cast<uint64_t>(U32(s, at + 16)) << 32);
        size_t pos = at + head;
        std::string *fields[] = {&r.appkey, &r.capkey, &r.info, &r.data, &r.result};
        for (int i = 0; i < 5; ++i) {
            uint32_t n = U32(s, at + 20 + 4 * i);
            *fields[i] = s.substr(pos, n);
            pos += n;
        }
        out.push_back(r);
        at += total;
    }
    return out;
}

std::vector<int16_t> Strokes(std::initializer_list<std::pair<int, int>> points) {
    std::vector<int16_t> out;
    for (auto [x, y] : points) {
        out.push_back(static_cast<int16_t>(x));
        out.push_back(static_cast<int16_t>(y));
    }
    return out;
}

}  // namespace kit_test
