// The engine state, made on first use, and the entities and data files a run reads.
#include "driver/ieee1532/engine/iscengineglobals.h"

#include "driver/ieee1532/engine/iscengine.h"
#include "driver/ieee1532/engine/iscenginestate.h"

namespace zor::isc {

namespace {

std::unique_ptr<IscEngineState> g_state;

}  // namespace

IscEngineState& IscState() {
  if (!g_state) g_state = std::make_unique<IscEngineState>();
  return *g_state;
}

BsdlEntity& IscEngineNewEntity() {
  auto& entities = IscState().entities;
  entities.push_back(std::make_unique<BsdlEntity>());
  return *entities.back();
}

IscDataFile& IscEngineNewDataFile() {
  auto& files = IscState().dataFiles;
  files.push_back(std::make_unique<IscDataFile>());
  return *files.back();
}

std::vector<IscDataFile*> IscEngineDataFiles() {
  std::vector<IscDataFile*> files;
  for (const auto& file : IscState().dataFiles) files.push_back(file.get());
  return files;
}

void IscEngineInitGlobals() { g_state = std::make_unique<IscEngineState>(); }

void IscEngineFreeGlobals() { g_state.reset(); }

}  // namespace zor::isc
