// The record of one writing (or one request) of a session, reported to the system library's
// usage history when the session ends or the next writing begins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvcommon {

class ConfigAssistant;

class UsageRecord {
  public:
    // More pieces than this in one record drop everything collected so far.
    static constexpr size_t kMaxPieces = 1500;

    // info = the configuration without appkey and sessionid; capkey and appkey are kept.
    void Configure(const ConfigAssistant &config);
    // Appends a copy of the bytes (none when the pointer is null or length not positive).
    void AddData(const void *bytes, int32_t length, bool complete);
    // Records the result text and the processing time; an empty text changes nothing.
    void SetResult(const std::string &text);
    // Completes the info (request and processing time, location) and appends the item to the
    // usage history through vra_append_user_his_item.
    void Submit();

    const std::string &Info() const { return info_; }
    const std::vector<uint8_t> &Result() const { return result_; }
    size_t PieceCount() const { return pieces_.size(); }
    int64_t StartTime() const { return startTime_; }

    // Milliseconds since 1970 (UTC).
    static int64_t NowMs();

  private:
    struct Piece {
        std::vector<uint8_t> bytes;
        int32_t length;
        bool complete;
    };

    std::vector<uint8_t> result_;
    std::string info_;
    int64_t startTime_ = 0;
    int64_t processingTime_ = 0;
    std::vector<Piece> pieces_;
    std::vector<uint8_t> joined_;
    std::string capkey_;
    std::string appkey_;
};

}  // namespace qvcommon
