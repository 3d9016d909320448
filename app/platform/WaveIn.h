// WaveIn: the wave-input device the recorder drives, on ALSA capture.
//
// It keeps the Windows wave-input model the recorder is written against: the owner prepares
// headers, queues them, starts capture and resets; a capture thread of the device fills the
// queued headers in order and reports each filled one (and, at a reset, each one it still held,
// partly filled or empty) through the done callback, which must only hand the header on (the
// recorder posts it to its own thread). Error results are wave error numbers (kWaveErr...).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

// The PCM wave format; field order and the extra-size field follow the Windows record.
struct WaveFormat {
    uint16_t formatTag = 1;  // PCM
    uint16_t channels = 1;
    uint32_t samplesPerSec = 16000;
    uint32_t avgBytesPerSec = 32000;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;
    uint16_t cbSize = 18;
};

// Header flags.
constexpr uint32_t kWaveHdrDone = 0x01;
constexpr uint32_t kWaveHdrPrepared = 0x02;
constexpr uint32_t kWaveHdrInQueue = 0x10;

// One capture buffer. `user` is the owner's; the device never reads or writes it. `user` and
// `flags` are read by other threads than the ones that write them, hence atomic.
struct WaveHeader {
    char *data = nullptr;
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;
    std::atomic<uintptr_t> user{0};
    std::atomic<uint32_t> flags{0};
};

// Wave error numbers, as the recorder passes them on (negated).
constexpr int kWaveErrError = 1;        // unspecified failure
constexpr int kWaveErrBadDevice = 2;    // no such capture device
constexpr int kWaveErrAllocated = 4;    // the device is busy
constexpr int kWaveErrInvalHandle = 5;  // the device is not open
constexpr int kWaveErrNoMem = 7;
constexpr int kWaveErrInvalParam = 11;
constexpr int kWaveErrBadFormat = 32;   // the device cannot capture this format
constexpr int kWaveErrUnprepared = 34;  // the header was not prepared

class WaveIn {
  public:
    using DoneFn = std::function<void(WaveHeader *)>;

    // True when the default capture device can be opened.
    static bool HasDevice();

    // Opens the default capture device ("default", or $QV_CAPTURE_DEVICE) for `format`.
    // `done` is called on the capture thread for every header handed back.
    static int Open(const WaveFormat &format, DoneFn done, std::unique_ptr<WaveIn> *out);

    ~WaveIn();  // closes: resets, ends the capture thread, closes the device
    WaveIn(const WaveIn &) = delete;
    WaveIn &operator=(const WaveIn &) = delete;

    int Prepare(WaveHeader *header);
    int Unprepare(WaveHeader *header);
    // Queues a prepared header (not already queued) for filling.
    int AddBuffer(WaveHeader *header);
    int Start();
    // Stops capture and hands every queued header back, marked done, before it returns.
    int Reset();

  private:
    struct Impl;
    explicit WaveIn(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
