#include "WaveIn.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// ALSA keeps this much audio of its own while our buffers are busy.
constexpr unsigned kAlsaLatencyUs = 500000;
// We read 20 ms at a time. ALSA's file plug-in reports every read as complete even when its
// infile (a FIFO fed in real time) gave less; a writer that feeds whole 20 ms pieces then
// never sees its audio torn apart.
constexpr unsigned kReadsPerSecond = 50;

const char *CaptureDeviceName() {
    const char *name = std::getenv("QV_CAPTURE_DEVICE");
    return name && *name ? name : "default";
}

int WaveErrorFromAlsa(int err) {
    switch (err) {
        case -ENOENT:
        case -ENODEV:
        case -ENXIO:
            return kWaveErrBadDevice;
        case -EBUSY:
            return kWaveErrAllocated;
        case -ENOMEM:
            return kWaveErrNoMem;
        case -EINVAL:
            return kWaveErrBadFormat;
        default:
            return kWaveErrError;
    }
}

}  // namespace

struct WaveIn::Impl {
    snd_pcm_t *pcm = nullptr;
    unsigned frameBytes = 2;
    size_t chunkBytes = 640;
    DoneFn done;
    int wakeFd = -1;
    std::thread thread;

    std::mutex mutex;  // guards everything below
    std::condition_variable changed;
    std::deque<WaveHeader *> queue;  // the front one is being filled
    bool running = false;
    bool quit = false;
    unsigned generation = 0;  // bumped by every reset: a read begun before it is discarded

    void Wake() {
        uint64_t one = 1;
        ssize_t n = write(wakeFd, &one, sizeof one);
        (void)n;
    }

    // Hands every queued header back, in order. Called with the mutex held, so that the
    // headers reach the owner in the order the device filled them.
    void ReturnQueued() {
        while (!queue.empty()) {
            WaveHeader *h = queue.front();
            queue.pop_front();
            h->flags = (h->flags & ~kWaveHdrInQueue) | kWaveHdrDone;
            done(h);
        }
    }

    void CaptureLoop();
    // Waits until the device has data or someone wakes us; false when woken.
    bool WaitForData();
};

