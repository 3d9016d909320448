#include "X11HotKeys.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>
// Xlib last: its macros (None, Bool, KeyPress, ...) would spoil the Qt headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

// The kernel's F15 and F16 reach X as these keycodes; standard keymaps give them other keysyms.
constexpr int kKernelF15Keycode = 193;
constexpr int kKernelF16Keycode = 194;

// Errors of one request batch on our connection, caught while we wait for it to be answered.
Display *g_checkedDisplay = nullptr;
int g_grabError = 0;
XErrorHandler g_previousHandler = nullptr;

int CatchError(Display *display, XErrorEvent *event) {
    if (display == g_checkedDisplay) {
        if (!g_grabError)
            g_grabError = event->error_code;
        return 0;
    }
    return g_previousHandler ? g_previousHandler(display, event) : 0;
}

unsigned int ModifierMask(UINT modifiers) {
    unsigned int mask = 0;
    if (modifiers & MOD_ALT)
        mask |= Mod1Mask;
    if (modifiers & MOD_CONTROL)
        mask |= ControlMask;
    if (modifiers & MOD_SHIFT)
        mask |= ShiftMask;
    if (modifiers & MOD_WIN)
        mask |= Mod4Mask;
    return mask;
}

std::string KeyName(UINT vk) {
    if (vk >= VK_F1 && vk <= VK_F24)
        return "F" + std::to_string(vk - VK_F1 + 1);
    return "virtual key " + std::to_string(vk);
}

}  // namespace

X11HotKeys::X11HotKeys() = default;

X11HotKeys::~X11HotKeys() {
    m_notifier.reset();
    if (!m_display)
        return;
    for (const Grab &grab : m_grabs)
        Ungrab(grab);
    XCloseDisplay(m_display);
}

bool X11HotKeys::OpenDisplay() {
    if (m_display)
        return true;
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name) {
        m_error = "no X display (DISPLAY is not set); system-wide hot keys need X11";
        return false;
    }
    m_display = XOpenDisplay(nullptr);
    if (!m_display) {
        m_error = std::string("cannot open the X display ") + name;
        return false;
    }
    // Auto-repeat then gives repeated presses without releases in between.
    XkbSetDetectableAutoRepeat(m_display, True, nullptr);
    // Num Lock sits on whichever modifier the keymap gives it.
    KeyCode numLock = XKeysymToKeycode(m_display, XK_Num_Lock);
    if (XModifierKeymap *map = XGetModifierMapping(m_display)) {
        for (int mod = 0; mod < 8 && numLock; ++mod)
            for (int k = 0; k < map->max_keypermod; ++k)
                if (map->modifiermap[mod * map->max_keypermod + k] == numLock)
                    m_numLockMask = 1u << mod;
        XFreeModifiermap(map);
    }
    m_notifier =
        std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { ReadEvents(); });
    return true;
}

int X11HotKeys::KeycodeFor(UINT vk) {
    if (!OpenDisplay())
        return 0;
    if (vk < VK_F1 || vk > VK_F24)
        return 0;
    KeyCode code = XKeysymToKeycode(m_display, XK_F1 + (vk - VK_F1));
    if (code)
        return code;
    if (vk == VK_F15)
        return kKernelF15Keycode;
    if (vk == VK_F16)
        return kKernelF16Keycode;
    return 0;
}

bool X11HotKeys::RegisterHotKey(HWND window, int id, UINT modifiers, UINT vk) {
    m_error.clear();
    if (!OpenDisplay())
        return false;
    for (const Grab &grab : m_grabs) {
        if (grab.window == window && grab.id == id) {
            m_error = "hot key " + std::to_string(id) + " is already registered";
            return false;
        }
    }
    int keycode = KeycodeFor(vk);
    if (!keycode) {
        m_error = "no key of the keyboard map carries " + KeyName(vk);
        return false;
    }
    Grab grab{window, id, modifiers, vk, keycode, ModifierMask(modifiers)};
    Window root = DefaultRootWindow(m_display);

    XSync(m_display, False);
    g_checkedDisplay = m_display;
    g_grabError = 0;
    g_previousHandler = XSetErrorHandler(CatchError);
    for (unsigned int locks :
         {0u, static_cast<unsigned int>(LockMask), m_numLockMask, LockMask | m_numLockMask})
        XGrabKey(m_display, keycode, grab.mask | locks, root, True, GrabModeAsync, GrabModeAsync);
    XSync(m_display, False);
    XSetErrorHandler(g_previousHandler);
    g_checkedDisplay = nullptr;
    int error = g_grabError;

    if (error) {
        Ungrab(grab);
        m_error =
            KeyName(vk) + " (keycode " + std::to_string(keycode) + ") " +
            (error == BadAccess ? "is already grabbed by another program"
                                : "cannot be grabbed (X error " + std::to_string(error) + ")");
        return false;
    }
    m_grabs.push_back(grab);
    // XSync may have read events that the socket will not announce again.
    QTimer::singleShot(0, m_notifier.get(), [this] { ReadEvents(); });
    return true;
}

bool X11HotKeys::UnregisterHotKey(HWND window, int id) {
    for (auto it = m_grabs.begin(); it != m_grabs.end(); ++it) {
        if (it->window == window && it->id == id) {
            Ungrab(*it);
            XFlush(m_display);
            m_grabs.erase(it);
            return true;
        }
    }
    return false;
}

void X11HotKeys::Ungrab(const Grab &grab) {
    Window root = DefaultRootWindow(m_display);
    for (unsigned int locks :
         {0u, static_cast<unsigned int>(LockMask), m_numLockMask, LockMask | m_numLockMask})
        XUngrabKey(m_display, grab.keycode, grab.mask | locks, root);
}

void X11HotKeys::ReadEvents() {
    while (XPending(m_display)) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type != KeyPress)
            continue;
        const unsigned int relevant = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;
        for (const Grab &grab : m_grabs) {
            if (static_cast<int>(event.xkey.keycode) == grab.keycode &&
                (event.xkey.state & relevant) == grab.mask) {
                ::PostMessage(grab.window, WM_HOTKEY, static_cast<WPARAM>(grab.id),
                              MakeHotKeyLParam(grab.modifiers, grab.vk));
            }
        }
    }
}
