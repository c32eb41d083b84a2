// Digitizer and system hooks through libZOR.so: events of the simulated
// board reach the user's functions with their information, on several
// digitizers at once, and stop when unhooked or freed.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <iterator>
#include <mutex>
#include <vector>

#include "interfaces/kernel/deviceevent.h"
#include "platform/os/sync/wait.h"
#include "tests/driver/board/digitizer/digitizerfixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kFrameStart = 13;
constexpr QINT64 kFrameEnd = 5;
constexpr QINT64 kFirstField = 14;
constexpr QINT64 kWaitNextFrame = 5;
constexpr uint64_t kFrameStartBase = 0x10090000;

struct Seen {
  QINT64 hookType;
  QINT64 eventType;
  QINT64 channel;
  QINT64 frames;
  QINT64 bufferError;
};

struct Recorder {
  std::mutex lock;
  std::vector<Seen> seen;
  std::vector<Seen> Take() {
    std::lock_guard guard(lock);
    return seen;
  }
};

QINT64 OnEvent(QINT64 hookType, QID event, void* user) {
  Seen s{hookType, 0, 0, 0, 0};
  QdigGetHookInfo(event, 64, &s.eventType);
  QdigGetHookInfo(event, 0x40430000, &s.channel);
  s.bufferError = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);  // no buffer on frame events
  auto* recorder = static_cast<Recorder*>(user);
  std::lock_guard guard(recorder->lock);
  recorder->seen.push_back(s);
  return 0;
}

using DigitizerHooks = DigitizerFixture;

TEST_F(DigitizerHooks, FrameEventsReachTheFunctionsOfSeveralDigitizers) {
  const QID first = Digitizer(L"Q_NTSC", 0);
  const QID second = Digitizer(L"Q_PAL", 2);
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  Recorder one, two;
  QdigHookFunction(first, kFrameStart, &OnEvent, &one);
  QdigHookFunction(first, kFrameEnd, &OnEvent, &one);
  QdigHookFunction(second, kFirstField, &OnEvent, &two);
  ASSERT_EQ(ErrorCode(), 0);
  for (int i = 0; i < 3; ++i) {
    QdigGrabWait(first, kWaitNextFrame);
    QdigGrabWait(second, kWaitNextFrame);
  }
  ASSERT_EQ(ErrorCode(), 0);
  // Deliveries run on the hook threads; a frame's end event may still be on its way.
  for (int i = 0; i < 5000 && (one.Take().size() < 6 || two.Take().size() < 3); ++i) os::Sleep(1);
  const std::vector<Seen> seenOne = one.Take();
  const std::vector<Seen> seenTwo = two.Take();
  ASSERT_GE(seenOne.size(), 6u);
  ASSERT_GE(seenTwo.size(), 3u);
  for (const Seen& s : seenOne) {
    const QINT64 base = s.hookType == kFrameStart ? 0x10090000 : 0x100A0000;
    EXPECT_EQ(s.eventType, base | 0);
    EXPECT_EQ(s.channel, 0);
    EXPECT_EQ(s.bufferError, 4359) << "frame events name no buffer";
  }
  for (const Seen& s : seenTwo) {
    EXPECT_EQ(s.hookType, kFirstField);
    EXPECT_EQ(s.eventType, 0x10010000 | 2);
    EXPECT_EQ(s.channel, 2);
  }
  // Unhooking stops delivery and the wait behind it.
  QdigHookFunction(first, kFrameStart + Q_UNHOOK, &OnEvent, &one);
  EXPECT_EQ(SimBoard().PendingEventWaits(kFrameStartBase | 0), 0u);
  EXPECT_EQ(SimBoard().PendingEventWaits(0x100A0000 | 0), 1u);
}

TEST_F(DigitizerHooks, HookingATypeTwiceKeepsOneThread) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  Recorder a, b;
  QdigHookFunction(digitizer, kFrameStart, &OnEvent, &a);
  QdigHookFunction(digitizer, kFrameStart, &OnEvent, &b);
  EXPECT_EQ(SimBoard().PendingEventWaits(kFrameStartBase), 1u);
  QdigGrabWait(digitizer, kWaitNextFrame);
  for (int i = 0; i < 5000 && b.Take().empty(); ++i) os::Sleep(1);
  EXPECT_FALSE(b.Take().empty()) << "the second hook replaced the first";
  EXPECT_TRUE(a.Take().empty());
  QdigHookFunction(digitizer, 12345, &OnEvent, &a);
  EXPECT_EQ(LastError(), Err(4325, 1));
}

