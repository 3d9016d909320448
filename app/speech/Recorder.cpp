#include "speech/Recorder.h"

#include <chrono>
#include <new>

std::unique_ptr<ManualResetEvent> g_recorderReady;

namespace {

constexpr unsigned kBufferCount = 4;

void ReleaseBuffers(Recorder *r) {
    if (!r->buffers) {
        r->bufferCount = 0;
        return;
    }
    for (unsigned i = 0; i < r->bufferCount; ++i) {
        WaveHeader &h = r->buffers[i];
        if (!h.data)
            continue;
        if ((h.flags & kWaveHdrPrepared) && r->device)
            r->device->Unprepare(&h);
        delete[] h.data;
        h.data = nullptr;
    }
    delete[] r->buffers;
    r->buffers = nullptr;
    r->bufferCount = 0;
}

int PrepareBuffers(Recorder *r, unsigned size) {
    if (r->bufferCount < 2)
        return -3;
    r->buffers = new (std::nothrow) WaveHeader[r->bufferCount];
    if (!r->buffers)
        return -2;
    for (unsigned i = 0; i < r->bufferCount; ++i) {
        WaveHeader &h = r->buffers[i];
        h.data = new (std::nothrow) char[size]();
        if (!h.data) {
            ReleaseBuffers(r);
            return -2;
        }
        h.bufferLength = size;
        h.flags = 0;
        h.user = i + 1;
        int err = r->device->Prepare(&h);
        if (err != 0) {
            ReleaseBuffers(r);
            return -err;
        }
    }
    return 0;
}

void StopThread(Recorder *r) {
    if (!r->thread.joinable())
        return;
    if (g_recorderReady)
        g_recorderReady->Wait();
    g_recorderReady.reset();
    r->queue.Post({kMsgQuit, 0, 0});
    r->thread.join();
    r->threadId = {};
}

// One message of the recorder thread.
void HandleMessage(Recorder *r, const RecorderQueue::Message &m) {
    if (m.message != kMsgWaveInData)
        return;
    auto *h = reinterpret_cast<WaveHeader *>(m.lParam);
    if (!h || h->user > r->bufferCount)
        return;
    r->callback(h->data, h->bytesRecorded, r->user);
    {
        std::lock_guard lock(r->requeue);
        if (r->state == RECORDER_RECORDING && r->device->AddBuffer(h) == 0)
            return;
    }
    h->user = 0;  // taken back for good
}

}  // namespace

void RecorderQueue::Post(Message message) {
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(message);
    }
    posted_.notify_one();
}

bool RecorderQueue::Get(Message *out) {
    std::unique_lock lock(mutex_);
    posted_.wait(lock, [this] { return !messages_.empty(); });
    *out = messages_.front();
    messages_.pop_front();
    return out->message != kMsgQuit;
}

bool RecorderQueue::Peek(Message *out) {
    std::lock_guard lock(mutex_);
    if (messages_.empty() || messages_.front().message == kMsgQuit)
        return false;
    *out = messages_.front();
    messages_.pop_front();
    return true;
}

void ManualResetEvent::Set() {
    // Notified under the lock: a waiter may close (destroy) the event as soon as it wakes.
    std::lock_guard lock(mutex_);
    signalled_ = true;
    set_.notify_all();
}

void ManualResetEvent::Wait() {
    std::unique_lock lock(mutex_);
    set_.wait(lock, [this] { return signalled_; });
}

WaveFormat recorder_default_format() {
    return WaveFormat{};
}

unsigned recorder_buffer_size(const WaveFormat &format) {
    return format.blockAlign * (format.samplesPerSec / 50) * 10;
}

int recorder_create(Recorder **out, RecorderCallback callback, void *user) {
    if (!out)
        return -3;
    *out = new (std::nothrow) Recorder;
    if (!*out)
        return -2;
    (*out)->callback = callback;
    (*out)->user = user;
    return 0;
}

void recorder_free(Recorder *recorder) {
    delete recorder;
}

