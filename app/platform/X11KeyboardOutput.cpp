#include "X11KeyboardOutput.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Time the receiving toolkit gets to fetch a changed keymap before the keys that need it.
constexpr auto kSettle = std::chrono::milliseconds(12);
// A toolkit fetches the keymap when it handles the change, which may be late when it is busy.
// Most toolkits stamp their window with the time of each key press they handle
// (_NET_WM_USER_TIME): then keycodes are rebound only once the target has handled the last key
// typed. For the others a keycode keeps its binding this long after its last press.
constexpr auto kReuseAfter = std::chrono::milliseconds(250);
// How long we wait for a target's stamp before we stop relying on it for that window.
constexpr auto kStampWait = std::chrono::milliseconds(1500);
// Idle time after which the spare keycodes are emptied again.
constexpr auto kRestoreAfter = std::chrono::seconds(1);
// The mouse's voice key arrives as these keycodes on keymaps without F15/F16; binding characters
// to them would fire the program's own hot keys.
constexpr KeyCode kVoiceKeyCodes[] = {193, 194};

KeySym KeySymForVirtualKey(UINT vk) {
    if (vk == VK_BACK)
        return XK_BackSpace;
    if (vk == 0x09)
        return XK_Tab;
    if (vk == VK_RETURN)
        return XK_Return;
    if (vk == VK_ESCAPE)
        return XK_Escape;
    if (vk >= VK_F1 && vk <= VK_F24)
        return XK_F1 + (vk - VK_F1);
    return NoSymbol;
}

// The keysym that types code point `cp`; NoSymbol for controls we do not type.
KeySym KeySymForCodePoint(char32_t cp) {
    if (cp == '\r' || cp == '\n')
        return XK_Return;
    if (cp == '\t')
        return XK_Tab;
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
        return NoSymbol;
    if (cp <= 0xFF)
        return cp;  // Latin-1 keysyms are the code points
    return 0x01000000 | cp;
}

std::vector<char32_t> CodePoints(std::u16string_view units) {
    std::vector<char32_t> out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            out.push_back(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            out.push_back(0xFFFD);  // a lone surrogate has no character
        } else {
            out.push_back(u);
        }
    }
    return out;
}

XErrorHandler g_previousHandler = nullptr;
Display *g_ourDisplay = nullptr;

// Errors of our own connection (a keymap request the server refused) are reported, not fatal.
int OnXError(Display *display, XErrorEvent *event) {
    if (display == g_ourDisplay) {
        char text[128];
        XGetErrorText(display, event->error_code, text, sizeof text);
        std::fprintf(stderr, "typing: X error %s (request %d)\n", text, event->request_code);
        return 0;
    }
    return g_previousHandler ? g_previousHandler(display, event) : 0;
}

}  // namespace

struct X11KeyboardOutput::Impl {
    std::mutex mutex;  // guards the connection and the tables below
    Display *display = nullptr;
    bool tried = false;
    bool hasXkb = false;  // lock state is read and changed through XKB
    int minCode = 0, maxCode = 0, symsPerCode = 1;
    std::vector<KeyCode> spare;  // keycodes the keymap leaves empty
    KeyCode shift = 0;           // a Shift key: each spare keycode carries two characters
    // Slots: two per spare keycode, slot 2k plain and 2k + 1 with Shift (without a Shift key
    // only the plain ones are used).
    std::vector<KeySym> bound;                   // what each slot carries now (NoSymbol: none)
    std::vector<Clock::time_point> lastPressed;  // when each slot was last typed

    // The target's key-press stamp (see kReuseAfter).
    Window clock = None;  // our own window, whose property changes tell the server time
    Atom timeAtom = None, userTimeAtom = None, userTimeWindowAtom = None;
    Window stampWindow = None;  // where the focused window's toolkit stamps key presses
    Window unstamped = None;    // a window whose toolkit did not stamp in time
    bool stampPending = false;  // keys were typed since the target last showed its stamp
    Time stampAfter = 0;        // the stamp that shows the last typed key was handled

    std::thread restorer;
    std::condition_variable wake;
    bool quit = false;
    bool dirty = false;  // some spare keycode carries a keysym
    Clock::time_point restoreAt;

    bool Connect();
    void SetKeySyms(int first, int last);
    void RestoreLocked();
    void TypeKeySyms(const std::vector<KeySym> &syms);
    struct Stroke {
        KeyCode code;
        bool shifted;
    };
    void PressBatch(const std::vector<Stroke> &strokes, int changedFirst, int changedLast);
    Time ServerTime();
    Window FindStampWindow(Window focus);
    // Waits until the target has handled every key typed so far (when it stamps them).
    void WaitForTarget();
    bool Stamped() const { return stampWindow != None && stampWindow != unstamped; }
    bool CapsLocked();
    void SetCapsLock(bool on);
    void RestoreLoop();
};

