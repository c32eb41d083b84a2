// Systems that threads address again and again, directly or through their digitizers, while
// other threads free them, and the error texts of the commands they send.
#include <atomic>
#include <semaphore>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/platform/host/hostfixture.h"

namespace {

using SystemLookupTest = HostTest;

TEST_F(SystemLookupTest, FreedSystemIsFoundByNoThreadThatUsedIt) {
  ASSERT_NE(AllocBoard(), 0);
  const QID freed = board_;
  EXPECT_EQ(QsysInquire(freed, Q_NUMBER, nullptr), 3);
  std::binary_semaphore used{0};
  std::binary_semaphore gone{0};
  QINT64 before = -1;
  QINT64 after = -1;
  QINT64 next = -1;
  QID second = 0;
  std::thread worker([&] {
    before = QsysInquire(freed, Q_NUMBER, nullptr);
    used.release();
    gone.acquire();
    QsysInquire(freed, Q_NUMBER, nullptr);
    after = ErrorCode();
    next = QsysInquire(second, Q_NUMBER, nullptr);
  });
  used.acquire();
  QsysFree(freed);
  board_ = 0;
  second = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 4, Q_DEFAULT, nullptr);
  gone.release();
  worker.join();
  EXPECT_EQ(std::make_tuple(before, after, next), std::make_tuple(3, Q_ERR_INVALID_ID, 4));
  EXPECT_EQ(ErrorOf([&] { QsysControl(freed, Q_NUMBER, 1); }), Q_ERR_INVALID_ID);
  QsysFree(second);
}

TEST_F(SystemLookupTest, DigitizersOfTwoSystemsReachTheirOwnSystemInTurn) {
  ASSERT_NE(AllocBoard(), 0);
  const QID other = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 4, Q_DEFAULT, nullptr);
  ASSERT_NE(other, 0);
  // Both are their system's first digitizer: only the system tells them apart.
  const QID first = QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  const QID second = QdigAlloc(other, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(QdigInquire(first, Q_HOST_OBJECT_ID, nullptr), first);
    EXPECT_EQ(QsysInquire(other, Q_NUMBER, nullptr), 4);
    EXPECT_EQ(QdigInquire(first, Q_HOST_OBJECT_ID, nullptr), first);
    EXPECT_EQ(QdigInquire(second, Q_HOST_OBJECT_ID, nullptr), second);
  }
  QsysFree(other);
  // Its digitizer went with it; the other system's still answers.
  EXPECT_EQ(ErrorOf([&] { QdigInquire(second, Q_HOST_OBJECT_ID, nullptr); }), Q_ERR_INVALID_ID);
  EXPECT_EQ(QdigInquire(first, Q_HOST_OBJECT_ID, nullptr), first);
}

// Workers send commands to the system, or to its digitizer, while the test frees the system and
// allocates the next one: a system freed under the command is an unknown id or one its driver no
// longer serves, and a digitizer that answers names itself.
TEST_F(SystemLookupTest, CommandsMeetFreesFromOtherThreadsSafely) {
  for (const bool throughDigitizer : {false, true}) {
    SCOPED_TRACE(throughDigitizer ? "digitizer commands" : "system commands");
    ASSERT_NE(AllocBoard(), 0);
    std::atomic<QID> target{
        throughDigitizer ? QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr) : board_};
    std::atomic<bool> done{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
      workers.emplace_back([&] {
        while (!done.load()) {
          const QID id = target.load();
          const QINT64 answer = throughDigitizer ? QdigInquire(id, Q_HOST_OBJECT_ID, nullptr)
                                                 : QsysInquire(id, Q_NUMBER, nullptr);
          const QINT64 code = ErrorCode();
          const bool wrong = throughDigitizer && answer != id;
          if (code == 0 ? wrong : code != Q_ERR_INVALID_ID && code != Q_ERR_NOT_SUPPORTED) {
            ++unexpected;
          }
        }
      });
    }
    for (int round = 0; round < 40; ++round) {
      const QID next = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 5, Q_DEFAULT, nullptr);
      target = throughDigitizer ? QdigAlloc(next, 0, L"camera.dcf", Q_DEFAULT, nullptr) : next;
      QsysFree(board_);
      board_ = next;
    }
    done = true;
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(unexpected.load(), 0);
    QsysFree(board_);
    board_ = 0;
  }
}

TEST_F(SystemLookupTest, UnservedCommandErrorReadsBackAndPrintsInFull) {
  ASSERT_NE(AllocBoard(), 0);
  const QID digitizer = QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
  testing::internal::CaptureStderr();
  QdigHalt(digitizer);  // the fake answers -1
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ErrorText(Q_MESSAGE) + L"|" + ErrorText(Q_CURRENT_FCT) + L"|" +
                ErrorText(Q_CURRENT_SUB_1_TEXT) + L"|" + ErrorText(Q_CURRENT_SUB_2_TEXT),
            L"Operation not supported.|QdigHalt|The system driver does not serve it.|");
  EXPECT_EQ(printed,
            "ZOR error 1006 in QdigHalt(): Operation not supported.\n"
            "    The system driver does not serve it.\n");
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  QdigFree(digitizer);
}

}  // namespace
