// Host threads and events, hooks delivered on host threads, mailboxes, function reports.
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/hostmessages.h"
#include "platform/host/hostservices.h"
#include "tests/platform/host/fakeboard/fakeboard.h"
#include "tests/platform/host/hostfixture.h"

namespace {

using ThreadTest = HostTest;

TEST_F(ThreadTest, HostThreadRunsAndIsWaitedFor) {
  static std::atomic<bool> release{false};
  static std::atomic<std::thread::id> ranOn;
  auto body = [](void*) -> QUINT32 {
    ranOn = std::this_thread::get_id();
    while (!release) std::this_thread::yield();
    return 0;
  };
  // A limit beyond 16 bits of milliseconds (65.5 s), or none, outlasts the thread, which ends
  // soon.
  for (const QINT64 untilEnd : {Q_THREAD_WAIT + 0x10001, Q_DEFAULT}) {
    release = false;
    const QID thread = HostThrAlloc(0x7F000003, Q_THREAD, 0x10000, body, nullptr, nullptr);
    ASSERT_NE(thread, 0);
    QINT64 result = 0;
    EXPECT_EQ(HostThrWait(thread, Q_THREAD_WAIT + 1, &result), Q_WAIT_TIMEOUT);
    EXPECT_EQ(result, Q_WAIT_TIMEOUT);
    std::thread releaser([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      release = true;
    });
    EXPECT_EQ(HostThrWait(thread, untilEnd, &result), Q_WAIT_ENDED);
    releaser.join();
    EXPECT_EQ(HostThrWait(thread, Q_THREAD_WAIT, &result), Q_WAIT_ENDED);
    EXPECT_NE(ranOn.load(), std::this_thread::get_id());
    HostThrFree(thread);
  }
  EXPECT_EQ(CountObjects(Q_THREAD), 0);
  EXPECT_EQ(HostThrAlloc(0x7F000003, Q_THREAD, 0, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_NULL_POINTER);
}

TEST_F(ThreadTest, ThreadThatWaitsForItselfGetsAnError) {
  static QID self = 0;
  static QINT64 code = 0;
  static std::atomic<bool> go{false};
  static std::atomic<bool> freed{false};
  auto body = [](void*) -> QUINT32 {
    while (!go) std::this_thread::yield();
    HostThrWait(self, Q_THREAD_WAIT, nullptr);
    code = HostAppGetError(Q_DEFAULT, Q_CURRENT, nullptr);
    HostThrFree(self);  // the last holder: the thread object ends on its own thread
    freed = true;
    return 0;
  };
  self = HostThrAlloc(0x7F000003, Q_THREAD, 0, body, nullptr, nullptr);
  go = true;
  while (!freed) std::this_thread::yield();
  EXPECT_EQ(code, Q_ERR_INVALID_PARAMETER);
  EXPECT_EQ(CountObjects(Q_THREAD), 0);
}

TEST_F(ThreadTest, BoardThreadAndEventObjectsAreMadeByTheDriver) {
  ASSERT_NE(AllocBoard(), 0);
  const QID event = QthrAlloc(board_, Q_EVENT, Q_DEFAULT, nullptr);
  const QID object = QthrAlloc(board_, Q_THREAD, Q_DEFAULT, nullptr);
  ASSERT_NE(event, 0);
  ASSERT_NE(object, 0);
  EXPECT_EQ(HostInternalInquire(event, Q_INTERNAL_OBJECT_TYPE, nullptr), Q_EVENT);
  EXPECT_EQ(HostInternalInquire(object, Q_INTERNAL_OBJECT_TYPE, nullptr), Q_THREAD_OBJECT);
  EXPECT_EQ(HostObjInquire(event, Q_OWNER_SYSTEM, nullptr), board_);
  EXPECT_EQ(HostInternalInquire(board_, Q_OWNER_SYSTEM, nullptr), board_);  // its own owner
  QINT64 result = 7;
  EXPECT_EQ(QthrWait(event, 0x20000000, &result), Q_WAIT_ENDED);
  EXPECT_EQ(result, Q_WAIT_ENDED);
  // The fake serves no wait on several: the result stays the caller's.
  result = 7;
  EXPECT_EQ(QthrWaitMultiple(&event, 1, Q_THREAD_WAIT, &result), 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_NOT_SUPPORTED);
  EXPECT_EQ(QthrWaitMultiple(&event, 0, Q_THREAD_WAIT, &result), 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_INVALID_PARAMETER);
  EXPECT_EQ(result, 7);
  QthrFree(event);
  QthrFree(object);
  EXPECT_EQ(CountObjects(Q_EVENT) + CountObjects(Q_THREAD_OBJECT), 0);
}

TEST_F(ThreadTest, BrowserServersShareTheSessionTheFirstOpened) {
  // A stop without a server, two servers started and stopped, then a new one.
  std::vector<QINT64> sessions = {HostAppInquire(Q_DEFAULT, Q_BROWSER_SESSION, nullptr)};
  std::vector<QINT64> servers;
  for (const QINT64 control : {Q_DISABLE, QINT64{7}, QINT64{7}, Q_DISABLE, Q_DISABLE, QINT64{7}}) {
    HostAppControl(Q_DEFAULT, Q_BROWSER_SERVERS, control);
    sessions.push_back(HostAppInquire(Q_DEFAULT, Q_BROWSER_SESSION, nullptr));
    servers.push_back(HostAppInquire(Q_DEFAULT, Q_BROWSER_SERVERS, nullptr));
  }
  HostAppControl(Q_DEFAULT, Q_BROWSER_SERVERS, Q_DISABLE);
  const QINT64 first = sessions[2];
  EXPECT_GT(first, 0);
  EXPECT_GT(sessions[6], first);
  EXPECT_EQ(sessions, (std::vector<QINT64>{0, 0, first, first, first, 0, sessions[6]}));
  EXPECT_EQ(servers, (std::vector<QINT64>{0, 1, 2, 1, 0, 1}));
}

TEST_F(ThreadTest, DigitizerHookRunsOnAHostThreadWithItsEvent) {
  ASSERT_NE(AllocBoard(), 0);
  const QID digitizer = QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  struct Seen {
    std::thread::id thread;
    QINT64 type = 0;
    QINT64 payload = 0;
  } seen;
  auto hook = [](QINT64 type, QID event, void* user) -> QINT64 {
    auto* s = static_cast<Seen*>(user);
    s->thread = std::this_thread::get_id();
    s->type = type;
    s->payload = HostInternalInquire(event, Q_DRIVER_DATA, nullptr);
    return 0;
  };
  ASSERT_EQ(QdigHookFunction(digitizer, 4, hook, &seen), 1);
  int payload = 0;
  const QID thread = FakeBoardFireDigitizerHook(1, 4, &payload);
  ASSERT_NE(thread, 0);
  HostThrWait(thread, Q_THREAD_WAIT, nullptr);
  HostThrFree(thread);
  EXPECT_EQ(std::make_pair(seen.type, seen.payload),
            std::make_pair(QINT64{4}, reinterpret_cast<QINT64>(&payload)));
  EXPECT_NE(seen.thread, std::this_thread::get_id());
  EXPECT_EQ(CountObjects(Q_HOOK_EVENT), 0);
  QdigFree(digitizer);
}

// The memory the driver made for a board buffer: the other image with its driver index.
QID MemoryOf(QID buffer) {
  const QINT64 index = QbufInquire(buffer, Q_DRIVER_INDEX, nullptr);
  QID ids[16] = {};
  const QINT64 count = HostAppListObjects(Q_DEFAULT, 15, Q_IMAGE, 16, ids);
  for (QINT64 i = 0; i < count; ++i) {
    if (ids[i] != buffer && HostBufInquire(ids[i], Q_DRIVER_INDEX, nullptr) == index) {
      return ids[i];
    }
  }
  return 0;
}

TEST_F(ThreadTest, ProcessedBufferGoesToTheProcessingFunctionThenToItsHooks) {
  ASSERT_NE(AllocBoard(), 0);
  const QID digitizer = QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  QID buffers[2] = {QbufAlloc2d(board_, 4, 4, 8, Q_IMAGE | Q_GRAB, nullptr),
                    QbufAlloc2d(board_, 4, 4, 8, Q_IMAGE | Q_GRAB, nullptr)};
  static std::vector<std::string> calls;
  static std::vector<QID> events;
  calls.clear();
  auto process = [](QINT64 flags, QID event, void*) -> QINT64 {
    calls.push_back("process " + std::to_string(flags) + " " +
                    std::to_string(QbufGetHookInfo(event, Q_OBJECT_ID, nullptr)));
    events.push_back(event);
    return 0;
  };
  auto done = [](QINT64 type, QID event, void*) -> QINT64 {
    calls.push_back("done " + std::to_string(type) + " " +
                    std::to_string(HostBufGetHookInfo(event, 0x401B0000, nullptr)));
    return 0;
  };
  QdigProcess(digitizer, buffers, 2, 2, 1, process, nullptr);
  ASSERT_EQ(ErrorCode(), 0);
  HostBufHookFunction(buffers[1], 21, done, nullptr);
  // The driver names the memory it made for the buffer, which leads back to the buffer.
  const QID memory = MemoryOf(buffers[1]);
  ASSERT_NE(memory, 0);
  HostDigProcessNotify(memory, nullptr, nullptr, 4, 4, -1, 0xC000000, 0.0);
  EXPECT_EQ(calls, (std::vector<std::string>{"process 201326592 " + std::to_string(buffers[1]),
                                             "done 1073741824 1"}));
  HostBufHookFunction(buffers[1], 21 + Q_UNHOOK, done, nullptr);
  // The run keeps an event per buffer, the same for each frame; they go with the digitizer.
  calls.clear();
  HostDigProcessNotify(memory, nullptr, nullptr, 4, 4, -1, 0xC000000, 0.0);
  HostDigProcessNotify(MemoryOf(buffers[0]), nullptr, nullptr, 4, 4, -1, 0xC000000, 0.0);
  EXPECT_EQ(calls, (std::vector<std::string>{"process 201326592 " + std::to_string(buffers[1]),
                                             "process 201326592 " + std::to_string(buffers[0])}));
  EXPECT_EQ(CountObjects(Q_HOOK_EVENT), 2);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_TRUE(events[0] == events[1] && events[1] != events[2]);
  // A start that the driver refuses leaves the run it would have replaced.
  auto refused = [](QINT64, QID, void*) -> QINT64 {
    calls.push_back("refused");
    return 0;
  };
  QdigProcess(digitizer, buffers, 2, 2, kFakeRefusedProcess, refused, nullptr);
  EXPECT_EQ(ErrorCode(), Q_ERR_NOT_SUPPORTED);
  calls.clear();
  HostDigProcessNotify(memory, nullptr, nullptr, 4, 4, -1, 0xC000000, 0.0);
  EXPECT_EQ(calls, (std::vector<std::string>{"process 201326592 " + std::to_string(buffers[1])}));
  // With the run gone, a function of the driver's own still finds the buffer's place.
  QdigFree(digitizer);
  calls.clear();
  HostDigProcessNotify(memory, done, nullptr, 4, 4, -1, 0xC000000, 0.0);
  EXPECT_EQ(calls, (std::vector<std::string>{"done 201326592 1"}));
  QbufFree(buffers[0]);
  QbufFree(buffers[1]);
  EXPECT_EQ(CountObjects(Q_HOOK_EVENT), 0);
}

QINT64 IgnoreFrame(QINT64, QID, void*) { return 0; }

constexpr QINT64 kGrabMark = 1060;

// A digitizer that processed into two board buffers, and the memory the driver made for each.
class FrameNotes : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_NE(AllocBoard(), 0);
    digitizer_ = QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
    for (QID& buffer : buffers_) buffer = QbufAlloc2d(board_, 4, 4, 8, Q_IMAGE | Q_GRAB, nullptr);
    QdigProcess(digitizer_, buffers_, 2, 2, 1, IgnoreFrame, nullptr);
    for (int i = 0; i < 2; ++i) {
      memory_[i] = MemoryOf(buffers_[i]);
      ASSERT_NE(memory_[i], 0);
    }
  }

