// A plug-in for the front end's tests, built on the real frame. Its answers show what reached it:
// recognition returns the configuration it was given, the byte count and how often the library
// was initialised since it was loaded. Keys beginning with tp_ make it fail or return odd results.
#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

#include "PluginFrame.h"
#include "RecogEngineInterface.h"

namespace {

int g_libraryInits = 0;

// The file name of this library, so that tests see which library served them.
std::string LibraryName() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&LibraryName), &info) == 0 || !info.dli_fname)
        return "?";
    std::string path = info.dli_fname;
    return path.substr(path.find_last_of('/') + 1);
}

class TestPluginEngine : public qvcommon::RecogEngineInterface {
  public:
    static int LibraryInit(const qvcommon::ConfigAssistant &config) {
        ++g_libraryInits;
#ifdef TP_FAIL_INIT
        return HWR_ERR_RESOURCE_MISSING;
#else
        return config.Get("tp_init") == "fail" ? HWR_ERR_RESOURCE_MISSING : 0;
#endif
    }

    int StartSession(const qvcommon::ConfigAssistant &config) override {
        if (config.Get("tp_start") == "fail")
            return HWR_ERR_ENGINE_SESSION;
        return RecogEngineInterface::StartSession(config);
    }

    int StopSession() override {
        if (sessionConfig_.Get("tp_stop") == "fail" && !stopFailedOnce_) {
            stopFailedOnce_ = true;  // fails once, so that a retry can succeed
            return HWR_ERR_NO_RECOGNIZER;
        }
        return RecogEngineInterface::StopSession();
    }

    int Recog(const int16_t *strokes, uint32_t length, const qvcommon::ConfigAssistant &config,
              HwrRecogResult *result) {
        const std::string mode = config.Get("tp_recog");
        if (mode == "fail")
            return HWR_ERR_ENGINE;
        if (mode == "empty")
            return qvcommon::FillRecogResult(result, {});
        if (mode == "nulltexts") {
            // Items the frame's helpers would never make: null texts, values on some.
            auto *items = static_cast<HwrRecogResultItem *>(calloc(2, sizeof(HwrRecogResultItem)));
            if (!items)
                return HWR_ERR_NO_MEMORY;
            items[0].values = static_cast<uint16_t *>(malloc(3 * sizeof(uint16_t)));
            if (!items[0].values) {
                free(items);
                return HWR_ERR_NO_MEMORY;
            }
            const uint16_t values[3] = {0, 12, 65535};
            memcpy(items[0].values, values, sizeof values);
            items[0].value_count = 3;
            result->items = items;
            result->count = 2;
            return 0;
        }
        lastRecogBytes_ = length;
        std::vector<qvcommon::RecogCandidate> out = {
            {"cfg:" + config.ToString(), {}},
            {"bytes:" + std::to_string(length), {static_cast<uint16_t>(strokes[0])}},
            {"inits:" + std::to_string(g_libraryInits), {}},
            {"lib:" + LibraryName(), {}},
        };
        return qvcommon::FillRecogResult(result, out);
    }

    int ConfirmResult(const HwrConfirmItem *item) {
        if (lastRecogBytes_ == 0)
            return HWR_ERR_NO_RESULT_TO_CONFIRM;
        return item->text ? 0 : HWR_ERR_INVALID_ARG;
    }

    int GetAssociateWords(const qvcommon::ConfigAssistant &config, const char *words,
                          HwrAssociateResult *result) {
        if (config.Get("tp_assoc") == "nulltexts") {
            auto **items = static_cast<char **>(calloc(2, sizeof(char *)));
            if (!items)
                return HWR_ERR_NO_MEMORY;
            items[1] = strdup("second");
            result->items = items;
            result->count = 2;
            return 0;
        }
        return qvcommon::FillTextResult(result, {std::string(words) + "-next", config.ToString()});
    }

    int AssociateAdjustWords(const qvcommon::ConfigAssistant &, const char *words) {
        return std::string(words) == "refuse" ? HWR_ERR_ENGINE : 0;
    }

    int GetPinyin(const qvcommon::ConfigAssistant &config, const char *word,
                  HwrPinyinResult *result) {
        return qvcommon::FillTextResult(result, {std::string("py:") + word, config.ToString()});
    }

    int GetPenScript(const qvcommon::ConfigAssistant &, int32_t x, int32_t y,
                     HwrPenScriptResult *result) {
        auto *item = static_cast<HwrPenScriptItem *>(calloc(1, sizeof(HwrPenScriptItem)));
        if (!item)
            return HWR_ERR_NO_MEMORY;
        item->data = static_cast<int16_t *>(calloc(6, sizeof(int16_t)));
        if (!item->data) {
            free(item);
            return HWR_ERR_NO_MEMORY;
        }
        for (int i = 0; i < 6; ++i)
            item->data[i] = static_cast<int16_t>(i * 10);
        item->value1 = x;
        item->value2 = y;
        item->dim1 = 2;
        item->dim2 = 3;
        item->value5 = 5;
        result->items = item;
        result->count = 1;
        return 0;
    }

  private:
    uint32_t lastRecogBytes_ = 0;
    bool stopFailedOnce_ = false;
};

}  // namespace

QV_HWR_PLUGIN(TestPluginEngine, "vra_hwr_test");
