// The node-map publisher's driver-log events: one record at each point of a publisher's and its
// clients' lives, dropped while the driver log has no ring.
#pragma once

#include <cstdint>

#include "driver/foundation/log.h"
#include "driver/foundation/logtag.h"

namespace zor::genicam {

enum class PublisherEvent : uint32_t {
  kMapPublished = 418,
  kMapWithdrawn = 419,
  kSnapshot = 420,  // "STRT" when it begins, "END" when it ends
  kSnapshotSent = 421,
  kStart = 422,  // "MAST" or "SLAV"
  kStop = 423,
  kConnectionMade = 424,
  kConnectionDestroyed = 425,
  kClientConnected = 426,     // "C_Id"
  kClientDisconnected = 427,  // "C_Id"
  kHelloSent = 428,
  kSetRequest = 429,
  kGetRequest = 430,
  kExampleCodeRequest = 431,
  kSubscribeRequest = 432,
  kUnsubscribeRequest = 433,
  kPollingOnRequest = 434,
  kPollingOffRequest = 435,
  kNodesChanged = 436,  // "NB_F", the number of nodes
  kNodeUpdate = 437,
  kDestroyed = 438,
};

inline void LogPublisherEvent(const foundation::CLogProvider& source, PublisherEvent event,
                              uint32_t tag = foundation::kEmptyLogTag, uint64_t value = 0) {
  foundation::CLog::Instance()->Write(source, static_cast<uint32_t>(event), tag, value,
                                      foundation::kEmptyLogTag, 0, foundation::kEmptyLogTag, 0);
}

}  // namespace zor::genicam
