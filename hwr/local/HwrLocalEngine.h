// The engine of a local recognition session: picks the recogniser by the capability key,
// forwards stroke data to it, and keeps the growing writing of a real-time session.
#pragma once

#include <cstdint>
#include <memory>

#include "HwrRecogEngine.h"
#include "RecogEngineInterface.h"
#include "RecogType.h"
#include "vra_hwr.h"

namespace hwrlocal {

inline constexpr uint32_t kMaxStrokeBytes = 65536;

class HwrLocalEngine : public qvcommon::RecogEngineInterface {
  public:
    HwrLocalEngine() = default;
    ~HwrLocalEngine() override;

    int StartSession(const qvcommon::ConfigAssistant &config) override;
    // Submits the usage record, then stops the recogniser and returns its code.
    int StopSession() override;
    virtual int Recog(const int16_t *strokes, uint32_t length,
                      const qvcommon::ConfigAssistant &callConfig, HwrRecogResult *result);
    // Records the confirmed text as the writing's result; 1 without text.
    virtual int ConfirmResult(const HwrConfirmItem *item);

    // The library's line for a failed engine start.
    static void LogStartFailure(int code);

    RecogType recogType() const { return recogType_; }
    uint32_t accumulatedLength() const { return accumulated_; }

  private:
    void GetRecogType();

    std::unique_ptr<HwrRecogEngine> hwr_engine_;
    RecogType recogType_ = kRecogUnknown;
    bool realtime_ = false;
    int16_t strokes_[kMaxStrokeBytes / 2];
    uint32_t accumulated_ = 0;  // bytes
};

}  // namespace hwrlocal
