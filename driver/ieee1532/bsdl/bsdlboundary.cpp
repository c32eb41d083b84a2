// Parses the boundary scan register: each cell's type, port, function, safe value and disable.
#include <cctype>
#include <cstdlib>

#include "driver/ieee1532/bsdl/bsdlparsing.h"

namespace zor::isc {

namespace {

struct FunctionName {
  const char* name;
  int function;
};

const FunctionName kFunctions[] = {
    {"input", kBsdlCellInput},
    {"clock", kBsdlCellClock},
    {"output2", kBsdlCellOutput2},
    {"output3", kBsdlCellOutput3},
    {"control", kBsdlCellControl},
    {"controlr", kBsdlCellControlR},
    {"internal", kBsdlCellInternal},
    {"bidir", kBsdlCellBidir},
    {"observe_only", kBsdlCellObserveOnly},
};

const char* const kDisableResults[] = {"z", "pull0", "pull1", "weak0", "weak1", "keeper"};

void ParseCellType(IscInputFile& value, BsdlCell& cell) {
  BsdlNext(value);
  std::string type = value.lowerToken;
  if (!BsdlIsName(value)) BsdlError(value, "Expecting BSC type");
  if (type.rfind("bc_", 0) != 0 && type.rfind("ac_", 0) != 0) {
    BsdlError(value, "Expecting BC_0 to BC_99 or AC_0 to AC_99");
  }
  cell.kind = type[0] == 'a' ? 'A' : 'B';
  std::string digits = type.substr(3);
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) {
      BsdlError(value, "Use decimal numbers for bsc type");
    }
  }
  long number = digits.empty() ? -1 : strtol(digits.c_str(), nullptr, 10);
  if (number < 0 || number > 99) {
    BsdlWarn(value, "Invalid BSC number; will use 0");
    number = 0;
  }
  cell.number = static_cast<int>(number);
}

void ParseCellPort(BsdlEntity& entity, IscInputFile& value, BsdlCell& cell) {
  BsdlNext(value);
  if (BsdlIsChar(value, '*')) return;
  cell.port = entity.FindPort(value.lowerToken);
  if (cell.port < 0) BsdlError(value, "[%s] not in port list", value.token.c_str());
  const BsdlPort& port = entity.ports[static_cast<size_t>(cell.port)];
  BsdlNext(value);
  if (!BsdlIsChar(value, '(')) {
    InputFilePushBackToken(value);
    return;
  }
  int64_t element = BsdlPositive(value);
  if (!port.isVector || element < port.low || element > port.high) {
    BsdlError(value, "[%s] not in port list", port.name.c_str());
  }
  cell.element = element - port.low;
  BsdlExpect(value, ')');
}

void ParseCellFunctionAndSafe(IscInputFile& value, BsdlCell& cell) {
  BsdlNext(value);
  cell.function = kBsdlCellNone;
  for (const FunctionName& function : kFunctions) {
    if (value.lowerToken == function.name) cell.function = function.function;
  }
  if (cell.function == kBsdlCellNone) {
    BsdlWarn(value, "[%s]: unknown BSC function (will default to no BSC function)",
             value.token.c_str());
  }
  BsdlExpect(value, ',');
  BsdlNext(value);
  std::string safe = value.lowerToken.empty() ? value.token : value.lowerToken;
  if (safe == "x" || safe == "0" || safe == "1") {
    cell.safe = safe == "x" ? 'X' : safe[0];
  } else {
    BsdlWarn(value, "[%s]: unknown safe value; will default to X", value.token.c_str());
  }
}