TEST_F(DigitizerHooks, FreeingEndsEveryHookThread) {
  const QID digitizer = Digitizer(L"Q_NTSC", 1);
  Recorder r;
  // Each hook type of grab and frame events, with its events' base.
  const std::pair<QINT64, uint64_t> hooks[] = {{Q_GRAB_START, 0x10070000},
                                               {Q_GRAB_END, 0x10080000},
                                               {kFrameStart, kFrameStartBase},
                                               {kFrameEnd, 0x100A0000},
                                               {kFirstField, 0x10010000},
                                               {15, 0x10020000},
                                               {16, 0x10030000},
                                               {8, 0x10040000},
                                               {6, 0x10050000},
                                               {7, 0x10060000}};
  for (const auto& [hookType, base] : hooks) {
    QdigHookFunction(digitizer, hookType, &OnEvent, &r);
    EXPECT_EQ(SimBoard().PendingEventWaits(base | 1), 1u) << hookType;
  }
  QdigFree(digitizer);
  for (const auto& [hookType, base] : hooks) {
    EXPECT_EQ(SimBoard().PendingEventWaits(base | 1), 0u) << hookType;
  }
  // A digitizer left hooked goes with its system.
  const QID other = Digitizer(L"Q_PAL", 3);
  QdigHookFunction(other, kFrameEnd, &OnEvent, &r);
  EXPECT_EQ(SimBoard().PendingEventWaits(0x100A0000 | 3), 1u);
  QsysFree(system_);
  system_ = 0;
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(SimBoard().PendingEventWaits(0x100A0000 | 3), 0u);
}

// The information types of a board event's words, in the record's order from its time stamp, the
// I/O state's second name, and a type of no word.
constexpr QINT64 kWordTypes[] = {0x1C0000,   0x40160000, 0x401B0000, 0x40410000, 0x40420000,
                                 0x40430000, 0x40480000, 64,         66,         6923,
                                 0x8A000,    0x81000,    0xA0000000, 12345};
constexpr size_t kWords = std::size(kWordTypes);

// Bytes of the record asked for: the last taken and the first refused at each end.
constexpr QINT64 kByteCounts[] = {8, 9, 1, 0};

struct Copies {
  std::array<QINT64, 4> words{};
  std::array<QINT64, 4> wordErrors{};
  QINT64 answers[kWords] = {};
  QINT64 errors[kWords] = {};
  std::atomic<bool> done{false};
};

QINT64 CopyRecord(QINT64, QID event, void* user) {
  auto* copies = static_cast<Copies*>(user);
  for (size_t i = 0; i < copies->words.size(); ++i) {
    copies->words[i] = kByteCounts[i];
    QdigGetHookInfo(event, 0x1D0000, &copies->words[i]);
    copies->wordErrors[i] = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  }
  for (size_t i = 0; i < kWords; ++i) {
    copies->answers[i] = -7;
    QdigGetHookInfo(event, kWordTypes[i], &copies->answers[i]);
    copies->errors[i] = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  }
  copies->done = true;
  return 0;
}

