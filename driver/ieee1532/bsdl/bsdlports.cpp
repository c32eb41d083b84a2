// Parses a BSDL entity's port list and pin map.
#include <cstdlib>
#include <map>
#include <unordered_set>

#include "driver/ieee1532/bsdl/bsdlparsing.h"

namespace zor::isc {

namespace {

BsdlPortDirection ParseDirection(IscInputFile& file) {
  BsdlNext(file);
  if (BsdlIs(file, "in")) return BsdlPortDirection::In;
  if (BsdlIs(file, "out")) return BsdlPortDirection::Out;
  if (BsdlIs(file, "inout")) return BsdlPortDirection::InOut;
  if (BsdlIs(file, "buffer")) return BsdlPortDirection::Buffer;
  if (BsdlIs(file, "linkage")) return BsdlPortDirection::Linkage;
  BsdlError(file, "Unknown port type [%s]", file.token.c_str());
}

const char* DirectionWord(BsdlPortDirection direction) {
  switch (direction) {
    case BsdlPortDirection::In:
      return "in";
    case BsdlPortDirection::Out:
      return "out";
    case BsdlPortDirection::InOut:
      return "io";
    case BsdlPortDirection::Buffer:
      return "buffer";
    case BsdlPortDirection::Linkage:
      return "linkage";
  }
  return "?";
}

void ParseVectorRange(IscInputFile& file, BsdlPort& port) {
  BsdlExpect(file, '(');
  int64_t first = BsdlPositive(file);
  BsdlNext(file);
  if (!BsdlIs(file, "to") && !BsdlIs(file, "downto")) BsdlError(file, "Expecting to/downto");
  port.downto = BsdlIs(file, "downto");
  int64_t second = BsdlPositive(file);
  if (!port.downto && first > second) BsdlError(file, "Use 'to' for [min..max]");
  if (port.downto && first < second) BsdlError(file, "Use 'downto' for [max..min]");
  BsdlExpect(file, ')');
  port.isVector = true;
  port.low = port.downto ? second : first;
  port.high = port.downto ? first : second;
  // Both bounds are at least 0, so the difference cannot overflow; the count is checked before
  // the elements are made.
  if (port.high - port.low >= kBsdlMaxPortElements) {
    BsdlError(file, "Port vector of [%ld] to [%ld] has more than [%ld] elements",
              static_cast<long>(port.low), static_cast<long>(port.high),
              static_cast<long>(kBsdlMaxPortElements));
  }
}

// Names up to the ':' of one declaration, new to the entity and to one another.
void ReadPortNames(const BsdlEntity& entity, IscInputFile& file, std::vector<std::string>& names) {
  std::unordered_set<std::string> group;
  while (true) {
    BsdlNext(file);
    if (!BsdlIsName(file)) BsdlError(file, "Expecting port name");
    if (entity.FindPort(file.lowerToken) >= 0 || !group.insert(file.lowerToken).second) {
      BsdlError(file, "[%s] already defined", file.token.c_str());
    }
    names.push_back(file.lowerToken);
    BsdlNext(file);
    if (BsdlIsChar(file, ':')) return;
    if (!BsdlIsChar(file, ',')) BsdlError(file, "Expected [%c] in BSDL file", ':');
  }
}

// The direction, then "bit" or "bit_vector" with its range.
void ReadPortType(IscInputFile& file, BsdlPort& port) {
  port.direction = ParseDirection(file);
  BsdlNext(file);
  if (BsdlIs(file, "bit_vector")) {
    ParseVectorRange(file, port);
  } else if (!BsdlIs(file, "bit")) {
    BsdlError(file, "Unknown port size [%s]", file.token.c_str());
  }
}

// One port of the type for each name; elements counts the entity's port elements.
void AddPorts(BsdlEntity& entity, IscInputFile& file, BsdlPort& port,
              const std::vector<std::string>& names, int64_t& elements) {
  const int64_t count = port.high - port.low + 1;
  elements += count * static_cast<int64_t>(names.size());
  if (elements > kBsdlMaxPortElements) {
    BsdlError(file, "Ports of [%s] have more than [%ld] elements", entity.name.c_str(),
              static_cast<long>(kBsdlMaxPortElements));
  }
  port.elements.resize(static_cast<size_t>(count));
  for (const std::string& name : names) {
    port.name = name;
    entity.AddPort(port);
  }
}

}  // namespace

void BsdlParsePortList(BsdlEntity& entity, IscInputFile& file) {
  BsdlExpect(file, '(');
  int64_t elements = 0;
  for (const BsdlPort& port : entity.ports) elements += static_cast<int64_t>(port.elements.size());
  while (true) {
    std::vector<std::string> names;
    ReadPortNames(entity, file, names);
    BsdlPort port;
    ReadPortType(file, port);
    AddPorts(entity, file, port, names, elements);
    BsdlNext(file);
    if (BsdlIsChar(file, ')')) break;
    if (!BsdlIsChar(file, ';'))
      BsdlError(file, "Mismatched BSDL brackets (see previous BSDL section)");
  }
  BsdlExpect(file, ';');
}

namespace {

struct PinMapper {
  BsdlEntity& entity;
  IscInputFile& value;
  std::map<std::string, std::string> usedBy;

