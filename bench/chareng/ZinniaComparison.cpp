// Side by side on the same held-out Chinese writing: the character engine with a trained
// dictionary against zinnia with the tegaki simplified-Chinese model. Top-1 / top-10 accuracy
// and characters per second, one thread each, in one run.
//
//   chareng_vs_zinnia DICTIONARY SAMPLES [ZINNIA_MODEL] [LIMIT]
//
// SAMPLES is the text of `chartrain samples`: "U+XXXX x,y x,y | x,y ... |" a line.
#include <zinnia.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CharEngine.h"

namespace {

struct Sample {
    uint32_t code;
    std::vector<int16_t> pairs;
};

std::vector<Sample> ReadSamples(const std::string &path, size_t limit) {
    std::vector<Sample> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line) && out.size() < limit) {
        std::istringstream ss(line);
        std::string head, tok;
        ss >> head;
        Sample s;
        s.code = static_cast<uint32_t>(std::stoul(head.substr(2), nullptr, 16));
        while (ss >> tok) {
            if (tok == "|") {
                s.pairs.insert(s.pairs.end(), {-1, 0});
                continue;
            }
            const size_t comma = tok.find(',');
            s.pairs.push_back(static_cast<int16_t>(std::stoi(tok.substr(0, comma))));
            s.pairs.push_back(static_cast<int16_t>(std::stoi(tok.substr(comma + 1))));
        }
        s.pairs.insert(s.pairs.end(), {-1, -1});
        // Chinese characters only: the zinnia model knows no Latin letters.
        if (s.code >= 0x4E00 && s.code <= 0x9FFF)
            out.push_back(std::move(s));
    }
    return out;
}

std::string Utf8(uint32_t c) {
    std::string s;
    s.push_back(static_cast<char>(0xE0 | (c >> 12)));
    s.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    return s;
}

// Processor time of this thread: on a shared machine the wall clock also counts the others.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Score {
    size_t top1 = 0, top10 = 0;
    double seconds = 0, wall = 0;
};

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DICTIONARY SAMPLES [ZINNIA_MODEL] [LIMIT]\n", argv[0]);
        return 2;
    }
    const std::string model =
        argc > 3 ? argv[3] : "/usr/share/tegaki/models/zinnia/handwriting-zh_CN.model";
    const size_t limit = argc > 4 ? std::stoul(argv[4]) : SIZE_MAX;
    std::ifstream df(argv[1], std::ios::binary);
    std::vector<uint8_t> dict((std::istreambuf_iterator<char>(df)), {});
    const std::vector<Sample> samples = ReadSamples(argv[2], limit);
    if (dict.empty() || samples.empty()) {
        std::fprintf(stderr, "no dictionary or no samples\n");
        return 1;
    }
    if (CharEngineCheckDictionary(dict.data(), dict.size()) != 0) {
        std::fprintf(stderr, "dictionary refused\n");
        return 1;
    }

    // Character engine, range of the Chinese groups, ten candidates.
    std::vector<uint8_t> work(kCharEngineWorkSize);
    void *h = CharEngineStart(dict.data(), nullptr, work.data());
    const int32_t ten = 10, range = 0x3F00;
    CharEngineSetParam(h, kCharParamCandidates, &ten);
    CharEngineSetParam(h, kCharParamRange, &range);
    Score ours;
    double t0 = ThreadSeconds(), w0 = WallSeconds();
    for (const Sample &s : samples) {
        std::vector<int16_t> p = s.pairs;
        uint16_t codes[kCharMaxCandidates + 1];
        const int n = CharEngineRecog(h, p.data(), codes, nullptr, nullptr);
        for (int i = 0; i < n; ++i) {
            if (codes[i] == s.code) {
                ++ours.top10;
                ours.top1 += i == 0;
                break;
            }
        }
    }
    ours.seconds = ThreadSeconds() - t0;
    ours.wall = WallSeconds() - w0;

    zinnia_recognizer_t *rec = zinnia_recognizer_new();
    if (!zinnia_recognizer_open(rec, model.c_str())) {
        std::fprintf(stderr, "zinnia: %s\n", zinnia_recognizer_strerror(rec));
        return 1;
    }
    zinnia_character_t *ch = zinnia_character_new();
    Score theirs;
    t0 = ThreadSeconds();
    w0 = WallSeconds();
    for (const Sample &s : samples) {
        // The writing box: the sample's bounding square, as a pad would frame one character.
        int minX = 32767, minY = 32767, maxX = 0, maxY = 0;
        for (size_t i = 0; i + 1 < s.pairs.size(); i += 2) {
            if (s.pairs[i] < 0)
                continue;
            minX = std::min<int>(minX, s.pairs[i]);
            maxX = std::max<int>(maxX, s.pairs[i]);
            minY = std::min<int>(minY, s.pairs[i + 1]);
            maxY = std::max<int>(maxY, s.pairs[i + 1]);
        }
        const int side = std::max(maxX - minX, maxY - minY) + 1;
        const int padX = (side - (maxX - minX)) / 2, padY = (side - (maxY - minY)) / 2;
        zinnia_character_clear(ch);
        zinnia_character_set_width(ch, static_cast<size_t>(side));
        zinnia_character_set_height(ch, static_cast<size_t>(side));
        size_t stroke = 0;
        for (size_t i = 0; i + 1 < s.pairs.size(); i += 2) {
            if (s.pairs[i] == -1) {
                if (s.pairs[i + 1] == 0)
                    ++stroke;
                continue;
            }
            zinnia_character_add(ch, stroke, s.pairs[i] - minX + padX,
                                 s.pairs[i + 1] - minY + padY);
        }
        zinnia_result_t *r = zinnia_recognizer_classify(rec, ch, 10);
        if (!r)
            continue;
        const std::string want = Utf8(s.code);
        for (size_t i = 0; i < zinnia_result_size(r); ++i) {
            if (want == zinnia_result_value(r, i)) {
                ++theirs.top10;
                theirs.top1 += i == 0;
                break;
            }
        }
        zinnia_result_destroy(r);
    }
    theirs.seconds = ThreadSeconds() - t0;
    theirs.wall = WallSeconds() - w0;
    zinnia_character_destroy(ch);
    zinnia_recognizer_destroy(rec);

    const double n = static_cast<double>(samples.size());
    std::printf(
        "held-out Chinese samples: %zu (chars/s of one thread's processor time; wall "
        "clock in brackets)\n",
        samples.size());
    for (const auto &[name, score] : {std::pair{"chareng", ours}, std::pair{"zinnia", theirs}})
        std::printf("%-10s top-1 %6.2f%%  top-10 %6.2f%%  %8.0f chars/s  (%.0f)\n", name,
                    100 * score.top1 / n, 100 * score.top10 / n, n / score.seconds, n / score.wall);
    std::printf("speed ratio chareng / zinnia: %.1f\n", theirs.seconds / ours.seconds);
    return 0;
}
