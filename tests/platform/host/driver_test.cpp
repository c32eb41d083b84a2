// Loading the board driver by system type, its errors read back, nested commands and the
// answers to bad input.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "interfaces/hostcommand/opcodes.h"
#include "interfaces/hostcommand/tracenote.h"
#include "platform/host/driverseam.h"
#include "platform/host/hostservices.h"
#include "tests/platform/host/fakeboard/fakeboard.h"
#include "tests/platform/host/hostfixture.h"

namespace {

using DriverTest = HostTest;

TEST_F(DriverTest, DriverErrorIsReadBackWithCodesAndTexts) {
  EXPECT_EQ(
      QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", kFakeFailingSystemNumber, Q_DEFAULT, nullptr),
      0);
  EXPECT_EQ(
      std::make_tuple(ErrorCode(), QappGetError(Q_DEFAULT, Q_CURRENT_SUB_NB, nullptr),
                      QappGetError(Q_DEFAULT, Q_CURRENT_SUB_1, nullptr), ErrorText(Q_MESSAGE),
                      ErrorText(Q_CURRENT_SUB_1_TEXT), ErrorText(Q_CURRENT_FCT)),
      std::make_tuple(4300, 1, 1, L"Invalid parameter error:", L"Fake detail one.", L"QsysAlloc"));
  EXPECT_EQ(CountObjects(Q_SYSTEM), 0);  // nothing left of the failed system
  // A system that refuses its host id is released again, by its index.
  const int freed = FakeBoardCommandCount(zor::hostcommand::kSysFree);
  EXPECT_EQ(
      QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", kFakeUnannouncedNumber, Q_DEFAULT, nullptr), 0);
  QDCommandRecord release{};
  ASSERT_TRUE(FakeBoardLastRecord(zor::hostcommand::kSysFree, &release));
  EXPECT_GT(release.systemIndex, 0);
  EXPECT_EQ((std::vector<QINT64>{ErrorCode(), CountObjects(Q_SYSTEM),
                                 FakeBoardCommandCount(zor::hostcommand::kSysFree) - freed,
                                 release.paramCount, release.params[0].driverIndex}),
            (std::vector<QINT64>{4300, 0, 1, 1, release.systemIndex}));

  // The next call starts clean.
  ASSERT_NE(AllocBoard(), 0);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(DriverTest, ErrorHookAndPrintSettingSeeEveryError) {
  ASSERT_NE(AllocBoard(), 0);
  static int calls = 0;
  auto hook = [](QINT64 type, QID, void* user) -> QINT64 {
    EXPECT_EQ(type, Q_ERROR_CURRENT);
    EXPECT_EQ(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr), 4310);
    ++*static_cast<int*>(user);
    return 0;
  };
  ASSERT_EQ(QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, hook, &calls), 1);
  EXPECT_EQ(QsysInquire(board_, kFakeFailingInquire, nullptr), 0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ErrorText(Q_CURRENT_SUB_1_TEXT), L"Inquire type is not supported.");
  ASSERT_EQ(QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, hook, &calls), 1);
  QsysInquire(board_, kFakeFailingInquire, nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, hook, &calls), 0);
}

TEST_F(DriverTest, HostCallOnTheDriversObjectRunsAsNestedCommand) {
  ASSERT_NE(AllocBoard(), 0);
  const QID digitizer = QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  ASSERT_NE(digitizer, 0);
  EXPECT_EQ(QdigInquire(digitizer, kFakeNestedInquire, nullptr), kFakeInnerAnswer + 1);
  EXPECT_EQ(ErrorCode(), 0);
  // An event the command makes for another system belongs to that one, not to the command's.
  EXPECT_EQ(QdigInquire(digitizer, kFakeEventOwner, nullptr), Q_DEFAULT_HOST);

  // An error of the inner command fails the outer one too.
  EXPECT_EQ(QdigInquire(digitizer, kFakeNestedFailure, nullptr), 0);
  EXPECT_EQ(ErrorCode(), 4310);
  EXPECT_EQ(ErrorText(Q_CURRENT_FCT), L"QdigInquire");
  QdigFree(digitizer);
  EXPECT_EQ(CountObjects(Q_DIGITIZER), 0);
}

