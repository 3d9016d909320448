// The real hot-key grab: keys pressed through XTest reach the registered window as WM_HOTKEY.
#include "platform/X11HotKeys.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <vector>

#include "XClient.h"

namespace {

class Receiver : public CDialog {
  public:
    Receiver() : CDialog(1) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_HOTKEY)
            keys.push_back({wParam, lParam});
        return 0;
    }
    std::vector<std::pair<WPARAM, LPARAM>> keys;
};

using Keys = std::vector<std::pair<WPARAM, LPARAM>>;

// Runs the event loop until `count` hot keys have arrived or a second has passed.
void WaitFor(Receiver &r, size_t count) {
    QElapsedTimer clock;
    clock.start();
    while (r.keys.size() < count && clock.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // Whatever else would come, comes now.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

class X11HotKeysTest : public testing::Test {
  protected:
    void TearDown() override {
        client_.MapKey(193, NoSymbol);
        client_.MapKey(194, NoSymbol);
    }
    XClient client_;
    Receiver receiver_;
};

TEST_F(X11HotKeysTest, PressesOfTheKernelF15AndF16KeysArrive) {
    X11HotKeys keys;
    EXPECT_EQ(keys.KeycodeFor(VK_F15), 193) << "no keysym F15 in this keymap: the kernel's keycode";
    ASSERT_TRUE(keys.RegisterHotKey(&receiver_, 32799, 0, VK_F15)) << keys.LastError();
    ASSERT_TRUE(keys.RegisterHotKey(&receiver_, 32800, 0, VK_F16)) << keys.LastError();
    client_.Tap(193);
    client_.Tap(194);
    client_.Tap(193);
    WaitFor(receiver_, 3);
    EXPECT_EQ(receiver_.keys, (Keys{{32799, 0x7E0000}, {32800, 0x7F0000}, {32799, 0x7E0000}}));
}

TEST_F(X11HotKeysTest, LockKeysDoNotDefeatTheGrab) {
    X11HotKeys keys;
    ASSERT_TRUE(keys.RegisterHotKey(&receiver_, 32799, 0, VK_F15));
    client_.ToggleCapsLock();
    client_.Tap(193);
    client_.ToggleCapsLock();
    WaitFor(receiver_, 1);
    EXPECT_EQ(receiver_.keys, (Keys{{32799, 0x7E0000}}));
}

TEST_F(X11HotKeysTest, AKeymapWithF15IsFollowed) {
    client_.MapKey(200, XK_F15);  // as xmodmap -e 'keycode 200 = F15' would
    X11HotKeys keys;
    EXPECT_EQ(keys.KeycodeFor(VK_F15), 200);
    ASSERT_TRUE(keys.RegisterHotKey(&receiver_, 32799, 0, VK_F15));
    client_.Tap(193);
    client_.Tap(200);
    WaitFor(receiver_, 1);
    EXPECT_EQ(receiver_.keys, (Keys{{32799, 0x7E0000}}));
    client_.MapKey(200, NoSymbol);
}

TEST_F(X11HotKeysTest, UnregisteredKeysStopArriving) {
    X11HotKeys keys;
    ASSERT_TRUE(keys.RegisterHotKey(&receiver_, 32800, 0, VK_F16));
    EXPECT_FALSE(keys.RegisterHotKey(&receiver_, 32800, 0, VK_F16)) << "twice";
    EXPECT_TRUE(keys.UnregisterHotKey(&receiver_, 32800));
    EXPECT_FALSE(keys.UnregisterHotKey(&receiver_, 32800));
    client_.Tap(194);
    WaitFor(receiver_, 1);
    EXPECT_TRUE(receiver_.keys.empty());
}

TEST_F(X11HotKeysTest, AKeyHeldByAnotherProgramIsReported) {
    client_.GrabKey(194);
    X11HotKeys keys;
    EXPECT_FALSE(keys.RegisterHotKey(&receiver_, 32800, 0, VK_F16));
    EXPECT_EQ(keys.LastError(), "F16 (keycode 194) is already grabbed by another program");
    EXPECT_TRUE(keys.RegisterHotKey(&receiver_, 32799, 0, VK_F15)) << "other keys still work";
    XUngrabKey(client_.display(), 194, AnyModifier, DefaultRootWindow(client_.display()));
    XSync(client_.display(), False);
    EXPECT_TRUE(keys.RegisterHotKey(&receiver_, 32800, 0, VK_F16)) << keys.LastError();
}

TEST_F(X11HotKeysTest, NoDisplayIsReported) {
    std::string display = getenv("DISPLAY");
    unsetenv("DISPLAY");
    X11HotKeys keys;
    EXPECT_FALSE(keys.RegisterHotKey(&receiver_, 32799, 0, VK_F15));
    EXPECT_EQ(keys.LastError(), "no X display (DISPLAY is not set); system-wide hot keys need X11");
    setenv("DISPLAY", ":4095", 1);
    X11HotKeys unreachable;
    EXPECT_FALSE(unreachable.RegisterHotKey(&receiver_, 32799, 0, VK_F15));
    EXPECT_EQ(unreachable.LastError(), "cannot open the X display :4095");
    setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
