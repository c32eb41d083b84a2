#include "driver/ieee1532/engine/iscengineglobals.h"

#include "driver/ieee1532/chain/chaindevice.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "driver/ieee1532/engine/iscoptions.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/flow/iscflow.h"
#include "driver/ieee1532/tap/isctap.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

std::vector<std::unique_ptr<BsdlEntity>> g_entities;
std::vector<std::unique_ptr<IscDataFile>> g_dataFiles;

}  // namespace

BsdlEntity& IscEngineNewEntity() {
  g_entities.push_back(std::make_unique<BsdlEntity>());
  return *g_entities.back();
}

IscDataFile& IscEngineNewDataFile() {
  g_dataFiles.push_back(std::make_unique<IscDataFile>());
  return *g_dataFiles.back();
}

std::vector<IscDataFile*> IscEngineDataFiles() {
  std::vector<IscDataFile*> files;
  for (const auto& file : g_dataFiles) files.push_back(file.get());
  return files;
}

void IscEngineFreeRecords() {
  g_dataFiles.clear();
  g_entities.clear();
}

void IscEngineInitGlobals() { IscEngineFreeGlobals(); }

void IscEngineFreeGlobals() {
  if (FILE* log = IscLogFile()) {
    fclose(log);
    IscSetLogFile(nullptr);
  }
  ChainFree(IscEngineChain());
  IscEngineFreeRecords();
  TapFreeTransitions();
  TapBypass() = TapBypassCounts{};
  IscChainStop() = false;
  IscEngineCommandLine() = IscCommandLine{};
  IscResetSettings();
}

}  // namespace zor::isc
