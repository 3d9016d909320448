// AutoStart: the per-user start-at-log-on entries, as XDG autostart desktop files in
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart). A disabled entry stays in place but
// inert (Hidden=true, no command), as an emptied start value would.
#pragma once

#include <string>
#include <string_view>

// Finds (creating it if needed) the autostart directory; 0 with *directory, or an errno value.
int OpenAutoStartDirectory(std::string *directory);
// Writes the entry `name`.desktop that starts `program` at log-on, or an inert one when
// `program` is empty; 0 or an errno value. The file is replaced at once, never half-written.
int SetAutoStartEntry(const std::string &directory, std::string_view name,
                      std::string_view program);
