#include "X11KeyboardOutput.h"

#include <X11/XKBlib.h>
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
    int minCode = 0, maxCode = 0, symsPerCode = 1;
    std::vector<KeyCode> spare;  // keycodes the keymap leaves empty
    std::vector<KeySym> bound;   // what each spare keycode carries now (NoSymbol: empty)
    std::vector<uint64_t> used;  // batch number that last used each spare keycode
    uint64_t batch = 0;

    std::thread restorer;
    std::condition_variable wake;
    bool quit = false;
    bool dirty = false;  // some spare keycode carries a keysym
    Clock::time_point restoreAt;

    bool Connect();
    void SetKeySyms(int first, int last);
    void RestoreLocked();
    void TypeKeySyms(const std::vector<KeySym> &syms);
    void PressBatch(const std::vector<KeyCode> &codes, int changedFirst, int changedLast);
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
    g_ourDisplay = display;
    XErrorHandler previous = XSetErrorHandler(OnXError);
    if (previous != OnXError)
        g_previousHandler = previous;

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
    bound.assign(spare.size(), NoSymbol);
    used.assign(spare.size(), 0);
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
    for (size_t i = 0; i < spare.size(); ++i) {
        if (spare[i] < first || spare[i] > last)
            continue;
        // The same keysym on every level: Shift or a second group changes nothing.
        std::fill_n(syms.begin() + (spare[i] - first) * per, per, bound[i]);
    }
    XChangeKeyboardMapping(display, first, per, syms.data(), count);
    XSync(display, False);
}

void X11KeyboardOutput::Impl::RestoreLocked() {
    if (!display || !dirty)
        return;
    int first = 256, last = -1;
    for (size_t i = 0; i < spare.size(); ++i) {
        if (bound[i] == NoSymbol)
            continue;
        bound[i] = NoSymbol;
        first = std::min<int>(first, spare[i]);
        last = std::max<int>(last, spare[i]);
    }
    if (last >= first)
        SetKeySyms(first, last);
    dirty = false;
}

void X11KeyboardOutput::Impl::PressBatch(const std::vector<KeyCode> &codes, int changedFirst,
                                         int changedLast) {
    if (changedLast >= changedFirst) {
        SetKeySyms(changedFirst, changedLast);
        dirty = true;
        std::this_thread::sleep_for(kSettle);
    }
    for (KeyCode code : codes) {
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    }
    XSync(display, False);
}

void X11KeyboardOutput::Impl::TypeKeySyms(const std::vector<KeySym> &syms) {
    // Each batch binds at most a third of the spare keycodes, least recently used first, so a
    // keycode is rebound only two batches after its keys were pressed.
    const size_t cap = std::max<size_t>(1, spare.size() / 3);
    std::vector<KeyCode> codes;
    size_t fresh = 0;
    int changedFirst = 256, changedLast = -1;
    ++batch;
    auto flush = [&] {
        PressBatch(codes, changedFirst, changedLast);
        codes.clear();
        fresh = 0;
        changedFirst = 256;
        changedLast = -1;
        ++batch;
    };
    for (KeySym sym : syms) {
        // Keys of the layout's own that do not depend on the level: Return, Tab.
        if (sym == XK_Return || sym == XK_Tab) {
            KeyCode code = XKeysymToKeycode(display, sym);
            if (code)
                codes.push_back(code);
            continue;
        }
        if (spare.empty())
            continue;
        size_t slot = std::find(bound.begin(), bound.end(), sym) - bound.begin();
        if (slot == bound.size()) {
            if (fresh == cap)
                flush();
            // The least recently used keycode not used by this batch.
            slot = 0;
            for (size_t i = 1; i < spare.size(); ++i)
                if (used[i] < used[slot])
                    slot = i;
            if (used[slot] == batch) {
                flush();
                slot = std::min_element(used.begin(), used.end()) - used.begin();
            }
            bound[slot] = sym;
            ++fresh;
            changedFirst = std::min<int>(changedFirst, spare[slot]);
            changedLast = std::max<int>(changedLast, spare[slot]);
        }
        used[slot] = batch;
        codes.push_back(spare[slot]);
    }
    if (!codes.empty())
        PressBatch(codes, changedFirst, changedLast);
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
        m_impl->TypeKeySyms(syms);
        m_impl->restoreAt = Clock::now() + kRestoreAfter;
    }
    m_impl->wake.notify_all();
}
