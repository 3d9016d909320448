#include "KitFixture.h"

#include <dlfcn.h>

#include <algorithm>

namespace kit_test {

std::string PluginDir(const std::string &variant) {
    return std::string(QV_TEST_PLUGIN_DIR) + "/" + variant;
}

bool IsLoaded(const std::string &path) {
    void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        return false;
    dlclose(h);
    return true;
}

std::vector<int16_t> ShortWriting() {
    return Strokes({{10, 10}, {-1, 0}, {-1, -1}});
}

void KitTest::StopAll() {
    for (uint32_t id : open_)
        vra_hwr_session_stop(id);
    open_.clear();
}

void KitTest::TearDown() {
    StopAll();
    vra_hwr_release();
    sys_.reset();
}

int KitTest::InitKit(const std::string &init, const std::string &sys, const std::string &variant) {
    sys_ = std::make_unique<SysSession>(sys);
    EXPECT_EQ(sys_->InitCode(), 0);
    std::string config = init;
    if (init.find("pluginpath=") == std::string::npos) {
        config += (config.empty() ? "" : ",") + std::string("pluginpath=") + PluginDir(variant);
    }
    return vra_hwr_init(config.c_str());
}

int KitTest::Start(const std::string &config, uint32_t &id) {
    int code = vra_hwr_session_start(config.c_str(), &id);
    if (code == 0)
        open_.push_back(id);
    return code;
}

uint32_t KitTest::StartOk(const std::string &config) {
    uint32_t id = 0xFFFF;
    EXPECT_EQ(Start(config, id), 0) << config;
    return id;
}

std::vector<std::string> KitTest::RecogTexts(uint32_t id, const std::vector<int16_t> &strokes,
                                             const char *config) {
    HwrRecogResult r{reinterpret_cast<HwrRecogResultItem *>(1), 99};
    int code =
        vra_hwr_recog(id, strokes.data(), static_cast<uint32_t>(strokes.size() * 2), config, &r);
    if (code != 0) {
        EXPECT_EQ(r.items, nullptr);
        EXPECT_EQ(r.count, 0u);
        return {"code:" + std::to_string(code)};
    }
    std::vector<std::string> texts;
    for (uint32_t i = 0; i < r.count; ++i)
        texts.push_back(r.items[i].text);
    EXPECT_EQ(vra_hwr_free_recog_result(&r), 0);
    return texts;
}

}  // namespace kit_test