// A reported code takes the message of the driver whose ranges hold it, none beside them.
TEST_F(DriverTest, ReportedCodesTakeTheMessageOfTheDriverThatOwnsThem) {
  ASSERT_NE(AllocBoard(), 0);
  const QID function = HostFuncAlloc(L"Reporter", Q_DEFAULT, nullptr);
  for (const auto& [code, message] : {std::pair<QINT64, std::wstring>{4299, L""},
                                      {4300, L"Invalid parameter error:"},
                                      {4499, L"Edge."},
                                      {4500, L""}}) {
    HostFuncErrorReport(function, code, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::make_pair(ErrorCode(), ErrorText(Q_MESSAGE)), std::make_pair(code, message));
  }
  HostFuncFree(function);
}

TEST_F(DriverTest, UnknownBoardGivesHostError) {
  EXPECT_EQ(QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_NOSUCHBOARD", 0, Q_DEFAULT, nullptr), 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_SYSTEM_NOT_FOUND);
  EXPECT_EQ(ErrorText(Q_CURRENT_SUB_1_TEXT), L"Unknown system descriptor: Q_SYSTEM_NOSUCHBOARD");
}

TEST_F(DriverTest, MissingDriverLibraryGivesHostError) {
  setenv("ZOR_DRIVER_DRAVIONLYN", "/nonexistent/libZorDravionLyn.so", 1);
  const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
  if (system != 0) {
    QsysFree(system);
    GTEST_SKIP() << "an earlier test of this process loaded the driver";
  }
  EXPECT_EQ(ErrorCode(), Q_ERR_SYSTEM_NOT_FOUND);
  EXPECT_NE(ErrorText(Q_CURRENT_SUB_1_TEXT).find(L"/nonexistent/"), std::wstring::npos);
}

TEST_F(DriverTest, TestSeamServesTheBoardWithoutItsLibrary) {
  setenv("ZOR_DRIVER_DRAVIONLYN", "/nonexistent/libZorDravionLyn.so", 1);
  static int lookups = 0;
  void* (*resolve)(const char*) = [](const char* symbol) {
    ++lookups;
    return dlsym(RTLD_DEFAULT, symbol);  // the fake board is linked into this test
  };
  HostUseDriverForTests(L"Q_SYSTEM_NO_SUCH_BOARD", resolve);  // no board, nothing looked up
  HostUseDriverForTests(L"Q_SYSTEM_DRAVIONLYN", nullptr);
  EXPECT_EQ(lookups, 0);
  HostUseDriverForTests(L"Q_SYSTEM_DRAVIONLYN", resolve);
  EXPECT_EQ(lookups, 3);
  ASSERT_NE(AllocBoard(), 0);
  EXPECT_EQ(QsysInquire(board_, kFakeFailingInquire, nullptr), 0);
  EXPECT_EQ(ErrorText(Q_MESSAGE), L"Inquire error:");
}

TEST_F(DriverTest, BadInputGivesHostErrorsNotCrashes) {
  ASSERT_NE(AllocBoard(), 0);
  const QID buffer = QbufAlloc2d(Q_DEFAULT_HOST, 8, 8, 8, Q_IMAGE, nullptr);
  const QID unknown = 0x7777777;
  const QID digitizer = QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  const QID boardBuffer = QbufAlloc2d(board_, 4, 4, 8, Q_IMAGE | Q_GRAB, nullptr);
  const QID event = HostEventAttach(0, Q_EVENT, nullptr);
  const QID box = HostObjAlloc(Q_DEFAULT_HOST, Q_MAILBOX, Q_DEFAULT, nullptr);
  const QID thread = HostThrAlloc(
      Q_DEFAULT_HOST, Q_THREAD, 0, [](void*) -> QUINT32 { return 0; }, nullptr, nullptr);
  const QHOOK_FUNCTION hook = [](QINT64, QID, void*) -> QINT64 { return 0; };
  int32_t gain = 1;
  QID out = 5;
  const std::vector<QID> noBuffers(100001, 0);
  struct Refused {
    const char* name;
    std::function<QINT64()> call;
    QINT64 code;
  };
  // Every entry, the driver's services among them, refuses what it cannot serve with its error
  // and answers 0 (void entries give 0 here); the calls on an unknown id, then the others.
  const std::pair<const char*, std::function<QINT64()>> unknownIds[] = {
      {"QsysInquire", [&] { return QsysInquire(unknown, Q_NUMBER, nullptr); }},
      {"QdigProcess", [&] { return QdigProcess(unknown, nullptr, 2, 2, 1, nullptr, nullptr), 0; }},
      {"QthrWait", [&] { return QthrWait(unknown, Q_THREAD_WAIT, nullptr); }},
      {"QthrControl", [&] { return QthrControl(unknown, 1, 1), 0; }},
      {"QthrInquire", [&] { return QthrInquire(unknown, 1, nullptr); }},
      {"QsysFree", [] { return QsysFree(Q_DEFAULT_HOST), 0; }},
      {"QsysGetHookInfo", [&] { return QsysGetHookInfo(unknown, 1, nullptr); }},
      {"QsysHookFunction", [&] { return QsysHookFunction(unknown, 1, hook, nullptr); }},
      {"HostSysControl", [&] { return HostSysControl(unknown, Q_NUMBER, 1), 0; }},
      {"HostSysControlDouble", [&] { return HostSysControlDouble(unknown, Q_NUMBER, 1.0), 0; }},
      {"QdigControlDouble", [&] { return QdigControlDouble(unknown, 1, 1.0), 0; }},
      {"HostDigControlDouble", [&] { return HostDigControlDouble(unknown, 1, 1.0), 0; }},
      {"QdigGetHookInfo", [&] { return QdigGetHookInfo(unknown, 1, nullptr); }},
      {"HostDigFree", [&] { return HostDigFree(unknown), 0; }},
      {"QbufControl", [&] { return QbufControl(unknown, 1, 1), 0; }},
      {"HostBufControlDouble", [&] { return HostBufControlDouble(unknown, 1, 1.0), 0; }},
      {"HostBufClear", [&] { return HostBufClear(unknown, 1.0), 0; }},
      {"HostBufPassWords", [&] { return HostBufPassWords(unknown, 1, 2), 0; }},
      {"HostBufPassAfterKernel", [&] { return HostBufPassAfterKernel(unknown, 1, 2, 3, 4, 5), 0; }},
      {"HostDispControl", [&] { return HostDispControl(unknown, 1, 1), 0; }},
      {"HostSeqControl", [&] { return HostSeqControl(unknown, 0, 1, 1), 0; }},
      {"HostThrControl", [&] { return HostThrControl(unknown, 1, 1), 0; }},
      {"QappFree", [&] { return QappFree(unknown), 0; }},
  };
  std::vector<Refused> refused = {
      {"QdigInquire of a buffer", [&] { return QdigInquire(buffer, Q_NUMBER, nullptr); },
       Q_ERR_WRONG_OBJECT_TYPE},
      {"QbufInquire of a system", [&] { return QbufInquire(board_, Q_SIZE_X, nullptr); },
       Q_ERR_WRONG_OBJECT_TYPE},
      {"QthrInquire of a buffer", [&] { return QthrInquire(buffer, 1, nullptr); },
       Q_ERR_WRONG_OBJECT_TYPE},
      {"HostThrFree of a buffer", [&] { return HostThrFree(buffer), 0; }, Q_ERR_WRONG_OBJECT_TYPE},
      {"QsysAlloc without a descriptor",
       [] { return QsysAlloc(Q_DEFAULT, nullptr, 0, Q_DEFAULT, nullptr); }, Q_ERR_NULL_POINTER},
      {"QdigAlloc without a format",
       [&] { return QdigAlloc(board_, 0, nullptr, Q_DEFAULT, nullptr); }, Q_ERR_NULL_POINTER},
      {"QbufPut without data", [&] { return QbufPut(buffer, nullptr), 0; }, Q_ERR_NULL_POINTER},
      {"QbufPut of a board buffer without data", [&] { return QbufPut(boardBuffer, nullptr), 0; },
       Q_ERR_NULL_POINTER},
      {"QbufCreate2d without memory",
       [&] { return QbufCreate2d(Q_DEFAULT_HOST, 4, 4, 8, Q_IMAGE, 4, nullptr, &out) + out; },
       Q_ERR_NULL_POINTER},
      {"QbufExport without a name", [&] { return QbufExport(nullptr, Q_RAW, buffer); },
       Q_ERR_NULL_POINTER},
      {"QbufInquire of an unknown type", [&] { return QbufInquire(buffer, 999999, nullptr); },
       Q_ERR_NOT_SUPPORTED},
      {"HostInternalInquire of an unknown type",
       [&] { return HostInternalInquire(buffer, 999999, nullptr); }, Q_ERR_NOT_SUPPORTED},
      {"HostAppGetError of an unknown type",
       [] { return HostAppGetError(Q_DEFAULT, 999999, nullptr); }, Q_ERR_INVALID_PARAMETER},
      {"HostThrWait of an unknown wait word", [&] { return HostThrWait(thread, 12345, nullptr); },
       Q_ERR_INVALID_PARAMETER},
      {"HostThrAlloc of an unknown kind",
       [] { return HostThrAlloc(Q_DEFAULT_HOST, 7, 0, nullptr, nullptr, nullptr); },
       Q_ERR_INVALID_PARAMETER},
      {"QthrAlloc on the host",
       [&] { return QthrAlloc(Q_DEFAULT_HOST, Q_EVENT, Q_DEFAULT, &out) + out; },
       Q_ERR_NOT_SUPPORTED},
      {"QsysIoCommand on the host",
       [] { return QsysIoCommand(Q_DEFAULT_HOST, 0x51, 2, 0x40, 0, nullptr), 0; },
       Q_ERR_NOT_SUPPORTED},
      {"QsysHookFunction on the host",
       [&] { return QsysHookFunction(Q_DEFAULT_HOST, 1, hook, nullptr); }, Q_ERR_NOT_SUPPORTED},
      {"QsysControlFeature on the host",
       [&] { return QsysControlFeature(Q_DEFAULT_HOST, 0, L"Gain", Q_TYPE_INT32, &gain), 0; },
       Q_ERR_NOT_SUPPORTED},
      {"QsysGetHookInfo of a host event", [&] { return QsysGetHookInfo(event, 1, nullptr); },
       Q_ERR_INVALID_PARAMETER},
      {"QdigGetHookInfo of a host event", [&] { return QdigGetHookInfo(event, 1, nullptr); },
       Q_ERR_INVALID_PARAMETER},
      {"QbufGetHookInfo of an unknown type", [&] { return QbufGetHookInfo(event, 1, nullptr); },
       Q_ERR_INVALID_PARAMETER},
      {"HostObjHookFunction taking back no hook",
       [&] { return HostObjHookFunction(box, Q_MAILBOX_MESSAGE + Q_UNHOOK, hook, nullptr); },
       Q_ERR_INVALID_PARAMETER},
      {"HostObjAlloc of an unknown type",
       [&] { return HostObjAlloc(Q_DEFAULT_HOST, 12345, Q_DEFAULT, &out) + out; },
       Q_ERR_NOT_SUPPORTED},
      {"HostObjMessageWrite without a message",
       [&] { return HostObjMessageWrite(box, nullptr, 5, 1, Q_DEFAULT); }, Q_ERR_INVALID_PARAMETER},
      {"QdigGrab into a host buffer", [&] { return QdigGrab(digitizer, buffer), 0; },
       Q_ERR_INVALID_PARAMETER},
      {"QdigProcess without a list",
       [&] { return QdigProcess(digitizer, nullptr, 2, 2, 1, nullptr, nullptr), 0; },
       Q_ERR_INVALID_PARAMETER},
      {"QdigProcess of a negative count",
       [&] { return QdigProcess(digitizer, nullptr, -1, Q_STOP, 0, nullptr, nullptr), 0; },
       Q_ERR_INVALID_PARAMETER},
      {"QdigProcess past the most buffers",
       [&] { return QdigProcess(digitizer, noBuffers.data(), 100001, 2, 1, nullptr, nullptr), 0; },
       Q_ERR_INVALID_PARAMETER},
      {"QdigProcess of the most buffers, unknown ones",
       [&] { return QdigProcess(digitizer, noBuffers.data(), 100000, 2, 1, nullptr, nullptr), 0; },
       Q_ERR_INVALID_ID},
      {"QsysInquire failing in its host call",
       [&] { return QsysInquire(board_, kFakeHostSystemInquire, nullptr); }, Q_ERR_NOT_SUPPORTED},
      {"QdigHalt unserved", [&] { return QdigHalt(digitizer), 0; }, Q_ERR_NOT_SUPPORTED},
  };
  for (const auto& [name, call] : unknownIds) refused.push_back({name, call, Q_ERR_INVALID_ID});
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.call(), 0);
    EXPECT_EQ(std::make_tuple(ErrorCode(), QappGetError(Q_DEFAULT, Q_CURRENT_SUB_3, nullptr),
                              ErrorText(Q_CURRENT_FCT)),
              std::make_tuple(r.code, QINT64{0},
                              std::wstring(r.name, r.name + std::strcspn(r.name, " "))));
  }
  // A stop names no buffers.
  EXPECT_EQ(ErrorOf([&] { QdigProcess(digitizer, nullptr, 0, Q_STOP, 0, nullptr, nullptr); }), 0);
  HostThrControl(thread, 7300, -9);  // a thread keeps its settings too
  EXPECT_EQ(HostObjInquire(thread, 7300, nullptr), -9);
  // A new thread starts without an error: no code, no detail codes.
  std::thread([] {
    for (const QINT64 type : {Q_CURRENT, Q_CURRENT_SUB_1, Q_CURRENT_SUB_2, Q_CURRENT_SUB_3}) {
      EXPECT_EQ(QappGetError(Q_DEFAULT, type, nullptr), 0) << type;
    }
  }).join();
  HostObjFree(box);
  HostThrFree(thread);
  HostEventFree(0, event);
  QbufFree(boardBuffer);
  QdigFree(digitizer);
  QbufFree(buffer);
  EXPECT_EQ(ErrorOf([&] { QbufFree(buffer); }), Q_ERR_INVALID_ID);
  EXPECT_EQ(QdigAlloc(board_, 0, L"bad.dcf", Q_DEFAULT, nullptr), 0);
  EXPECT_EQ(ErrorCode(), 4300);
  EXPECT_EQ(CountObjects(Q_DIGITIZER), 0);
  // An application of its own comes and goes; a sleep takes its time, a negative one none.
  const QINT64 applications = CountObjects(Q_APPLICATION);
  QID second = 0;
  EXPECT_EQ(QappAlloc(L"second", Q_DEFAULT, &second), second);
  EXPECT_EQ(CountObjects(Q_APPLICATION), applications + 1);
  QappFree(second);
  EXPECT_EQ(CountObjects(Q_APPLICATION), applications);
  const auto start = std::chrono::steady_clock::now();
  HostSleep(-5);
  HostSleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST_F(DriverTest, LoadingTheDriverAnnouncesTheProcessOnce) {
  // Several first allocations race to load the library.
  QID boards[4] = {};
  std::vector<std::thread> threads;
  for (QID& board : boards) {
    threads.emplace_back(
        [&board] { board = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 3, Q_DEFAULT, nullptr); });
  }
  for (std::thread& thread : threads) thread.join();
  for (QID board : boards) EXPECT_NE(board, 0);
  EXPECT_EQ(FakeBoardCommandCount(zor::hostcommand::kDrvProcessAttach), 1);
  QDCommandRecord attach{};
  ASSERT_TRUE(FakeBoardLastRecord(zor::hostcommand::kDrvProcessAttach, &attach));
  EXPECT_EQ(std::make_tuple(attach.header, int{attach.paramCount},
                            attach.params[0].type & QD_TYPE_MASK, attach.params[0].value.integer),
            std::make_tuple(QD_RECORD_HEADER, 1, QD_TYPE_INT64, 0x10000));
  for (QID board : boards) QsysFree(board);
}

