#include "platform/host/command.h"

#include <algorithm>
#include <cwchar>

#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/driverlibrary.h"
#include "platform/host/hostobject.h"
#include "platform/host/threadcontext.h"

namespace zorhost {
namespace {

// Reads the error that the driver holds for this thread (codes, then texts).
HostError ReadDriverError(DriverLibrary& driver, int64_t systemIndex) {
  QINT64 codes[4] = {0, 0, 0, 0};
  Command codeQuery(zor::hostcommand::kDrvErrorNotify, systemIndex);
  codeQuery.Integer(zor::hostcommand::kErrorQueryCodes);
  for (QINT64& code : codes) codeQuery.Address(&code);
  codeQuery.Integer(0);
  driver.Decode(codeQuery.Record());

  wchar_t texts[4][Q_ERROR_TEXT_SIZE] = {};
  Command textQuery(zor::hostcommand::kDrvErrorNotify, systemIndex);
  textQuery.Integer(zor::hostcommand::kErrorQueryTexts);
  for (auto& text : texts) textQuery.Address(text);
  textQuery.Integer(0);
  driver.Decode(textQuery.Record());

  if (codes[0] == 0) return MakeHostError(Q_ERR_DRIVER);
  auto text = [&](int i) { return std::wstring(texts[i], wcsnlen(texts[i], Q_ERROR_TEXT_SIZE)); };
  HostError error;
  error.code = codes[0];
  error.message = text(0);
  if (error.message.empty()) error.message = driver.ErrorMessage(codes[0], 0);
  for (int i = 0; i < 3; ++i) {
    error.sub[i] = codes[i + 1];
    error.subText[i] = text(i + 1);
    if (error.subText[i].empty() && codes[i + 1] != 0) {
      error.subText[i] = driver.ErrorMessage(codes[0], codes[i + 1]);
    }
  }
  return error;
}

}  // namespace

Command& Command::Real(double value) {
  QDCommandParam& param = Next();
  param.type = QD_TYPE_DOUBLE;
  param.value.real = value;
  return *this;
}

Command& Command::Function(void* function) {
  QDCommandParam& param = Next();
  param.type = QD_TYPE_FUNCTION;
  param.value.pointer = function;
  return *this;
}

Command& Command::Text(const wchar_t* text, uint32_t type) {
  QDCommandParam& param = Next();
  param.type = type;
  param.value.pointer = const_cast<wchar_t*>(text);
  if (text != nullptr) param.flags = QD_PARAM_COUNT_PENDING;
  return *this;
}

Command& Command::Array(uint32_t elementType, const void* data, int64_t count) {
  QDCommandParam& param = Next();
  param.type = QD_TYPE_ARRAY | elementType;
  param.count = count;
  param.value.pointer = const_cast<void*>(data);
  return *this;
}

bool Execute(SystemObject& system, Command& command) {
  ThreadContext& thread = CurrentThread();
  DriverLibrary& driver = *system.driver;
  const bool hadError = thread.error.code != 0;
  if (std::find(thread.drivers.begin(), thread.drivers.end(), &driver) == thread.drivers.end()) {
    thread.drivers.push_back(&driver);
  }
  thread.commandSystems.push_back(system.id);
  driver.Decode(command.Record());
  thread.commandSystems.pop_back();
  switch (command.Record().status) {
    case QD_STATUS_ERROR:
      RecordError(ReadDriverError(driver, command.Record().systemIndex));
      return false;
    case QD_STATUS_UNSUPPORTED:
      RecordError(Q_ERR_NOT_SUPPORTED, L"The system driver does not serve it.");
      return false;
    case QD_STATUS_PENDING:
      RecordError(Q_ERR_DRIVER);
      return false;
    default:
      return hadError || thread.error.code == 0;
  }
}

}  // namespace zorhost
