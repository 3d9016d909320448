// XClient: what a test does on the X display as another program would: press keys through XTest,
// change the keyboard map, grab keys, find windows by title and close them.
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

class XClient {
  public:
    XClient() : m_display(XOpenDisplay(nullptr)) {}
    ~XClient() {
        if (m_display)
            XCloseDisplay(m_display);
    }
    XClient(const XClient &) = delete;
    XClient &operator=(const XClient &) = delete;

    Display *display() const { return m_display; }

    void Tap(int keycode) {
        XTestFakeKeyEvent(m_display, keycode, True, CurrentTime);
        XTestFakeKeyEvent(m_display, keycode, False, CurrentTime);
        XSync(m_display, False);
    }

    // Binds `keysym` to `keycode`, as xmodmap -e 'keycode N = NAME' does.
    void MapKey(int keycode, KeySym keysym) {
        XChangeKeyboardMapping(m_display, keycode, 1, &keysym, 1);
        XSync(m_display, False);
    }

    // Grabs a key on the root window for this client, as another program holding it would.
    void GrabKey(int keycode) {
        XGrabKey(m_display, keycode, AnyModifier, DefaultRootWindow(m_display), True, GrabModeAsync,
                 GrabModeAsync);
        XSync(m_display, False);
    }

    // Toggles Caps Lock on the keyboard.
    void ToggleCapsLock() { Tap(XKeysymToKeycode(m_display, XK_Caps_Lock)); }

    // The first top-level window whose title starts with `title`, waiting up to `seconds`.
    Window WaitForWindow(const std::string &title, double seconds) {
        auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        do {
            if (Window w = Find(DefaultRootWindow(m_display), title))
                return w;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < end);
        return 0;
    }

    // Asks the window to close, as a window manager's close button does.
    void CloseWindow(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XSync(m_display, False);
    }

  private:
    Window Find(Window parent, const std::string &title) {
        Window root, up, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, parent, &root, &up, &children, &count))
            return 0;
        Window found = 0;
        for (unsigned int i = 0; i < count && !found; ++i) {
            XTextProperty name;
            if (XGetWMName(m_display, children[i], &name) && name.value) {
                std::string text(reinterpret_cast<char *>(name.value), name.nitems);
                XFree(name.value);
                XWindowAttributes attributes;
                if (text.rfind(title, 0) == 0 &&
                    XGetWindowAttributes(m_display, children[i], &attributes) &&
                    attributes.map_state == IsViewable)
                    found = children[i];
            }
            if (!found)
                found = Find(children[i], title);
        }
        if (children)
            XFree(children);
        return found;
    }

    Display *m_display;
};