// ZOR_TRACE_FILE naming a FIFO that nobody reads would hold the driver's call in the open for
// ever; a folder takes no lines. Each is said once on stderr, its notes are dropped and the call
// returns.
TEST_F(DriverTest, TraceFilesThatAreNoFilesAreReportedNotWaitedOn) {
  const std::filesystem::path root = getenv("ZOR_REGISTRY_ROOT");
  const std::filesystem::path fifo = root / "trace.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const zor::hostcommand::TraceNote note{10985, 1, zor::hostcommand::kTraceNumber};
  const struct {
    std::filesystem::path path;
    const char* kind;
  } cases[] = {{fifo, "a FIFO"}, {root, "a folder"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    setenv("ZOR_TRACE_FILE", c.path.c_str(), 1);
    testing::internal::CaptureStderr();
    auto traced = std::async(std::launch::async, [&note] {
      for (int i = 0; i < 2; ++i) {
        HostAppControl(Q_DEFAULT, zor::hostcommand::kTraceNoteControl,
                       reinterpret_cast<QINT64>(&note));
      }
    });
    const bool returned = traced.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!returned) {
      // A reader releases the stuck writer, so that the test can end.
      const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
      traced.wait();
      close(reader);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(returned);
    EXPECT_EQ(said, "ZOR_TRACE_FILE " + c.path.string() + ": not a regular file but " + c.kind +
                        "; no trace is written\n");
  }
  unsetenv("ZOR_TRACE_FILE");
}

TEST_F(DriverTest, EndingThreadIsAnnouncedToTheDriver) {
  ASSERT_NE(AllocBoard(), 0);
  const int before = FakeBoardThreadEnds();
  std::thread([this] { QsysInquire(board_, Q_NUMBER, nullptr); }).join();
  EXPECT_EQ(FakeBoardThreadEnds(), before + 1);
  std::thread([] { QappInquire(Q_DEFAULT, Q_ERROR_PRINT, nullptr); }).join();
  EXPECT_EQ(FakeBoardThreadEnds(), before + 1);  // a thread that sent nothing
}

TEST_F(DriverTest, HostSystemAnswersItsOwnInquiries) {
  const QID host = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_HOST", 2, Q_DEFAULT, nullptr);
  ASSERT_NE(host, 0);
  wchar_t descriptor[14];
  QsysInquire(host, Q_SYSTEM_DESCRIPTOR, descriptor);
  EXPECT_EQ(std::wstring(descriptor), L"Q_SYSTEM_HOST");
  // The descriptor's size, the number, the host's type and no digitizer.
  EXPECT_EQ((std::vector<QINT64>{QsysInquire(host, Q_SYSTEM_DESCRIPTOR + Q_STRING_SIZE, nullptr),
                                 QsysInquire(host, Q_NUMBER, nullptr),
                                 QsysInquire(host, Q_SYSTEM_TYPE, nullptr),
                                 QsysInquire(host, Q_DIGITIZER_NUM, nullptr)}),
            (std::vector<QINT64>{14, 2, 1, 0}));
  QsysControlDouble(host, 7300, 1e300);  // saturates instead of overflowing
  EXPECT_EQ(QsysInquire(host, 7300, nullptr), INT64_MAX);
  EXPECT_EQ(ErrorOf([&] { QsysInquire(host, 7301, nullptr); }), Q_ERR_NOT_SUPPORTED);
  EXPECT_EQ(QdigAlloc(host, 0, L"camera.dcf", Q_DEFAULT, nullptr), 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_NOT_SUPPORTED);
  // Displays, sequences, HTTP servers and mailboxes keep the settings they are given.
  const QID display = HostObjAlloc(host, Q_DISPLAY, Q_DEFAULT, nullptr);
  const QID sequence = HostObjAlloc(host, Q_SEQUENCE, Q_DEFAULT, nullptr);
  const QID server = HostObjAlloc(host, Q_HTTP_SERVER, Q_DEFAULT, nullptr);
  const QID box = HostObjAlloc(host, Q_MAILBOX, Q_DEFAULT, nullptr);
  HostDispControl(display, 7300, -5);
  HostDispControlDouble(display, 7301, 9.0);
  HostSeqControl(sequence, 0, 7300, -6);
  HostSeqControlDouble(sequence, 0, 7301, 8.0);
  HostObjControl(server, 7300, -7);
  HostObjControl(box, 7300, -8);
  for (const auto& [object, type, value] : {std::tuple<QID, QINT64, QINT64>{display, 7300, -5},
                                            {display, 7301, 9},
                                            {sequence, 7300, -6},
                                            {sequence, 7301, 8},
                                            {server, 7300, -7},
                                            {box, 7300, -8}}) {
    EXPECT_EQ(HostObjInquire(object, type, nullptr), value) << object << ", " << type;
  }
  EXPECT_EQ(HostDispInquire(display, 7301, nullptr), 9);
  EXPECT_EQ(HostSeqInquire(sequence, 0, 7300, nullptr), -6);
  EXPECT_EQ(ErrorOf([&] { HostDispControl(sequence, 7300, 1); }), Q_ERR_WRONG_OBJECT_TYPE);
  EXPECT_EQ(ErrorOf([&] { HostSeqControlDouble(display, 0, 7300, 1.0); }), Q_ERR_WRONG_OBJECT_TYPE);
  for (QID object : {display, sequence, server, box}) HostObjFree(object);
  QsysFree(host);
  EXPECT_EQ(CountObjects(Q_SYSTEM), 0);
}

TEST_F(DriverTest, SavedErrorStateComesBackAfterTheQuietBracket) {
  QsysInquire(0x7777777, Q_NUMBER, nullptr);
  ASSERT_EQ(ErrorCode(), Q_ERR_INVALID_ID);
  QINT64 saved = 0;
  EXPECT_EQ(ErrorOf([&] { HostInternalInquire(0, Q_SAVE_ERROR_STATE, &saved); }), 0);
  HostSysInquire(Q_DEFAULT_HOST, 999999, nullptr);
  EXPECT_EQ(HostGetError(0, Q_CURRENT, nullptr), Q_ERR_NOT_SUPPORTED);
  HostInternalControl(0, Q_RESTORE_ERROR_STATE, reinterpret_cast<QINT64>(&saved));
  EXPECT_EQ(ErrorCode(), Q_ERR_INVALID_ID);
  // The restored error keeps its own texts, not only the fixed ones.
  EXPECT_EQ(ErrorText(Q_CURRENT_SUB_1_TEXT), L"No object has the identifier 125269879.");
  EXPECT_EQ(ErrorOf([&] { HostErrorReset(0, 0); }), 0);
}

// The performance report names each opcode after the host function that sends it.
TEST_F(DriverTest, OpcodesAreNamedAfterTheHostFunctionThatSendsThem) {
  const std::pair<uint16_t, std::wstring> named[] = {
      {zor::hostcommand::kDigHookFunction, L"QdigHookFunction"},
      {zor::hostcommand::kDigGrabContinuous, L"QdigGrabContinuous"},
      {zor::hostcommand::kThrWaitMultiple, L"QthrWaitMultiple"},
      {0x0400, L""}};  // no host function sends it
  for (const auto& [opcode, name] : named) {
    wchar_t text[320] = {};
    HostInternalInquire(opcode, Q_OPCODE_FUNCTION_NAME, text);
    EXPECT_EQ(text, name) << opcode;
  }
  // Each host function sends its own opcodes: no name stands for two.
  std::set<std::wstring> names;
  for (uint32_t opcode = 0; opcode <= 0xFFFF; ++opcode) {
    wchar_t text[320] = {};
    HostInternalInquire(opcode, Q_OPCODE_FUNCTION_NAME, text);
    if (text[0] != L'\0') {
      EXPECT_TRUE(names.insert(text).second) << opcode;
    }
  }
  EXPECT_EQ(names.size(), 40u);
}

}  // namespace
