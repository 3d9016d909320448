#include "TextCodec.h"

#include <cstdint>

namespace wa {

bool Utf8ToUtf16(std::string_view text, std::u16string *out) {
    out->clear();
    out->reserve(text.size());
    const auto *p = reinterpret_cast<const uint8_t *>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const uint8_t b = p[i];
        uint32_t cp, need, min;
        if (b < 0x80) {
            out->push_back(b);
            ++i;
            continue;
        } else if ((b & 0xe0) == 0xc0) {
            cp = b & 0x1f, need = 1, min = 0x80;
        } else if ((b & 0xf0) == 0xe0) {
            cp = b & 0x0f, need = 2, min = 0x800;
        } else if ((b & 0xf8) == 0xf0) {
            cp = b & 0x07, need = 3, min = 0x10000;
        } else {
            return false;
        }
        if (n - i <= need)
            return false;
        for (uint32_t k = 1; k <= need; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3f);
        }
        if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
            return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out->push_back(static_cast<char16_t>(0xd800 + (cp >> 10)));
            out->push_back(static_cast<char16_t>(0xdc00 + (cp & 0x3ff)));
        } else {
            out->push_back(static_cast<char16_t>(cp));
        }
        i += need + 1;
    }
    return true;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xd800 && cp <= 0xdbff && i + 1 < text.size() && text[i + 1] >= 0xdc00 &&
            text[i + 1] <= 0xdfff) {
            cp = 0x10000 + ((cp - 0xd800) << 10) + (text[++i] - 0xdc00);
        } else if (cp >= 0xd800 && cp <= 0xdfff) {
            cp = 0xfffd;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
        } else {
            out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
        }
    }
    return out;
}

}  // namespace wa