  QID digitizer_ = 0;
  QID buffers_[2] = {};
  QID memory_[2] = {};
};

// While a thread delivers a run's frames, the driver's notes on their memory (the grab mark,
// the delivery's event) land on the memory named, each buffer's on its own; once a buffer is
// freed its memory takes no note, while the other's still does.
TEST_F(FrameNotes, LandOnTheMemoryOfTheDeliveredFrameOnly) {
  constexpr QINT64 kHookEventNote = 25;
  const QID* memory = memory_;
  for (int round = 0; round < 2; ++round) {  // the second round finds what the first kept
    for (int i = 0; i < 2; ++i) {
      HostInternalControl(memory[i], kHookEventNote, 100 * round + 10 + i);
      HostDigProcessNotify(memory[i], nullptr, nullptr, 4, 4, -1, 0xC000000, 0.0);
      HostBufControl(memory[i], kGrabMark, 100 * round + 20 + i);
    }
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(HostInternalInquire(memory[i], kHookEventNote, nullptr), 100 * round + 10 + i);
      EXPECT_EQ(HostBufInquire(memory[i], kGrabMark, nullptr), 100 * round + 20 + i);
    }
    EXPECT_EQ(ErrorCode(), 0);
  }
  QbufFree(buffers_[0]);
  EXPECT_EQ(ErrorOf([&] { HostBufControl(memory[0], kGrabMark, 5); }), Q_ERR_INVALID_ID);
  EXPECT_EQ(ErrorOf([&] { HostBufControl(memory[1], kGrabMark, 6); }), 0);
  EXPECT_EQ(HostBufInquire(memory[1], kGrabMark, nullptr), 6);
  QbufFree(buffers_[1]);
  QdigFree(digitizer_);
}

