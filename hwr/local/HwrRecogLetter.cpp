#include "HwrRecogLetter.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <vector>

#include "CharEngine.h"
#include "HwrLog.h"
#include "LibraryContext.h"
#include "SublangTable.h"
#include "Utf16.h"

namespace hwrlocal {

namespace {

// The engine reads at most this much of a writing (a longer one is cut to its first 1022 pairs
// and the two end pairs), so that is all we copy for it.
constexpr size_t kEngineInputValues = 4096 / 2;

bool IsTibetan(const std::string &recogRange) {
    return strcasecmp(recogRange.c_str(), "tibetan") == 0;
}

}  // namespace

int32_t CandidateCount(const qvcommon::ConfigAssistant &config) {
    return static_cast<int32_t>(std::atol(config.Get("candnum").c_str()));
}

HwrRecogLetter::~HwrRecogLetter() {
    // A session dropped without its stop still gives back its memory and its files.
    if (word0_ || word1_ || !acquired_.empty())
        UninitEngine();
}

void HwrRecogLetter::SetParam(int id, int32_t value) {
    CharEngineSetParam(Handle(), id, &value);
}

int HwrRecogLetter::StartCharEngine(const std::string &resPrefix, const char *fileName,
                                    const char *name) {
    const std::string path = qvcommon::GetResPath(resPrefix, fileName);
    uint32_t size = 0;
    const uint8_t *dictionary = AcquireResource(path, &size);
    if (!dictionary) {
        QV_LOG_INFO(QV_TAG_LOCAL, name, " %s missing", path.c_str());
        ReleaseResources();
        return HWR_ERR_RESOURCE_MISSING;
    }
    void *memory = std::malloc(kCharEngineWorkSize);
    if (!memory) {
        ReleaseResources();
        return HWR_ERR_NO_MEMORY;
    }
    QV_LOG_INFO(QV_TAG_LOCAL, name, " Start character engine session.");
    // The engine trusts the image it is given: check it whole first, as only we know its size.
    void *handle = CharEngineCheckDictionary(dictionary, size) == 0
                       ? CharEngineStart(dictionary, nullptr, memory)
                       : nullptr;
    if (!handle) {
        QV_LOG_FAIL(QV_TAG_LOCAL, name, " Start engine session failed.");
        std::free(memory);
        ReleaseResources();
        return HWR_ERR_ENGINE_SESSION;
    }
    word0_ = handle;
    word1_ = memory;
    return 0;
}

int HwrRecogLetter::InitEngine(const std::string &, const std::string &resPrefix, bool) {
    static const char *const kName = "HwrRecogLetter::InitEngine";
    QV_TRACE(QV_TAG_LOCAL, kName);
    if (int code = ReadLangFromConfRes(resPrefix)) {
        ReleaseResources();
        return code;
    }
    if (IsTibetan(recogRange_)) {
        if (int code = ReadTibetanMap(resPrefix)) {
            ReleaseResources();
            return code;
        }
    }
    return StartCharEngine(resPrefix, "letter.dic", kName);
}

int HwrRecogLetter::UninitEngine() {
    QV_TRACE(QV_TAG_LOCAL, "HwrRecogLetter::UninitEngine");
    ReleaseResources();
    tibetanMap_.clear();
    if (word0_) {
        CharEngineEnd(word0_);
        word0_ = nullptr;
    }
    std::free(word1_);
    word1_ = nullptr;
    return 0;
}

int HwrRecogLetter::ReadTibetanMap(const std::string &resPrefix) {
    static const char *const kName = "HwrRecogLetter::ReadTibetanMap";
    QV_TRACE(QV_TAG_LOCAL, kName);
    std::ifstream in(qvcommon::GetResPath(resPrefix, "tibetanmap.txt"));
    if (!in)
        return HWR_ERR_RESOURCE_MISSING;
    int skipped = 0;
    ReadTibetanMapStream(in, tibetanMap_, &skipped);
    if (skipped > 0)
        QV_LOG_WARN(QV_TAG_LOCAL, kName, " %d malformed entries skipped.", skipped);
    return 0;
}

int HwrRecogLetter::ValidateSublang(const qvcommon::ConfigAssistant &config, int32_t &value) {
    static const char *const kName = "HwrRecogLetter::ValidateSublang";
    QV_TRACE(QV_TAG_LOCAL, kName);
    // Exact: "Latin" names no sub-language script.
    if (language_ != "arabic" && language_ != "cyrillic" && language_ != "latin")
        return 0;
    std::string sublang;
    if (!config.GetValue("sublang", sublang))
        return HWR_ERR_NO_SUBLANG;
    const SublangRow *row = FindSublangRow(language_);
    if (!row) {
        QV_LOG_TRACE(QV_TAG_LOCAL, kName, " capkey <%s> not in sublang list.", language_.c_str());
        return 0;
    }
    if (sublang.empty())
        return HWR_ERR_NO_SUBLANG;
    const int position = FindSublang(*row, sublang);
    if (position < 0) {
        QV_LOG_FAIL(QV_TAG_LOCAL, kName, " Sublang <%s> invalid.", sublang.c_str());
        return HWR_ERR_CONFIG;
    }
    value = position;
    return 0;
}

int HwrRecogLetter::SetConfig(const qvcommon::ConfigAssistant &config) {
    QV_TRACE(QV_TAG_LOCAL, "HwrRecogLetter::SetConfig");
    // Exact comparisons: "HALF" is full width.
    SetParam(kCharParamWidth, config.Get("fullhalf") == "half" ? 1 : 0);
    const std::string dispcode = config.Get("dispcode");
    SetParam(kCharParamDisplay, dispcode == "tosimplified"    ? 1
                                : dispcode == "totraditional" ? 2
                                                              : 0);
    uint32_t range = 0;
    if (int code = ParseRecogRange(config, range))
        return code;
    SetParam(kCharParamRange, static_cast<int32_t>(range));
    SetParam(kCharParamCandidates, CandidateCount(config));
    bool openslant = false;
    config.GetBool("openslant", openslant);
    SetParam(kCharParamRotations, openslant ? 7 : 0);
    int32_t sublang = -1;
    const int code = ValidateSublang(config, sublang);
    if (code == 0 && sublang != -1)
        SetParam(kCharParamSublang, sublang);
    return code;
}

int HwrRecogLetter::RecogCandidates(
    const int16_t *strokes, uint32_t length, HwrRecogResult *result, const char *name,
    const std::function<bool(uint16_t, qvcommon::RecogCandidate &)> &makeItem) {
    QV_LOG_INFO(QV_TAG_LOCAL, name, " Character recog.");
    // The engine finds the end of the writing by its end pair and may cut it in place: it works
    // on a copy, padded with end pairs so that data without one is not read past its length.
    int16_t writing[kEngineInputValues];
    const size_t values = std::min<size_t>(strokes ? length / 2 : 0, kEngineInputValues);
    if (values > 0)
        std::memcpy(writing, strokes, values * 2);
    std::fill(writing + values, writing + kEngineInputValues, int16_t{-1});
    // Room for every count the engine stores (up to 50), not only the 10 the kit allows.
    uint16_t codes[kCharMaxCandidates + 1] = {};
    const int count = Handle() ? CharEngineRecog(Handle(), writing, codes, nullptr, nullptr) : -1;
    if (count < 0) {
        QV_LOG_FAIL(QV_TAG_LOCAL, name, " Recog failed.");
        return HWR_ERR_ENGINE;
    }
    if (count == 0) {
        QV_LOG_WARN(QV_TAG_LOCAL, name, " 0 result returned.");
        return 0;
    }
    try {
        std::vector<qvcommon::RecogCandidate> candidates(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            if (!makeItem(codes[i], candidates[i]))
                return HWR_ERR_NO_MEMORY;
        if (qvcommon::FillRecogResult(result, candidates) != 0) {
            QV_LOG_FAIL(QV_TAG_LOCAL, name, " Allocate memory failed.");
            return HWR_ERR_NO_MEMORY;
        }
    } catch (const std::bad_alloc &) {
        QV_LOG_FAIL(QV_TAG_LOCAL, name, " Allocate memory failed.");
        return HWR_ERR_NO_MEMORY;
    }
    return 0;
}

int HwrRecogLetter::Recog(const int16_t *strokes, uint32_t length,
                          const qvcommon::ConfigAssistant &config, HwrRecogResult *result) {
    static const char *const kName = "HwrRecogLetter::Recog";
    QV_TRACE(QV_TAG_LOCAL, kName);
    result->count = 0;
    result->items = nullptr;
    if (int code = SetConfig(config))
        return code;
    return RecogCandidates(strokes, length, result, kName,
                           [this](uint16_t code, qvcommon::RecogCandidate &item) {
                               return MakeResultItem(code, item);
                           });
}

bool HwrRecogLetter::MakeResultItem(uint16_t code, qvcommon::RecogCandidate &item) {
    item.values.clear();
    if (IsTibetan(recogRange_)) {
        const auto it = tibetanMap_.find(code);
        if (it != tibetanMap_.end()) {
            item.text = Utf16ToUtf8(it->second.data(), static_cast<int>(it->second.size()));
            return true;
        }
    }
    item.text = Utf16ToUtf8(&code, 1);
    return true;
}

}  // namespace hwrlocal
