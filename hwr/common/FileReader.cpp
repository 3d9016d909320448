#include "FileReader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "HwrLog.h"

namespace qvcommon {

bool FileReader::Load(const std::string &path, uint32_t extra) {
    static const char *kName = "FileReader::Load";
    Unload();
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) {
        QV_LOG_INFO(QV_TAG_COMMON, kName, " open file (%s) failed and errno=%d", path.c_str(),
                    errno);
        return false;
    }
    long len = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        len = ftell(f);
    if (len <= 0 || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        // A directory or an unseekable file reads as empty here too.
        QV_LOG_INFO(QV_TAG_COMMON, kName, " file (%s) len==0", path.c_str());
        return false;
    }
    // Sizes are 32-bit: a file that does not fit is refused like an unreadable one.
    if (static_cast<unsigned long long>(len) + extra > 0xFFFFFFFFULL) {
        fclose(f);
        QV_LOG_INFO(QV_TAG_COMMON, kName, " load file(%s)malloc failed", path.c_str());
        return false;
    }
    const size_t size = static_cast<size_t>(len);
    uint8_t *data = static_cast<uint8_t *>(malloc(size + extra));
    if (!data) {
        fclose(f);
        QV_LOG_INFO(QV_TAG_COMMON, kName, " load file(%s)malloc failed", path.c_str());
        return false;
    }
    if (fread(data, 1, size, f) != size) {
        fclose(f);
        free(data);
        QV_LOG_INFO(QV_TAG_COMMON, kName, " load file(%s)fread failed", path.c_str());
        return false;
    }
    fclose(f);
    if (extra > 0)
        memset(data + size, 0, extra);
    data_ = data;
    size_ = static_cast<uint32_t>(size + extra);
    return true;
}

void FileReader::Unload() {
    free(data_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace qvcommon
