// DigChannelRecord: the channel block's initial properties and its copy.
#include "driver/frameworkuser/records/digchannelrecord.h"

namespace zor::frame {

kernel::DigPropertiesBlock InitialProperties() {
  kernel::DigPropertiesBlock p{};
  p.signedWord = Q_DISABLE;
  p.grabTimeout = Q_DEFAULT;
  p.grabErrorReporting = Q_DISABLE;
  p.grabTriggerState = Q_DISABLE;
  // The preset words that only the kernel reads.
  const int64_t words[8] = {0, Q_ENABLE, Q_DEFAULT, Q_DISABLE, Q_ENABLE, Q_ENABLE, 0, Q_DISABLE};
  for (size_t i = 0; i < 8; ++i) p.presetWords[i] = static_cast<uint64_t>(words[i]);
  p.controlFlagMode = 0x4000000;
  p.presetWord = 1;
  p.presetDoubles[0] = 1.0;
  p.presetDoubles[1] = 1.0;
  p.propertiesReserve = 1;
  return p;
}

DigChannelRecord::DigChannelRecord() {
  block_.digitizerIndex = -1;
  block_.hostDigitizer = -1;
  block_.properties = InitialProperties();
  block_.signedWord = Q_DISABLE;
}

DigChannelRecord& DigChannelRecord::operator=(const DigChannelRecord& other) {
  if (&other == this) return *this;
  block_.digitizerIndex = other.block_.digitizerIndex;
  block_.hostDigitizer = other.block_.hostDigitizer;
  block_.kernelDigitizer = other.block_.kernelDigitizer;
  block_.kernelCheck = other.block_.kernelCheck;
  block_.reserved32 = other.block_.reserved32;
  const uint64_t classPointer = block_.properties.classPointer;
  block_.properties = other.block_.properties;
  block_.properties.classPointer = classPointer;
  block_.continuousGrab = other.block_.continuousGrab;
  block_.signedWord = other.block_.signedWord;
  block_.lastWord = other.block_.lastWord;
  hooks_ = other.hooks_;
  for (size_t i = 0; i < kernel::kStripRows; ++i) block_.strips[i] = other.block_.strips[i];
  return *this;
}

}  // namespace zor::frame
