// String helpers shared by every kit library: trimming, ASCII lower-casing, splitting, numbers.
#pragma once

#include <string>
#include <vector>

namespace qvcommon {

// Removes leading and trailing space, tab, line feed and carriage return.
std::string Trim(const std::string &text);
// Each byte through the ASCII lower-case mapping; other bytes (UTF-8 included) stay.
std::string ToLower(const std::string &text);
// Pieces between the separators, empty ones included, except that an empty last piece is dropped:
// "a,,b," gives a, "", b.
std::vector<std::string> SplitString(const std::string &text, char separator);
// Maximal runs of characters that are not in `delimiters`; never an empty piece:
// "hwr..local." at "." gives hwr, local.
std::vector<std::string> Tokenize(const std::string &text, const char *delimiters);
// 32-bit integers as "%ld" writes them, doubles as "%lf" (six decimals).
std::string IntToString(long value);
std::string DoubleToString(double value);
// True when `text` begins with `prefix` (byte comparison).
bool StartsWith(const std::string &text, const std::string &prefix);

}  // namespace qvcommon
