// The BSDL entities and ISC data files a run of the engine holds.
#pragma once

#include <memory>
#include <vector>

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/isc/iscdatafile.h"

namespace zor::isc {

// Every BSDL entity and ISC data file the run has read; freed with the rest of the engine state.
BsdlEntity& IscEngineNewEntity();
IscDataFile& IscEngineNewDataFile();
std::vector<IscDataFile*> IscEngineDataFiles();

}  // namespace zor::isc
