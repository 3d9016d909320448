#include "HwrAssociateHelper.h"

#include <sys/stat.h>

#include <cstring>

#include "HwrLog.h"
#include "LibraryContext.h"
#include "ReplacingFileWriter.h"
#include "vra_hwr.h"

namespace wa {
namespace {

const char *const kInit = "HwrAssociateHelper::InitVraEngineHandle_i";

bool Exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Aligned for the engine core, which wants a pointer-aligned block.
uint8_t *AllocateBlock(uint32_t size) {
    return static_cast<uint8_t *>(std::aligned_alloc(16, (size + 15) & ~size_t{15}));
}

}  // namespace

HwrAssociateHelper &HwrAssociateHelper::Instance() {
    // Made on first use (the initialisation of a function's static is locked); destroyed when
    // the plug-in is unloaded.
    static HwrAssociateHelper helper;
    return helper;
}

HwrAssociateHelper::~HwrAssociateHelper() {
    qvcommon::CQThreadMutexGuard guard(lock_);
    for (auto &entry : records_)
        Free(*entry.second);
    records_.clear();
}

int HwrAssociateHelper::InitVraEngineHandle(const std::string &, const std::string &, uint32_t &) {
    return HWR_ERR_NOT_SUPPORTED;
}

size_t HwrAssociateHelper::RecordCount() {
    qvcommon::CQThreadMutexGuard guard(lock_);
    return records_.size();
}

void HwrAssociateHelper::Free(AssociateEngineRecord &record) {
    if (record.engine)
        iWWA_Uninit(&record.engine);
    record.engineMemory.reset();
    record.userDict.Unload();
    record.systemDict.Unload();
}

// Creates the user's file as a copy of the default user dictionary of the prefix.
int HwrAssociateHelper::CreateUserDict(const std::string &userFile, const std::string &resPrefix) {
    QV_LOG_TRACE(QV_TAG_ASSOCIATE, kInit, " Load User Dict not exists:%s", userFile.c_str());
    const std::string defaultFile = qvcommon::GetResPath(resPrefix, "wa.user.dct");
    qvcommon::FileReader defaults;
    // Without the default there is nothing to copy; an empty user file would refuse every later
    // start, so none is made.
    if (!defaults.Load(defaultFile)) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kInit, " %s missing", defaultFile.c_str());
        return HWR_ERR_RESOURCE_MISSING;
    }
    QV_LOG_TRACE(QV_TAG_ASSOCIATE, kInit, " Load User Dict from:%s to:%s", defaultFile.c_str(),
                 userFile.c_str());
    WriteFailure failure;
    if (WriteReplacing(userFile, defaults.Data(), defaults.Size(), &failure))
        return 0;
    if (failure.stage == WriteFailure::kCreate) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kInit, " Open user dictionary file %s failed.(%s)",
                    userFile.c_str(), std::strerror(failure.error));
        return HWR_ERR_CONFIG;
    }
    // Nothing was left behind: the load below reports the file as missing.
    QV_LOG_FAIL(QV_TAG_ASSOCIATE, kInit,
                " fwrite() error! Writing user dictionary to file failed.");
    return 0;
}

int HwrAssociateHelper::InitVraEngineHandle(const std::string &dataPath,
                                            const std::string &userDictPath,
                                            const std::string &resPrefix,
                                            AssociateEngineRecord *&record) {
    QV_TRACE(QV_TAG_ASSOCIATE, "HwrAssociateHelper::InitVraEngineHandle");
    qvcommon::CQThreadMutexGuard guard(lock_);
    const std::string key = dataPath + userDictPath + resPrefix;
    if (auto it = records_.find(key); it != records_.end()) {
        ++it->second->useCount;
        QV_LOG_TRACE(QV_TAG_ASSOCIATE, "HwrAssociateHelper::InitVraEngineHandle",
                     " fetch engine handle = %d", static_cast<int>(it->second->handle));
        record = it->second.get();
        return 0;
    }

    auto made = std::make_unique<AssociateEngineRecord>();
    AssociateEngineRecord &r = *made;
    const size_t slash = userDictPath.find_last_of('/');
    r.userDictPath = slash == std::string::npos ? userDictPath
                                                : userDictPath.substr(0, slash + 1) + resPrefix +
                                                      userDictPath.substr(slash + 1);
    const std::string systemFile = qvcommon::GetResPath(resPrefix, "wa.system.dct");
    int code = 0;
    if (!Exists(r.userDictPath) && (code = CreateUserDict(r.userDictPath, resPrefix)) != 0)
        return code;
    QV_LOG_TRACE(QV_TAG_ASSOCIATE, kInit,
                 " InitVraEngineHandle_i user_dict_file_name:%s, sys_dict_file_name:%s",
                 r.userDictPath.c_str(), systemFile.c_str());
    using Source = std::pair<qvcommon::FileReader *, const std::string *>;
    for (auto [reader, path] :
         {Source{&r.userDict, &r.userDictPath}, Source{&r.systemDict, &systemFile}}) {
        if (!reader->Load(*path)) {
            QV_LOG_FAIL(QV_TAG_ASSOCIATE, kInit, " %s missing", path->c_str());
            Free(r);
            return HWR_ERR_RESOURCE_MISSING;
        }
    }
    // The reader's buffer is its own heap block: keyed records are descrambled in it, in place.
    auto *system = const_cast<uint8_t *>(r.systemDict.Data());
    uint32_t size = 0;
    code = iWWA_GetEngineSize(system, r.systemDict.Size(), r.userDict.Data(), r.userDict.Size(),
                              &size);
    if (code != iWWA_OK) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kInit, " Get Engine buffer size failed(%d).", code);
        Free(r);
        return HWR_ERR_ENGINE;
    }
    r.engineMemory.reset(AllocateBlock(size));
    if (!r.engineMemory) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kInit, " Get engine stack memory failed.");
        Free(r);
        return HWR_ERR_NO_MEMORY;
    }
    code = iWWA_Init(system, r.systemDict.Size(), r.userDict.Data(), r.userDict.Size(),
                     r.engineMemory.get(), size, &r.engine);
    if (code != iWWA_OK) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kInit, " Engine Init Failed(%d)", code);
        Free(r);
        return HWR_ERR_ENGINE;
    }
    r.key = key;
    r.handle = ++lastHandle_;
    r.useCount = 1;
    QV_LOG_TRACE(QV_TAG_ASSOCIATE, kInit, " engine init, key:%s pNewEngine = %d", key.c_str(),
                 static_cast<int>(r.handle));
    record = made.get();
    records_.emplace(key, std::move(made));
    return 0;
}

int HwrAssociateHelper::ReleaseVraEngineHandle(uint32_t handle) {
    static const char *kName = "HwrAssociateHelper::ReleaseVraEngineHandle";
    QV_TRACE(QV_TAG_ASSOCIATE, kName);
    qvcommon::CQThreadMutexGuard guard(lock_);
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        AssociateEngineRecord &r = *it->second;
        if (r.handle != handle)
            continue;
        if (--r.useCount >= 1)
            return 0;
        QV_LOG_TRACE(QV_TAG_ASSOCIATE, kName, " engine exit, handle = %d",
                     static_cast<int>(handle));
        Free(r);
        records_.erase(it);
        return 0;
    }
    return 0;
}

}  // namespace wa
