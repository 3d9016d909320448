// hwr associate: the words that may follow a text.
#include <cstdio>
#include <string>

#include "HwrCommand.h"
#include "KitSession.h"
#include "vra_hwr.h"

namespace {

int RunAssociate(HwrArgs &args) {
    if (args.Positional().size() != 1 || args.Positional()[0].empty()) {
        fprintf(stderr, "hwr associate: needs one TEXT\n");
        return ExitCode::kUsage;
    }
    KitSession kit(args);
    if (kit.Code() != 0)
        return ExitCode::ForKitCode(kit.Code());
    std::string session = "capkey=" + args.Get("capkey", "hwr.local.associateword");
    if (args.Has("config"))
        session += "," + args.Get("config");
    uint32_t id = 0;
    int code = vra_hwr_session_start(session.c_str(), &id);
    if (code != 0)
        return kit.Report("session start", code);
    std::string call;
    if (args.Has("candnum"))
        call = "candnum=" + args.Get("candnum");
    if (args.Has("single"))
        call += std::string(call.empty() ? "" : ",") + "associatemodel=single";
    if (args.Has("no-recursive"))
        call += std::string(call.empty() ? "" : ",") + "recursive=no";
    HwrAssociateResult result{};
    code = vra_hwr_associate_words(id, call.c_str(), args.Positional()[0].c_str(), &result);
    int exit = code == 0 ? ExitCode::kOk : kit.Report("association", code);
    for (uint32_t i = 0; code == 0 && i < result.count; ++i)
        printf("%s\n", result.items[i]);
    vra_hwr_free_associate_words_result(&result);
    vra_hwr_session_stop(id);
    return exit;
}

}  // namespace

HWR_COMMAND(associate, "list the words that may follow TEXT, best first",
            "hwr associate TEXT [--candnum N] [--single] [--no-recursive] [--capkey KEY] "
            "[--config ITEMS] [--datapath DIR]",
            "candnum capkey config", "single no-recursive", RunAssociate);