TEST_F(DigitizerHooks, TheRecordCopyStaysWithinTheCallersWord) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  Copies copies;
  QdigHookFunction(digitizer, kFrameStart, &CopyRecord, &copies);
  kernel::BoardEventPayload payload{};
  payload.size = kernel::kBoardEventSize;
  ASSERT_TRUE(SimBoard().RaiseEvent(kFrameStartBase, payload));
  for (int i = 0; i < 5000 && !copies.done; ++i) os::Sleep(1);
  ASSERT_TRUE(copies.done);
  // The record's size word, 104, in 8 bytes or its low byte; a refused count copies nothing.
  EXPECT_EQ(copies.words, (std::array<QINT64, 4>{104, 9, 104, 0}));
  EXPECT_EQ(copies.wordErrors, (std::array<QINT64, 4>{0, 4359, 0, 4359}));
  // Each word as the board sent it; the buffer's words are valid only when the event names one.
  for (QINT64 hostBuffer : {0, 77}) {
    SCOPED_TRACE(hostBuffer);
    const QINT64 index = hostBuffer != 0 ? 3 : -1;
    const QINT64 expected[kWords - 1] = {1000, hostBuffer, index, 1003, 1004, 1005, 1006,
                                         1007, 1008,       1009,  1010, 1011, 1010};
    // The board sends the words after its size word as they are answered; the last answer is
    // the I/O state's second name.
    kernel::BoardEventPayload words{};
    words.size = kernel::kBoardEventSize;
    std::memcpy(reinterpret_cast<char*>(&words) + sizeof words.size, expected,
                (kWords - 2) * sizeof(QINT64));
    copies.done = false;
    ASSERT_TRUE(SimBoard().RaiseEvent(kFrameStartBase, words));
    for (int i = 0; i < 5000 && !copies.done; ++i) os::Sleep(1);
    ASSERT_TRUE(copies.done);
    for (size_t i = 0; i < kWords - 1; ++i) {
      EXPECT_EQ(copies.answers[i], expected[i]) << i;
      EXPECT_EQ(copies.errors[i], i >= 1 && i <= 6 && hostBuffer == 0 ? 4359 : 0) << i;
    }
    EXPECT_EQ(copies.errors[kWords - 1], 4359) << "a type of no word";
  }
}

struct IoSeen {
  std::atomic<QINT64> state{0};
  std::atomic<int> calls{0};
};

QINT64 OnIo(QINT64, QID event, void* user) {
  auto* seen = static_cast<IoSeen*>(user);
  QINT64 state = 0;
  QdigGetHookInfo(event, 0x8A000, &state);
  seen->state = state;
  ++seen->calls;
  return 0;
}

// Each hook type whose events the board sends only while enabled, with its events' base.
TEST_F(DigitizerHooks, IoEventsAreEnabledOnTheBoardWhileHooked) {
  const QID digitizer = Digitizer(L"Q_NTSC", 1);
  kernel::BoardEventPayload payload{};
  payload.size = kernel::kBoardEventSize;
  payload.ioState = 0x5A;
  const std::pair<QINT64, uint64_t> hooks[] = {{20, 0x100C0000}, {21, 0x100D0000},
                                               {22, 0x100E0000}, {5315, 0x10110000},
                                               {9, 0x100B0000},  {5300, 0x10120000}};
  for (const auto& [hookType, base] : hooks) {
    SCOPED_TRACE(hookType);
    EXPECT_FALSE(SimBoard().RaiseEvent(base | 1, payload)) << "not enabled before the hook";
    IoSeen seen;
    QdigHookFunction(digitizer, hookType, &OnIo, &seen);
    ASSERT_EQ(ErrorCode(), 0);
    ASSERT_TRUE(SimBoard().RaiseEvent(base | 1, payload));
    for (int i = 0; i < 5000 && seen.calls == 0; ++i) os::Sleep(1);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.state, 0x5A);
    QdigHookFunction(digitizer, hookType + Q_UNHOOK, &OnIo, &seen);
    EXPECT_FALSE(SimBoard().RaiseEvent(base | 1, payload)) << "disabled again";
  }
}

std::atomic<QINT64> g_reported{0};

QINT64 OnError(QINT64, QID, void*) {
  const QINT64 code = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  if (code == 4356) g_reported = code;
  return 0;
}

TEST_F(DigitizerHooks, ADroppedEventIsReportedToTheApplication) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  Recorder r;
  QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, &OnError, nullptr);
  QdigHookFunction(digitizer, kFrameStart, &OnEvent, &r);
  SimBoard().DropEvent(kFrameStartBase);
  for (int i = 0; i < 5000 && g_reported == 0; ++i) os::Sleep(1);
  QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, &OnError, nullptr);
  EXPECT_EQ(g_reported, 4356);
  EXPECT_TRUE(r.Take().empty());
  // The thread that reported the loss has ended; unhooking still works.
  QdigHookFunction(digitizer, kFrameStart + Q_UNHOOK, &OnEvent, &r);
  EXPECT_EQ(LastError(), Err(0));
}

}  // namespace
}  // namespace zor::board
