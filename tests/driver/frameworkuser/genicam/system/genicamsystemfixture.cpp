#include "tests/driver/frameworkuser/genicam/system/genicamsystemfixture.h"

#include <stdlib.h>

#include <sstream>

#include "platform/genapi/genapi.h"

namespace zor::genicam {

void GenICamSystemFixture::SetUp() {
  BoardFixture::SetUp();
  // A reset waits five seconds and more for the device; not in tests.
  setenv("ZOR_SLEEP_PERCENT", "0", 1);
  setenv("DRAVIONLYNDCF", ZOR_STANDARD_DCF_DIR, 1);
  // The boards live as long as the process: every test starts from fresh channels.
  for (int64_t channel = 0; channel < kChannels; ++channel) {
    SimBoard().SetDigitizerFirmware(channel, "");
    SimBoard().SetDigitizerIdentity(channel, DefaultIdentity(channel));
    allocations_[channel] = SimBoard().DigitizerAllocations(channel);
  }
  system_ = Alloc();
  ASSERT_NE(system_, 0);
}

void GenICamSystemFixture::TearDown() {
  if (system_ != 0) QsysFree(system_);
  unsetenv("ZOR_SLEEP_PERCENT");
  unsetenv("DRAVIONLYNDCF");
  BoardFixture::TearDown();
}

std::string GenICamSystemFixture::WriteGuf(const std::string& name,
                                           const std::vector<std::string>& payloads,
                                           const std::string& model) {
  std::vector<GenICam::CFirmwareUpdateInfo> updates;
  for (size_t i = 0; i < payloads.size(); ++i) {
    GenICam::CFirmwareUpdateInfo info;
    info.name = "Digitizer firmware";
    info.version = "2." + std::to_string(i);
    info.models = {model};
    info.payload = "firmware" + std::to_string(i) + ".bin";
    info.targetRegister = "FirmwareData";
    updates.push_back(info);
  }
  const std::string path = (genicam_ / name).string();
  GenICam::WriteGufFile(path, updates, payloads);
  return path;
}

std::string GenICamSystemFixture::Firmware(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

void GenICamSystemFixture::Update(const std::string& path, int64_t device) {
  const std::wstring wide(path.begin(), path.end());
  QsysControl(system_, 7798 + (device << 16), reinterpret_cast<QINT64>(wide.c_str()));
}

uint64_t GenICamSystemFixture::Allocations(int64_t channel) {
  return SimBoard().DigitizerAllocations(channel) - allocations_[channel];
}

uint64_t GenICamSystemFixture::DefaultIdentity(int64_t channel) {
  return (uint64_t{SimBoard().SerialNumber()} << 16) | static_cast<uint64_t>(channel + 1);
}

std::string GenICamSystemFixture::Steps(QID digitizer, const std::string& script) {
  std::istringstream steps(script);
  std::string transcript;
  for (std::string step; steps >> step;) {
    const QINT64 type = std::stoll(step);
    const size_t equals = step.find('=');
    if (equals == std::string::npos) {
      QINT64 answer = -12345;
      if (digitizer != 0) QdigInquire(digitizer, type, &answer);
      if (digitizer == 0) QsysInquire(system_, type, &answer);
      step = std::to_string(type) + ":" + std::to_string(answer);
    } else {
      const std::string text = step.substr(equals + 1);
      const QINT64 value = text == "default" ? Q_DEFAULT : std::stoll(text);
      if (digitizer != 0) QdigControl(digitizer, type, value);
      if (digitizer == 0) QsysControl(system_, type, value);
    }
    if (ErrorCode() != 0) {
      step += "!" + std::to_string(ErrorCode()) + "/" + std::to_string(SubCode(1));
    }
    transcript += step + " ";
  }
  return transcript;
}

std::wstring GenICamSystemFixture::SubText(int index) {
  const QINT64 types[] = {Q_CURRENT_SUB_1_TEXT, Q_CURRENT_SUB_2_TEXT, Q_CURRENT_SUB_3_TEXT};
  return ErrorText(types[index - 1]);
}

}  // namespace zor::genicam
