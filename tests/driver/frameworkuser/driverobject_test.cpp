// The driver object: its creation, systems, thread contexts and their walks.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>
#include <latch>

#include "driver/foundation/log.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "tests/driver/frameworkuser/support/frameworktest.h"
#include "tests/driver/frameworkuser/support/threadhelpers.h"

namespace zor::frame {
namespace {

class DriverObjectTest : public FrameworkTest {
 protected:
  static QDDeviceDriver& Driver() { return *CQDDeviceDriverWrapper::Instance().GetDriver(); }
};

TEST_F(DriverObjectTest, ManyFirstCommandsCreateOneDriver) {
  RunTogether(16, [](int) {
    int64_t version = 0;
    CommandBuilder(0x1803).Int(0, 0).Int(1, 2159).Pointer(2, &version).Run();
    EXPECT_EQ(version, 1000);
  });
  EXPECT_EQ(probe().driversCreated, 1);
  EXPECT_EQ(Driver().ThreadContextCount(), 16u);
}

TEST_F(DriverObjectTest, ThreadEndDeletesOnlyTheCallersContext) {
  // A first command on a missing system leaves no context.
  RunOnNewThread([] {
    CommandBuilder command(0x0607, 7);
    command.Record().status = 0x77;
    QDDravionLynCommandDecoder(&command.Record());
    EXPECT_EQ(command.Record().status, 0x77);  // dropped
  });
  EXPECT_EQ(Driver().ThreadContextCount(), 0u);
  CommandBuilder(0x1803).Run();
  RunOnNewThread([] {
    CommandBuilder end(0x1804);
    end.Record().status = 0x55;
    QDDravionLynCommandDecoder(&end.Record());
    EXPECT_EQ(end.Record().status, 0x55);  // no status for the notice
  });
  EXPECT_EQ(Driver().ThreadContextCount(), 1u);
  RunOnNewThread([] {
    CommandBuilder(0x1803).Run();
    EXPECT_EQ(Driver().ThreadContextCount(), 2u);
    CommandBuilder(0x1804).Run();
    EXPECT_EQ(Driver().ThreadContextCount(), 1u);
    // The next command of the same thread starts a new context.
    CommandBuilder(0x1803).Run();
    EXPECT_EQ(Driver().ThreadContextCount(), 2u);
  });
}

TEST_F(DriverObjectTest, ProcessAttachAndDetachAreCounted) {
  for (int64_t value : {0x10000, 0x10000, 0x30000, 0x20000, 0x20000}) {
    EXPECT_EQ(CommandBuilder(0x1806).Int(0, value).Run(), 1);
  }
  EXPECT_EQ(probe().firstAttaches, 1);
  EXPECT_EQ(probe().lastDetaches, 1);
}

TEST_F(DriverObjectTest, FreedIndexIsReusedAndFailedConstructionIsReported) {
  EXPECT_EQ(AllocSystem(), 1);
  EXPECT_EQ(AllocSystem(), 2);
  EXPECT_EQ(CommandBuilder(0x0002, 1).Run(), 1);
  EXPECT_EQ(AllocSystem(), 1);

  probe().startupStatus = 0x40000000;
  EXPECT_EQ(AllocSystem(QD_STATUS_ERROR), 0);
  EXPECT_EQ(HeldCodes(0), (std::array<int64_t, 4>{4300, 1, 0, 0}));
  EXPECT_EQ(probe().systemsDestroyed, 2);
  EXPECT_EQ(Driver().Systems().InUse(), 3);
}

TEST_F(DriverObjectTest, BoardDriverReportsFailedStartUp) {
  ASSERT_NE(CQDDeviceDriverWrapper::Instance().GetDriver(), nullptr);
  foundation::CLog::Instance()->SetCategory(foundation::kGrabLogCategory, true);
  CQDDeviceDriverWrapper::Instance().ReplaceDriverForTests(nullptr);
  EXPECT_FALSE(foundation::CLog::Instance()->IsCategoryEnabled(foundation::kGrabLogCategory))
      << "the driver that went took its log settings";
  EXPECT_EQ(AllocSystem(QD_STATUS_ERROR), 0);
  EXPECT_EQ(probe().driversCreated, 1) << "the test's own driver only";
}

TEST_F(DriverObjectTest, SystemConstructionDoesNotBlockOtherSystems) {
  const int64_t first = AllocSystem();
  probe().onConstruct = [first] {
    auto other = std::async(std::launch::async,
                            [first] { return CommandBuilder(0x0607, first).Object(0, 1).Run(); });
    EXPECT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(other.get(), QD_STATUS_UNSUPPORTED);
  };
  EXPECT_EQ(AllocSystem(), 2);
}

TEST_F(DriverObjectTest, SystemFreedDuringAnotherThreadsCommandOutlivesIt) {
  const int64_t system = AllocSystem();
  std::latch inside(1);
  std::latch freed(1);
  probe().onCall = [&](QDBaseSystem&, SystemOp op, const OperationArgs&, QDDriverThreadContext&) {
    if (op != SystemOp::DigInquire) return int64_t{1};
    inside.count_down();
    freed.wait();
    // Still a whole system while this command runs on it.
    EXPECT_EQ(probe().systemsDestroyed, 0);
    return int64_t{1};
  };
  std::thread running([system] { CommandBuilder(0x0607, system).Run(); });
  inside.wait();
  RunTogether(2, [system](int) { CommandBuilder(0x0002, system).Run(); });
  freed.count_down();
  running.join();
  EXPECT_EQ(probe().systemsDestroyed, 1);
  EXPECT_EQ(CountCalls(SystemOp::SysFree), 1);
}

// Commands of several threads find their systems while another thread frees and allocates
// them: a command either finds no system or one that lives until it returns (ASan, TSan).
TEST_F(DriverObjectTest, CommandsRacingFreesUseOnlyLiveSystems) {
  const int64_t first = AllocSystem();
  std::atomic<bool> done{false};
  std::atomic<int> served{0};
  probe().onCall = [&](QDBaseSystem& system, SystemOp op, const OperationArgs&,
                       QDDriverThreadContext&) {
    if (op != SystemOp::DigInquire) return int64_t{-1};
    if (system.DeviceNumber() == 0) served.fetch_add(1);
    return int64_t{1};
  };
  std::thread freer([&] {
    // On a loaded machine the commands may start late: the rounds go on until one is served.
    for (int round = 0; round < 200 || (served.load() == 0 && round < 20000); ++round) {
      CommandBuilder(0x0002, first).Run();
      EXPECT_EQ(AllocSystem(), first);
    }
    done = true;
  });
  RunTogether(4, [&](int) {
    while (!done.load()) CommandBuilder(0x0607, first).Run();
  });
  freer.join();
  EXPECT_GT(served.load(), 0);
}

TEST_F(DriverObjectTest, DigitizerAllocationsOfAllSystemsRunOneAtATime) {
  const int64_t systems[2] = {AllocSystem(), AllocSystem()};
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  probe().onCall = [&](QDBaseSystem&, SystemOp op, const OperationArgs&, QDDriverThreadContext&) {
    if (op != SystemOp::DigAlloc) return int64_t{-1};
    overlapped = overlapped || inside.fetch_add(1) != 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    inside.fetch_sub(1);
    return int64_t{1};
  };
  RunTogether(4, [&systems](int i) {
    for (int n = 0; n < 5; ++n) CommandBuilder(0x0601, systems[i % 2]).Run();
  });
  EXPECT_FALSE(overlapped);
}

TEST_F(DriverObjectTest, FreedThreadObjectLeavesNoContextPointingAtIt) {
  const int64_t system = AllocSystem();
  QDDriverThreadContext* first = nullptr;
  QDDriverThreadContext* second = nullptr;
  RunOnNewThread([&] { first = ContextOn(system); });
  RunOnNewThread([&] { second = ContextOn(system); });
  QDZorThreadContext* firstOwn = first->Current();
  QDZorThreadContext* secondOwn = second->Current();

  probe().onCall = [](QDBaseSystem&, SystemOp op, const OperationArgs&,
                      QDDriverThreadContext& ctx) {
    // The freeing thread's item owns the object and lets it go.
    return op == SystemOp::ThreadFree && ctx.Current() != nullptr ? int64_t{1} : int64_t{-1};
  };
  QDDriverThreadContext* freer = nullptr;
  RunOnNewThread([&] {
    freer = ContextOn(system);
    // Both other threads select this thread's object for their commands.
    QDZorThreadContext* object = freer->Current();
    Driver().SetSystemThreadContext(*first, system, object);
    Driver().SetSystemThreadContext(*second, system, object);
    ASSERT_EQ(second->Current(), object);
    // Freed by its own thread through the id of the current object.
    EXPECT_EQ(CommandBuilder(0x2E03, system).Int(0, 0x10000000).Run(), 1);
  });
  // Every thread that held the object falls back to its own.
  EXPECT_EQ(first->Current(), firstOwn);
  EXPECT_EQ(second->Current(), secondOwn);
  EXPECT_EQ(Driver().FindSystemItem(*second, system), secondOwn);
  EXPECT_EQ(freer->Current(), nullptr);
}

TEST_F(DriverObjectTest, SystemFreeTakesEveryThreadsPerSystemContextWithoutFreeingIt) {
  const int64_t system = AllocSystem();
  std::vector<QDDriverThreadContext*> contexts(3);
  for (QDDriverThreadContext*& ctx : contexts) {
    RunOnNewThread([&] { ctx = ContextOn(system); });
  }
  std::vector<std::unique_ptr<QDZorThreadContext>> detached = Driver().DetachThreadContexts(system);
  EXPECT_EQ(detached.size(), 3u);
  // Another thread may still be inside a command on the system.
  EXPECT_EQ(CountCalls(SystemOp::ThreadFree), 0);
  for (QDDriverThreadContext* ctx : contexts) {
    EXPECT_EQ(ctx->Current(), nullptr);
    EXPECT_EQ(ctx->FindItem(system), nullptr);
    EXPECT_NE(ctx->FindItem(0), nullptr);
  }
  // The system keeps them until it goes.
  Driver().Systems().GetAt(system)->KeepDetachedContexts(std::move(detached));
}

}  // namespace
}  // namespace zor::frame
