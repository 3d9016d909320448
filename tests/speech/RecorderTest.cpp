// The recorder on real ALSA capture: ALSA's file plug-in reading a PCM file or a live FIFO.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "AlsaFileSource.h"
#include "speech/Recorder.h"

namespace {

using qvtest::AlsaFileSource;
using qvtest::NowSeconds;

// What the callback saw, in order.
struct Capture {
    struct Block {
        std::vector<char> data;
        double at;
        std::thread::id thread;
    };
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Block> blocks;

    static void Callback(char *data, unsigned long length, void *user) {
        auto *self = static_cast<Capture *>(user);
        {
            std::lock_guard lock(self->mutex);
            self->blocks.push_back(
                {std::vector<char>(data, data + length), NowSeconds(), std::this_thread::get_id()});
        }
        self->arrived.notify_all();
    }
    // Waits (up to 10 s) for at least `n` blocks.
    bool WaitFor(size_t n) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(10), [&] { return blocks.size() >= n; });
    }
    size_t Count() {
        std::lock_guard lock(mutex);
        return blocks.size();
    }
};

std::vector<int16_t> Ramp(size_t n) {
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(i * 7 + 1);
    return s;
}

// Where the ramp starts in captured bytes that begin with silence; npos when it is absent.
size_t FindRamp(const std::vector<char> &bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        if (bytes[i] != 0 || bytes[i + 1] != 0)
            return i;
    return std::string::npos;
}

class RecorderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = ::testing::TempDir() + "/qv-recorder-" + std::to_string(getpid());
        source_ = std::make_unique<AlsaFileSource>(dir_);
        ASSERT_EQ(recorder_create(&rec_, &Capture::Callback, &capture_), 0);
    }
    void TearDown() override {
        if (rec_) {
            recorder_stop(rec_);
            recorder_close(rec_);
            recorder_free(rec_);
        }
        source_.reset();
    }
    // Opens as the recognizer does: the state becomes ready on success.
    int Open(const WaveFormat *format) {
        int r = recorder_open(rec_, format);
        if (r == 0)
            rec_->state = RECORDER_READY;
        return r;
    }

    std::string dir_;
    std::unique_ptr<AlsaFileSource> source_;
    Capture capture_;
    Recorder *rec_ = nullptr;
};

TEST_F(RecorderTest, BufferSizeFollowsTheFormat) {
    struct Row {
        uint32_t rate;
        uint16_t align;
        unsigned bytes;
    } rows[] = {{16000, 2, 6400}, {8000, 2, 3200}, {44100, 2, 17640}, {16000, 4, 12800}};
    for (const Row &row : rows) {
        WaveFormat f;
        f.samplesPerSec = row.rate;
        f.blockAlign = row.align;
        EXPECT_EQ(recorder_buffer_size(f), row.bytes) << row.rate << " Hz";
    }
}

TEST_F(RecorderTest, OpenWithoutFormatGivesFourBlocksOf200ms) {
    ASSERT_EQ(Open(nullptr), 0);
    EXPECT_EQ(rec_->bufferCount, 4u);
    for (unsigned i = 0; i < 4; ++i) {
        EXPECT_EQ(rec_->buffers[i].bufferLength, 6400u);
        EXPECT_EQ(rec_->buffers[i].user, i + 1);
    }
    EXPECT_NE(rec_->threadId, std::thread::id());
}

TEST_F(RecorderTest, EightKilohertzGivesFourBlocksOf3200Bytes) {
    WaveFormat f;
    f.samplesPerSec = 8000;
    f.avgBytesPerSec = 16000;
    ASSERT_EQ(Open(&f), 0);
    ASSERT_EQ(rec_->bufferCount, 4u);
    for (unsigned i = 0; i < 4; ++i)
        EXPECT_EQ(rec_->buffers[i].bufferLength, 3200u);
}

