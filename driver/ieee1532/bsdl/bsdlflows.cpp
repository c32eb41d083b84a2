// BsdlParseFlows: the ISC flows of a device, their activities, loops and waits.
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "driver/ieee1532/bsdl/bsdlparsing.h"

namespace zor::isc {

namespace {

// A loop written without "max" may try this many times beyond its minimum; a loop must end.
constexpr int64_t kDefaultLoopRetries = 1024;
// Activity lists nest through recursion; real flows nest a few levels.
constexpr int kMaxListNesting = 64;

struct FlowParser {
  BsdlEntity& entity;
  IscInputFile& value;
  BsdlFlow& flow;
  int depth = 0;
  int64_t enclosingIterations = 1;  // of the loops around the list being read

  void ReadWaitSpec(int32_t& tck, float& time) {
    BsdlNext(value);
    if (BsdlIsName(value) && value.tokenKind == kIscTokenName &&
        !std::isdigit(static_cast<unsigned char>(value.token[0]))) {
      if (entity.tckPort.empty()) BsdlError(value, "Missing TCK port ID");
      if (value.lowerToken != entity.tckPort) {
        BsdlError(value, "Must use TCK port name [%s]", entity.tckPort.c_str());
      }
      BsdlNext(value);
      if (BsdlIsChar(value, '-') || value.tokenKind != kIscTokenNumber) {
        BsdlError(value, "Positive number expected");
      }
      const int64_t cycles = InputFileTokenValue(value);
      if (cycles > kBsdlMaxWaitCycles) {
        BsdlError(value, "Wait of [%ld] TCK cycles exceeds [%ld]", static_cast<long>(cycles),
                  static_cast<long>(kBsdlMaxWaitCycles));
      }
      tck = static_cast<int32_t>(cycles);
      BsdlNext(value);
      if (!BsdlIsChar(value, ',')) {
        InputFilePushBackToken(value);
        return;
      }
      BsdlNext(value);
    }
    if (BsdlIsName(value) && !std::isdigit(static_cast<unsigned char>(value.token[0]))) {
      BsdlError(value, "Specify cycle, time, or both");
    }
    if (value.token.empty() || !std::isdigit(static_cast<unsigned char>(value.token[0]))) {
      BsdlError(value, "Unknown wait format");
    }
    InputFilePushBackToken(value);
    double real = 0;
    int64_t integer = 0;
    InputFileReadNumber(value, real, integer);
    if (real > kBsdlMaxWaitSeconds) {
      BsdlError(value, "Wait of [%g] seconds exceeds [%g]", real, kBsdlMaxWaitSeconds);
    }
    time = static_cast<float>(real);
  }

  void ReadWait(BsdlActivity& activity) {
    ReadWaitSpec(activity.wait.minTck, activity.wait.minTime);
    BsdlNext(value);
    if (BsdlIs(value, "max")) {
      ReadWaitSpec(activity.wait.maxTck, activity.wait.maxTime);
      BsdlNext(value);
    }
  }

  void CheckWidths(const BsdlActivity& activity, const std::vector<BsdlField>& fields) {
    if (fields.empty()) return;
    const BsdlOpcode& opcode = entity.opcodes[static_cast<size_t>(activity.opcode)];
    if (opcode.dataRegister < 0) {
      BsdlError(value, "Data reg for %s not defined in REGISTER_ACCESS section",
                opcode.name.c_str());
    }
    int64_t width = 0;
    for (const BsdlField& field : fields) width += field.width;
    int64_t length = entity.RegisterLength(activity.opcode);
    if (width != length) {
      BsdlError(value, "%s field width [%ld] != data reg [%s] width [%ld]", opcode.name.c_str(),
                static_cast<long>(width),
                entity.registers[static_cast<size_t>(opcode.dataRegister)].name.c_str(),
                static_cast<long>(length));
    }
  }

