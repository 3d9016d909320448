#include "XDisplayCheck.h"

#include <cstdlib>
#include <cstring>
// Xlib last: its macros would spoil other headers.
#include <X11/Xlib.h>

bool UsesX11Platform() {
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    return !platform || !*platform || std::strncmp(platform, "xcb", 3) == 0;
}

bool XDisplayAvailable(std::string *error) {
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name) {
        *error = "no X display (DISPLAY is not set)";
        return false;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        *error = std::string("cannot open the X display ") + name;
        return false;
    }
    XCloseDisplay(display);
    return true;
}