bool X11KeyboardOutput::Impl::Connect() {
    if (display || tried)
        return display != nullptr;
    tried = true;
    display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "typing: cannot open the X display\n");
        return false;
    }
    int event, error, major, minor;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::fprintf(stderr, "typing: the X server has no XTest extension\n");
        XCloseDisplay(display);
        display = nullptr;
        return false;
    }
    int xkbOpcode, xkbEvent, xkbError, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
    hasXkb = XkbQueryExtension(display, &xkbOpcode, &xkbEvent, &xkbError, &xkbMajor, &xkbMinor);
    g_ourDisplay = display;
    XErrorHandler previous = XSetErrorHandler(OnXError);
    if (previous != OnXError)
        g_previousHandler = previous;

    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    clock = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, 0, InputOnly,
                          CopyFromParent, CWEventMask, &attributes);
    timeAtom = XInternAtom(display, "_QV_TYPING_TIME", False);
    userTimeAtom = XInternAtom(display, "_NET_WM_USER_TIME", False);
    userTimeWindowAtom = XInternAtom(display, "_NET_WM_USER_TIME_WINDOW", False);

    XDisplayKeycodes(display, &minCode, &maxCode);
    int count = maxCode - minCode + 1;
    KeySym *map = XGetKeyboardMapping(display, minCode, count, &symsPerCode);
    for (int i = 0; map && i < count; ++i) {
        KeyCode code = minCode + i;
        if (std::find(std::begin(kVoiceKeyCodes), std::end(kVoiceKeyCodes), code) !=
            std::end(kVoiceKeyCodes))
            continue;
        bool empty = true;
        for (int j = 0; j < symsPerCode; ++j)
            empty = empty && map[i * symsPerCode + j] == NoSymbol;
        if (empty)
            spare.push_back(code);
    }
    if (map)
        XFree(map);
    shift = XKeysymToKeycode(display, XK_Shift_L);
    bound.assign(spare.size() * 2, NoSymbol);
    lastPressed.assign(spare.size() * 2, Clock::time_point{});
    if (spare.empty())
        std::fprintf(stderr,
                     "typing: the keymap has no free keycode; only keys it has can be typed\n");
    return true;
}

// Sends the keysyms of the keycodes first..last (in one request, so the target fetches the
// keymap once): spare keycodes carry `bound`, the others keep what they have.
void X11KeyboardOutput::Impl::SetKeySyms(int first, int last) {
    int count = last - first + 1;
    int per = 0;
    KeySym *current = XGetKeyboardMapping(display, first, count, &per);
    if (!current)
        return;
    std::vector<KeySym> syms(current, current + count * per);
    XFree(current);
    for (size_t k = 0; k < spare.size(); ++k) {
        if (spare[k] < first || spare[k] > last)
            continue;
        // The plain slot on the first level of every group, the shifted one on the second; a
        // slot without a character repeats the other one, so that no level is guessed.
        KeySym plain = bound[2 * k], shifted = bound[2 * k + 1];
        if (plain == NoSymbol)
            plain = shifted;
        if (shifted == NoSymbol)
            shifted = plain;
        for (int j = 0; j < per; ++j)
            syms[(spare[k] - first) * per + j] = j % 2 ? shifted : plain;
    }
    XChangeKeyboardMapping(display, first, per, syms.data(), count);
    XSync(display, False);
}

void X11KeyboardOutput::Impl::RestoreLocked() {
    if (!display || !dirty)
        return;
    WaitForTarget();
    int first = 256, last = -1;
    for (size_t i = 0; i < bound.size(); ++i) {
        if (bound[i] == NoSymbol)
            continue;
        bound[i] = NoSymbol;
        first = std::min<int>(first, spare[i / 2]);
        last = std::max<int>(last, spare[i / 2]);
    }
    if (last >= first)
        SetKeySyms(first, last);
    dirty = false;
}

