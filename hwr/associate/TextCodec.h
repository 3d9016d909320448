// UTF-8 and UTF-16 conversion for the association plug-in: the kit speaks UTF-8, the engine core
// UTF-16 code units.
#pragma once

#include <string>
#include <string_view>

namespace wa {

// Strict decoding: false for malformed UTF-8 (overlong forms, surrogates, values past U+10FFFF,
// cut sequences), leaving *out unspecified.
bool Utf8ToUtf16(std::string_view text, std::u16string *out);

// Encodes code units; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace wa