void ParseCellDisable(IscInputFile& value, BsdlCell& cell) {
  BsdlNext(value);
  if (value.tokenKind != kIscTokenNumber) BsdlError(value, "Expected a control cell number");
  cell.controlCell = InputFileTokenValue(value);
  BsdlExpect(value, ',');
  BsdlNext(value);
  if (value.token != "0" && value.token != "1") BsdlError(value, "DisableVal must be 0 or 1");
  cell.disableValue = value.token[0] - '0';
  BsdlExpect(value, ',');
  BsdlNext(value);
  cell.disableResult = kBsdlKeeper;
  bool known = false;
  for (int i = 0; i < 6; ++i) {
    if (value.lowerToken == kDisableResults[i]) {
      cell.disableResult = i;
      known = true;
    }
  }
  if (!known) {
    BsdlWarn(value, "[%s]: unknown disable result (will default to keeper)", value.token.c_str());
  }
}

bool IsControl(const BsdlCell& cell) {
  return cell.function == kBsdlCellControl || cell.function == kBsdlCellControlR;
}

// One cell may serve as a control cell and as a port's cell at once (a merged cell); it is then
// listed twice under one number.
bool IsMergedPair(const BsdlCell& first, const BsdlCell& second) {
  return IsControl(first) != IsControl(second);
}

void RecordAtPort(BsdlEntity& entity, IscInputFile& value, const BsdlCell& cell, int64_t number) {
  if (cell.port < 0) return;
  BsdlPort& port = entity.ports[static_cast<size_t>(cell.port)];
  BsdlPortElement& element = port.elements[static_cast<size_t>(cell.element)];
  int64_t* slot = nullptr;
  switch (cell.function) {
    case kBsdlCellInput:
      slot = &element.inputCell;
      break;
    case kBsdlCellClock:
      slot = &element.clockCell;
      break;
    case kBsdlCellOutput2:
    case kBsdlCellOutput3:
    case kBsdlCellBidir:
      slot = &element.outputCell;
      break;
    case kBsdlCellObserveOnly:
      slot = &element.observeCell;
      break;
    default:
      return;
  }
  if (*slot >= 0) {
    std::string upper;
    for (const FunctionName& function : kFunctions) {
      if (function.function == cell.function) upper = function.name;
    }
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    BsdlError(value, "BSC [%ld]: Port [%s] already assigned %s BSC [%ld]",
              static_cast<long>(number), port.name.c_str(), upper.c_str(),
              static_cast<long>(*slot));
  }
  *slot = number;
}

}  // namespace

void BsdlParseBoundaryRegister(BsdlEntity& entity, IscInputFile& value) {
  if (entity.cellsDefined) BsdlError(value, "BSC register already defined");
  entity.cellsDefined = true;
  entity.cells.assign(static_cast<size_t>(entity.boundaryLength), BsdlCell{});
  while (true) {
    BsdlNext(value);
    if (value.eof) break;
    if (value.tokenKind != kIscTokenNumber) BsdlError(value, "Positive number expected");
    int64_t number = InputFileTokenValue(value);
    if (number >= entity.boundaryLength) {
      BsdlError(value, "BSC [%ld] out of range", static_cast<long>(number));
    }
    BsdlCell& stored = entity.cells[static_cast<size_t>(number)];
    BsdlCell cell;
    BsdlExpect(value, '(');
    ParseCellType(value, cell);
    BsdlExpect(value, ',');
    ParseCellPort(entity, value, cell);
    BsdlExpect(value, ',');
    ParseCellFunctionAndSafe(value, cell);
    BsdlNext(value);
    if (BsdlIsChar(value, ',')) {
      ParseCellDisable(value, cell);
      BsdlNext(value);
    }
    if (!BsdlIsChar(value, ')')) BsdlError(value, "Expected [%c] in BSDL file", ')');
    if (stored.defined && !IsMergedPair(stored, cell)) {
      BsdlError(value, "BSC [%ld] already defined", static_cast<long>(number));
    }
    cell.defined = true;
    RecordAtPort(entity, value, cell, number);
    if (!stored.defined || !IsControl(cell)) stored = cell;
    BsdlNext(value);
    if (value.eof) break;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "Expected [%c] in BSDL file", ',');
  }
  for (size_t i = 0; i < entity.cells.size(); ++i) {
    if (!entity.cells[i].defined) BsdlError(value, "BSC [%ld] not defined", static_cast<long>(i));
  }
}

}  // namespace zor::isc
