// BsdlEntity: one device's BSDL description as the engine uses it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace zor::isc {

enum class BsdlPortDirection { In, Out, InOut, Buffer, Linkage };

struct BsdlPortElement {
  std::string pin;
  int64_t inputCell = -1;
  int64_t clockCell = -1;
  int64_t outputCell = -1;
  int64_t observeCell = -1;
};

struct BsdlPort {
  std::string name;  // lower case
  BsdlPortDirection direction = BsdlPortDirection::In;
  bool isVector = false;
  int64_t low = 0;
  int64_t high = 0;
  bool downto = false;
  std::vector<BsdlPortElement> elements;  // one per vector index, from low up
};

struct BsdlOpcode {
  std::string name;  // lower case
  std::vector<std::string> patterns;
  bool isPrivate = false;
  int dataRegister = -1;
};

struct BsdlDataRegister {
  std::string name;  // lower case
  int64_t length = 0;
  std::string capture;
  std::vector<int> opcodes;
};

enum BsdlCellFunction : int {
  kBsdlCellNone = 0,
  kBsdlCellInput,
  kBsdlCellClock,
  kBsdlCellOutput2,
  kBsdlCellOutput3,
  kBsdlCellControl,
  kBsdlCellControlR,
  kBsdlCellInternal,
  kBsdlCellBidir,
  kBsdlCellObserveOnly,
};

enum BsdlDisableResult : int {
  kBsdlZ,
  kBsdlPull0,
  kBsdlPull1,
  kBsdlWeak0,
  kBsdlWeak1,
  kBsdlKeeper
};

struct BsdlCell {
  bool defined = false;
  char kind = 'B';
  int number = 0;
  int port = -1;
  int64_t element = 0;
  int function = kBsdlCellNone;
  char safe = 'X';
  int64_t controlCell = -1;
  int disableValue = 0;
  int disableResult = kBsdlKeeper;
};

struct BsdlWait {
  int32_t minTck = 0;
  int32_t maxTck = 0;
  float minTime = 0;
  float maxTime = 0;
};

enum BsdlFieldKind : int {
  kBsdlFieldNone = 100,
  kBsdlFieldLiteral = 101,
  kBsdlFieldIscData = 102,
  kBsdlFieldVariable = 103,
};

// One value of a field: shifted data, expected data or mask.
struct BsdlFieldValue {
  int kind = kBsdlFieldNone;
  int variable = -1;
  std::vector<uint32_t> words;  // least significant word first
  char op = '.';                // see the parser for the operator letters
  int64_t count = 0;
  char mark = 0;  // '?' data in, '!' data out, '@' both
};

struct BsdlField {
  int64_t width = 0;
  BsdlFieldValue value;
  BsdlFieldValue mask;
};

struct BsdlActivity {
  bool isLoop = false;
  int opcode = -1;
  std::vector<BsdlField> update;
  std::vector<BsdlField> capture;
  BsdlWait wait;
  bool crc = false;
  bool ost = false;
  int64_t minLoop = 0;
  int64_t maxLoop = 0;
  std::vector<BsdlActivity> loop;
};

struct BsdlVariable {
  std::string name;
  int64_t width = 0;
  std::vector<uint32_t> current;
  std::vector<uint32_t> initial;
  bool initialized = false;
};

enum BsdlPhase : int { kBsdlInitialize = 0, kBsdlRepeat = 1, kBsdlTerminate = 2 };

struct BsdlFlow {
  std::string name;
  std::string dataName;
  bool unprocessed = false;
  bool exitOnError = false;
  bool hasPhase[3] = {false, false, false};
  std::vector<BsdlActivity> phases[3];
  int64_t repeatCount = 1;
  std::vector<BsdlVariable> variables;
  int64_t dataCount = 0;  // fields that take data of the ISC data file
};

struct BsdlProcedureFlow {
  std::string name;
  std::string data;
  int flow = -1;
};

struct BsdlProcedure {
  std::string name;
  std::string dataName;
  std::vector<BsdlProcedureFlow> flows;
};

enum BsdlSetting : int { kBsdlOn = 1, kBsdlOff = 2, kBsdlOptional = 3, kBsdlRecommended = 4 };