Time X11KeyboardOutput::Impl::ServerTime() {
    XChangeProperty(display, clock, timeAtom, XA_INTEGER, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(display, clock, PropertyChangeMask, &event);
    return event.xproperty.time;
}

// The window whose _NET_WM_USER_TIME the focused window's toolkit updates: the focus window or
// one of its ancestors, or the window its _NET_WM_USER_TIME_WINDOW names.
Window X11KeyboardOutput::Impl::FindStampWindow(Window focus) {
    for (Window w = focus; w != None;) {
        for (Atom atom : {userTimeWindowAtom, userTimeAtom}) {
            Atom type;
            int format;
            unsigned long count, after;
            unsigned char *data = nullptr;
            if (XGetWindowProperty(display, w, atom, 0, 1, False, AnyPropertyType, &type, &format,
                                   &count, &after, &data) == Success &&
                data && count == 1 && format == 32) {
                Window found = atom == userTimeWindowAtom ? *reinterpret_cast<Window *>(data) : w;
                XFree(data);
                return found;
            }
            if (data)
                XFree(data);
        }
        Window root, parent, *children = nullptr;
        unsigned int n;
        if (!XQueryTree(display, w, &root, &parent, &children, &n))
            break;
        if (children)
            XFree(children);
        if (parent == root)
            break;
        w = parent;
    }
    return None;
}

void X11KeyboardOutput::Impl::WaitForTarget() {
    if (!stampPending || !Stamped())
        return;
    const Clock::time_point until = Clock::now() + kStampWait;
    for (;;) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char *data = nullptr;
        Time stamp = 0;
        if (XGetWindowProperty(display, stampWindow, userTimeAtom, 0, 1, False, XA_CARDINAL, &type,
                               &format, &count, &after, &data) == Success &&
            data && count == 1 && format == 32)
            stamp = static_cast<Time>(*reinterpret_cast<unsigned long *>(data));
        if (data)
            XFree(data);
        // Server times wrap at 32 bits.
        if (static_cast<int32_t>(static_cast<uint32_t>(stamp) - static_cast<uint32_t>(stampAfter)) >
            0)
            break;
        if (Clock::now() >= until) {
            unstamped = stampWindow;  // this toolkit does not stamp: rely on time alone
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stampPending = false;
}

bool X11KeyboardOutput::Impl::CapsLocked() {
    XkbStateRec state;
    return hasXkb && XkbGetState(display, XkbUseCoreKbd, &state) == Success &&
           (state.locked_mods & LockMask);
}

void X11KeyboardOutput::Impl::SetCapsLock(bool on) {
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XSync(display, False);
}

void X11KeyboardOutput::Impl::PressBatch(const std::vector<Stroke> &strokes, int changedFirst,
                                         int changedLast) {
    if (changedLast >= changedFirst) {
        WaitForTarget();
        SetKeySyms(changedFirst, changedLast);
        dirty = true;
        std::this_thread::sleep_for(kSettle);
    }
    auto press = [&](const Stroke &stroke) {
        if (stroke.shifted)
            XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, stroke.code, True, CurrentTime);
        XTestFakeKeyEvent(display, stroke.code, False, CurrentTime);
        if (stroke.shifted)
            XTestFakeKeyEvent(display, shift, False, CurrentTime);
    };
    for (size_t i = 0; i + 1 < strokes.size(); ++i)
        press(strokes[i]);
    if (!strokes.empty()) {
        if (Stamped()) {
            // The last key comes after this moment: a stamp later than it means the target
            // has handled every key of the batch.
            XSync(display, False);
            stampAfter = ServerTime();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            stampPending = true;
        }
        press(strokes.back());
    }
    XSync(display, False);
}

void X11KeyboardOutput::Impl::TypeKeySyms(const std::vector<KeySym> &syms) {
    std::vector<Stroke> codes;
    std::vector<size_t> slots;          // slots typed by the batch being built
    const size_t step = shift ? 1 : 2;  // without Shift only the plain slots
    int changedFirst = 256, changedLast = -1;
    auto flush = [&] {
        PressBatch(codes, changedFirst, changedLast);
        const Clock::time_point now = Clock::now();
        for (size_t slot : slots)
            lastPressed[slot] = now;
        codes.clear();
        slots.clear();
        changedFirst = 256;
        changedLast = -1;
    };
    auto inBatch = [&](size_t slot) {
        return std::find(slots.begin(), slots.end(), slot) != slots.end();
    };
    for (KeySym sym : syms) {
        // Keys of the layout's own that do not depend on the level: Return, Tab.
        if (sym == XK_Return || sym == XK_Tab) {
            KeyCode code = XKeysymToKeycode(display, sym);
            if (code)
                codes.push_back({code, false});
            continue;
        }
        if (spare.empty())
            continue;
        size_t slot = std::find(bound.begin(), bound.end(), sym) - bound.begin();
        if (slot == bound.size()) {
            // The keycode pressed longest ago, not by this batch. A keycode is bound anew only
            // once the target has had kReuseAfter to take its last key with the old binding.
            for (;;) {
                slot = bound.size();
                for (size_t i = 0; i < bound.size(); i += step)
                    if (!inBatch(i) && (slot == bound.size() || lastPressed[i] < lastPressed[slot]))
                        slot = i;
                if (slot == bound.size()) {  // every keycode is in this batch
                    flush();
                    continue;
                }
                const Clock::time_point free =
                    lastPressed[slot] + (Stamped() ? Clock::duration::zero() : kReuseAfter);
                if (Clock::now() >= free)
                    break;
                if (!codes.empty())
                    flush();
                std::this_thread::sleep_until(free);
            }
            bound[slot] = sym;
            changedFirst = std::min<int>(changedFirst, spare[slot / 2]);
            changedLast = std::max<int>(changedLast, spare[slot / 2]);
        }
        if (!inBatch(slot))
            slots.push_back(slot);
        codes.push_back({spare[slot / 2], slot % 2 == 1});
    }
    if (!codes.empty())
        flush();
}

void X11KeyboardOutput::Impl::RestoreLoop() {
    std::unique_lock lock(mutex);
    while (!quit) {
        if (!dirty) {
            wake.wait(lock);
            continue;
        }
        if (wake.wait_until(lock, restoreAt) == std::cv_status::timeout &&
            Clock::now() >= restoreAt)
            RestoreLocked();
    }
}

X11KeyboardOutput::X11KeyboardOutput() : m_impl(std::make_unique<Impl>()) {
    Impl *impl = m_impl.get();
    m_impl->restorer = std::thread([impl] { impl->RestoreLoop(); });
}

X11KeyboardOutput::~X11KeyboardOutput() {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->quit = true;
    }
    m_impl->wake.notify_all();
    m_impl->restorer.join();
    std::lock_guard lock(m_impl->mutex);
    if (m_impl->display) {
        if (m_impl->dirty)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the keys land
        m_impl->RestoreLocked();
        if (g_ourDisplay == m_impl->display)
            g_ourDisplay = nullptr;
        XCloseDisplay(m_impl->display);
    }
}

