// CommandLog: the driver-log records written when a command starts and when it ends.
#include "driver/frameworkuser/dispatch/commandlog.h"

#include "driver/foundation/log.h"
#include "driver/foundation/logprovider.h"
#include "driver/foundation/logtag.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "interfaces/hostcommand/opcodes.h"

using zor::foundation::CLog;
using zor::foundation::CLogProvider;
using zor::foundation::kEmptyLogTag;
using zor::foundation::LogTag;

namespace zor::frame {
namespace {

constexpr int kCommandCategory = 12;
constexpr uint32_t kKindCommandStart = 4;
constexpr uint32_t kKindCommandEnd = 5;

struct TagPair {
  uint32_t tag;
  int slot;
};

// The two values that the end record carries for an opcode, by slot.
struct EndTags {
  uint16_t opcode;
  TagPair first;
  TagPair second;
};

// A pair the opcode does not fill: tag 0, value 0.
constexpr TagPair kNone{0, -1};
constexpr EndTags kEndTags[] = {
    {0x0001, {LogTag("NUM"), 2}, {LogTag("FLAG"), 3}},
    {0x0003, {LogTag("TYPE"), 1}, kNone},
    {0x0004, {LogTag("TYPE"), 1}, {LogTag("VAL"), 2}},
    {0x0007, {LogTag("TYPE"), 0}, kNone},
    {0x0008, {LogTag("TYPE"), 1}, kNone},
    {0x0210, {LogTag("TYPE"), 1}, {LogTag("VAL"), 2}},
    {0x0213, {LogTag("ATTR"), 5}, {LogTag("FLAG"), 6}},
    {0x0601, {LogTag("FLAG"), 2}, kNone},
    {0x0609, {LogTag("TYPE"), 1}, {LogTag("VAL"), 2}},
    {0x060C, {LogTag("TYPE"), 1}, kNone},
    {0x0610, {LogTag("OPER"), 3}, {LogTag("FLAG"), 4}},
    {0x0612, {LogTag("FLAG"), 1}, {LogTag("TYPE"), 3}},
    {0x0613, {LogTag("FLAG"), 1}, {LogTag("TYPE"), 3}},
    {0x2E02, {LogTag("TYPE"), 1}, {LogTag("VAL"), 2}},
    {0x2E04, {LogTag("TYPE"), 1}, kNone},
};

}  // namespace

CommandLog::CommandLog(QDDeviceDriver& driver, const QDCommandWrapper& command)
    : command_(command), enabled_(CLog::Instance()->IsCategoryEnabled(kCommandCategory)) {
  if (!enabled_) return;
  if (command.Opcode() != hostcommand::kSysAlloc) {
    if (const auto system = driver.Systems().GetAt(command.SystemIndex())) {
      deviceNumber_ = system->DeviceNumber();
    }
  }
  CLog::Instance()->Write(CLogProvider(0, 1, 120, deviceNumber_), kKindCommandStart, LogTag("OPCD"),
                          command.Record().operation, kEmptyLogTag, 0, kEmptyLogTag, 0);
}

void CommandLog::End() const {
  if (!enabled_) return;
  TagPair first = kNone;
  TagPair second = kNone;
  for (const EndTags& tags : kEndTags) {
    if (tags.opcode == command_.Opcode()) {
      first = tags.first;
      second = tags.second;
    }
  }
  const auto value = [this](const TagPair& pair) -> uint64_t {
    return pair.slot < 0 ? 0 : static_cast<uint64_t>(command_.GetArgInteger(pair.slot));
  };
  CLog::Instance()->Write(CLogProvider(0, 1, 120, deviceNumber_), kKindCommandEnd, LogTag("OPCD"),
                          command_.Record().operation, first.tag, value(first), second.tag,
                          value(second));
}

}  // namespace zor::frame
