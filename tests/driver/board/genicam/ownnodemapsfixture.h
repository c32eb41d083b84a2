// A board system and its digitizers allocated through libZOR.so, served by
// the driver's parts in this process, with the node maps they registered.
#pragma once

#include <memory>
#include <string>

#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "tests/driver/board/digitizer/digitizerfixture.h"

namespace zor::board {

class OwnNodeMapsFixture : public DigitizerFixture {
 protected:
  void SetUp() override;

  // The driver's system object behind the host's system.
  frame::QDGeniCamDeviceSystem* DriverSystem() const;
  std::shared_ptr<genicam::GenICamControl> Control(QID object, const wchar_t* module) const;
  GenApi::INode* Node(QID object, const wchar_t* module, const char* feature) const;
};

}  // namespace zor::board
