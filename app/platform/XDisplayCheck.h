// XDisplayCheck: whether the program's windows will have an X display. Qt gives up with an abort
// when its X11 platform finds no display; the program looks first, so that it can say why and
// end cleanly.
#pragma once

#include <string>

// True when Qt will use its X11 platform: QT_QPA_PLATFORM is unset or names xcb.
bool UsesX11Platform();
// True when the display of $DISPLAY can be opened; otherwise false with the reason in *error.
bool XDisplayAvailable(std::string *error);
