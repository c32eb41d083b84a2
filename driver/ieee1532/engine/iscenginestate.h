// IscEngineState: everything one run of the engine keeps, in one object.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/chain/chaindevice.h"
#include "driver/ieee1532/engine/iscoptions.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/isc/iscdatafile.h"
#include "driver/ieee1532/tap/isctap.h"
#include "driver/ieee1532/tap/isctransitions.h"

namespace zor::isc {

struct IscFileCloser {
  void operator()(FILE* stream) const { fclose(stream); }
};

// Everything a run of the engine keeps, in one object. A fatal stop throws while frames still hold
// references into it, so it is released only once the stop has unwound out of the engine.
struct IscEngineState {
  IscSettings settings;
  IscCommandLine commandLine;
  std::vector<std::unique_ptr<BsdlEntity>> entities;
  std::vector<std::unique_ptr<IscDataFile>> dataFiles;
  Chain chain;  // after the records its devices point to, so it goes first
  std::unique_ptr<FILE, IscFileCloser> log;
  TapBypassCounts bypass;
  TapQueue queue;
  bool chainStop = false;
  int64_t mismatches = 0;
};

// The current state, made on first use.
IscEngineState& IscState();

}  // namespace zor::isc
