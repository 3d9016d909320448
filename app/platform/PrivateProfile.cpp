#include "PrivateProfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>

namespace {

constexpr size_t kIntValueChars = 29;  // the reader's buffer holds 30 characters with the zero

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The name of a "[section]" line, if it is one.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    size_t close = line.rfind(']');
    return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

// Splits a "key=value" line; false for comments, blank lines and lines without '='.
bool SplitEntry(std::string_view line, std::string_view *key, std::string_view *value) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return false;
    *key = Trim(t.substr(0, eq));
    *value = Trim(t.substr(eq + 1));
    return true;
}

std::string StripLineBreaks(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != '\r' && c != '\n')
            out += c;
    return out;
}

}  // namespace

ProfileText::ProfileText(std::string_view text) {
    m_eol = text.find("\r\n") != std::string_view::npos || text.find('\n') == std::string_view::npos
                ? "\r\n"
                : "\n";
    m_finalEol = text.empty() || text.back() == '\n';
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        // Carriage returns at the end of a line are line-break material, never part of a value
        // (a file may end in one, or carry several before its line feed): kept, they would be
        // read back differently once the file is written again.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_lines.emplace_back(line);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    }
}

std::optional<std::string> ProfileText::Get(std::string_view section, std::string_view key) const {
    bool inSection = false, seenSection = false;
    for (const std::string &line : m_lines) {
        if (auto name = SectionName(line)) {
            if (inSection)
                return std::nullopt;  // only the first matching section counts
            inSection = !seenSection && SameName(*name, section);
            seenSection = seenSection || inSection;
            continue;
        }
        std::string_view k, v;
        if (!inSection || !SplitEntry(line, &k, &v) || !SameName(k, key))
            continue;
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        return std::string(v);
    }
    return std::nullopt;
}

void ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string entry = StripLineBreaks(key) + "=" + StripLineBreaks(value);
    size_t sectionLine = m_lines.size();
    for (size_t i = 0; i < m_lines.size(); ++i) {
        auto name = SectionName(m_lines[i]);
        if (name && SameName(*name, section)) {
            sectionLine = i;
            break;
        }
    }
    if (sectionLine == m_lines.size()) {
        if (!m_lines.empty() && !Trim(m_lines.back()).empty())
            m_lines.emplace_back();
        m_lines.push_back("[" + StripLineBreaks(section) + "]");
        m_lines.push_back(entry);
        m_finalEol = true;
        return;
    }
    size_t insertAt = sectionLine + 1;  // after the last non-blank line of the section
    for (size_t i = sectionLine + 1; i < m_lines.size(); ++i) {
        if (SectionName(m_lines[i]))
            break;
        std::string_view k, v;
        if (SplitEntry(m_lines[i], &k, &v) && SameName(k, key)) {
            m_lines[i] = std::string(k) + "=" + StripLineBreaks(value);
            return;
        }
        if (!Trim(m_lines[i]).empty())
            insertAt = i + 1;
    }
    if (insertAt == m_lines.size())
        m_finalEol = true;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
}

std::string ProfileText::Text() const {
    std::string out;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i];
        if (i + 1 < m_lines.size() || m_finalEol)
            out += m_eol;
    }
    return out;
}

int ProfileValueToInt(std::string_view value, int defaultValue) {
    if (value.empty())
        return defaultValue;
    value = value.substr(0, kIntValueChars);
    size_t i = 0;
    while (i < value.size() && static_cast<unsigned char>(value[i]) <= ' ')
        ++i;
    bool minus = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-'))
        minus = value[i++] == '-';
    unsigned base = 10;
    if (i + 1 < value.size() && value[i] == '0') {
        char p = value[i + 1];
        base = p == 'x' ? 16 : p == 'o' ? 8 : p == 'b' ? 2 : 10;
        if (base != 10)
            i += 2;
    }
    std::uint32_t total = 0;
    for (; i < value.size(); ++i) {
        char c = value[i];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                    : c >= 'a' && c <= 'z' ? c - 'a' + 10
                                           : -1;
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            break;
        total = total * base + static_cast<std::uint32_t>(digit);
    }
    return static_cast<int>(minus ? 0u - total : total);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return defaultValue;
    std::stringstream text;
    text << in.rdbuf();
    std::optional<std::string> value = ProfileText(text.str()).Get(section, key);
    return value ? ProfileValueToInt(*value, defaultValue) : defaultValue;
}

bool WritePrivateProfileStrings(std::string_view section,
                                const std::vector<std::pair<std::string, std::string>> &values,
                                const std::string &path) {
    std::string old;
    mode_t mode = 0644;
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::stringstream text;
            text << in.rdbuf();
            old = text.str();
        }
        struct stat st;
        if (stat(path.c_str(), &st) == 0)
            mode = st.st_mode & 07777;
    }
    ProfileText profile(old);
    for (const auto &[key, value] : values)
        profile.Set(section, key, value);
    std::string text = profile.Text();

    std::string temp = path + ".new";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}
