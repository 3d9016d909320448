// PrivateProfile: initialisation files - "[section]" headers and "key=value" lines - read and
// written with the platform's private-profile rules: section and key names ignore ASCII case, the
// first matching section and key count, values are trimmed and lose one pair of enclosing quotes,
// and writing changes only the line it must, keeping comments and everything else as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text of one initialisation file, edited in memory.
class ProfileText {
  public:
    explicit ProfileText(std::string_view text = {});

    // The value of `key` in `section`, if the key is there (a line without '=' has no value).
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Sets `key` in `section`: replaces the value of the key's first line, or adds a line at the
    // end of the section, or the section with the line at the end of the text. Line breaks in
    // `value` are dropped.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // The whole text, with the line ends it had (CR LF for a new text).
    std::string Text() const;

  private:
    std::vector<std::string> m_lines;  // without their line ends
    std::string m_eol;
    bool m_finalEol = true;
};

// The integer a profile value stands for: blanks skipped, an optional sign, "0x", "0o" or "0b"
// for hexadecimal, octal or binary, then digits up to the first other character (none: 0);
// 32-bit wrap-around. An empty value gives `defaultValue`. Only the first 29 characters count.
int ProfileValueToInt(std::string_view value, int defaultValue);

// The integer value of `key` in `section` of the file, `defaultValue` when the file, the section
// or the key is missing or the value is empty.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string &path);
// Sets several keys of one section in one rewrite of the file. The new file replaces the old one
// at once (written beside it and renamed), so a crash never leaves half a file. Fails when the
// directory does not exist or cannot be written.
bool WritePrivateProfileStrings(std::string_view section,
                                const std::vector<std::pair<std::string, std::string>> &values,
                                const std::string &path);
