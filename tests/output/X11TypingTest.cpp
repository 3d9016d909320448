// Typing through XTest into a real Qt text field under a private X server: any character, on the
// keymap of the server, with corrections by real Backspace strokes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTextEdit>
#include <atomic>
#include <chrono>
#include <thread>

#include "XvfbDisplay.h"
#include "output/TypeText.h"
#include "platform/X11KeyboardOutput.h"
#include "shell/AppSettings.h"
#include "speech/RecognitionResult.h"

// Last: Xlib's macros (Bool, Status, None) clash with the headers above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

std::vector<KeySym> Keymap() {
    Display *d = XOpenDisplay(nullptr);
    int min, max, per;
    XDisplayKeycodes(d, &min, &max);
    KeySym *map = XGetKeyboardMapping(d, min, max - min + 1, &per);
    std::vector<KeySym> all(map, map + (max - min + 1) * per);
    XFree(map);
    XCloseDisplay(d);
    return all;
}

class X11TypingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_field = std::make_unique<QTextEdit>();
        m_field->setAcceptRichText(false);
        m_field->resize(900, 300);
        m_field->show();
        m_field->activateWindow();
        m_field->setFocus();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!m_field->hasFocus() && std::chrono::steady_clock::now() < until) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            m_field->activateWindow();
        }
        ASSERT_TRUE(m_field->hasFocus());
        g_settings = AppSettings{};
        g_lastTyped.clear();
        g_replaceCount = 0;
    }

    // Runs `typing` on another thread (it blocks, as it does on the recorder thread) while the
    // field handles its events; returns the field's text once it stops changing.
    QString TypeAndRead(const std::function<void()> &typing, const QString &expected) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            typing();
            done = true;
        });
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while ((!done || m_field->toPlainText() != expected) &&
               std::chrono::steady_clock::now() < until)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        worker.join();
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        return m_field->toPlainText();
    }

    std::unique_ptr<QTextEdit> m_field;
    X11KeyboardOutput m_output;
};

TEST_F(X11TypingTest, CharactersOfAnyScriptArriveIntactAndInOrder) {
    const std::u16string text =
        u"Hello, World! 今天天气很好。Ünïcödé ½ € — 😀👍 Größe 東京 العربية ok";
    const QString got =
        TypeAndRead([&] { m_output.InsertText(text); }, QString::fromStdU16String(text));
    EXPECT_EQ(got.toStdU16String(), text);
}

TEST_F(X11TypingTest, ALongTextWithManyDistinctCharactersIsNotSwapped) {
    // Far more distinct characters than the keymap has free keycodes.
    std::u16string text;
    for (char16_t c = 0x4E00; text.size() < 400; c += 7)
        text += c;
    for (char c = 'a'; c <= 'z'; ++c)
        text += static_cast<char16_t>(c);
    const QString got =
        TypeAndRead([&] { m_output.InsertText(text); }, QString::fromStdU16String(text));
    EXPECT_EQ(got.toStdU16String(), text);
}

TEST_F(X11TypingTest, CorrectionsEraseWithBackspaceAndTypeTheRest) {
    g_settings.AutoModify = 1;
    auto previous = SetKeyboardOutput(nullptr);  // the real X11 back-end of the program
    const QString got = TypeAndRead(
        [&] {
            TypeText(u"今天天汽");
            g_replaceCount = 2;
            TypeText(u"今天天气很好");
            g_replaceCount = 1;
            TypeText(u"今天天气很好。");
        },
        u"今天天气很好。"_qs);
    SetKeyboardOutput(std::move(previous));
    EXPECT_EQ(got, u"今天天气很好。"_qs);
}

// The characters arrive as given whatever the lock state, and Caps Lock is as the user left it.
TEST_F(X11TypingTest, CapsLockDoesNotChangeTheCaseOfTypedText) {
    Display *d = XOpenDisplay(nullptr);
    auto capsLocked = [d] {
        XkbStateRec state;
        XkbGetState(d, XkbUseCoreKbd, &state);
        return (state.locked_mods & LockMask) != 0;
    };
    XkbLockModifiers(d, XkbUseCoreKbd, LockMask, LockMask);
    XSync(d, False);
    ASSERT_TRUE(capsLocked());
    const std::u16string text = u"Hello World, lower UPPER ÄäÖö straße ok";
    const QString got =
        TypeAndRead([&] { m_output.InsertText(text); }, QString::fromStdU16String(text));
    EXPECT_EQ(got.toStdU16String(), text);
    EXPECT_TRUE(capsLocked());
    XkbLockModifiers(d, XkbUseCoreKbd, LockMask, 0);
    XCloseDisplay(d);
}

TEST_F(X11TypingTest, TheKeymapIsRestored) {
    const std::vector<KeySym> before = Keymap();
    TypeAndRead([&] { m_output.InsertText(u"键盘恢复"); }, u"键盘恢复"_qs);
    EXPECT_NE(Keymap(), before);
    m_output.RestoreKeymap();
    EXPECT_EQ(Keymap(), before);
}

TEST_F(X11TypingTest, WithoutAFocusWindowNothingIsTyped) {
    Display *d = XOpenDisplay(nullptr);
    XSetInputFocus(d, None, RevertToNone, CurrentTime);
    XSync(d, False);
    XCloseDisplay(d);
    m_output.InsertText(u"lost");
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(m_field->toPlainText(), QString());
}

}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qvtest::XvfbDisplay display;
    if (!display.Ok()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
