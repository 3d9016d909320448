// Window messages: posted ones queue in order from any thread, sent ones are handled before the
// call returns, tables dispatch by id, and a sleep of the user-interface thread holds them back.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <thread>

#include "platform/CDialog.h"

namespace {

class Window : public CDialog {
  public:
    Window() : CDialog(999) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnRange(WPARAM w, LPARAM l) {
        seen.push_back("range " + std::to_string(LOWORD(w)) + " " + std::to_string(l));
        return 7;
    }
    LRESULT OnHotKey(WPARAM w, LPARAM l) {
        seen.push_back("hotkey " + std::to_string(w));
        if (w == 1 && chain)
            PostMessage(WM_HOTKEY, 3, 0);  // queued behind what is there
        return 0;
    }
    LRESULT OnUser(WPARAM w, LPARAM) {
        seen.push_back("user " + std::to_string(w));
        return static_cast<LRESULT>(w) * 2;
    }
    static const MessageEntry<Window> kTable[];
    std::vector<std::string> seen;
    bool chain = false;
};

const MessageEntry<Window> Window::kTable[] = {
    {WM_COMMAND, 100, 105, &Window::OnRange},
    {WM_HOTKEY, 0, 0, &Window::OnHotKey},
    {WM_USER + 1, 0, 0, &Window::OnUser},
};

LRESULT Window::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (DispatchTable(kTable, message, wParam, lParam, &result))
        return result;
    seen.push_back("other " + std::to_string(message));
    return CDialog::WindowProc(message, wParam, lParam);
}

void Drain() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

TEST(MessageDelivery, TablesDispatchByMessageAndIdRange) {
    Window w;
    EXPECT_EQ(w.SendMessage(WM_COMMAND, 100, 5), 7);
    EXPECT_EQ(w.SendMessage(WM_COMMAND, (1u << 16) | 105, 6), 7) << "the id is the low word";
    EXPECT_EQ(w.SendMessage(WM_COMMAND, 106, 0), 0);
    EXPECT_EQ(w.SendMessage(WM_USER + 1, 21, 0), 42);
    EXPECT_EQ(w.seen, (std::vector<std::string>{"range 100 5", "range 105 6",
                                                "other " + std::to_string(WM_COMMAND), "user 21"}));
}

TEST(MessageDelivery, PostedMessagesWaitForTheCurrentHandlerAndKeepTheirOrder) {
    Window w;
    w.chain = true;
    EXPECT_TRUE(w.PostMessage(WM_HOTKEY, 1, 0));
    EXPECT_TRUE(w.PostMessage(WM_HOTKEY, 2, 0));
    EXPECT_TRUE(w.seen.empty()) << "nothing runs before the loop does";
    Drain();
    EXPECT_EQ(w.seen, (std::vector<std::string>{"hotkey 1", "hotkey 2", "hotkey 3"}));
}

TEST(MessageDelivery, PostsFromOtherThreadsArriveInOrder) {
    Window w;
    std::thread poster([&] {
        for (WPARAM i = 0; i < 200; ++i)
            ::PostMessage(&w, WM_USER + 1, i, 0);
    });
    poster.join();
    Drain();
    ASSERT_EQ(w.seen.size(), 200u);
    for (size_t i = 0; i < 200; ++i)
        EXPECT_EQ(w.seen[i], "user " + std::to_string(i));
}

TEST(MessageDelivery, SendFromAnotherThreadRunsOnTheUiThread) {
    Window w;
    std::thread::id handlerThread;
    LRESULT result = 0;
    std::thread sender([&] { result = w.SendMessage(WM_USER + 1, 5, 0); });
    while (w.seen.empty())
        QCoreApplication::processEvents();
    sender.join();
    EXPECT_EQ(result, 10);
    (void)handlerThread;
}

TEST(MessageDelivery, PostsToAWindowThatIsGoneAreRefused) {
    HWND gone;
    {
        Window w;
        gone = &w;
        w.PostMessage(WM_USER + 1, 1, 0);  // dropped with the window
    }
    EXPECT_FALSE(::PostMessage(gone, WM_USER + 1, 1, 0));
    EXPECT_FALSE(::PostMessage(nullptr, WM_USER + 1, 1, 0));
    Drain();
}

TEST(MessageDelivery, SleepOnUiThreadHoldsMessagesBackInOrder) {
    Window w;
    w.PostMessage(WM_HOTKEY, 1, 0);
    QTimer::singleShot(20, [&] { w.PostMessage(WM_HOTKEY, 2, 0); });
    QElapsedTimer clock;
    clock.start();
    CDialog::SleepOnUiThread(150);
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_TRUE(w.seen.empty()) << "nothing was handled during the sleep";
    w.PostMessage(WM_HOTKEY, 3, 0);
    Drain();
    EXPECT_EQ(w.seen, (std::vector<std::string>{"hotkey 1", "hotkey 2", "hotkey 3"}));
}

}  // namespace
