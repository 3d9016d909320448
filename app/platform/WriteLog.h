// WriteLog: the program's run-time log, "word.log" in the program directory. Each line is the
// local time "YYYY-MM-DD hh:mm:ss", a tab, the text and CR CR LF - the file has always looked so.
#pragma once

#include <string_view>

// Appends `text` (bytes in the OEM code page) as one line; returns -1 when the file cannot be
// opened, else 0. Safe from any thread: every line is one append.
int WriteLog(std::string_view text);
// The same for a Unicode text, converted to the OEM code page first.
int WriteLog(std::u16string_view text);