// A delivering thread keeps the ring it found while the application starts new runs on
// another: every note still lands on the memory named, and the runs' events go.
TEST_F(FrameNotes, LandOnTheirMemoryWhileRunsStartOnAnotherThread) {
  const QID* memory = memory_;
  std::atomic<bool> stop{false};
  std::thread application([&] {
    while (!stop) QdigProcess(digitizer_, buffers_, 2, 2, 1, IgnoreFrame, nullptr);
  });
  int wrong = 0;
  for (QINT64 frame = 1; frame <= 400; ++frame) {
    const QID target = memory[frame % 2];
    HostDigProcessNotify(target, nullptr, nullptr, 4, 4, -1, 0xC000000, 0.0);
    HostBufControl(target, kGrabMark, frame);
    if (HostBufInquire(target, kGrabMark, nullptr) != frame) ++wrong;
  }
  stop = true;
  application.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(ErrorCode(), 0);
  QbufFree(buffers_[0]);
  QbufFree(buffers_[1]);
  QdigFree(digitizer_);
  EXPECT_EQ(CountObjects(Q_HOOK_EVENT), 0);
}

TEST_F(ThreadTest, ErrorReportFromADriverThreadReachesTheErrorHook) {
  ASSERT_NE(AllocBoard(), 0);  // the driver's message table is known once it is loaded
  struct Report {
    QINT64 code = 0;
    std::wstring function, message, text;
  };
  static Report report;
  auto hook = [](QINT64, QID, void*) -> QINT64 {
    report.code = HostGetError(0, Q_CURRENT, nullptr);
    wchar_t text[Q_ERROR_TEXT_SIZE];
    HostGetError(0, Q_CURRENT_FCT, text);
    report.function = text;
    HostGetError(0, Q_MESSAGE, text);
    report.message = text;
    HostGetError(0, Q_CURRENT_SUB_2_TEXT, text);
    report.text = text;
    return 0;
  };
  QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, hook, nullptr);
  const QID thread = FakeBoardReportFromThread();
  HostThrWait(thread, Q_THREAD_WAIT, nullptr);
  HostThrFree(thread);
  QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, hook, nullptr);
  EXPECT_EQ(std::tie(report.code, report.function, report.message, report.text),
            std::make_tuple(4356, L"Thread function:", L"Dropped interrupt event.", L"first text"));
  EXPECT_EQ(CountObjects(Q_FUNCTION_CONTEXT), 0);
}

