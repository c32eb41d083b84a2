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
    {hostcommand::kSysAlloc, {LogTag("NUM"), 2}, {LogTag("FLAG"), 3}},
    {hostcommand::kSysInquire, {LogTag("TYPE"), 1}, kNone},
    {hostcommand::kSysControl, {LogTag("TYPE"), 1}, {LogTag("VAL"), 2}},
    {hostcommand::kSysHookFunction, {LogTag("TYPE"), 0}, kNone},
    {hostcommand::kSysGetHookInfo, {LogTag("TYPE"), 1}, kNone},
    {hostcommand::kBufControl, {LogTag("TYPE"), 1}, {LogTag("VAL"), 2}},
    {hostcommand::kBufAlloc, {LogTag("ATTR"), 5}, {LogTag("FLAG"), 6}},
    {hostcommand::kDigAlloc, {LogTag("FLAG"), 2}, kNone},
    {hostcommand::kDigControl, {LogTag("TYPE"), 1}, {LogTag("VAL"), 2}},
    {hostcommand::kDigHookFunction, {LogTag("TYPE"), 1}, kNone},
    {hostcommand::kDigProcess, {LogTag("OPER"), 3}, {LogTag("FLAG"), 4}},
    {hostcommand::kDigControlFeature, {LogTag("FLAG"), 1}, {LogTag("TYPE"), 3}},
    {hostcommand::kDigInquireFeature, {LogTag("FLAG"), 1}, {LogTag("TYPE"), 3}},
    {hostcommand::kThrControl, {LogTag("TYPE"), 1}, {LogTag("VAL"), 2}},
    {hostcommand::kThrInquire, {LogTag("TYPE"), 1}, kNone},
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
