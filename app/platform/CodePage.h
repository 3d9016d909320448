// Text conversions between Unicode (UTF-16 units), UTF-8 and the program's ANSI/OEM code page,
// Simplified Chinese (936, GBK). Characters the target cannot hold and undecodable bytes become
// '?', as the platform's converters do.
#pragma once

#include <string>
#include <string_view>

std::string WideToOem(std::u16string_view text);
std::u16string AnsiToWide(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);
std::string WideToUtf8(std::u16string_view text);
std::u16string Utf8ToWide(std::string_view text);