void X11KeyboardOutput::RestoreKeymap() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->RestoreLocked();
}

void X11KeyboardOutput::KeyDown(UINT virtualKey) {
    std::lock_guard lock(m_impl->mutex);
    KeySym sym = KeySymForVirtualKey(virtualKey);
    if (!m_impl->Connect() || sym == NoSymbol)
        return;
    if (KeyCode code = XKeysymToKeycode(m_impl->display, sym)) {
        XTestFakeKeyEvent(m_impl->display, code, True, CurrentTime);
        XFlush(m_impl->display);
    }
}

void X11KeyboardOutput::KeyUp(UINT virtualKey) {
    std::lock_guard lock(m_impl->mutex);
    KeySym sym = KeySymForVirtualKey(virtualKey);
    if (!m_impl->Connect() || sym == NoSymbol)
        return;
    if (KeyCode code = XKeysymToKeycode(m_impl->display, sym)) {
        XTestFakeKeyEvent(m_impl->display, code, False, CurrentTime);
        XFlush(m_impl->display);
    }
}

void X11KeyboardOutput::InsertText(std::u16string_view units) {
    std::vector<KeySym> syms;
    char32_t previous = 0;
    for (char32_t cp : CodePoints(units)) {
        bool crlf = previous == '\r' && cp == '\n';
        previous = cp;
        if (crlf)
            continue;
        if (KeySym sym = KeySymForCodePoint(cp))
            syms.push_back(sym);
    }
    {
        std::lock_guard lock(m_impl->mutex);
        if (syms.empty() || !m_impl->Connect())
            return;
        Window focus;
        int revert;
        XGetInputFocus(m_impl->display, &focus, &revert);
        if (focus == None)
            return;  // nobody takes typed input: the text is lost, as a posted one would be
        Window stamp = focus != PointerRoot ? m_impl->FindStampWindow(focus) : None;
        if (stamp != m_impl->stampWindow) {
            m_impl->WaitForTarget();  // keys typed into the previous window
            m_impl->stampWindow = stamp;
        }
        // Caps Lock would turn the letters we type into capitals (the toolkit applies it to
        // whatever the key carries): it is off while we type and on again right after, in the
        // server's order of events, so that the target sees each key with the state it had.
        const bool capsLocked = m_impl->CapsLocked();
        if (capsLocked)
            m_impl->SetCapsLock(false);
        m_impl->TypeKeySyms(syms);
        if (capsLocked)
            m_impl->SetCapsLock(true);
        m_impl->restoreAt = Clock::now() + kRestoreAfter;
    }
    m_impl->wake.notify_all();
}
