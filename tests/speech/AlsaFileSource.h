// AlsaFileSource: a capture device for tests and benchmarks. ALSA's file plug-in becomes the
// default capture device of this process and reads a raw 16-bit PCM file, or a FIFO that a
// writer thread feeds in real time the way a microphone would.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvtest {

class AlsaFileSource {
  public:
    // Writes an ALSA configuration under `dir` (created if needed) whose default PCM is the file
    // plug-in reading `dir`/capture.raw, and points this process's ALSA at it.
    explicit AlsaFileSource(const std::string &dir);
    ~AlsaFileSource();

    const std::string &InfilePath() const { return infile_; }

    // The infile becomes a regular file holding `samples`; capture reads it as fast as it can
    // and then delivers silence.
    void UseFile(const std::vector<int16_t> &samples);

    // The infile becomes a FIFO fed in real time (100 ms pieces) by a writer thread: first what
    // Queue hands it, then silence, until the source is destroyed.
    void UseLiveFifo();
    // Appends audio for the writer; returns when the writer has taken all of it.
    void Say(const std::vector<int16_t> &samples);
    // Appends audio without waiting.
    void Queue(const std::vector<int16_t> &samples);
    // True while queued audio has not all been written.
    bool Pending() const;
    // Waits up to `seconds` until something reads the FIFO and keeps up with the writer (a
    // recorder is capturing); false if nothing does.
    bool WaitForReader(double seconds) const;
    // Monotonic time (seconds) just before the writer wrote its last non-silent piece.
    double LastSpeechWritten() const;

  private:
    void WriterLoop();

    std::string dir_;
    std::string infile_;
    int fifo_ = -1;
    std::thread writer_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<int16_t> pending_;
    size_t pendingPos_ = 0;
    double lastSpeech_ = 0;
};

// Seconds on a monotonic clock.
double NowSeconds();

// Reads raw 16-bit little-endian PCM.
std::vector<int16_t> ReadPcm(const std::string &path);

// Speaks `text` with espeak-ng into 16 kHz 16-bit mono PCM (through sox), with `padMs` of
// silence before and after. Empty on failure.
std::vector<int16_t> Speak(const std::string &text, const std::string &workDir, int padMs = 300);

}  // namespace qvtest
