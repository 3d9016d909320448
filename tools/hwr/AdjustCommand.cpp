// hwr adjust: learns words into the user dictionary, so that they come first in association.
#include <cstdio>
#include <string>

#include "HwrCommand.h"
#include "KitSession.h"
#include "vra_hwr.h"

namespace {

int RunAdjust(HwrArgs &args) {
    if (args.Positional().empty()) {
        fprintf(stderr, "hwr adjust: needs at least one WORD\n");
        return ExitCode::kUsage;
    }
    KitSession kit(args);
    if (kit.Code() != 0)
        return ExitCode::ForKitCode(kit.Code());
    std::string session = "capkey=" + args.Get("capkey", "hwr.local.associateword");
    if (args.Has("user"))
        session += ",userdatapath=" + args.Get("user");
    if (args.Has("config"))
        session += "," + args.Get("config");
    uint32_t id = 0;
    int code = vra_hwr_session_start(session.c_str(), &id);
    if (code != 0)
        return kit.Report("session start", code);
    int exit = ExitCode::kOk;
    for (const std::string &word : args.Positional()) {
        code = vra_hwr_associate_words_adjust(id, nullptr, word.c_str());
        if (code != 0) {
            exit = kit.Report("adjusting \"" + word + "\"", code);
            break;
        }
        printf("learnt %s\n", word.c_str());
    }
    // The words reach the user dictionary file when the session stops.
    code = vra_hwr_session_stop(id);
    if (code != 0 && exit == ExitCode::kOk)
        exit = kit.Report("session stop", code);
    return exit;
}

}  // namespace

HWR_COMMAND(adjust, "learn each WORD (2 to 15 characters) into the user dictionary",
            "hwr adjust WORD... [--user FILE] [--capkey KEY] [--config ITEMS] [--datapath DIR]",
            "user capkey config", "", RunAdjust);
