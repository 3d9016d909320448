// The kit as one `hwr` command uses it: the system library and the front end initialised from
// the shared options, released at the end; and the tool's exit codes for the kit's error codes.
#pragma once

#include <string>

#include "HwrArgs.h"

// Exit statuses of `hwr`: 0 success, 2 usage, 3 an input file; a kit code c gives 10 + c for
// 1..23, 10 for -1, 40 + (c - 100) for the system library's 100..105, 50 + (c - 300) for
// 300..308, and 125 for any other code.
namespace ExitCode {
constexpr int kOk = 0;
constexpr int kUsage = 2;
constexpr int kInput = 3;
int ForKitCode(int code);
}  // namespace ExitCode

// The data path `hwr` uses without --datapath: $VRA_HWR_DATAPATH, else the installed
// share/vra_hwr beside the program, else the source tree's resources/hwr; "" when none exists.
std::string DefaultDataPath();

class KitSession {
  public:
    // `initExtra`: further vra_hwr_init items (initcapkeys=...); `quiet`: failures are the
    // caller's to show.
    explicit KitSession(const HwrArgs &args, const std::string &initExtra = "", bool quiet = false);
    ~KitSession();
    KitSession(const KitSession &) = delete;
    KitSession &operator=(const KitSession &) = delete;

    // 0 when both libraries are initialised; else the failing code (already reported).
    int Code() const { return code_; }
    const std::string &DataPath() const { return dataPath_; }
    // Prints "hwr CMD: WHAT failed: TEXT (code N)" with a hint where one helps; returns the exit
    // status for the code.
    int Report(const std::string &what, int code) const;

    static int InitSystem(const HwrArgs &args);

  private:
    const HwrArgs &args_;
    std::string dataPath_;
    bool sysInited_ = false;
    bool kitInited_ = false;
    bool quiet_;
    int code_ = 0;
};