  // Fields separated by ','; the current token is the first width. Leaves the token after them.
  void ReadFields(BsdlActivity& activity, std::vector<BsdlField>& fields, bool capture) {
    while (value.tokenKind == kIscTokenNumber) {
      BsdlField field;
      BsdlParseActivityField(flow, value, field);
      fields.push_back(field);
      while (capture && BsdlIsChar(value, ':')) {
        BsdlNext(value);
        if (BsdlIs(value, "crc")) {
          if (activity.crc) BsdlWarn(value, "CRC already specified");
          activity.crc = true;
        } else if (BsdlIs(value, "ost")) {
          if (activity.ost) BsdlWarn(value, "OST already specified");
          activity.ost = true;
        } else {
          BsdlError(value, "CRC or OST expected");
        }
        BsdlNext(value);
      }
      if (!BsdlIsChar(value, ',')) return;
      BsdlNext(value);
      if (!capture && BsdlIs(value, "wait")) return;
    }
  }

  // An instruction activity; the current token is the instruction. Ends at its ')'.
  void ReadInstruction(BsdlActivity& activity) {
    if (entity.opcodes.empty()) BsdlError(value, "No opcodes!");
    if (!BsdlIsName(value)) BsdlError(value, "instruction expected");
    activity.opcode = entity.FindOpcode(value.lowerToken);
    if (activity.opcode < 0) BsdlError(value, "[%s] not found", value.token.c_str());
    BsdlNext(value);
    ReadFields(activity, activity.update, false);
    if (!activity.update.empty() && !BsdlIs(value, "wait") && !BsdlIsChar(value, ')') &&
        value.tokenKind != kIscTokenNumber) {
      BsdlError(value, "',' or wait expected");
    }
    if (BsdlIs(value, "wait")) ReadWait(activity);
    ReadFields(activity, activity.capture, true);
    if (!BsdlIsChar(value, ')')) BsdlError(value, "',' or ')' expected");
    CheckWidths(activity, activity.update);
    CheckWidths(activity, activity.capture);
  }

  void ReadLoopHeader(BsdlActivity& loop) {
    loop.isLoop = true;
    bool hasMax = false;
    BsdlNext(value);
    while (BsdlIs(value, "min") || BsdlIs(value, "max")) {
      bool isMin = BsdlIs(value, "min");
      int64_t count = BsdlPositive(value);
      if (count > kBsdlMaxLoopCount) {
        BsdlError(value, "Loop count [%ld] exceeds [%ld]", static_cast<long>(count),
                  static_cast<long>(kBsdlMaxLoopCount));
      }
      (isMin ? loop.minLoop : loop.maxLoop) = count;
      hasMax = hasMax || !isMin;
      BsdlNext(value);
    }
    // A word or a bare count here is a misspelt or missing "min"/"max".
    if (value.tokenKind == kIscTokenName || value.tokenKind == kIscTokenNumber) {
      BsdlError(value, "Expecting MIN and/or MAX loopcount");
    }
    if (!hasMax) loop.maxLoop = loop.minLoop + kDefaultLoopRetries;
    if (loop.minLoop > loop.maxLoop) BsdlError(value, "Min loop count > Max loop count");
    InputFilePushBackToken(value);
  }

  // Reads a loop's list with the loop counted among the enclosing ones: loops nested in one
  // another multiply their iterations.
  void ReadLoopItems(BsdlActivity& loop) {
    const int64_t outer = enclosingIterations;
    const int64_t iterations = outer * std::max<int64_t>(loop.maxLoop, 1);
    if (outer > 1 && iterations > kBsdlMaxLoopCount) {
      BsdlError(value, "Nested loops run up to [%ld] iterations, more than [%ld]",
                static_cast<long>(iterations), static_cast<long>(kBsdlMaxLoopCount));
    }
    enclosingIterations = iterations;
    ReadItems(loop.loop, true);
    enclosingIterations = outer;
  }

  // Items of an activity list: "(instr ...)", "(loop ... items)" or "loop ... (items)".
  void ReadItems(std::vector<BsdlActivity>& list, bool inLoop) {
    struct Nesting {
      int& depth;
      ~Nesting() { --depth; }
    } nesting{++depth};
    if (depth > kMaxListNesting) {
      BsdlError(value, "Activity lists nested deeper than %d levels", kMaxListNesting);
    }
    while (true) {
      BsdlNext(value);
      if (BsdlIs(value, "loop")) {
        BsdlActivity loop;
        ReadLoopHeader(loop);
        BsdlExpect(value, '(');
        ReadLoopItems(loop);
        list.push_back(loop);
        continue;
      }
      if (!BsdlIsChar(value, '(')) break;
      BsdlNext(value);
      BsdlActivity activity;
      if (BsdlIs(value, "loop")) {
        ReadLoopHeader(activity);
        ReadLoopItems(activity);
      } else if (BsdlIsChar(value, '(')) {
        if (!inLoop) BsdlError(value, "activity list is not part of a loop");
        InputFilePushBackToken(value);
        ReadItems(list, true);
        continue;
      } else {
        ReadInstruction(activity);
      }
      list.push_back(activity);
    }
    if (inLoop) {
      if (!BsdlIsChar(value, ')')) BsdlError(value, "terminate loop (activity list) with ')'");
      return;
    }
    InputFilePushBackToken(value);
  }

