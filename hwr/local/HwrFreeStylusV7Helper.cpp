#include "HwrFreeStylusV7Helper.h"

#include <new>

#include "HwrLog.h"
#include "LibraryContext.h"
#include "ReadOnlyResManager.h"
#include "vra_hwr.h"

namespace hwrlocal {

namespace {
constexpr const char *kMain = "english.main.dct";
constexpr const char *kAdditional = "english.additional.dct";
constexpr const char *kConf = "letter.conf";
}  // namespace

HwrFreeStylusV7Helper &HwrFreeStylusV7Helper::Instance() {
    // The resource manager must outlive the helper, whose destructor releases files: make it
    // first, so that it is destroyed last.
    qvcommon::ReadOnlyResManager::Instance();
    static HwrFreeStylusV7Helper helper;  // created on first use; C++ makes that thread-safe
    return helper;
}

HwrFreeStylusV7Helper::~HwrFreeStylusV7Helper() {
    qvcommon::CQThreadMutexGuard guard(mutex_);
    for (auto &[key, record] : records_)
        Destroy(record.get());
    records_.clear();
}

void HwrFreeStylusV7Helper::Destroy(EngineRecord *record) {
    if (record->engine) {
        const int code = iWFS_Engine_Uninit(record->engine);
        if (code != 0)
            QV_LOG_FAIL(QV_TAG_LOCAL, "HwrFreeStylusV7Helper::ReleaseVraEngineHandle_i",
                        " iWFS_Engine_Uninit failed(%d).", code);
        record->engine = nullptr;
    }
    record->memory.reset();
    for (const std::string &path : record->files)
        qvcommon::ReadOnlyResManager::Instance().ReleaseFile(path);
    record->files.clear();
}

int HwrFreeStylusV7Helper::InitVraEngineHandle(const std::string &dataPath,
                                               const std::string &resPrefix, uint32_t &handle) {
    static const char *const kName = "HwrFreeStylusV7Helper::InitVraEngineHandle_i";
    QV_TRACE(QV_TAG_LOCAL, kName);
    qvcommon::CQThreadMutexGuard guard(mutex_);
    const std::string key = dataPath + resPrefix;
    auto it = records_.find(key);
    if (it != records_.end()) {
        ++it->second->references;
        handle = it->second->handle;
        QV_LOG_TRACE(QV_TAG_LOCAL, kName, " fetch engine handle = %d", static_cast<int>(handle));
        return 0;
    }
    auto record = std::make_unique<EngineRecord>();
    record->key = key;
    const qvcommon::FileReader *files[3] = {};
    const char *names[3] = {kMain, kAdditional, kConf};
    for (int i = 0; i < 3; ++i) {
        const std::string path = qvcommon::GetResPath(resPrefix, names[i]);
        files[i] = qvcommon::ReadOnlyResManager::Instance().AcquireFile(path);
        if (files[i])
            record->files.push_back(path);
    }
    if (!files[0] || !files[1] || !files[2]) {
        QV_LOG_INFO(QV_TAG_LOCAL, kName, " %s || %s || %s missing", kMain, kAdditional, kConf);
        Destroy(record.get());
        return HWR_ERR_RESOURCE_MISSING;
    }
    size_t size = 0;
    int code = iWFS_Engine_GetStackSize(files[0]->Data(), files[0]->Size(), files[1]->Data(),
                                        files[1]->Size(), &size);
    if (code != 0) {
        QV_LOG_TRACE(QV_TAG_LOCAL, kName, " V7-Engine-StackSize failed with %d.", code);
        Destroy(record.get());
        return HWR_ERR_ENGINE;
    }
    record->memory.reset(new (std::nothrow) uint64_t[(size + 7) / 8]);
    if (!record->memory) {
        QV_LOG_TRACE(QV_TAG_LOCAL, kName, " V7-Engine-StackSize failed with %d.", code);
        Destroy(record.get());
        return HWR_ERR_NO_MEMORY;
    }
    code = iWFS_Engine_Init(files[0]->Data(), files[0]->Size(), files[1]->Data(), files[1]->Size(),
                            record->memory.get(), size, &record->engine);
    if (code != 0) {
        QV_LOG_FAIL(QV_TAG_LOCAL, kName, " Engine Init Failed(%d)", code);
        record->engine = nullptr;
        Destroy(record.get());
        return HWR_ERR_ENGINE;
    }
    record->handle = nextHandle_++;
    record->references = 1;
    handle = record->handle;
    QV_LOG_TRACE(QV_TAG_LOCAL, kName, " engine init, pNewEngine = %d", static_cast<int>(handle));
    records_[key] = std::move(record);
    return 0;
}

int HwrFreeStylusV7Helper::ReleaseVraEngineHandle(uint32_t handle) {
    static const char *const kName = "HwrFreeStylusV7Helper::ReleaseVraEngineHandle_i";
    QV_TRACE(QV_TAG_LOCAL, kName);
    qvcommon::CQThreadMutexGuard guard(mutex_);
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (it->second->handle != handle)
            continue;
        if (--it->second->references < 1) {
            QV_LOG_TRACE(QV_TAG_LOCAL, kName, " engine exit, handle = %d",
                         static_cast<int>(handle));
            Destroy(it->second.get());
            records_.erase(it);
        }
        return 0;
    }
    QV_LOG_FAIL(QV_TAG_LOCAL, kName, " hEngine == NULL");
    return HWR_ERR_INVALID_ARG;
}

const iWFS_Engine *HwrFreeStylusV7Helper::Engine(uint32_t handle) {
    qvcommon::CQThreadMutexGuard guard(mutex_);
    for (const auto &[key, record] : records_)
        if (record->handle == handle)
            return record->engine;
    return nullptr;
}

int HwrFreeStylusV7Helper::References(const std::string &dataPath, const std::string &resPrefix) {
    qvcommon::CQThreadMutexGuard guard(mutex_);
    auto it = records_.find(dataPath + resPrefix);
    return it == records_.end() ? 0 : it->second->references;
}

}  // namespace hwrlocal
