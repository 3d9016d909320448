// dictation_bench: the figures of dictation, measured in one run on this machine.
//
//   1. the recogniser's real-time factor: decoding time over audio time, for spoken sentences
//      written as fast as the engine takes them;
//   2. the latency from the release of the voice key to the last character typed, for a
//      3-second utterance captured in real time (ALSA's file plug-in fed like a microphone),
//      recognised offline and typed through XTest into a Qt text field under Xvfb;
//   3. the typing rate: characters per second that arrive intact in the Qt field, Chinese
//      included.
// Each figure is printed with its goal; the exit code is 0 whether or not a goal is met.
#include <unistd.h>

#include <QApplication>
#include <QTextEdit>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

#include "AlsaFileSource.h"
#include "WordErrors.h"
#include "XvfbDisplay.h"
#include "msc.h"
#include "output/TypeText.h"
#include "platform/CodePage.h"
#include "platform/KeyboardOutput.h"
#include "shell/AppSettings.h"
#include "shell/ProgramState.h"
#include "speech/RecognitionResult.h"
#include "speech/SpeechRec.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

const char *const kSentences[] = {
    "the weather is nice today",
    "i would like a cup of coffee",
    "we are going to the station tomorrow morning",
    "please send the report to my manager before noon",
};

// Waits, handling the field's events, until `done` holds or `limit` passes.
template <class Pred>
bool Pump(Pred done, std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    // A short sleep between the rounds: a spinning loop would take a processor from the
    // decoder and the typing that are being measured.
    while (!done() && Clock::now() < until) {
        QApplication::processEvents(QEventLoop::AllEvents, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Wall-clock and processor-time real-time factors (the second does not depend on how busy the
// machine is).
std::pair<double, double> MeasureRealTimeFactor(const std::vector<std::vector<int16_t>> &clips,
                                                const char *params) {
    double audio = 0, busy = 0, cpu = 0;
    for (int round = 0; round < 2; ++round) {
        for (const auto &clip : clips) {
            int err = 0, ep = 0, rec = 0;
            const char *id = QISRSessionBegin(nullptr, params, &err);
            if (!id)
                return {-1, -1};
            const auto start = Clock::now();
            const double cpuStart = CpuSeconds();
            const char *bytes = reinterpret_cast<const char *>(clip.data());
            int status = MSC_AUDIO_FIRST;
            for (size_t at = 0; at < clip.size() * 2; at += 6400) {
                unsigned n = static_cast<unsigned>(std::min<size_t>(6400, clip.size() * 2 - at));
                QISRAudioWrite(id, bytes + at, n, status, &ep, &rec);
                status = MSC_AUDIO_CONTINUE;
            }
            QISRAudioWrite(id, nullptr, 0, MSC_AUDIO_LAST, &ep, &rec);
            // Polled with a pause: a spinning poll would take a processor from the decoder
            // and count in the processor time.
            while (rec != MSC_REC_COMPLETE && err == 0) {
                QISRGetResult(id, &rec, 0, &err);
                if (rec != MSC_REC_COMPLETE)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            const double took = Seconds(Clock::now() - start);
            const double cpuTook = CpuSeconds() - cpuStart;
            QISRSessionEnd(id, "normal");
            if (round == 1) {  // the first round settles the decoder
                audio += clip.size() / 16000.0;
                busy += took;
                cpu += cpuTook;
            }
        }
    }
    return {busy / audio, cpu / audio};
}

}  // namespace

int main(int argc, char **argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("qv-dictation-bench-" + std::to_string(getpid())))
                                .string();
    std::filesystem::create_directories(dir);
    qvtest::XvfbDisplay display;
    if (!display.Ok()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }
    QApplication app(argc, argv);
    QTextEdit field;
    field.setAcceptRichText(false);
    field.resize(1000, 400);
    field.show();
    field.activateWindow();
    field.setFocus();
    Pump([&] { return field.hasFocus(); }, std::chrono::seconds(10));

    std::vector<std::vector<int16_t>> clips;
    for (const char *s : kSentences)
        clips.push_back(qvtest::Speak(s, dir, 200));
    if (clips[0].empty()) {
        std::fprintf(stderr, "espeak-ng and sox are needed\n");
        return 1;
    }
    setenv("MSC_PARAMS", "engine = sphinx", 1);
    if (MSPLogin(nullptr, nullptr, ("appid = 7d3e21a9, work_dir = " + dir).c_str()) != 0) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }

    // 1. Real-time factor.
    double load = 0;
    if (FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = 0;
        std::fclose(f);
    }
    std::printf("load average %.2f on %u processors\n", load, std::thread::hardware_concurrency());
    // Single-utterance sessions (plain results) are decoded without the flat-lexicon pass,
    // continuous ones (JSON results) with it.
    const struct {
        const char *kind, *params;
    } kinds[] = {
        {"single utterance",
         "language = en_us, accent = mandarin, result_type = plain, result_encoding = gb2312, "
         "ptt = 1"},
        {"continuous",
         "language = en_us, accent = mandarin, result_type = json, "
         "result_encoding = UTF-8, ptt = 1, vad_eos = 0"},
    };
    for (const auto &kind : kinds) {
        const auto [rtf, cpuRtf] = MeasureRealTimeFactor(clips, kind.params);
        std::printf(
            "recogniser real-time factor, %s: %.3f wall clock, %.3f processor time  (goal <= "
            "0.30, %s)\n",
            kind.kind, rtf, cpuRtf,
            rtf <= 0.3 ? "met" : (cpuRtf <= 0.3 ? "met in processor time" : "MISSED"));
    }

    // 2. Release to last character, single-utterance English dictation.
    qvtest::AlsaFileSource source(dir + "/alsa");
    source.UseLiveFifo();
    g_settings = AppSettings{};
    g_settings.Language = 1;
    std::vector<double> latencies;
    double worst = 0, wer = 0;
    for (size_t i = 0; i < std::size(kSentences); ++i) {
        field.clear();
        Pump([] { return false; }, std::chrono::milliseconds(50));
        BuildSessionParams();
        static const SpeechRecNotifier notifier{OnRecognitionResult, OnSpeechBegin, OnSpeechEnd};
        if (sr_prepare(g_sessionParams.c_str(), &notifier) != 0 || sr_begin_listening() != 0) {
            std::fprintf(stderr, "listening failed\n");
            return 1;
        }
        g_listening = true;
        // The user speaks, then lets the key go 200 ms after the last word.
        std::atomic<bool> typed{false};
        Clock::time_point release, collected;
        std::thread speaker([&] {
            source.Say(clips[i]);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            release = Clock::now();
            StopRecognition();  // what the key release runs, then the text is typed
            collected = Clock::now();
            std::u16string text = AnsiToWide(g_resultText ? g_resultText : "");
            if (g_resultText)
                g_resultText[0] = '\0';
            while (!text.empty() && text.back() == u' ')
                text.pop_back();  // the field is compared without the blank that ends it
            TypeText(text);
            typed = true;
        });
        Pump([&] { return typed.load(); }, std::chrono::seconds(30));
        speaker.join();
        // The last character has arrived when the field stops growing and ends with the '.'.
        Pump([&] { return field.toPlainText().endsWith('.'); }, std::chrono::seconds(5));
        const double latency = Seconds(Clock::now() - release);
        latencies.push_back(latency);
        worst = std::max(worst, latency);
        wer += qvtest::WordErrorRate(kSentences[i], field.toPlainText().toStdString());
        std::printf("  \"%s\" -> \"%s\"  %.0f ms (last result after %.0f ms)\n", kSentences[i],
                    field.toPlainText().toUtf8().constData(), latency * 1000,
                    Seconds(collected - release) * 1000);
    }
    double mean = 0;
    for (double l : latencies)
        mean += l;
    mean /= latencies.size();
    std::printf(
        "release to last character: mean %.0f ms, worst %.0f ms  (goal < 300 ms, %s); "
        "word error rate %.2f\n",
        mean * 1000, worst * 1000, worst < 0.3 ? "met" : "MISSED", wer / std::size(kSentences));

    // 3. Typing rate.
    std::u16string text;
    const std::u16string pieces[] = {u"今天天气很好，我们一起去公园散步吧。", u"Hello world, ",
                                     u"明天上午九点开会，请准时参加。", u"ok 😀 "};
    for (int i = 0; text.size() < 1000; ++i)
        text += pieces[i % 4];
    field.clear();
    Pump([] { return false; }, std::chrono::milliseconds(50));
    g_settings.AutoModify = 0;
    const QString expected = QString::fromStdU16String(text);
    const auto start = Clock::now();
    std::atomic<bool> done{false};
    std::thread typist([&] {
        TypeText(text);
        done = true;
    });
    Pump([&] { return done && field.toPlainText().size() >= expected.size(); },
         std::chrono::seconds(60));
    const double took = Seconds(Clock::now() - start);
    typist.join();
    const bool intact = field.toPlainText() == expected;
    const double rate = expected.size() / took;
    std::printf("typing: %lld UTF-16 units in %.2f s = %.0f per second, %s  (goal >= 100, %s)\n",
                static_cast<long long>(expected.size()), took, rate,
                intact ? "intact" : "NOT INTACT", rate >= 100 && intact ? "met" : "MISSED");

    MSPLogout();
    SetKeyboardOutput(nullptr);  // restores the keymap while the X server is still there
    std::filesystem::remove_all(dir);
    return 0;
}
