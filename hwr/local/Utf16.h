// UTF-16 text of the recognisers to the kit's UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace hwrlocal {

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const uint16_t *text, int length);

}  // namespace hwrlocal