TEST_F(ThreadTest, MailboxDeliversTaggedMessagesInOrder) {
  const QID mailbox = HostObjAlloc(Q_DEFAULT_HOST, Q_MAILBOX, 2048, nullptr);
  HostObjControl(mailbox, Q_OBJECT_NAME,
                 reinterpret_cast<QINT64>(L"DravionLyn:FBClientToServer:7"));
  HostObjControl(mailbox, 247, 2);
  static int arrivals = 0, errors = 0;
  auto hook = [](QINT64, QID, void*) -> QINT64 { return ++arrivals; };
  HostObjHookFunction(mailbox, Q_MAILBOX_MESSAGE, hook, nullptr);
  auto countError = [](QINT64, QID, void*) -> QINT64 { return ++errors; };
  QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, countError, nullptr);
  EXPECT_EQ(HostObjMessageWrite(mailbox, "hello", 5, 11, Q_DEFAULT), 5);
  EXPECT_EQ(HostObjMessageWrite(mailbox, "", 0, 12, Q_DEFAULT), 0);
  EXPECT_EQ(HostObjMessageWrite(mailbox, "x", 1, 13, Q_DEFAULT), 0);  // full
  EXPECT_EQ(ErrorCode(), Q_ERR_OUT_OF_MEMORY);
  EXPECT_EQ(arrivals, 2);

  // Each read as its answer, the size, tag and spare word it gives, and its error.
  QINT64 size = 0, tag = 0, spare = 1;
  const auto read = [&](char* text, QINT64 room) {
    const QINT64 answer = HostObjMessageRead(mailbox, text, room, &size, &tag, &spare, Q_DEFAULT);
    return std::vector<QINT64>{answer, size, tag, spare, ErrorCode()};
  };
  char text[5];
  EXPECT_EQ(read(nullptr, 0), (std::vector<QINT64>{5, 5, 11, 0, 0}));  // the size asked
  EXPECT_EQ(read(text, 2)[4], Q_ERR_INVALID_PARAMETER);
  EXPECT_EQ(read(text, 5), (std::vector<QINT64>{5, 5, 11, 0, 0}));
  EXPECT_EQ(std::string(text, 5), "hello");
  // The empty message is taken out with a buffer of size 0, and then none is left.
  EXPECT_EQ(read(nullptr, 0), (std::vector<QINT64>{0, 0, 12, 0, 0}));
  EXPECT_EQ(read(text, 0), (std::vector<QINT64>{0, 0, 12, 0, 0}));
  tag = 0;
  EXPECT_EQ(read(nullptr, 0)[2], 0);
  EXPECT_EQ(HostObjMessageWrite(mailbox, "x", 1, 13, Q_DEFAULT), 1);  // room again
  QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, countError, nullptr);
  EXPECT_EQ(errors, 2) << "only the full mailbox and the small buffer are errors";
  const QINT64 length = HostObjInquire(mailbox, Q_OBJECT_NAME + Q_STRING_SIZE, nullptr);
  EXPECT_EQ(length, 30);
  // Its free hook names it.
  static QID freed = 0;
  auto named = [](QINT64, QID event, void*) -> QINT64 {
    HostObjGetHookInfo(event, Q_OBJECT_ID, &freed);
    return 0;
  };
  ASSERT_EQ(HostObjHookFunction(mailbox, Q_OBJECT_FREE, named, nullptr), 1);
  HostObjFree(mailbox);
  EXPECT_EQ(freed, mailbox);
  // An HTTP server object starts stopped.
  const QID server = HostObjAlloc(Q_DEFAULT_HOST, Q_HTTP_SERVER, Q_DEFAULT, nullptr);
  EXPECT_NE(server, 0);
  EXPECT_EQ(HostObjInquire(server, Q_HTTP_STATE, nullptr), Q_HTTP_STOP);
  // A URL not of the form http://host:port (five digits at most), or naming a host beyond
  // ASCII, starts nothing.
  for (const wchar_t* url :
       {L"http://localhost", L"https://localhost:0", L"http://:80", L"http://localhost:",
        L"http://localhost:65536", L"http://localhost:000000", L"http://localhost:8x",
        L"http://l\u0080calhost:0"}) {
    HostObjControl(server, Q_HTTP_URL, reinterpret_cast<QINT64>(url));
    HostObjControl(server, Q_HTTP_START, Q_DEFAULT);
    EXPECT_EQ(ErrorCode(), Q_ERR_INVALID_PARAMETER) << url;
    EXPECT_EQ(HostObjInquire(server, Q_HTTP_STATE, nullptr), Q_HTTP_STOP);
  }
  // The last ones taken pass on to the next check, a root folder that does not exist.
  for (const wchar_t* url :
       {L"http://localhost:00000", L"http://localhost:65535/page", L"http://l\u007fcalhost:0"}) {
    HostObjControl(server, Q_HTTP_URL, reinterpret_cast<QINT64>(url));
    HostObjControl(server, Q_HTTP_START, Q_DEFAULT);
    EXPECT_EQ(ErrorCode(), Q_ERR_FILE) << url;
  }
  HostObjFree(server);
  // Objects belong to a system the host knows, and go with it.
  EXPECT_EQ(HostObjAlloc(0x12345, Q_MAILBOX, 2048, nullptr), 0);
  ASSERT_NE(AllocBoard(), 0);
  EXPECT_NE(HostObjAlloc(board_, Q_MAILBOX, 2048, nullptr), 0);
  QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  QbufAlloc2d(board_, 4, 4, 8, Q_IMAGE, nullptr);
  QthrAlloc(board_, Q_EVENT, Q_DEFAULT, nullptr);
  QsysFree(board_);
  board_ = 0;
  EXPECT_EQ(CountObjects(Q_MAILBOX) + CountObjects(Q_DIGITIZER) + CountObjects(Q_IMAGE) +
                CountObjects(Q_EVENT) + CountObjects(Q_SYSTEM) + CountObjects(Q_HOOK_EVENT),
            0);
}

