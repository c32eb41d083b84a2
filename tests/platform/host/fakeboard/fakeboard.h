// Test hooks of the fake board driver that the host tests load in place of the real one.
#pragma once

#include <cstdint>

#include "interfaces/hostcommand/commandrecord.h"
#include "platform/host/qtypes.h"

// Special values the fake answers in its own way.
inline constexpr QINT64 kFakeFailingSystemNumber = 99;  // system allocation fails: 4300/1
inline constexpr QINT64 kFakeUnannouncedNumber = 98;    // the system refuses its host id: 4300/1
inline constexpr QINT64 kFakeFailingInquire = 666;      // records 4310/1
inline constexpr QINT64 kFakeNestedInquire = 5000;      // asks the host for kFakeInnerInquire
inline constexpr QINT64 kFakeInnerInquire = 5001;       // answers kFakeInnerAnswer
inline constexpr QINT64 kFakeInnerAnswer = 42;
inline constexpr QINT64 kFakeHostSystemInquire = 555;  // asks the host system an unknown type
inline constexpr QINT64 kFakeNestedFailure = 5002;     // the inner command records 4310/1
inline constexpr QINT64 kFakeEventOwner = 5004;  // the owner of an event made for the host system
inline constexpr QINT64 kFakeRefusedProcess = 5005;  // a process flag the driver refuses

extern "C" {
// Copies the last record received with this opcode, as it arrived; false when none came.
bool FakeBoardLastRecord(uint16_t opcode, QDCommandRecord* copy);
// Commands received so far with this opcode.
int FakeBoardCommandCount(uint16_t opcode);
// Thread-end notices received so far.
int FakeBoardThreadEnds();
// Starts a host thread that calls the digitizer hook of `type` once with a host event whose
// driver data is `payload`; returns the host thread id.
QID FakeBoardFireDigitizerHook(int64_t digitizerIndex, QINT64 type, void* payload);
// Starts a host thread that reports error 4356 with two texts inside the quiet bracket.
QID FakeBoardReportFromThread();
}