struct BsdlActionProcedure {
  std::string name;
  std::string data;
  int procedure = -1;
  int setting = kBsdlOn;
  int overrideSetting = 0;  // from an ISC data file; 0 none
};

struct BsdlAction {
  std::string name;
  std::string dataName;
  bool proprietary = false;
  std::vector<BsdlActionProcedure> procedures;
};

// What a BSDL file may ask for: far beyond any device, and small enough that a corrupt file's
// memory and run time stay bounded. Larger values stop the parse before anything is allocated.
// Bits of an instruction, data or boundary register, and of a field of one.
constexpr int64_t kBsdlMaxRegisterLength = 1 << 20;
// Ports and port vector elements of one entity.
constexpr int64_t kBsdlMaxPortElements = 1 << 16;
// Minimum and maximum count of a flow loop, and the iterations of loops nested in one another.
constexpr int64_t kBsdlMaxLoopCount = 1 << 20;
// Repeat count of a flow.
constexpr int64_t kBsdlMaxRepeatCount = 1 << 24;
// TCK cycles and seconds of a wait.
constexpr int64_t kBsdlMaxWaitCycles = INT32_MAX;
constexpr double kBsdlMaxWaitSeconds = 3600;

// One BSDL file: the device's ports, instructions, registers, cells and IEEE 1532 flows.
struct BsdlEntity {
  std::string fileName;
  std::string name;  // lower case
  std::string pinMapName;
  std::string genericDefault;
  std::string tckPort;
  float tckFrequency = 1e6f;
  int edition = 2001;
  std::vector<BsdlPort> ports;
  int64_t instructionLength = 0;
  int64_t boundaryLength = 0;
  std::string instructionCapture;
  std::vector<BsdlOpcode> opcodes;
  int sample = -1, extest = -1, bypass = -1, idcode = -1, usercode = -1, user1 = -1, user2 = -1;
  std::vector<BsdlDataRegister> registers;
  std::string idcodeRegister;
  std::string usercodeRegister;
  std::string blankUsercode;
  int iscStatus = -1;
  std::string pinBehaviorOpcode;
  bool pinBehaviorClamp = false;
  std::vector<std::string> illegalExit;
  std::vector<BsdlCell> cells;
  bool cellsDefined = false;
  bool registerAccessDefined = false;
  bool usesSites = false;
  bool usesPins = false;
  bool pinMapParsed = false;
  std::vector<BsdlFlow> flows;
  std::vector<BsdlProcedure> procedures;
  std::vector<BsdlAction> actions;
  bool flowsDefined = false, proceduresDefined = false, actionsDefined = false;
  bool tckDefined = false, statusDefined = false, pinBehaviorDefined = false;
  bool privateDefined = false;
  bool ended = false;
  std::unordered_map<std::string, int> portIndex;
  std::unordered_map<std::string, int> opcodeIndex;
  std::unordered_map<std::string, int> registerIndex;
  std::unordered_map<std::string, int> flowIndex;  // by name and data name
  std::unordered_map<std::string, int> procedureIndex;
  std::unordered_map<std::string, int> actionIndex;

  // Records are found by name (and data name) through an index, so that a parse takes time in
  // proportion to the file.
  void AddPort(const BsdlPort& port);
  void AddOpcode(const BsdlOpcode& opcode);
  void AddRegister(const BsdlDataRegister& reg);
  void AddFlow(BsdlFlow flow);
  void AddProcedure(const BsdlProcedure& procedure);
  void AddAction(const BsdlAction& action);
  int FindOpcode(const std::string& lowerName) const;
  int FindPort(const std::string& lowerName) const;
  int FindRegister(const std::string& lowerName) const;
  int FindFlow(const std::string& lowerName, const std::string& lowerData) const;
  int FindProcedure(const std::string& lowerName, const std::string& lowerData) const;
  int FindAction(const std::string& lowerName, const std::string& lowerData) const;
  int ErrorExitProcedure() const;
  // Length of the data register that the instruction selects; 0 when unknown.
  int64_t RegisterLength(int opcode) const;
};

}  // namespace zor::isc