// What a hook on another thread uses: freed by the test right after the hook is removed.
struct HookData {
  QID mailbox;
  int calls = 0;
  std::atomic<bool> called{false};
};

// Takes the message out, then dwells in the user data so that a removal races a call in flight.
QINT64 DwellingHook(QINT64, QID, void* user) {
  auto* data = static_cast<HookData*>(user);
  char byte = 0;
  QINT64 size = 0, tag = 0, spare = 0;
  HostObjMessageRead(data->mailbox, &byte, 1, &size, &tag, &spare, Q_DEFAULT);
  ++data->calls;
  data->called = true;
  std::this_thread::sleep_for(std::chrono::microseconds(200));
  ++data->calls;
  return 0;
}

TEST_F(ThreadTest, RemovingAHookWaitsForItsCallOnAnotherThread) {
  const QID mailbox = HostObjAlloc(Q_DEFAULT_HOST, Q_MAILBOX, 2048, nullptr);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    char byte = 0;
    QINT64 size = 0, tag = 0, spare = 0;
    while (!stop) {
      // Without a hook nobody takes the messages out.
      if (HostObjMessageWrite(mailbox, "x", 1, 1, Q_DEFAULT) == 0) {
        HostObjMessageRead(mailbox, &byte, 1, &size, &tag, &spare, Q_DEFAULT);
      }
    }
  });
  for (int round = 0; round < 20; ++round) {
    auto data = std::make_unique<HookData>();
    data->mailbox = mailbox;
    ASSERT_EQ(HostObjHookFunction(mailbox, Q_MAILBOX_MESSAGE, DwellingHook, data.get()), 1);
    while (!data->called) std::this_thread::yield();
    ASSERT_EQ(HostObjHookFunction(mailbox, Q_MAILBOX_MESSAGE + Q_UNHOOK, DwellingHook, data.get()),
              1);
    EXPECT_EQ(data->calls % 2, 0) << "the removal returned with a call in flight";
    data.reset();  // the hook must not touch it any more
  }
  stop = true;
  writer.join();
  HostObjFree(mailbox);
}