TEST_F(RecorderTest, StopOnAnOpenRecorderChangesNothing) {
    ASSERT_EQ(Open(nullptr), 0);
    EXPECT_EQ(recorder_stop(rec_), 0);
    EXPECT_EQ(rec_->state, RECORDER_READY);
    EXPECT_EQ(capture_.Count(), 0u);
}

TEST_F(RecorderTest, StartWithoutASuccessfulOpenFails) {
    EXPECT_EQ(recorder_start(rec_), -4);
    WaveFormat bad;
    bad.bitsPerSample = 12;
    EXPECT_EQ(Open(&bad), -kWaveErrBadFormat);
    EXPECT_EQ(rec_->state, RECORDER_CREATED);
    EXPECT_EQ(rec_->bufferCount, 0u);
    EXPECT_EQ(rec_->device, nullptr);
    EXPECT_FALSE(rec_->thread.joinable());
    EXPECT_EQ(g_recorderReady, nullptr);
    EXPECT_EQ(recorder_start(rec_), -4);
}

TEST_F(RecorderTest, MissingDeviceIsAWaveError) {
    setenv("QV_CAPTURE_DEVICE", "no_such_capture_device", 1);
    EXPECT_FALSE(WaveIn::HasDevice());
    EXPECT_LT(Open(nullptr), 0);
    unsetenv("QV_CAPTURE_DEVICE");
    EXPECT_TRUE(WaveIn::HasDevice());
}

TEST_F(RecorderTest, FileIsDeliveredInOrderInFullBlocksOnTheRecorderThread) {
    const std::vector<int16_t> audio = Ramp(3200 * 2 + 1000);  // 2.3 blocks
    source_->UseFile(audio);
    ASSERT_EQ(Open(nullptr), 0);
    ASSERT_EQ(recorder_start(rec_), 0);
    EXPECT_EQ(rec_->state, RECORDER_RECORDING);
    EXPECT_EQ(recorder_start(rec_), 0);  // already recording: nothing queued twice
    ASSERT_TRUE(capture_.WaitFor(6));
    ASSERT_EQ(recorder_stop(rec_), 0);
    EXPECT_EQ(rec_->state, RECORDER_READY);
    recorder_wait_idle(rec_);
    EXPECT_TRUE(recorder_is_idle(rec_));

    std::lock_guard lock(capture_.mutex);
    std::vector<char> all;
    for (size_t i = 0; i < capture_.blocks.size(); ++i) {
        EXPECT_EQ(capture_.blocks[i].thread, rec_->threadId);
        if (i < 6) {
            EXPECT_EQ(capture_.blocks[i].data.size(), 6400u) << "block " << i;
        }
        all.insert(all.end(), capture_.blocks[i].data.begin(), capture_.blocks[i].data.end());
    }
    ASSERT_GE(all.size(), audio.size() * 2);
    EXPECT_EQ(std::memcmp(all.data(), audio.data(), audio.size() * 2), 0);
    // Past the end of the file the device gives silence, not stale buffer contents.
    for (size_t i = audio.size() * 2; i < all.size(); ++i)
        ASSERT_EQ(all[i], 0) << i;
}

TEST_F(RecorderTest, LiveAudioArrivesIntactAndNoFasterThanItIsSpoken) {
    source_->UseLiveFifo();
    ASSERT_EQ(Open(nullptr), 0);
    ASSERT_EQ(recorder_start(rec_), 0);
    const std::vector<int16_t> ramp = Ramp(16000);  // one second, after some silence
    source_->Say(ramp);
    const double lastWritten = source_->LastSpeechWritten();
    ASSERT_TRUE(capture_.WaitFor(capture_.Count() + 2));
    ASSERT_EQ(recorder_stop(rec_), 0);
    recorder_wait_idle(rec_);

    std::lock_guard lock(capture_.mutex);
    std::vector<char> all;
    std::vector<double> endAt;  // the time each byte's block arrived
    for (const auto &b : capture_.blocks) {
        all.insert(all.end(), b.data.begin(), b.data.end());
        endAt.resize(all.size(), b.at);
    }
    const size_t begin = FindRamp(all);
    ASSERT_LT(begin, all.size());
    ASSERT_GE(all.size() - begin, ramp.size() * 2);
    EXPECT_EQ(std::memcmp(all.data() + begin, ramp.data(), ramp.size() * 2), 0);
    // A block cannot be complete before the audio in it was produced: one second of speech
    // takes most of a second to arrive.
    const double first = endAt[begin], last = endAt[begin + ramp.size() * 2 - 1];
    EXPECT_GE(last - first, 0.6);
    EXPECT_GE(last, lastWritten);
}

