// The subcommands of the `hwr` tool. Each lives in its own file and registers itself:
//
//     static int RunFoo(HwrArgs &args) { ... }
//     HWR_COMMAND(foo, "one-line summary", "hwr foo [--opt X] [--flag] ARG",
//                 "opt", "flag", RunFoo);
//
// The two texts after the usage list (blank-separated) the options that take a value and the
// flags; main parses them, with the shared options, before `run` is called.
// `hwr help` lists them; `hwr help foo` prints the usage.
#pragma once

#include <string>
#include <vector>

#include "HwrArgs.h"

struct HwrCommand {
    const char *name;
    const char *summary;
    const char *usage;
    const char *valued;
    const char *flags;
    int (*run)(HwrArgs &args);
};

class HwrCommands {
  public:
    static void Add(const HwrCommand &command);
    // Sorted by name.
    static const std::vector<HwrCommand> &All();
    static const HwrCommand *Find(const std::string &name);
};

struct HwrCommandRegistrar {
    explicit HwrCommandRegistrar(const HwrCommand &command) { HwrCommands::Add(command); }
};

#define HWR_COMMAND(name, summary, usage, valued, flags, run) \
    static HwrCommandRegistrar hwr_command_##name({#name, summary, usage, valued, flags, run})
