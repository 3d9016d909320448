#include "IDllInterface.h"

#include "HwrLog.h"

int IDllInterface::Load(const std::string &fileName, const qvcommon::ConfigAssistant &initConfig) {
    static const char *kName = "IDllInterface::Load";
    QV_TRACE(QV_TAG_COMMON, kName);
    qvcommon::CQThreadMutexGuard guard(lock_);
    if (!handle_) {
        handle_ = OS_LoadLibrary(fileName);
        if (!handle_) {
            QV_LOG_FAIL(QV_TAG_COMMON, kName, " Load dll %s failed.", fileName.c_str());
            return 23;
        }
    }
    int code = Init(initConfig);
    if (code != 0) {
        QV_LOG_FAIL(QV_TAG_COMMON, kName, " Init dll %s failed.", fileName.c_str());
        UnLoad();
        return code;
    }
    fileName_ = fileName;
    return 0;
}

int IDllInterface::UnLoad() {
    static const char *kName = "IDllInterface::UnLoad";
    QV_TRACE(QV_TAG_COMMON, kName);
    qvcommon::CQThreadMutexGuard guard(lock_);
    int code = Release();
    if (code != 0) {
        QV_LOG_WARN(QV_TAG_COMMON, kName, " relase dll %s failed.", fileName_.c_str());
    }
    if (handle_) {
        OS_FreeLibrary(handle_);
        handle_ = nullptr;
    }
    return 0;
}