  void Assign(BsdlPort& port, size_t element, const std::string& pin, bool isNumber) {
    if (isNumber && entity.usesSites) {
      BsdlError(value, "Entity [%s] already using site numbers", entity.name.c_str());
    }
    if (!isNumber && entity.usesPins) {
      BsdlError(value, "Entity [%s] already using pin numbers", entity.name.c_str());
    }
    (isNumber ? entity.usesPins : entity.usesSites) = true;
    auto used = usedBy.find(pin);
    if (used != usedBy.end()) {
      BsdlError(value, "Port mapping [%s] already used by [%s]", pin.c_str(), used->second.c_str());
    }
    BsdlPortElement& target = port.elements[element];
    if (!target.pin.empty()) {
      BsdlError(value, "[%s] already assigned to %s", port.name.c_str(), target.pin.c_str());
    }
    usedBy[pin] = port.name;
    target.pin = pin;
  }

  void ReadPin(std::string& pin, bool& isNumber) {
    BsdlNext(value);
    if (value.tokenKind != kIscTokenNumber && value.tokenKind != kIscTokenName) {
      BsdlError(value, "Invalid port map [%s]", value.token.c_str());
    }
    pin = value.token;
    isNumber = value.tokenKind == kIscTokenNumber;
  }

  void MapVector(BsdlPort& port) {
    size_t count = 0;
    while (true) {
      std::string pin;
      bool isNumber = false;
      ReadPin(pin, isNumber);
      if (count >= port.elements.size()) {
        BsdlError(value, "port vector [%s] has only [%ld] elements", port.name.c_str(),
                  static_cast<long>(port.elements.size()));
      }
      Assign(port, count++, pin, isNumber);
      BsdlNext(value);
      if (BsdlIsChar(value, ')')) break;
      if (!BsdlIsChar(value, ',')) BsdlError(value, "Invalid port map [%s]", value.token.c_str());
    }
    if (count != port.elements.size()) {
      BsdlError(value, "incomplete vector mapping (only %ld of %ld specified)",
                static_cast<long>(count), static_cast<long>(port.elements.size()));
    }
  }

  void MapEntry() {
    if (!BsdlIsName(value)) BsdlError(value, "Expecting port name");
    int index = entity.FindPort(value.lowerToken);
    if (index < 0) BsdlError(value, "Cannot find port [%s]", value.token.c_str());
    BsdlPort& port = entity.ports[static_cast<size_t>(index)];
    BsdlNext(value);
    int64_t element = -1;
    if (BsdlIsChar(value, '(')) {
      if (!port.isVector) BsdlError(value, "[%s] is not a port vector", port.name.c_str());
      element = BsdlPositive(value);
      if (element < port.low || element > port.high) {
        BsdlError(value, "Cannot find port vector element [%s]", value.token.c_str());
      }
      BsdlExpect(value, ')');
      BsdlNext(value);
    }
    if (!BsdlIsChar(value, ':')) BsdlError(value, "Invalid port map [%s]", value.token.c_str());
    BsdlNext(value);
    if (BsdlIsChar(value, '(')) {
      if (!port.isVector || element >= 0) {
        BsdlError(value, "[%s] is not a port vector", port.name.c_str());
      }
      MapVector(port);
      return;
    }
    InputFilePushBackToken(value);
    std::string pin;
    bool isNumber = false;
    ReadPin(pin, isNumber);
    Assign(port, element >= 0 ? static_cast<size_t>(element - port.low) : 0, pin, isNumber);
  }
};

}  // namespace

void BsdlParsePinMap(BsdlEntity& entity, IscInputFile& value) {
  PinMapper mapper{entity, value, {}};
  while (true) {
    BsdlNext(value);
    if (value.eof) break;
    mapper.MapEntry();
    BsdlNext(value);
    if (value.eof) break;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "Invalid port map [%s]", value.token.c_str());
  }
  entity.pinMapParsed = true;
  bool missing = false;
  for (const BsdlPort& port : entity.ports) {
    bool mapped = true;
    for (const BsdlPortElement& element : port.elements) mapped = mapped && !element.pin.empty();
    if (mapped) continue;
    BsdlWarn(value, "[%s] port [%s] not mapped to any pin/site", DirectionWord(port.direction),
             port.name.c_str());
    missing = missing || port.direction != BsdlPortDirection::Linkage;
  }
  if (missing) BsdlError(value, "In/Out/InOut/Buffer ports must be assigned to pins/sites");
}

}  // namespace zor::isc
