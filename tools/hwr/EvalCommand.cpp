// hwr eval: runs a capability over a labelled data set and reports character and word error
// rates, top-k accuracy, the distribution of recognition time per item and the worst
// confusions. A set is a label file ("FILE<TAB>TEXT" lines, FILE relative to the label file's
// folder; a folder stands for its labels.txt) or InkML files that carry their own transcription
// (<annotation type="truth">).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HwrCommand.h"
#include "Ink.h"
#include "KitSession.h"
#include "vra_hwr.h"

namespace {

struct Item {
    std::string path;
    std::string truth;
};

bool ReadText(const std::string &path, std::string &out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
}

bool IsDirectory(const std::string &path) {
    std::ifstream probe(path + "/labels.txt");
    return probe.good();
}

// Items of a label file. False with a message for a line without a tab.
bool ReadLabelFile(const std::string &path, std::vector<Item> &items, std::string &error) {
    std::string text;
    if (!ReadText(path, text)) {
        error = "cannot open " + path;
        return false;
    }
    std::string dir = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/'));
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) {
            error = path + ":" + std::to_string(number) + ": expected FILE<TAB>TEXT";
            return false;
        }
        std::string file = line.substr(0, tab);
        items.push_back({file[0] == '/' ? file : dir + "/" + file, line.substr(tab + 1)});
    }
    return true;
}

std::string DecodeEntities(std::string s) {
    static const std::pair<const char *, const char *> kEntities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (auto [from, to] : kEntities)
        for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1))
            s.replace(at, std::string(from).size(), to);
    return s;
}

// The transcription of an InkML document: the first <annotation> whose type is "truth" (or
// "transcription"), entities decoded and white space collapsed. Empty when there is none.
std::string InkMLTruth(const std::string &xml) {
    for (size_t at = xml.find("<annotation"); at != std::string::npos;
         at = xml.find("<annotation", at + 1)) {
        size_t close = xml.find('>', at);
        if (close == std::string::npos)
            break;
        std::string tag = xml.substr(at, close - at);
        if (tag.find("\"truth\"") == std::string::npos &&
            tag.find("\"transcription\"") == std::string::npos)
            continue;
        size_t end = xml.find("</annotation>", close);
        if (end == std::string::npos)
            break;
        std::string text = DecodeEntities(xml.substr(close + 1, end - close - 1));
        std::string out;
        for (char c : text) {
            bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
            if (space && (out.empty() || out.back() == ' '))
                continue;
            out.push_back(space ? ' ' : c);
        }
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
        return out;
    }
    return "";
}

std::u32string Utf32(const std::string &s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        char32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (int k = 1; k < n && i + k < s.size(); ++k)
            cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += n;
    }
    return out;
}

std::string Utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        s.push_back(static_cast<char>(0xC0 | c >> 6));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        s.push_back(static_cast<char>(0xE0 | c >> 12));
        s.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        s.push_back(static_cast<char>(0xF0 | c >> 18));
        s.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return s;
}

// How texts are compared: exactly; "nocase" ignoring case; "letters" keeping only letters and
// single spaces (for a recogniser whose labels are letters); "nospace" as letters, without the
// spaces (for one that writes no word breaks).
enum class Compare { Exact, NoCase, Letters, NoSpace };