// Hooks that remove hooks from inside a call, on the calling thread.
QID removingBox = 0;
int removerCalls = 0;
int removedCalls = 0;

QINT64 RemovedHook(QINT64, QID, void*) { return ++removedCalls; }

QINT64 RemovingHook(QINT64, QID, void*) {
  ++removerCalls;
  EXPECT_EQ(HostObjHookFunction(removingBox, Q_MAILBOX_MESSAGE + Q_UNHOOK, RemovedHook, nullptr),
            1);
  EXPECT_EQ(HostObjHookFunction(removingBox, Q_MAILBOX_MESSAGE + Q_UNHOOK, RemovingHook, nullptr),
            1);
  return 0;
}

TEST_F(ThreadTest, HookRemovedFromInsideAHookOnItsThreadIsNotWaitedForNorCalledAgain) {
  removingBox = HostObjAlloc(Q_DEFAULT_HOST, Q_MAILBOX, 2048, nullptr);
  removerCalls = removedCalls = 0;
  HostObjHookFunction(removingBox, Q_MAILBOX_MESSAGE, RemovingHook, nullptr);
  HostObjHookFunction(removingBox, Q_MAILBOX_MESSAGE, RemovedHook, nullptr);
  EXPECT_EQ(HostObjMessageWrite(removingBox, "a", 1, 1, Q_DEFAULT), 1);
  EXPECT_EQ(HostObjMessageWrite(removingBox, "b", 1, 1, Q_DEFAULT), 1);
  EXPECT_EQ(removerCalls, 1);
  EXPECT_EQ(removedCalls, 0) << "removed before its turn";
  HostObjFree(removingBox);
}