TEST_F(RecorderTest, StopReturnsThePartBlockAndEveryQueuedBuffer) {
    source_->UseLiveFifo();
    ASSERT_EQ(Open(nullptr), 0);
    ASSERT_EQ(recorder_start(rec_), 0);
    const size_t before = capture_.Count();
    source_->Say(Ramp(3200 + 1600));  // one block and a half
    ASSERT_TRUE(capture_.WaitFor(before + 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(recorder_stop(rec_), 0);
    recorder_wait_idle(rec_);
    EXPECT_TRUE(recorder_is_idle(rec_));
    for (unsigned i = 0; i < 4; ++i)
        EXPECT_EQ(rec_->buffers[i].user, 0u);

    std::lock_guard lock(capture_.mutex);
    // Every buffer came back exactly once after the full ones: the one being filled with
    // what it had, the others empty.
    size_t full = 0;
    while (full < capture_.blocks.size() && capture_.blocks[full].data.size() == 6400)
        ++full;
    ASSERT_GE(full, 1u);
    EXPECT_EQ(capture_.blocks.size(), full + 4);
    size_t partial = 0;
    for (size_t i = full; i < capture_.blocks.size(); ++i) {
        EXPECT_LT(capture_.blocks[i].data.size(), 6400u);
        EXPECT_EQ(capture_.blocks[i].data.size() % 2, 0u);
        if (!capture_.blocks[i].data.empty())
            ++partial;
    }
    EXPECT_LE(partial, 1u);
    std::vector<char> all;
    for (const auto &b : capture_.blocks)
        all.insert(all.end(), b.data.begin(), b.data.end());
    const size_t begin = FindRamp(all);
    ASSERT_LT(begin, all.size());
    const std::vector<int16_t> ramp = Ramp(3200 + 1600);
    const size_t have = std::min(all.size() - begin, ramp.size() * 2);
    EXPECT_EQ(std::memcmp(all.data() + begin, ramp.data(), have), 0);
}

TEST_F(RecorderTest, RestartAfterStopQueuesTheBuffersAgain) {
    source_->UseLiveFifo();
    ASSERT_EQ(Open(nullptr), 0);
    ASSERT_EQ(recorder_start(rec_), 0);
    ASSERT_TRUE(capture_.WaitFor(1));
    ASSERT_EQ(recorder_stop(rec_), 0);
    recorder_wait_idle(rec_);
    size_t before = capture_.Count();
    ASSERT_EQ(recorder_start(rec_), 0);
    ASSERT_TRUE(capture_.WaitFor(before + 2));
    ASSERT_EQ(recorder_stop(rec_), 0);
    recorder_wait_idle(rec_);
    EXPECT_TRUE(recorder_is_idle(rec_));
}

TEST_F(RecorderTest, CloseWhileRecordingTakesEverythingBack) {
    source_->UseLiveFifo();
    ASSERT_EQ(Open(nullptr), 0);
    ASSERT_EQ(recorder_start(rec_), 0);
    ASSERT_TRUE(capture_.WaitFor(1));
    recorder_close(rec_);
    EXPECT_EQ(rec_->device, nullptr);
    EXPECT_EQ(rec_->bufferCount, 0u);
    EXPECT_EQ(rec_->buffers, nullptr);
    EXPECT_FALSE(rec_->thread.joinable());
    EXPECT_EQ(g_recorderReady, nullptr);
}

}  // namespace