std::u32string Normalise(const std::string &text, Compare mode) {
    std::u32string in = Utf32(text), out;
    for (char32_t c : in) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
        if (mode == Compare::NoCase && c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        if (mode == Compare::Letters || mode == Compare::NoSpace) {
            if (c == ' ') {
                if (mode == Compare::Letters && !out.empty() && out.back() != ' ')
                    out.push_back(' ');
                continue;
            }
            if (!letter)
                continue;
        }
        out.push_back(c);
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::vector<std::u32string> Words(const std::u32string &s) {
    std::vector<std::u32string> out;
    std::u32string cur;
    for (char32_t c : s) {
        if (c == ' ') {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

struct Edits {
    int distance = 0;
    // (reference, recognised) pairs of the alignment's errors; 0 stands for "nothing".
    std::vector<std::pair<char32_t, char32_t>> errors;
};

template <typename Seq>
int Levenshtein(const Seq &a, const Seq &b) {
    std::vector<int> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = static_cast<int>(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        int diag = row[0];
        row[0] = static_cast<int>(i);
        for (size_t j = 1; j <= b.size(); ++j) {
            int up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

// Character alignment with its errors, by the full table and a walk back.
Edits Align(const std::u32string &ref, const std::u32string &hyp) {
    size_t n = ref.size(), m = hyp.size();
    std::vector<int> d((n + 1) * (m + 1));
    auto at = [&](size_t i, size_t j) -> int & { return d[i * (m + 1) + j]; };
    for (size_t i = 0; i <= n; ++i)
        at(i, 0) = static_cast<int>(i);
    for (size_t j = 0; j <= m; ++j)
        at(0, j) = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i)
        for (size_t j = 1; j <= m; ++j)
            at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1,
                                 at(i - 1, j - 1) + (ref[i - 1] == hyp[j - 1] ? 0 : 1)});
    Edits e;
    e.distance = at(n, m);
    size_t i = n, j = m;
    while (i > 0 || j > 0) {
        if (i > 0 && j > 0 && at(i, j) == at(i - 1, j - 1) + (ref[i - 1] == hyp[j - 1] ? 0 : 1)) {
            if (ref[i - 1] != hyp[j - 1])
                e.errors.push_back({ref[i - 1], hyp[j - 1]});
            --i;
            --j;
        } else if (i > 0 && at(i, j) == at(i - 1, j) + 1) {
            e.errors.push_back({ref[i - 1], 0});
            --i;
        } else {
            e.errors.push_back({0, hyp[j - 1]});
            --j;
        }
    }
    return e;
}

std::string Show(char32_t c) {
    if (c == 0)
        return "(none)";
    if (c == ' ')
        return "(space)";
    return Utf8(c);
}

double Percentile(std::vector<double> sorted, double p) {
    if (sorted.empty())
        return 0;
    size_t k = static_cast<size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(k, sorted.size() - 1)];
}

int RunEval(HwrArgs &args) {
    const std::vector<std::string> &inputs = args.Positional();
    if (!args.Has("capkey") || inputs.empty()) {
        fprintf(stderr,
                "hwr eval: needs --capkey KEY and a label file, set folder or InkML files\n");
        return ExitCode::kUsage;
    }
    Compare compare = Compare::Exact;
    const std::string c = args.Get("compare", "exact");
    if (c == "nocase")
        compare = Compare::NoCase;
    else if (c == "letters")
        compare = Compare::Letters;
    else if (c == "nospace")
        compare = Compare::NoSpace;
    else if (c != "exact") {
        fprintf(stderr, "hwr eval: --compare is exact, nocase, letters or nospace\n");
        return ExitCode::kUsage;
    }
    auto number = [&](const char *name, long fallback, long &out) {
        std::string v = args.Get(name, std::to_string(fallback));
        char *end = nullptr;
        out = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end || out < 0) {
            fprintf(stderr, "hwr eval: --%s needs a number\n", name);
            return false;
        }
        return true;
    };
    long limit = 0, confusions = 0, worst = 0, candnum = 0;
    if (!number("limit", 0, limit) || !number("confusions", 10, confusions) ||
        !number("errors", 0, worst) || !number("candnum", 10, candnum))
        return ExitCode::kUsage;

    // The set: label files, folders with labels.txt, InkML files with a transcription.
    std::vector<Item> items;
    std::string error;
    for (const std::string &in : inputs) {
        if (IsDirectory(in)) {
            if (!ReadLabelFile(in + "/labels.txt", items, error)) {
                fprintf(stderr, "hwr eval: %s\n", error.c_str());
                return ExitCode::kInput;
            }
            continue;
        }
        std::string text;
        if (!ReadText(in, text)) {
            fprintf(stderr, "hwr eval: cannot open %s\n", in.c_str());
            return ExitCode::kInput;
        }
        if (hwr_ink::DetectFormat(text) == hwr_ink::InkFormat::InkML) {
            std::string truth = InkMLTruth(text);
            if (truth.empty()) {
                fprintf(stderr, "hwr eval: %s has no <annotation type=\"truth\">\n", in.c_str());
                return ExitCode::kInput;
            }
            items.push_back({in, truth});
        } else if (!ReadLabelFile(in, items, error)) {
            fprintf(stderr, "hwr eval: %s\n", error.c_str());
            return ExitCode::kInput;
        }
    }
    if (limit > 0 && items.size() > static_cast<size_t>(limit))
        items.resize(static_cast<size_t>(limit));
    if (items.empty()) {
        fprintf(stderr, "hwr eval: the set has no items\n");
        return ExitCode::kInput;
    }

    KitSession kit(args);
    if (kit.Code() != 0)
        return ExitCode::ForKitCode(kit.Code());
    std::string config = "capkey=" + args.Get("capkey") + ",candnum=" + std::to_string(candnum);
    if (args.Has("config"))
        config += "," + args.Get("config");
    uint32_t id = 0;
    int code = vra_hwr_session_start(config.c_str(), &id);
    if (code != 0)
        return kit.Report("session start", code);

    long chars = 0, charErrors = 0, words = 0, wordErrors = 0, failures = 0;
    long top[3] = {0, 0, 0};  // top-1, top-5, top-10 exact matches
    const int kTop[3] = {1, 5, 10};
    std::vector<double> millis;
    std::map<std::pair<char32_t, char32_t>, long> confused;
    struct Miss {
        double cer;
        std::string path, truth, got;
    };
    std::vector<Miss> misses;
    for (size_t n = 0; n < items.size(); ++n) {
        const Item &item = items[n];
        hwr_ink::StrokeBytes strokes;
        if (!hwr_ink::LoadStrokeFile(item.path, hwr_ink::InkFormat::Auto, strokes, error)) {
            fprintf(stderr, "hwr eval: %s\n", error.c_str());
            vra_hwr_session_stop(id);
            return ExitCode::kInput;
        }
        HwrRecogResult result{};
        auto start = std::chrono::steady_clock::now();
        code = vra_hwr_recog(id, strokes.data.data(), strokes.lengthBytes, nullptr, &result);
        millis.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        // A refusal (nothing recognised, say) counts as an empty answer.
        std::vector<std::string> candidates;
        if (code == 0)
            for (uint32_t k = 0; k < result.count; ++k)
                candidates.push_back(result.items[k].text ? result.items[k].text : "");
        else
            ++failures;
        vra_hwr_free_recog_result(&result);

        std::u32string ref = Normalise(item.truth, compare);
        std::u32string hyp = Normalise(candidates.empty() ? "" : candidates[0], compare);
        Edits e = Align(ref, hyp);
        chars += static_cast<long>(ref.size());
        charErrors += e.distance;
        for (auto &pair : e.errors)
            ++confused[pair];
        std::vector<std::u32string> rw = Words(ref), hw = Words(hyp);
        words += static_cast<long>(rw.size());
        wordErrors += Levenshtein(rw, hw);
        for (int k = 0; k < 3; ++k)
            for (size_t i = 0; i < candidates.size() && i < static_cast<size_t>(kTop[k]); ++i)
                if (Normalise(candidates[i], compare) == ref) {
                    ++top[k];
                    break;
                }
        if (e.distance > 0)
            misses.push_back({ref.empty() ? 1.0 : double(e.distance) / double(ref.size()),
                              item.path, item.truth, candidates.empty() ? "" : candidates[0]});
        if (args.Verbosity() > 0 && (n + 1) % 100 == 0)
            fprintf(stderr, "hwr eval: %zu of %zu\n", n + 1, items.size());
    }
    vra_hwr_session_stop(id);

    const double count = static_cast<double>(items.size());
    printf("items       %zu (%ld refused), capkey %s, compare %s\n", items.size(), failures,
           args.Get("capkey").c_str(), c.c_str());
    printf("characters  %ld, CER %.2f%%\n", chars, chars ? 100.0 * charErrors / chars : 0.0);
    printf("words       %ld, WER %.2f%%\n", words, words ? 100.0 * wordErrors / words : 0.0);
    printf("top-1 %.2f%%  top-5 %.2f%%  top-10 %.2f%% of items\n", 100.0 * top[0] / count,
           100.0 * top[1] / count, 100.0 * top[2] / count);
    std::vector<double> sorted = millis;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double v : sorted)
        sum += v;
    printf("time ms     mean %.2f  median %.2f  p90 %.2f  p99 %.2f  max %.2f\n", sum / count,
           Percentile(sorted, 0.5), Percentile(sorted, 0.9), Percentile(sorted, 0.99),
           sorted.back());
    std::vector<std::pair<long, std::pair<char32_t, char32_t>>> ranked;
    for (auto &[pair, n] : confused)
        ranked.push_back({n, pair});
    std::sort(ranked.begin(), ranked.end(),
              [](const auto &a, const auto &b) { return a.first > b.first; });
    if (!ranked.empty() && confusions > 0) {
        printf("confusions  (written -> recognised)\n");
        for (size_t i = 0; i < ranked.size() && i < static_cast<size_t>(confusions); ++i)
            printf("  %6ld  %s -> %s\n", ranked[i].first, Show(ranked[i].second.first).c_str(),
                   Show(ranked[i].second.second).c_str());
    }
    if (worst > 0 && !misses.empty()) {
        std::stable_sort(misses.begin(), misses.end(),
                         [](const Miss &a, const Miss &b) { return a.cer > b.cer; });
        printf("worst items (file, written, recognised)\n");
        for (size_t i = 0; i < misses.size() && i < static_cast<size_t>(worst); ++i)
            printf("  %s\t%s\t%s\n", misses[i].path.c_str(), misses[i].truth.c_str(),
                   misses[i].got.c_str());
    }
    return ExitCode::kOk;
}

}  // namespace

HWR_COMMAND(
    eval, "recognise a labelled set: error rates, top-k, time per item, worst confusions",
    "hwr eval --capkey KEY [--config ITEMS] [--candnum N] "
    "[--compare exact|nocase|letters|nospace] [--limit N] [--confusions K] [--errors N] "
    "[--datapath DIR] SET...\n"
    "  SET: a label file of FILE<TAB>TEXT lines (FILE: raw stroke data or InkML), a folder\n"
    "  holding labels.txt, or InkML files with <annotation type=\"truth\">",
    "capkey config candnum compare limit confusions errors", "", RunEval);
