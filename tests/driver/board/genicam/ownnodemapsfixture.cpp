#include "tests/driver/board/genicam/ownnodemapsfixture.h"

#include <cstring>

#include "driver/frameworkuser/decoder/commanddecoder.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/errorexports.h"
#include "platform/host/driverseam.h"

namespace zor::board {

void OwnNodeMapsFixture::SetUp() {
  // The decoder and the error exports of the parts linked into this test.
  HostUseDriverForTests(L"Q_SYSTEM_DRAVIONLYN", [](const char* symbol) -> void* {
    if (std::strcmp(symbol, "QDDravionLynCommandDecoder") == 0) {
      return reinterpret_cast<void*>(&QDDravionLynCommandDecoder);
    }
    if (std::strcmp(symbol, "GetErrorRange") == 0) return reinterpret_cast<void*>(&GetErrorRange);
    if (std::strcmp(symbol, "GetErrorMessage") == 0) {
      return reinterpret_cast<void*>(&GetErrorMessage);
    }
    return nullptr;
  });
  DigitizerFixture::SetUp();
}

frame::QDGeniCamDeviceSystem* OwnNodeMapsFixture::DriverSystem() const {
  frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
  if (driver == nullptr) return nullptr;
  for (int64_t index = 1; index < 16; ++index) {
    auto* system =
        dynamic_cast<frame::QDGeniCamDeviceSystem*>(driver->Systems().GetAt(index).get());
    if (system != nullptr && system->GetHostObjectId() == system_) return system;
  }
  return nullptr;
}

std::shared_ptr<genicam::GenICamControl> OwnNodeMapsFixture::Control(QID object,
                                                                     const wchar_t* module) const {
  frame::QDGeniCamDeviceSystem* system = DriverSystem();
  return system != nullptr ? system->NodeMaps().Get(object, module) : nullptr;
}

GenApi::INode* OwnNodeMapsFixture::Node(QID object, const wchar_t* module,
                                        const char* feature) const {
  std::shared_ptr<genicam::GenICamControl> control = Control(object, module);
  return control != nullptr ? control->NodeMap()->_GetNode(feature) : nullptr;
}

}  // namespace zor::board