int recorder_open(Recorder *r, const WaveFormat *format) {
    if (!r)
        return -3;
    r->bufferCount = kBufferCount;
    r->device.reset();
    r->threadId = {};

    g_recorderReady.reset(new (std::nothrow) ManualResetEvent);
    if (!g_recorderReady)
        return -1;
    try {
        r->thread = std::thread(recorder_thread_proc, r);
    } catch (...) {
        g_recorderReady.reset();
        return -1;
    }
    r->threadId = r->thread.get_id();
    g_recorderReady->Wait();

    int result = 0;
    const WaveFormat fmt = format ? *format : recorder_default_format();
    if (!r->thread.joinable()) {
        result = -3;
    } else {
        RecorderQueue *queue = &r->queue;
        int err = WaveIn::Open(
            fmt,
            [queue](WaveHeader *h) {
                queue->Post({kMsgWaveInData, 0, reinterpret_cast<intptr_t>(h)});
            },
            &r->device);
        if (err != 0)
            result = -err;
    }
    if (result == 0)
        result = PrepareBuffers(r, format ? recorder_buffer_size(fmt) : 6400);
    if (result == 0)
        return 0;

    ReleaseBuffers(r);
    r->device.reset();
    StopThread(r);
    return result;
}

int recorder_start(Recorder *r) {
    if (!r)
        return -3;
    if (r->state < RECORDER_READY)
        return -4;
    if (r->state == RECORDER_RECORDING)
        return 0;
    if (r->bufferCount < 2 || !r->device)
        return -1;
    // The first block may come back (from a file, at once) before the state says recording:
    // the recorder thread would then not queue it again, and a stop made from its callback would
    // find nothing to stop. Both wait for this lock until the start is complete.
    std::lock_guard lock(r->requeue);
    for (unsigned i = 0; i < r->bufferCount; ++i) {
        WaveHeader &h = r->buffers[i];
        if (h.flags & kWaveHdrInQueue)
            continue;
        h.user = i + 1;
        int err = r->device->AddBuffer(&h);
        if (err != 0) {
            r->device->Reset();
            return -err;
        }
    }
    int err = r->device->Start();
    if (err != 0) {
        r->device->Reset();
        return -err;
    }
    r->state = RECORDER_RECORDING;
    return 0;
}

int recorder_stop(Recorder *r) {
    if (!r)
        return -3;
    {
        // Under the lock: a start that is still under way is complete first.
        std::lock_guard lock(r->requeue);
        if (r->state <= RECORDER_STOPPING)
            return 0;
        r->state = RECORDER_STOPPING;
    }
    int err = r->device ? r->device->Reset() : kWaveErrInvalHandle;
    if (err != 0)
        return -err;
    r->state = RECORDER_READY;
    return 0;
}

bool recorder_is_idle(Recorder *r) {
    if (!r || r->state == RECORDER_RECORDING)
        return false;
    if (r->bufferCount == 0 || !r->buffers)
        return true;
    for (unsigned i = 0; i < r->bufferCount; ++i) {
        const WaveHeader &h = r->buffers[i];
        if ((h.flags & kWaveHdrInQueue) || h.user != 0)
            return false;
    }
    return true;
}

int recorder_wait_idle(Recorder *r) {
    while (!recorder_is_idle(r)) {
        recorder_dispatch_pending(r);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

void recorder_dispatch_pending(Recorder *r) {
    if (!r || std::this_thread::get_id() != r->threadId)
        return;
    RecorderQueue::Message m;
    while (r->queue.Peek(&m))
        HandleMessage(r, m);
}

void recorder_close(Recorder *r) {
    if (!r || !r->device)
        return;
    // The device hands back what it still holds; the thread takes those buffers (without
    // queueing them again) before it sees the quit message, and only then do they go.
    {
        std::lock_guard lock(r->requeue);
        if (r->state == RECORDER_RECORDING)
            r->state = RECORDER_STOPPING;
    }
    r->device->Reset();
    StopThread(r);
    ReleaseBuffers(r);
    r->device.reset();
}

int recorder_thread_proc(Recorder *r) {
    g_recorderReady->Set();
    RecorderQueue::Message m;
    while (r->queue.Get(&m))
        HandleMessage(r, m);
    return 0;
}
