// hwr recog: recognises one ink file (a raw stroke file or InkML) with a capability key.
#include <cstdio>
#include <string>
#include <vector>

#include "HwrCommand.h"
#include "Ink.h"
#include "KitSession.h"
#include "vra_hwr.h"

namespace {

// The pieces of a real-time writing: each stroke with its (-1,0); the last also ends the writing.
std::vector<std::vector<int16_t>> Pieces(const std::vector<int16_t> &data) {
    std::vector<std::vector<int16_t>> out;
    std::vector<int16_t> piece;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        if (data[i] == -1 && data[i + 1] == -1)
            break;
        piece.push_back(data[i]);
        piece.push_back(data[i + 1]);
        if (data[i] == -1 && data[i + 1] == 0) {
            out.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty())
        out.push_back(std::move(piece));
    if (!out.empty()) {
        out.back().push_back(-1);
        out.back().push_back(-1);
    }
    return out;
}

void Print(const HwrRecogResult &r) {
    for (uint32_t i = 0; i < r.count; ++i) {
        printf("%u\t%s", i + 1, r.items[i].text);
        if (r.items[i].value_count) {
            printf("\t[");
            for (uint32_t k = 0; k < r.items[i].value_count; ++k) {
                printf("%s%u", k ? "," : "", r.items[i].values[k]);
            }
            printf("]");
        }
        printf("\n");
    }
}

int RunRecog(HwrArgs &args) {
    if (!args.Has("capkey") || !args.Has("ink") || !args.Positional().empty()) {
        fprintf(stderr, "hwr recog: needs --capkey KEY and --ink FILE\n");
        return ExitCode::kUsage;
    }
    hwr_ink::InkFormat format = hwr_ink::InkFormat::Auto;
    const std::string f = args.Get("format", "auto");
    if (f == "raw") {
        format = hwr_ink::InkFormat::Raw;
    } else if (f == "inkml") {
        format = hwr_ink::InkFormat::InkML;
    } else if (f != "auto") {
        fprintf(stderr, "hwr recog: --format is auto, raw or inkml\n");
        return ExitCode::kUsage;
    }
    hwr_ink::StrokeBytes strokes;
    std::string error;
    if (!hwr_ink::LoadStrokeFile(args.Get("ink"), format, strokes, error)) {
        fprintf(stderr, "hwr recog: %s\n", error.c_str());
        return ExitCode::kInput;
    }

    KitSession kit(args);
    if (kit.Code() != 0)
        return ExitCode::ForKitCode(kit.Code());
    std::string config = "capkey=" + args.Get("capkey");
    if (args.Has("candnum"))
        config += ",candnum=" + args.Get("candnum");
    if (args.Has("realtime"))
        config += ",realtime=yes";
    if (args.Has("config"))
        config += "," + args.Get("config");
    uint32_t id = 0;
    int code = vra_hwr_session_start(config.c_str(), &id);
    if (code != 0)
        return kit.Report("session start", code);

    HwrRecogResult result{};
    if (args.Has("realtime")) {
        // Hand the writing over stroke by stroke, as a pen would; the last answer counts.
        for (const std::vector<int16_t> &piece : Pieces(strokes.data)) {
            vra_hwr_free_recog_result(&result);
            code = vra_hwr_recog(id, piece.data(), static_cast<uint32_t>(piece.size() * 2), nullptr,
                                 &result);
            if (code != 0)
                break;
        }
    } else {
        code = vra_hwr_recog(id, strokes.data.data(), strokes.lengthBytes, nullptr, &result);
    }
    int exit = code == 0 ? ExitCode::kOk : kit.Report("recognition", code);
    if (code == 0) {
        if (result.count == 0)
            fprintf(stderr, "hwr recog: no candidate\n");
        Print(result);
    }
    vra_hwr_free_recog_result(&result);
    vra_hwr_session_stop(id);
    return exit;
}

}  // namespace

HWR_COMMAND(recog, "recognise an ink file: one candidate a line, best first",
            "hwr recog --capkey KEY --ink FILE [--format auto|raw|inkml] [--candnum N] "
            "[--realtime] [--config ITEMS] [--datapath DIR]",
            "capkey ink format candnum config", "realtime", RunRecog);