// What the handed functions of the table below throw, and the text their report carries.
struct NotStd {};
struct Thrown {
  const char* name;
  void (*raise)();
  const wchar_t* text;
};
const Thrown kThrown[] = {
    {"runtime_error", [] { throw std::runtime_error("hook broke"); }, L"hook broke"},
    {"bad_alloc", [] { throw std::bad_alloc(); }, L"std::bad_alloc"},
    {"int", [] { throw 7; }, L"An exception that is no std::exception."},
    {"no std::exception", [] { throw NotStd{}; }, L"An exception that is no std::exception."},
};
const Thrown* thrown = nullptr;
QINT64 ThrowingHook(QINT64, QID, void*) {
  thrown->raise();
  return 0;
}
QUINT32 ThrowingThread(void*) {
  thrown->raise();
  return 0;
}

// The last error that reached the application's error hook, on whichever thread.
QINT64 seenCode = 0;
std::wstring seenText;
QINT64 SeeError(QINT64, QID, void*) {
  seenCode = HostGetError(0, Q_CURRENT, nullptr);
  wchar_t text[Q_ERROR_TEXT_SIZE];
  HostGetError(0, Q_CURRENT_SUB_2_TEXT, text);
  seenText = text;
  return 0;
}

// A kind of function handed to the host: hooking it (or taking it back with Q_UNHOOK), and the
// call that runs it. The objects it uses are made afresh for each row.
QID box = 0, memory = 0, processed = 0;
struct HandedKind {
  const char* name;
  void (*apply)(QINT64 unhook);
  void (*run)();
  QINT64 reported;  // the error that reaches the error hook
};
const HandedKind kHandedKinds[] = {
    // The error it reports stays: its failure is not reported again through the hooks.
    {"error hook",
     [](QINT64 unhook) {
       QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + unhook, ThrowingHook, nullptr);
     },
     [] { QsysInquire(0x12345, Q_SYSTEM_TYPE, nullptr); }, Q_ERR_INVALID_ID},
    {"browser client hook",
     [](QINT64 unhook) {
       HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_CONNECTED + unhook, ThrowingHook, nullptr);
     },
     [] { EXPECT_GT(HostAppClientConnect(Q_DEFAULT), 0); }, Q_ERR_HOOK},
    {"browser client end hook",
     [](QINT64 unhook) {
       HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_DISCONNECTED + unhook, ThrowingHook,
                           nullptr);
     },
     [] { HostAppClientDisconnect(Q_DEFAULT, 1); }, Q_ERR_HOOK},
    {"object free hook",
     [](QINT64 unhook) { HostObjHookFunction(box, Q_OBJECT_FREE + unhook, ThrowingHook, nullptr); },
     [] { HostObjFree(box); }, Q_ERR_HOOK},
    {"mailbox hook",
     [](QINT64 unhook) {
       HostObjHookFunction(box, Q_MAILBOX_MESSAGE + unhook, ThrowingHook, nullptr);
     },
     [] { EXPECT_EQ(HostObjMessageWrite(box, "x", 1, 1, Q_DEFAULT), 1); }, Q_ERR_HOOK},
    {"processed-buffer hook",
     [](QINT64 unhook) { HostBufHookFunction(processed, 21 + unhook, ThrowingHook, nullptr); },
     [] { HostDigProcessNotify(memory, nullptr, nullptr, 4, 4, -1, 0, 0.0); }, Q_ERR_HOOK},
    {"thread function", [](QINT64) {},
     [] {
       const QID thread =
           HostThrAlloc(Q_DEFAULT_HOST, Q_THREAD, 0, ThrowingThread, nullptr, nullptr);
       EXPECT_EQ(HostThrWait(thread, Q_THREAD_WAIT, nullptr), Q_WAIT_ENDED);
       HostThrFree(thread);
     },
     Q_ERR_HOOK},
};

