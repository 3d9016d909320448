#include "AlsaFileSource.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace qvtest {

namespace {

constexpr int kRate = 16000;
constexpr size_t kPieceSamples = kRate / 10;  // 100 ms, a whole number of the device's reads

}  // namespace

double NowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

AlsaFileSource::AlsaFileSource(const std::string &dir) : dir_(dir) {
    std::filesystem::create_directories(dir_);
    infile_ = dir_ + "/capture.raw";
    std::string conf = dir_ + "/asound.conf";
    std::ofstream out(conf);
    out << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n"
        << "  infile \"" << infile_ << "\"\n  format \"raw\"\n}\n";
    out.close();
    setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf).c_str(), 1);
    unsetenv("QV_CAPTURE_DEVICE");
    UseFile({});
}

AlsaFileSource::~AlsaFileSource() {
    stop_ = true;
    if (writer_.joinable())
        writer_.join();
    if (fifo_ >= 0)
        close(fifo_);
}

void AlsaFileSource::UseFile(const std::vector<int16_t> &samples) {
    std::filesystem::remove(infile_);
    std::ofstream out(infile_, std::ios::binary);
    out.write(reinterpret_cast<const char *>(samples.data()), samples.size() * 2);
}

void AlsaFileSource::UseLiveFifo() {
    std::filesystem::remove(infile_);
    if (mkfifo(infile_.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo failed");
    // Read and write: opening does not wait for a reader, and the pipe outlives each
    // recorder that opens and closes it.
    fifo_ = open(infile_.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fifo_ < 0)
        throw std::runtime_error("cannot open the FIFO");
    writer_ = std::thread([this] { WriterLoop(); });
}

void AlsaFileSource::Queue(const std::vector<int16_t> &samples) {
    std::lock_guard lock(mutex_);
    pending_.insert(pending_.end(), samples.begin(), samples.end());
}

void AlsaFileSource::Say(const std::vector<int16_t> &samples) {
    Queue(samples);
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (pendingPos_ >= pending_.size())
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool AlsaFileSource::WaitForReader(double seconds) const {
    const double until = NowSeconds() + seconds;
    // Without a reader the pipe holds a whole piece within 100 ms of the writer's next write,
    // and keeps it; a reader takes each piece as it comes. Five looks 40 ms apart span two
    // writes.
    int below = 0;
    while (NowSeconds() < until) {
        int queued = 0;
        ioctl(fifo_, FIONREAD, &queued);
        below = queued < static_cast<int>(kPieceSamples * 2) ? below + 1 : 0;
        if (below >= 5)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    return false;
}

bool AlsaFileSource::Pending() const {
    std::lock_guard lock(mutex_);
    return pendingPos_ < pending_.size();
}

double AlsaFileSource::LastSpeechWritten() const {
    std::lock_guard lock(mutex_);
    return lastSpeech_;
}

void AlsaFileSource::WriterLoop() {
    std::vector<int16_t> piece(kPieceSamples);
    auto next = std::chrono::steady_clock::now();
    while (!stop_) {
        bool speech = false;
        {
            std::lock_guard lock(mutex_);
            std::fill(piece.begin(), piece.end(), 0);
            size_t n = std::min(kPieceSamples, pending_.size() - pendingPos_);
            std::copy_n(pending_.begin() + pendingPos_, n, piece.begin());
            pendingPos_ += n;
            if (pendingPos_ == pending_.size()) {
                pending_.clear();
                pendingPos_ = 0;
            }
            speech = n > 0;
            if (speech)
                lastSpeech_ = NowSeconds();
        }
        // One write of 3200 bytes is atomic on a pipe. While nobody reads (between two
        // recorders) silence is not heaped up beyond 200 ms, as a sound card keeps only a short
        // buffer; speech always goes in.
        int queued = 0;
        ioctl(fifo_, FIONREAD, &queued);
        if (speech || queued < static_cast<int>(kPieceSamples * 4)) {
            ssize_t w = write(fifo_, piece.data(), piece.size() * 2);
            (void)w;
        }
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
}

std::vector<int16_t> ReadPcm(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::copy_n(bytes.data(), samples.size() * 2, reinterpret_cast<char *>(samples.data()));
    return samples;
}

std::vector<int16_t> Speak(const std::string &text, const std::string &workDir, int padMs) {
    std::filesystem::create_directories(workDir);
    std::string wav = workDir + "/speak.wav", raw = workDir + "/speak.raw";
    // A clear female voice at a brisk pace is what the stock US English model hears best.
    std::string cmd = "espeak-ng -v en-us+f2 -s 160 -w '" + wav + "' '" + text + "' && sox '" +
                      wav + "' -r 16000 -c 1 -b 16 -e signed-integer -t raw '" + raw + "' pad " +
                      std::to_string(padMs / 1000.0) + " " + std::to_string(padMs / 1000.0);
    if (std::system(cmd.c_str()) != 0)
        return {};
    return ReadPcm(raw);
}

}  // namespace qvtest
