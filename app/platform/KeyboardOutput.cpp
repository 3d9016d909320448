#include "KeyboardOutput.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "X11KeyboardOutput.h"

namespace {

std::mutex g_outputMutex;
std::unique_ptr<KeyboardOutput> g_output;

struct PostedInput {
    int backspaces;
    std::chrono::milliseconds hold;
    std::u16string text;
};

// The thread that does the posted input; made at the first post, ended (after the input still
// waiting) when the program ends. Declared after g_output, so it goes first.
class InputThread {
  public:
    ~InputThread() {
        std::unique_lock lock(m_mutex);
        if (!m_thread.joinable())
            return;
        m_quit = true;
        m_changed.notify_all();
        lock.unlock();
        m_thread.join();
    }

    void Post(PostedInput input) {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { Run(); });
        m_queue.push_back(std::move(input));
        m_changed.notify_all();
    }

    void WaitIdle() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
    }

  private:
    void Run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_quit || !m_queue.empty(); });
            if (m_queue.empty())
                return;  // quit, with nothing left to do
            PostedInput input = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
            lock.unlock();
            KeyboardOutput &output = TheKeyboardOutput();
            for (int i = 0; i < input.backspaces; ++i) {
                output.KeyDown(VK_BACK);
                std::this_thread::sleep_for(input.hold);
                output.KeyUp(VK_BACK);
            }
            if (!input.text.empty())
                output.InsertText(input.text);
            lock.lock();
            m_busy = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_changed;
    std::deque<PostedInput> m_queue;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_thread;
};

InputThread g_inputThread;

}  // namespace

KeyboardOutput &TheKeyboardOutput() {
    std::lock_guard lock(g_outputMutex);
    if (!g_output)
        g_output = std::make_unique<X11KeyboardOutput>();
    return *g_output;
}

std::unique_ptr<KeyboardOutput> SetKeyboardOutput(std::unique_ptr<KeyboardOutput> output) {
    g_inputThread.WaitIdle();
    std::lock_guard lock(g_outputMutex);
    std::swap(g_output, output);
    return output;
}

void PostKeyboardInput(int backspaces, std::chrono::milliseconds hold, std::u16string text) {
    if (backspaces <= 0 && text.empty())
        return;
    g_inputThread.Post({backspaces, hold, std::move(text)});
}

void WaitForKeyboardInput() {
    g_inputThread.WaitIdle();
}
