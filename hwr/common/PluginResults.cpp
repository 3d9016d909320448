#include "PluginResults.h"

#include <cstdlib>
#include <cstring>

namespace qvcommon {
namespace {

char *DupText(const std::string &s) {
    char *p = static_cast<char *>(malloc(s.size() + 1));
    if (p)
        memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

void FreeTexts(char **items, uint32_t count) {
    if (!items)
        return;
    for (uint32_t i = 0; i < count; ++i)
        free(items[i]);
    free(items);
}

int FillTexts(char **&items, uint32_t &count, const std::vector<std::string> &texts) {
    items = nullptr;
    count = 0;
    if (texts.empty())
        return 0;
    char **out = static_cast<char **>(calloc(texts.size(), sizeof(char *)));
    if (!out)
        return 2;
    for (size_t i = 0; i < texts.size(); ++i) {
        out[i] = DupText(texts[i]);
        if (!out[i]) {
            FreeTexts(out, static_cast<uint32_t>(texts.size()));
            return 2;
        }
    }
    items = out;
    count = static_cast<uint32_t>(texts.size());
    return 0;
}

}  // namespace

int FillRecogResult(HwrRecogResult *result, const std::vector<RecogCandidate> &candidates) {
    if (!result)
        return 1;
    result->items = nullptr;
    result->count = 0;
    if (candidates.empty())
        return 0;
    auto *items =
        static_cast<HwrRecogResultItem *>(calloc(candidates.size(), sizeof(HwrRecogResultItem)));
    if (!items)
        return 2;
    HwrRecogResult built{items, static_cast<uint32_t>(candidates.size())};
    for (size_t i = 0; i < candidates.size(); ++i) {
        const RecogCandidate &c = candidates[i];
        items[i].text = DupText(c.text);
        if (!items[i].text) {
            FreeRecogResult(&built);
            return 2;
        }
        if (!c.values.empty()) {
            items[i].values = static_cast<uint16_t *>(malloc(c.values.size() * sizeof(uint16_t)));
            if (!items[i].values) {
                FreeRecogResult(&built);
                return 2;
            }
            memcpy(items[i].values, c.values.data(), c.values.size() * sizeof(uint16_t));
            items[i].value_count = static_cast<uint32_t>(c.values.size());
        }
    }
    *result = built;
    return 0;
}

int FillTextResult(HwrPinyinResult *result, const std::vector<std::string> &texts) {
    return result ? FillTexts(result->items, result->count, texts) : 1;
}

int FillTextResult(HwrAssociateResult *result, const std::vector<std::string> &texts) {
    return result ? FillTexts(result->items, result->count, texts) : 1;
}

void FreeRecogResult(HwrRecogResult *result) {
    if (!result)
        return;
    if (result->items) {
        for (uint32_t i = 0; i < result->count; ++i) {
            free(result->items[i].values);
            free(result->items[i].text);
        }
        free(result->items);
    }
    result->items = nullptr;
    result->count = 0;
}

void FreeTextResult(HwrPinyinResult *result) {
    if (!result)
        return;
    FreeTexts(result->items, result->count);
    result->items = nullptr;
    result->count = 0;
}

void FreeTextResult(HwrAssociateResult *result) {
    if (!result)
        return;
    FreeTexts(result->items, result->count);
    result->items = nullptr;
    result->count = 0;
}

void FreePenScriptResult(HwrPenScriptResult *result) {
    if (!result)
        return;
    if (result->items) {
        for (uint32_t i = 0; i < result->count; ++i)
            free(result->items[i].data);
        free(result->items);
    }
    result->items = nullptr;
    result->count = 0;
}

}  // namespace qvcommon
