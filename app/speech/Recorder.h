// Recorder: captures 16-bit mono speech in 200 ms blocks and hands each filled block to a
// callback on a thread of its own. One per recognizer, C-style (recorder_... operations).
//
// Every operation returns 0 or a negative code: -1 thread or event could not be made, or fewer
// than 2 buffers at start; -2 out of memory; -3 no recorder, fewer than 2 buffers at
// preparation, or no thread; -4 not open; -N the wave-input error N (WaveIn.h).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/WaveIn.h"

enum RecorderState {
    RECORDER_CREATED = 0,
    RECORDER_READY = 1,
    RECORDER_STOPPING = 2,
    RECORDER_RECORDING = 3,
};

// Messages of the recorder thread's queue.
constexpr unsigned kMsgWaveInData = 0x3C0;  // a buffer came back: lParam is its header
constexpr unsigned kMsgQuit = 0x0012;

// The recorder thread's message queue: what the device posts, what the owner posts to end it.
class RecorderQueue {
  public:
    struct Message {
        unsigned message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    void Post(Message message);
    // Blocks for the next message; false for the quit message.
    bool Get(Message *out);
    // Takes the next message if one is waiting.
    bool Peek(Message *out);

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Message> messages_;
};

// A manual-reset event: set stays set until the event is closed.
class ManualResetEvent {
  public:
    void Set();
    void Wait();

  private:
    std::mutex mutex_;
    std::condition_variable set_;
    bool signalled_ = false;
};

using RecorderCallback = void (*)(char *data, unsigned long length, void *user);

struct Recorder {
    RecorderCallback callback = nullptr;
    void *user = nullptr;
    std::atomic<int> state{RECORDER_CREATED};
    std::unique_ptr<WaveIn> device;
    std::thread thread;
    std::thread::id threadId;
    WaveHeader *buffers = nullptr;
    unsigned bufferCount = 0;
    RecorderQueue queue;  // the recorder thread's messages
    // Makes "still recording? then queue the buffer again" one step against the start and the
    // stop, so that no buffer is queued on a device that has just been reset (it would never
    // come back) and none is dropped by a start that is not complete yet.
    std::mutex requeue;
};

// Set by the recorder thread once its queue exists; closed when the thread is stopped.
extern std::unique_ptr<ManualResetEvent> g_recorderReady;

// The default capture format: PCM, mono, 16000 Hz, 16 bits, extra size 18.
WaveFormat recorder_default_format();
// Bytes of one 200 ms block of `format`.
unsigned recorder_buffer_size(const WaveFormat &format);

// Makes a recorder in RECORDER_CREATED that will hand its blocks to `callback` with `user`.
int recorder_create(Recorder **out, RecorderCallback callback, void *user);
// Frees a recorder made by recorder_create (close it first); null is a no-op.
void recorder_free(Recorder *recorder);
int recorder_open(Recorder *recorder, const WaveFormat *format);
int recorder_start(Recorder *recorder);
int recorder_stop(Recorder *recorder);
bool recorder_is_idle(Recorder *recorder);
int recorder_wait_idle(Recorder *recorder);
void recorder_close(Recorder *recorder);
int recorder_thread_proc(Recorder *recorder);
// On the recorder thread, handles the messages already waiting in its queue (the end-of-speech
// path runs there and must see the blocks a stop returned); elsewhere does nothing.
void recorder_dispatch_pending(Recorder *recorder);
