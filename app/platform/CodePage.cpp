#include "CodePage.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace {

constexpr const char *kCodePage936 = "CP936";
constexpr const char *kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
constexpr const char *kUtf8 = "UTF-8";

enum class Unit { kByteCode, kUtf8, kUtf16 };

// Bytes of the character (or undecodable piece) at the start of `in`, to skip over it.
size_t CharLength(Unit unit, const char *in, size_t left) {
    size_t n = 1;
    if (unit == Unit::kUtf8) {
        while (n < left && n < 4 && (static_cast<unsigned char>(in[n]) & 0xC0) == 0x80)
            ++n;
    } else if (unit == Unit::kUtf16) {
        n = 2;
        char16_t first;
        if (left >= 4) {
            std::memcpy(&first, in, 2);
            char16_t second;
            std::memcpy(&second, in + 2, 2);
            if (first >= 0xD800 && first < 0xDC00 && second >= 0xDC00 && second < 0xE000)
                n = 4;
        }
    }
    return n < left ? n : left;
}

// Converts `in`; anything that does not convert becomes `replacement` (already in the target).
std::string Convert(const char *from, const char *to, Unit unit, std::string_view in,
                    std::string_view replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    std::string out;
    out.reserve(in.size() * 2);
    char buffer[4096];
    char *src = const_cast<char *>(in.data());
    size_t left = in.size();
    while (left > 0) {
        char *dst = buffer;
        size_t room = sizeof buffer;
        size_t rc = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            size_t skip = errno == EINVAL ? left : CharLength(unit, src, left);
            src += skip;
            left -= skip;
            out += replacement;
        }
    }
    iconv_close(cd);
    return out;
}

std::u16string ToWide(const std::string &bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

std::string_view AsBytes(std::u16string_view text) {
    return {reinterpret_cast<const char *>(text.data()), text.size() * 2};
}

}  // namespace

std::string WideToOem(std::u16string_view text) {
    return Convert(kUtf16, kCodePage936, Unit::kUtf16, AsBytes(text), "?");
}

std::u16string AnsiToWide(std::string_view text) {
    return ToWide(Convert(kCodePage936, kUtf16, Unit::kByteCode, text, AsBytes(u"?")));
}

std::string Utf8ToAnsi(std::string_view text) {
    return Convert(kUtf8, kCodePage936, Unit::kUtf8, text, "?");
}

std::string WideToUtf8(std::u16string_view text) {
    return Convert(kUtf16, kUtf8, Unit::kUtf16, AsBytes(text), "?");
}

std::u16string Utf8ToWide(std::string_view text) {
    return ToWide(Convert(kUtf8, kUtf16, Unit::kUtf8, text, AsBytes(u"?")));
}
