// The table of host object kinds the GenICam layer knows, built before the first command.
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"

#include <algorithm>

namespace zor::genicam {
namespace {

using namespace objecttype;

ObjectClassInfo Row(const char* className, const char* control, const char* inquire,
                    const char* shortName, int64_t type, int32_t kind, const char* extra = "") {
  return {className, control, inquire, shortName, type, kind, false, extra};
}

std::map<int64_t, ObjectClassInfo> BuildTable() {
  const ObjectClassInfo rows[] = {
      Row("ZorImage", "QbufControl", "QbufInquire", "Image", 0x4, 5),
      Row("ZorArray", "QbufControl", "QbufInquire", "Array", 0x40, 5),
      Row("ZorApplication", "QappControl", "QappInquire", "Application", kApplication, 4),
      Row("ZorLut", "QbufControl", "QbufInquire", "Lut", 0x40000, 5),
      Row("ZorDigitizer", "QdigControl", "QdigInquire", "Digitizer", kDigitizer, 7),
      Row("ZorDisplay", "QdispControl", "QdispInquire", "Display", kDisplay, 8),
      Row("ZorKernel", "QbufControl", "QbufInquire", "Kernel", 0x400000, 5),
      Row("ZorSystem", "QsysControl", "QsysInquire", "System", kSystem, 10),
      Row("ZorStructElement", "QbufControl", "QbufInquire", "StructElement", 0x8000000, 5),
      Row("ZorBlobContext", "QblobControl", "QblobInquire", "Blob", kBlob, 6),
      Row("ZorContainer", "QbufControl", "QbufInquire", "Container", 0x80000000, 5),
      Row("ZorSequence", "QseqControl", "QseqInquire", "Sequence", 0x40000000000, 9, "Q_CONTEXT"),
  };
  std::map<int64_t, ObjectClassInfo> table;
  for (const ObjectClassInfo& row : rows) table.emplace(row.objectType, row);
  return table;
}

// Built during static initialisation, before the first command.
const std::map<int64_t, ObjectClassInfo> kObjectClasses = BuildTable();
const std::set<std::wstring> kOwnNames = {L"QappControl",  L"QsysControl", L"QdigControl",
                                          L"QdispControl", L"QbufControl", L"QseqControl",
                                          L"QblobControl"};

}  // namespace

const std::map<int64_t, ObjectClassInfo>& ObjectClassTable() { return kObjectClasses; }

const std::set<std::wstring>& OwnControlFunctionNames() { return kOwnNames; }

const ObjectClassInfo* FindObjectClass(int64_t objectType) {
  auto it = kObjectClasses.lower_bound(objectType);
  return it != kObjectClasses.end() && it->first == objectType ? &it->second : nullptr;
}

bool IsBufferObjectType(int64_t objectType) {
  const ObjectClassInfo* row = FindObjectClass(objectType);
  return row != nullptr && row->controlFunction == "QbufControl";
}

std::vector<std::wstring> ControlFunctionList() {
  std::vector<std::wstring> names;
  for (const auto& [type, row] : kObjectClasses) {
    const std::wstring name(row.controlFunction.begin(), row.controlFunction.end());
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

bool IsOwnControlFunctionName(const std::wstring& moduleName) {
  return kOwnNames.count(moduleName) != 0;
}

}  // namespace zor::genicam
