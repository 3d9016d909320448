// TypeText's correction arithmetic, on UTF-16 units, through the recording keyboard back-end.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "output/TypeText.h"
#include "platform/RecordingKeyboardOutput.h"
#include "shell/AppSettings.h"
#include "speech/RecognitionResult.h"

namespace {

using Event = RecordingKeyboardOutput::Event;

class TypeTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto recording = std::make_unique<RecordingKeyboardOutput>();
        m_output = recording.get();
        m_previous = SetKeyboardOutput(std::move(recording));
        g_settings = AppSettings{};
        g_lastTyped.clear();
        g_replaceCount = 0;
    }
    void TearDown() override { SetKeyboardOutput(std::move(m_previous)); }

    int Backspaces() const {
        int n = 0;
        for (const Event &e : m_output->Events())
            n += e.kind == Event::kKeyDown && e.virtualKey == VK_BACK;
        return n;
    }
    std::u16string Inserted() const {
        std::u16string all;
        for (const Event &e : m_output->Events())
            if (e.kind == Event::kText)
                all += e.text;
        return all;
    }

    RecordingKeyboardOutput *m_output = nullptr;
    std::unique_ptr<KeyboardOutput> m_previous;
};

TEST_F(TypeTextTest, CorrectionsTable) {
    struct Row {
        const char *name;
        int autoModify;
        std::u16string lastTyped;
        int replaceIn;
        std::u16string text;
        int backspaces;           // pressed, and g_replaceCount afterwards
        std::u16string inserted;  // what was inserted
        std::u16string lastAfter;
    } rows[] = {
        {"plain dictation types everything", 0, u"旧", 5, u"今天天气很好。", 0, u"今天天气很好。",
         u"旧"},
        {"correction mode without a replacement appends", 1, u"今天", 0, u"天气", 0, u"天气",
         u"天气"},
        {"a new text that extends the last one types only its end", 1, u"今天天", 2,
         u"今天天气很好", 0, u"气很好", u"今天天气很好"},
        {"nothing in common erases all of the last text", 1, u"你好", 1, u"再见吧", 2, u"再见吧",
         u"再见吧"},
        {"the example: one character corrected", 1, u"今天天汽", 2, u"今天天气很好", 1, u"气很好",
         u"今天天气很好"},
        {"a shorter correction erases the tail", 1, u"hello world", 1, u"hello", 6, u"", u"hello"},
        {"no last text: the count is used as it came", 1, u"", 3, u"abc", 3, u"abc", u"abc"},
        {"a surrogate pair counts as two units", 1, u"ok\U0001F600", 1, u"ok!", 2, u"!", u"ok!"},
        {"characters beyond the BMP are inserted as two units", 0, u"", 0, u"a\U0001F600b", 0,
         u"a\U0001F600b", u""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        m_output->Clear();
        g_settings.AutoModify = row.autoModify;
        g_lastTyped = row.lastTyped;
        g_replaceCount = row.replaceIn;
        TypeText(row.text);
        EXPECT_EQ(Backspaces(), row.backspaces);
        if (row.autoModify) {
            EXPECT_EQ(g_replaceCount, row.backspaces);
        }
        EXPECT_EQ(Inserted(), row.inserted);
        EXPECT_EQ(g_lastTyped, row.lastAfter);
    }
}

TEST_F(TypeTextTest, BackspacesAreRealStrokesHeldFiftyMillisecondsBeforeTheText) {
    g_settings.AutoModify = 1;
    g_lastTyped = u"今天天汽";
    g_replaceCount = 1;
    TypeText(u"今天天器很");
    const auto events = m_output->Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, Event::kKeyDown);
    EXPECT_EQ(events[1].kind, Event::kKeyUp);
    EXPECT_EQ(events[1].virtualKey, VK_BACK);
    EXPECT_GE(events[1].at - events[0].at, std::chrono::milliseconds(50));
    EXPECT_EQ(events[2].kind, Event::kText);
    EXPECT_EQ(events[2].text, u"器很");
    EXPECT_EQ(m_output->Screen(), u"器很");  // the recording field started empty
}

// The recorder thread types the pieces of continuous dictation: it must not wait for the
// strokes (a correction of 30 characters holds Backspace for 1.5 s), or capture would stop.
TEST_F(TypeTextTest, TheCallerDoesNotWaitForTheStrokes) {
    // A back-end that makes no stroke until the test lets it.
    class GatedOutput : public RecordingKeyboardOutput {
      public:
        void KeyDown(UINT virtualKey) override {
            std::unique_lock lock(mutex);
            opened.wait(lock, [this] { return open; });
            lock.unlock();
            RecordingKeyboardOutput::KeyDown(virtualKey);
        }
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    auto gated = std::make_unique<GatedOutput>();
    GatedOutput *output = gated.get();
    auto recording = SetKeyboardOutput(std::move(gated));
    g_settings.AutoModify = 1;
    g_lastTyped = u"今天天汽";
    g_replaceCount = 1;
    TypeText(u"今天天气很好");  // returns with its Backspace stroke still waiting
    EXPECT_EQ(g_replaceCount, 1);
    g_replaceCount = 1;
    TypeText(u"今天天气很好。");  // goes behind it
    {
        std::lock_guard lock(output->mutex);
        output->open = true;
    }
    output->opened.notify_all();
    EXPECT_EQ(output->Screen(), u"气很好。");  // the field started empty
    SetKeyboardOutput(std::move(recording));
}

}  // namespace
