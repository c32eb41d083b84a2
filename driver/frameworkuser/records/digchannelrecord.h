// The channel record of a digitizer: the block that travels to the kernel inside
// every digitizer request, and the digitizer's hook elements beside it.
#pragma once

#include "driver/frameworkuser/hooks/digitizerhookset.h"
#include "interfaces/kernel/digitizerrecord.h"

namespace zor::frame {

class DigChannelRecord {
 public:
  // The initial state: index and host id -1, the settings' constructed values.
  DigChannelRecord();
  DigChannelRecord(const DigChannelRecord&) = delete;
  // Copies the words, settings, strips and hook elements.
  DigChannelRecord& operator=(const DigChannelRecord& other);

  kernel::DigChannelRecord& Block() { return block_; }
  const kernel::DigChannelRecord& Block() const { return block_; }
  kernel::DigPropertiesBlock& Properties() { return block_.properties; }
  const kernel::DigPropertiesBlock& Properties() const { return block_.properties; }
  DigitizerHookSet& Hooks() { return hooks_; }

 private:
  kernel::DigChannelRecord block_{};
  DigitizerHookSet hooks_;
};

// A freshly constructed settings block.
kernel::DigPropertiesBlock InitialProperties();

}  // namespace zor::frame
