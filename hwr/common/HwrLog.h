// Log lines of the kit: "[tag][Class::Function] text" through the system library's VRA_LOG, and
// the Enter/Leave trace around exported functions and operations.
#pragma once

#include "vra_sys.h"

// Tags of the kit's modules.
#define QV_TAG_FRONTEND "VRA_HWR"
#define QV_TAG_COMMON "qvcommon"
#define QV_TAG_LOCAL "vra_hwr_local"
#define QV_TAG_CLOUD "vra_hwr_cloud"
#define QV_TAG_ASSOCIATE "vra_hwr_associate"

// QV_LOG(VRA_LOG_FAILURE, QV_TAG_COMMON, "FileReader::Load", " file (%s) len==0", path);
// writes "[qvcommon][FileReader::Load] file (...) len==0". The format must be a literal.
#define QV_LOG(level, tag, func, format, ...) \
    VRA_LOG((level), "[%s][%s]" format, (tag), (func)__VA_OPT__(, ) __VA_ARGS__)

#define QV_LOG_FAIL(tag, func, format, ...) \
    QV_LOG(VRA_LOG_FAILURE, tag, func, format __VA_OPT__(, ) __VA_ARGS__)
#define QV_LOG_WARN(tag, func, format, ...) \
    QV_LOG(VRA_LOG_WARNING, tag, func, format __VA_OPT__(, ) __VA_ARGS__)
#define QV_LOG_INFO(tag, func, format, ...) \
    QV_LOG(VRA_LOG_INFO, tag, func, format __VA_OPT__(, ) __VA_ARGS__)
#define QV_LOG_TRACE(tag, func, format, ...) \
    QV_LOG(VRA_LOG_TRACE, tag, func, format __VA_OPT__(, ) __VA_ARGS__)

namespace qvcommon {

// Writes "[tag][name]Enter" at level 5 on construction and "[tag][name]Leave" on destruction.
class TraceScope {
  public:
    TraceScope(const char *tag, const char *name) : tag_(tag), name_(name) {
        VRA_LOG(VRA_LOG_TRACE, "[%s][%s]Enter", tag_, name_);
    }
    ~TraceScope() { VRA_LOG(VRA_LOG_TRACE, "[%s][%s]Leave", tag_, name_); }
    TraceScope(const TraceScope &) = delete;
    TraceScope &operator=(const TraceScope &) = delete;

  private:
    const char *tag_;
    const char *name_;
};

}  // namespace qvcommon

#define QV_TRACE_CONCAT2(a, b) a##b
#define QV_TRACE_CONCAT(a, b) QV_TRACE_CONCAT2(a, b)
// QV_TRACE(QV_TAG_LOCAL, "VraHwrRecog"); at the top of a function.
#define QV_TRACE(tag, name) \
    ::qvcommon::TraceScope QV_TRACE_CONCAT(qv_trace_, __LINE__)((tag), (name))