  void ReadPhases() {
    bool any = false;
    while (true) {
      BsdlNext(value);
      int phase = -1;
      if (BsdlIs(value, "initialize")) phase = kBsdlInitialize;
      if (BsdlIs(value, "repeat")) phase = kBsdlRepeat;
      if (BsdlIs(value, "terminate")) phase = kBsdlTerminate;
      if (phase < 0) {
        if (!any) BsdlError(value, "Initialize/Repeat/Terminate expected");
        InputFilePushBackToken(value);
        return;
      }
      if (flow.hasPhase[phase]) {
        BsdlError(value, "[%s] activity list already defined", value.token.c_str());
      }
      if (phase == kBsdlRepeat) {
        BsdlNext(value);
        if (value.tokenKind != kIscTokenNumber) BsdlError(value, "Expecting repeat count");
        flow.repeatCount = InputFileTokenValue(value);
        if (flow.repeatCount > kBsdlMaxRepeatCount) {
          BsdlError(value, "Repeat count [%ld] exceeds [%ld]", static_cast<long>(flow.repeatCount),
                    static_cast<long>(kBsdlMaxRepeatCount));
        }
      }
      flow.hasPhase[phase] = true;
      any = true;
      size_t before = flow.phases[phase].size();
      ReadItems(flow.phases[phase], false);
      if (flow.phases[phase].size() == before) BsdlError(value, "'(' or LOOP expected");
    }
  }
};

bool IsReserved(const std::string& name) {
  return name == "initialize" || name == "repeat" || name == "terminate";
}

// The flow's name and data name, new to the entity; leaves the token after them.
void ReadFlowName(const BsdlEntity& entity, IscInputFile& value, BsdlFlow& flow) {
  if (!BsdlIsName(value)) BsdlError(value, "Flow name expected");
  if (IsReserved(value.lowerToken)) {
    BsdlError(value, "Cannot use reserved word [%s] as a flow name", value.token.c_str());
  }
  flow.name = value.lowerToken;
  BsdlNext(value);
  if (BsdlIsChar(value, '(')) {
    BsdlNext(value);
    if (!BsdlIsName(value)) BsdlError(value, "Flow data name expected");
    flow.dataName = value.lowerToken;
    BsdlExpect(value, ')');
    BsdlNext(value);
  }
  if (entity.FindFlow(flow.name, flow.dataName) >= 0) {
    if (flow.dataName.empty()) BsdlError(value, "Flow [%s] already defined", flow.name.c_str());
    BsdlError(value, "Flow [%s(%s)] already defined", flow.name.c_str(), flow.dataName.c_str());
  }
}

// "unprocessed" and "exit_on_error", from the current token on.
void ReadFlowMarks(IscInputFile& value, BsdlFlow& flow) {
  while (BsdlIs(value, "unprocessed") || BsdlIs(value, "exit_on_error")) {
    (BsdlIs(value, "unprocessed") ? flow.unprocessed : flow.exitOnError) = true;
    BsdlNext(value);
  }
  InputFilePushBackToken(value);
}

}  // namespace

void BsdlParseFlows(BsdlEntity& entity, IscInputFile& value) {
  while (true) {
    BsdlNext(value);
    if (value.eof) break;
    BsdlFlow flow;
    ReadFlowName(entity, value, flow);
    ReadFlowMarks(value, flow);
    FlowParser parser{entity, value, flow};
    parser.ReadPhases();
    if (flow.dataCount > 0 && flow.dataName.empty()) {
      BsdlError(value, "Flow [%s] has '?' or '?!' operator but no data name", flow.name.c_str());
    }
    entity.AddFlow(std::move(flow));
    BsdlNext(value);
    if (value.eof) break;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "',' or ')' expected");
  }
}

}  // namespace zor::isc
