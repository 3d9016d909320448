// Where the program lives: its data (config/, word.log, default_self.grm, ...) lies beside it.
#pragma once

#include <string>

// The program file's full path; empty when it cannot be found.
std::string GetModuleFileName();
// The program file's directory with its trailing '/'; start-up makes it the current directory.
std::string GetProgramDirectory();
// Tests and tools that link the program's code make `directory` (with or without the trailing
// '/') count as the program directory; an empty text restores the real one.
void SetProgramDirectory(const std::string &directory);
