// The kit through its real libraries: the system library with a log and history in a temporary
// folder, the front end, and the test plug-ins it loads with dlopen from a plug-in folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "KitTestSupport.h"
#include "vra_hwr.h"
#include "vra_sys.h"

namespace kit_test {

// Folder of a test plug-in variant: "wellformed", "missing_entry", "failing_init".
std::string PluginDir(const std::string &variant);
// True when the library file is loaded in this process (without loading it).
bool IsLoaded(const std::string &path);

// The complete writing (10,10) (-1,0) (-1,-1).
std::vector<int16_t> ShortWriting();

class KitTest : public ::testing::Test {
  protected:
    void TearDown() override;

    // VRA_Init with `sys` items, then vra_hwr_init with `init` (plus the plug-in folder of the
    // variant unless `init` names a pluginpath). Returns the kit's code.
    int InitKit(const std::string &init = "datapath=/data/res", const std::string &sys = "",
                const std::string &variant = "wellformed");
    // Starts a session; returns the code and writes the id.
    int Start(const std::string &config, uint32_t &id);
    uint32_t StartOk(const std::string &config);
    // The texts of a recognition, or {"code:N"} when it fails.
    std::vector<std::string> RecogTexts(uint32_t id, const std::vector<int16_t> &strokes,
                                        const char *config = nullptr);
    const SysSession &Sys() const { return *sys_; }
    void StopAll();

    std::unique_ptr<SysSession> sys_;
    std::vector<uint32_t> open_;
};

}  // namespace kit_test