TEST_F(ThreadTest, WhatAHandedFunctionThrowsIsReportedAndTheProcessGoesOn) {
  ASSERT_NE(AllocBoard(), 0);
  for (const HandedKind& kind : kHandedKinds) {
    for (const Thrown& throws : kThrown) {
      SCOPED_TRACE(std::string(kind.name) + " throwing " + throws.name);
      thrown = &throws;
      seenCode = 0;
      box = HostObjAlloc(Q_DEFAULT_HOST, Q_MAILBOX, 2048, nullptr);
      processed = QbufAlloc2d(board_, 4, 4, 8, Q_IMAGE | Q_GRAB, nullptr);
      memory = MemoryOf(processed);
      kind.apply(0);
      QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, SeeError, nullptr);  // after the thrower
      kind.run();
      EXPECT_EQ(seenCode, kind.reported);
      if (kind.reported == Q_ERR_HOOK) {
        EXPECT_EQ(seenText, throws.text);
      }
      kind.apply(Q_UNHOOK);
      QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, SeeError, nullptr);
      // The next call works.
      EXPECT_EQ(ErrorOf([&] { QbufFree(processed); }), 0);
      if (CountObjects(Q_MAILBOX) != 0) HostObjFree(box);
    }
  }
  EXPECT_EQ(CountObjects(Q_THREAD) + CountObjects(Q_MAILBOX) + CountObjects(Q_HOOK_EVENT), 0);
}

// Each code the host gives has its own text.
TEST(HostErrorTexts, EveryHostCodeHasItsText) {
  for (QINT64 code = zorhost::kFirstHostError; code <= zorhost::kLastHostError; ++code) {
    EXPECT_STRNE(zorhost::HostMessageText(code).c_str(), L"Unknown error.") << code;
  }
}

}  // namespace
