// ChainPerformActions: runs each device's action in turn, the others bypassed, with banners.
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/flow/iscflow.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/isctap.h"
#include "driver/ieee1532/text/iscmessages.h"
#include "platform/os/process/regular_file.h"

namespace zor::isc {

void IscSetBypassCounts(const Chain& chain, const ChainDevice& target) {
  TapBypassCounts counts;
  bool before = true;
  for (const auto& device : chain.devices) {
    if (device.get() == &target) {
      before = false;
      continue;
    }
    if (device->skip) continue;
    (before ? counts.drHeader : counts.drTrailer) += 1;
    (before ? counts.irHeader : counts.irTrailer) += device->irLength;
  }
  TapBypass() = counts;
}

namespace {

std::string DeviceTitle(const ChainDevice& device) {
  return "[" + device.name + " (" + device.entity->name + ")]: " + ChainActionText(device);
}

void ResultBanner(bool passed, const std::string& text) {
  IscWriteMessageLine(" /~~~~\\--------------------------------------------------", kIscLinePlain);
  std::string line = std::string(passed ? "[ PASS " : "[ FAIL ") + text;
  IscWriteMessageLine(line.c_str(), kIscLinePlain);
  IscWriteMessageLine(" \\____/--------------------------------------------------", kIscLinePlain);
}

void AppendTransmissionCrcs(const Chain& chain) {
  for (const auto& device : chain.devices) {
    if (device->skip || device->action.empty() || !device->output || !device->output->iscFormat) {
      continue;
    }
    uint16_t crc = 0;
    FILE* stream = nullptr;
    if (IscFileTransmissionCrc(device->output->name, crc)) {
      stream = os::OpenRegularFile(device->output->name, "ab");
    }
    if (stream == nullptr) {
      IscReportf(kIscWarning, false, nullptr, "- could not reopen [%s] to write transmission CRC",
                 device->output->name.c_str());
      continue;
    }
    fprintf(stream, "\n%04X\n", crc);
    fclose(stream);
  }
}

bool PerformConcurrently(Chain& chain, int64_t iteration) {
  IscWriteMessageLine("--> Performing actions concurrently", kIscLinePlain);
  const bool passed = ChainPerformConcurrent(chain, iteration) == 1;
  ResultBanner(passed,
               "]: concurrent processing mode (iteration " + std::to_string(iteration) + ")");
  IscPortSetFailureWord(passed ? 0 : 1);
  return passed;
}

// False, with its note, for a device that is skipped or has no action.
bool TakesPart(const ChainDevice& device) {
  if (device.skip) {
    IscMessagef(kIscLinePlain, "-+> Skipping device [%s]", device.name.c_str());
    return false;
  }
  if (device.action.empty()) {
    IscMessagef(kIscLinePlain, "-*> No action specified for [%s]", device.name.c_str());
    return false;
  }
  return true;
}

bool PerformDeviceAction(Chain& chain, ChainDevice& device) {
  IscSetBypassCounts(chain, device);
  IscWriteMessageLine("  /~~~~~~~~~~~~~~~~~~\\", kIscLinePlain);
  IscMessagef(kIscLinePlain, "--> Performing action %s", DeviceTitle(device).c_str());
  IscWriteMessageLine("  \\__________________/", kIscLinePlain);
  if (device.output) {
    IscMessagef(kIscLinePlain, "    = outputs from action to file [%s] %s",
                device.output->name.c_str(), device.iscOutput ? "in ISC format" : "");
  }
  const bool passed = ActionRun(chain, device) == 1;
  IscPortProgressTick();
  ResultBanner(passed, "]: Action " + DeviceTitle(device));
  return passed;
}

bool PerformSequentially(Chain& chain) {
  bool passed = true;
  for (const auto& device : chain.devices) {
    if (!TakesPart(*device)) continue;
    const bool devicePassed = PerformDeviceAction(chain, *device);
    // A later device that passes must not hide an earlier failure.
    passed = passed && devicePassed;
    IscPortSetFailureWord(passed ? 0 : 1);
    if ((!devicePassed && !IscGetSettings().continueOnFail) || IscChainStop()) break;
  }
  return passed;
}

}  // namespace

int ChainPerformActions(Chain& chain, int64_t iteration) {
  IscChainStop() = false;
  TapReset(true);
  const bool passed = IscGetSettings().concurrent ? PerformConcurrently(chain, iteration)
                                                  : PerformSequentially(chain);
  AppendTransmissionCrcs(chain);
  TapReset(false);
  return passed ? 1 : 0;
}

}  // namespace zor::isc
