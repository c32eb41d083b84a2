// The port the IEEE 1532 fuzz targets give the engine: no pins, messages dropped, and a fresh
// engine state for every input.
#pragma once

#include <cstdint>

#include "driver/firmware/jtagprogrammer.h"
#include "driver/ieee1532/engine/iscengine.h"

class QuietIscPort : public zor::firmware::CJtagProgrammer {
 public:
  QuietIscPort() {
    zor::firmware::SetCurrentJtagPort(this);
    commandSource_ = 1;  // files, not the port's lines
    zor::isc::IscEngineInitGlobals();
  }
  ~QuietIscPort() override {
    zor::isc::IscEngineFreeGlobals();
    zor::firmware::SetCurrentJtagPort(nullptr);
  }
  void WritePins(uint32_t) override {}
  uint32_t* ReadPins(uint32_t* pins) override { return pins; }
  void Message(const char*) override {}
};