bool WaveIn::Impl::WaitForData() {
    int count = snd_pcm_poll_descriptors_count(pcm);
    if (count < 0)
        count = 0;
    std::vector<pollfd> fds(count + 1);
    fds[0] = {wakeFd, POLLIN, 0};
    if (count > 0)
        snd_pcm_poll_descriptors(pcm, fds.data() + 1, count);
    for (;;) {
        int r = poll(fds.data(), fds.size(), -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return true;  // let the read report the trouble
        if (fds[0].revents & POLLIN) {
            uint64_t value;
            ssize_t n = read(wakeFd, &value, sizeof value);
            (void)n;
            return false;
        }
        unsigned short revents = 0;
        if (count > 0)
            snd_pcm_poll_descriptors_revents(pcm, fds.data() + 1, count, &revents);
        if (revents & (POLLIN | POLLERR))
            return true;
        if (count == 0)
            return true;
    }
}

void WaveIn::Impl::CaptureLoop() {
    std::vector<char> staging;
    bool streaming = false;  // the PCM has been started since the last drop
    std::unique_lock lock(mutex);
    while (!quit) {
        if (!running || queue.empty()) {
            if (!running && streaming) {
                lock.unlock();
                snd_pcm_drop(pcm);
                snd_pcm_prepare(pcm);
                lock.lock();
                streaming = false;
                continue;
            }
            changed.wait(lock);
            continue;
        }
        WaveHeader *head = queue.front();
        size_t want = std::min<size_t>(head->bufferLength - head->bytesRecorded, chunkBytes);
        want -= want % frameBytes;
        unsigned readGeneration = generation;
        lock.unlock();

        // Some capture plug-ins (ALSA's file plug-in at the end of its file) report frames
        // they did not write: what such a read leaves must be silence.
        staging.assign(want, 0);
        snd_pcm_sframes_t frames = 0;
        if (want > 0) {
            if (!streaming) {
                snd_pcm_start(pcm);
                streaming = true;
            }
            if (WaitForData()) {
                frames = snd_pcm_readi(pcm, staging.data(), want / frameBytes);
                if (frames == -EAGAIN) {
                    frames = 0;
                } else if (frames < 0) {
                    // An overrun (our buffers were all busy) loses audio, as a wave device
                    // does; anything else ends the stream until the next start.
                    if (snd_pcm_recover(pcm, frames, 1) < 0) {
                        std::fprintf(stderr, "capture failed: %s\n", snd_strerror(frames));
                        lock.lock();
                        running = false;
                        continue;
                    }
                    snd_pcm_start(pcm);
                    frames = 0;
                }
            }
        }

        lock.lock();
        if (readGeneration != generation || !running || queue.empty() || queue.front() != head)
            continue;  // reset meanwhile: what was read belongs to no buffer
        size_t got = static_cast<size_t>(frames) * frameBytes;
        std::memcpy(head->data + head->bytesRecorded, staging.data(), got);
        head->bytesRecorded += got;
        if (head->bytesRecorded + frameBytes > head->bufferLength) {
            queue.pop_front();
            head->flags = (head->flags & ~kWaveHdrInQueue) | kWaveHdrDone;
            done(head);
        }
    }
}

WaveIn::WaveIn(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

bool WaveIn::HasDevice() {
    snd_pcm_t *pcm = nullptr;
    if (snd_pcm_open(&pcm, CaptureDeviceName(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0)
        return false;
    snd_pcm_close(pcm);
    return true;
}

int WaveIn::Open(const WaveFormat &format, DoneFn done, std::unique_ptr<WaveIn> *out) {
    if (!out || !done)
        return kWaveErrInvalParam;
    snd_pcm_format_t sampleFormat;
    if (format.formatTag != 1 || format.channels == 0 || format.samplesPerSec == 0)
        return kWaveErrBadFormat;
    if (format.bitsPerSample == 16)
        sampleFormat = SND_PCM_FORMAT_S16_LE;
    else if (format.bitsPerSample == 8)
        sampleFormat = SND_PCM_FORMAT_U8;
    else
        return kWaveErrBadFormat;
    unsigned frameBytes = format.channels * format.bitsPerSample / 8;
    if (format.blockAlign != frameBytes)
        return kWaveErrBadFormat;

    auto impl = std::make_unique<Impl>();
    impl->frameBytes = frameBytes;
    impl->chunkBytes = std::max<size_t>(1, format.samplesPerSec / kReadsPerSecond) * frameBytes;
    impl->done = std::move(done);
    int err =
        snd_pcm_open(&impl->pcm, CaptureDeviceName(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (err < 0) {
        std::fprintf(stderr, "capture device %s: %s\n", CaptureDeviceName(), snd_strerror(err));
        return WaveErrorFromAlsa(err);
    }
    err = snd_pcm_set_params(impl->pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED,
                             format.channels, format.samplesPerSec, 1, kAlsaLatencyUs);
    if (err < 0) {
        std::fprintf(stderr, "capture format: %s\n", snd_strerror(err));
        snd_pcm_close(impl->pcm);
        return err == -EINVAL ? kWaveErrBadFormat : WaveErrorFromAlsa(err);
    }
    impl->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (impl->wakeFd < 0) {
        snd_pcm_close(impl->pcm);
        return kWaveErrNoMem;
    }
    Impl *raw = impl.get();
    try {
        impl->thread = std::thread([raw] { raw->CaptureLoop(); });
    } catch (...) {
        close(impl->wakeFd);
        snd_pcm_close(impl->pcm);
        return kWaveErrNoMem;
    }
    out->reset(new WaveIn(std::move(impl)));
    return 0;
}

WaveIn::~WaveIn() {
    Reset();
    {
        std::lock_guard lock(impl_->mutex);
        impl_->quit = true;
    }
    impl_->changed.notify_all();
    impl_->Wake();
    impl_->thread.join();
    close(impl_->wakeFd);
    snd_pcm_close(impl_->pcm);
}

int WaveIn::Prepare(WaveHeader *header) {
    if (!header || !header->data)
        return kWaveErrInvalParam;
    header->flags |= kWaveHdrPrepared;
    return 0;
}

int WaveIn::Unprepare(WaveHeader *header) {
    if (!header)
        return kWaveErrInvalParam;
    if (header->flags & kWaveHdrInQueue)
        return 33;  // still in use by the device
    header->flags &= ~kWaveHdrPrepared;
    return 0;
}

int WaveIn::AddBuffer(WaveHeader *header) {
    if (!header || !header->data || header->bufferLength < impl_->frameBytes)
        return kWaveErrInvalParam;
    if (!(header->flags & kWaveHdrPrepared))
        return kWaveErrUnprepared;
    std::lock_guard lock(impl_->mutex);
    if (header->flags & kWaveHdrInQueue)
        return kWaveErrInvalParam;
    header->bytesRecorded = 0;
    header->flags = (header->flags & ~kWaveHdrDone) | kWaveHdrInQueue;
    impl_->queue.push_back(header);
    impl_->changed.notify_all();
    return 0;
}

int WaveIn::Start() {
    std::lock_guard lock(impl_->mutex);
    impl_->running = true;
    impl_->changed.notify_all();
    return 0;
}

int WaveIn::Reset() {
    std::lock_guard lock(impl_->mutex);
    impl_->running = false;
    ++impl_->generation;
    impl_->ReturnQueued();
    impl_->changed.notify_all();
    impl_->Wake();
    return 0;
}
