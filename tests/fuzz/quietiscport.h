// The port the IEEE 1532 fuzz targets give the engine: no pins, messages dropped, and a fresh
// engine state for every input.
#pragma once

#include <cstdint>

#include "driver/firmware/jtagprogrammer.h"
#include "driver/ieee1532/engine/iscengine.h"

class QuietIscPort : public CJtagProgrammer {
 public:
  QuietIscPort() {
    SetCurrentJtagPort(this);
    m_commandSource = 1;  // files, not the port's lines
    IscEngineInitGlobals();
  }
  ~QuietIscPort() override {
    IscEngineFreeGlobals();
    SetCurrentJtagPort(nullptr);
  }
  void WritePins(uint32_t) override {}
  uint32_t* ReadPins(uint32_t* pins) override { return pins; }
  void Message(const char*) override {}
};
