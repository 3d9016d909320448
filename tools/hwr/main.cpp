// hwr: the handwriting kit from the command line.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "HwrCommand.h"
#include "KitSession.h"

namespace {

void PrintUsage(FILE *out) {
    fprintf(out, "usage: hwr COMMAND [options]\n\ncommands:\n");
    for (const HwrCommand &c : HwrCommands::All())
        fprintf(out, "  %-10s %s\n", c.name, c.summary);
    fprintf(out,
            "\noptions of every command:\n"
            "  --datapath DIR    the kit's resource folder (default: %s)\n"
            "  --sys ITEMS       system library configuration, e.g. serviceurl=http://h:8080 or\n"
            "                    configfile=PATH\n"
            "  --plugin-dir DIR  look for plug-in libraries here first\n"
            "  -v, -vv           show the kit's log lines (information, trace)\n"
            "\nexit status: 0 success, 2 usage, 3 input file; a kit error code c gives 10+c for\n"
            "1..23 (10 for -1), 40+(c-100) for 100..105, 50+(c-300) for 300..308, else 125.\n"
            "`hwr help COMMAND` describes one command.\n",
            DefaultDataPath().empty() ? "none found" : DefaultDataPath().c_str());
}

int RunHelp(HwrArgs &args) {
    if (args.Positional().empty()) {
        PrintUsage(stdout);
        return ExitCode::kOk;
    }
    const HwrCommand *c = HwrCommands::Find(args.Positional()[0]);
    if (!c) {
        fprintf(stderr, "hwr: no command %s\n", args.Positional()[0].c_str());
        return ExitCode::kUsage;
    }
    printf("usage: %s\n%s\n", c->usage, c->summary);
    return ExitCode::kOk;
}

HWR_COMMAND(help, "describe the commands", "hwr help [COMMAND]", "", "", RunHelp);

std::set<std::string> Words(const char *text) {
    std::set<std::string> out;
    std::string t = text ? text : "";
    size_t i = 0;
    while (i < t.size()) {
        size_t b = t.find_first_not_of(' ', i);
        if (b == std::string::npos)
            break;
        size_t e = t.find(' ', b);
        if (e == std::string::npos)
            e = t.size();
        out.insert(t.substr(b, e - b));
        i = e;
    }
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return ExitCode::kUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h")
        name = "help";
    if (name == "--version") {
        printf("hwr %s\n", QV_VERSION);
        return ExitCode::kOk;
    }
    const HwrCommand *command = HwrCommands::Find(name);
    if (!command) {
        fprintf(stderr, "hwr: unknown command '%s' (hwr help lists them)\n", name.c_str());
        return ExitCode::kUsage;
    }
    std::vector<std::string> rest(argv + 2, argv + argc);
    for (const std::string &a : rest) {
        if (a == "--help" || a == "-h") {
            printf("usage: %s\n%s\n", command->usage, command->summary);
            return ExitCode::kOk;
        }
        if (a == "--")
            break;
    }
    HwrArgs args;
    args.command = name;
    std::string error;
    if (!args.Parse(rest, Words(command->valued), Words(command->flags), error)) {
        fprintf(stderr, "hwr %s: %s\nusage: %s\n", name.c_str(), error.c_str(), command->usage);
        return ExitCode::kUsage;
    }
    return command->run(args);
}
