#include "HwrRecogEngine.h"

#include <strings.h>

#include <fstream>

#include "HwrLog.h"
#include "LibraryContext.h"
#include "ReadOnlyResManager.h"
#include "RecogRange.h"
#include "StringUtil.h"

namespace hwrlocal {

bool HwrRecogEngine::LoadFromFile(const std::string &path) {
    std::ifstream in(path);
    if (!in) {
        QV_LOG_TRACE(QV_TAG_LOCAL, "HwrRecogEngine::LoadFromFile",
                     " Get resource config file failed. Maybe the file %s not exist!",
                     path.c_str());
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        line = qvcommon::Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> pieces = qvcommon::Tokenize(line, ":");
        if (pieces.size() < 2)
            continue;
        // "language: english" means english: the pieces are trimmed too.
        const std::string key = qvcommon::Trim(pieces[0]), value = qvcommon::Trim(pieces[1]);
        if (strcasecmp(key.c_str(), "language") == 0)
            language_ = value;
        else if (strcasecmp(key.c_str(), "recogRange") == 0)
            recogRange_ = value;
    }
    return true;
}

int HwrRecogEngine::ReadLangFromConfRes(const std::string &resPrefix) {
    QV_TRACE(QV_TAG_LOCAL, "HwrRecogEngine::ReadLangFromConfRes");
    return LoadFromFile(qvcommon::GetResPath(resPrefix, "letter.conf")) ? 0
                                                                        : HWR_ERR_RESOURCE_MISSING;
}

uint32_t HwrRecogEngine::GetDefaultRangeByLang() {
    uint32_t mask = 0;
    for (const std::string &word :
         qvcommon::Tokenize(std::string(kAllowedRangeWords) + recogRange_, "+")) {
        const uint32_t m = RangeMask(qvcommon::Trim(word));
        if (m == 0)
            break;
        mask |= m;
    }
    return mask;
}

int HwrRecogEngine::ParseRecogRange(const qvcommon::ConfigAssistant &config, uint32_t &mask) {
    std::vector<std::string> words;
    for (const std::string &w : qvcommon::Tokenize(config.Get("recogrange"), "+")) {
        const std::string t = qvcommon::Trim(w);
        if (!t.empty())
            words.push_back(t);
    }
    bool all = words.empty();
    for (const std::string &w : words)
        all = all || w == "all";
    if (all) {
        mask = GetDefaultRangeByLang();
        return 0;
    }
    const std::string allowed = std::string(kAllowedRangeWords) + recogRange_;
    uint32_t result = 0;
    for (const std::string &w : words) {
        if (allowed.find(w) == std::string::npos)
            return HWR_ERR_NOT_SUPPORTED;
        const uint32_t m = RangeMask(w);
        if (m == 0)
            return HWR_ERR_NOT_SUPPORTED;
        result |= m;
    }
    mask = result;
    return 0;
}

const uint8_t *HwrRecogEngine::AcquireResource(const std::string &path, uint32_t *size) {
    const qvcommon::FileReader *file = qvcommon::ReadOnlyResManager::Instance().AcquireFile(path);
    if (!file)
        return nullptr;
    acquired_.push_back(path);
    if (size)
        *size = file->Size();
    return file->Data();
}

void HwrRecogEngine::ReleaseResources() {
    for (const std::string &path : acquired_)
        qvcommon::ReadOnlyResManager::Instance().ReleaseFile(path);
    acquired_.clear();
}

}  // namespace hwrlocal
