// The board's digitizer record, and the settings a digitizer takes from its DCF
// when it is allocated.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "driver/frameworkuser/records/qddigitizerinfo.h"

namespace zor::board {

class CDigProcessHdler;
class GrabControlBinding;

// Holds the channel record, so that it is made before the digitizer's base and
// lives exactly as long as the digitizer.
struct ChannelRecordHolder {
  std::unique_ptr<frame::DigChannelRecord> channelRecord;
};

// The digitizer owns its channel record: a command that still holds the
// digitizer after its free can never reach a freed record.
class QDHwSpecDigitizerInfo : private ChannelRecordHolder, public frame::QDDigitizerInfo {
 public:
  QDHwSpecDigitizerInfo(uint32_t logSource, const std::wstring& dcfName, int64_t deviceNumber,
                        int64_t initFlag, std::unique_ptr<frame::DigChannelRecord> record,
                        const DcfBlock& dcfBlock);
  ~QDHwSpecDigitizerInfo() override;

  // The grab-processing handler, made by the first processing start (under the channel lock);
  // stops and frees on other threads read it without that lock.
  CDigProcessHdler* ProcessHandler() const { return handler_.load(std::memory_order_acquire); }
  void SetProcessHandler(std::unique_ptr<CDigProcessHdler> handler)
      ZOR_REQUIRES(FirstChannelLock());
  // The grab-control library's binding, made on first use; null before.
  GrabControlBinding* Binding() const ZOR_REQUIRES(FirstChannelLock()) { return binding_.get(); }
  void SetBinding(std::unique_ptr<GrabControlBinding> binding) ZOR_REQUIRES(FirstChannelLock());

  // The buffer a continuous grab runs into, restarted after controls and hooks.
  int64_t ContinuousGrabBuffer() const { return continuousBuffer_.load(); }
  void SetContinuousGrabBuffer(int64_t buffer) { continuousBuffer_.store(buffer); }

  // Ends the run whose processing function threw; without a run, reports the failure.
  void OnProcessingFunctionFailed(const frame::EscapedException& escaped) override;

  uint32_t DcfWidth() const;
  uint32_t DcfHeight() const;
  uint32_t DcfBands() const;

 private:
  std::atomic<int64_t> continuousBuffer_{0};
  std::unique_ptr<CDigProcessHdler> processHandler_ ZOR_GUARDED_BY(FirstChannelLock());
  std::atomic<CDigProcessHdler*> handler_{nullptr};
  std::unique_ptr<GrabControlBinding> binding_ ZOR_GUARDED_BY(FirstChannelLock());
};

// Frame period in milliseconds of the DCF's standard: the decoder's forced
// standard when the DCF sets one, else the frame height (525-line frames
// carry at most 486 lines).
double GrabPeriodFor(const uint8_t* dcf);

// The allocation values of a channel's settings, taken from the DCF.
void FillChannelFromDcf(frame::DigChannelRecord& record, const uint8_t* dcf, int64_t deviceNumber);

}  // namespace zor::board
