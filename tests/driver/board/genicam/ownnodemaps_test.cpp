// The node maps of the board's own system and digitizers, read and written
// through GenApi, the transport-layer port, libZOR.so and nested commands.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/genicam/featureaccess/nodeutilities.h"
#include "platform/boardsim/faults.h"
#include "tests/driver/board/genicam/ownnodemapsfixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kCreateNodeMaps = 1105;
constexpr QINT64 kEraseNodeMap = 1106;

// Every feature of the map reads, or is unavailable; the failures are listed.
std::vector<std::string> UnreadableFeatures(genicam::GenICamControl& control, int* read) {
  std::vector<std::string> failures;
  GenApi::NodeList_t nodes;
  control.NodeMap()->_GetNodes(nodes);
  for (GenApi::INode* node : nodes) {
    const GenApi::EInterfaceType type = node->GetPrincipalInterfaceType();
    if (!node->IsFeature() || type == GenApi::intfICategory) continue;
    const std::string name = node->GetName().c_str();
    try {
      const GenApi::EAccessMode mode = node->GetAccessMode();
      if (mode == GenApi::NA || type == GenApi::intfICommand) continue;
      if (!GenApi::IsReadable(mode)) {
        failures.push_back(name + " is not readable");
        continue;
      }
      GenApi::CValuePtr value(node);
      value->ToString();
      ++*read;
    } catch (const GenICam::GenericException& e) {
      failures.push_back(name + ": " + e.GetDescription());
    }
  }
  return failures;
}

class OwnNodeMapsTest : public OwnNodeMapsFixture {};

TEST_F(OwnNodeMapsTest, SystemAndDigitizerHaveOneNodeMapEach) {
  ASSERT_NE(DriverSystem(), nullptr);
  std::shared_ptr<genicam::GenICamControl> system = Control(system_, L"QsysControl");
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system->Kind(), 10u);
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  std::shared_ptr<genicam::GenICamControl> own = Control(digitizer, L"QdigControl");
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->Kind(), 7u);
  EXPECT_EQ(DriverSystem()->NodeMaps().Size(), 2u);
  auto* port = dynamic_cast<genicam::CZorTransportLayerBase*>(own->Port().get());
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->GetXmlFileName(), L"QdigControl_dravion-lyn.xml");
  EXPECT_EQ(port->GetOwnerSystem(), system_);
  auto* systemPort = dynamic_cast<genicam::CZorTransportLayerBase*>(system->Port().get());
  ASSERT_NE(systemPort, nullptr);
  EXPECT_EQ(systemPort->GetXmlFileName(), L"QsysControl_dravion-lyn.xml");

  const std::string systemPath = "System DravionLyn 0{" + std::to_string(system_) + "}";
  EXPECT_EQ(system->BuildDeviceDisplayName(), systemPath);
  EXPECT_EQ(own->BuildDeviceDisplayName(),
            systemPath + "\\Digitizer 0{" + std::to_string(digitizer) + "}");

  EXPECT_EQ(DriverSystem()->MakeSystemDisplayName(), systemPath);
  const std::string digitizerName = DriverSystem()->MakeDigitizerDisplayName(1);
  EXPECT_EQ(digitizerName.rfind(systemPath + "\\Digitizer 0{0x", 0), 0u) << digitizerName;

  QsysControl(system_, kCreateNodeMaps, digitizer);  // nothing new
  EXPECT_EQ(Control(digitizer, L"QdigControl"), own);
  EXPECT_EQ(LastError(), Err(0));
  QdigFree(digitizer);
}

TEST_F(OwnNodeMapsTest, EveryFeatureReadsOnAFreshSystemAndDigitizer) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  int read = 0;
  const std::vector<std::string> system =
      UnreadableFeatures(*Control(system_, L"QsysControl"), &read);
  EXPECT_TRUE(system.empty()) << ::testing::PrintToString(system);
  EXPECT_GE(read, 40);
  read = 0;
  const std::vector<std::string> own =
      UnreadableFeatures(*Control(digitizer, L"QdigControl"), &read);
  EXPECT_TRUE(own.empty()) << ::testing::PrintToString(own);
  EXPECT_GE(read, 30);
  EXPECT_EQ(LastError(), Err(0));
  QdigFree(digitizer);
}

TEST_F(OwnNodeMapsTest, WritesReachTheBoardAndTheBoardsAnswersReachTheMap) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  GenApi::CEnumerationPtr startMode = Node(digitizer, L"QdigControl", "Q_GRAB_START_MODE");
  startMode->FromString("Q_FIELD_START_EVEN");
  EXPECT_EQ(Inquire(digitizer, 4074), 22);

  QdigControl(digitizer, 4230, 4);
  GenApi::CEnumerationPtr direction = Node(digitizer, L"QdigControl", "Q_GRAB_DIRECTION_X");
  EXPECT_STREQ(direction->ToString().c_str(), "Q_REVERSE");

  GenApi::CIntegerPtr width = Node(digitizer, L"QdigControl", "Q_SOURCE_SIZE_X");
  EXPECT_EQ(width->GetMax(), Inquire(digitizer, 1536));
  width->SetValue(320);
  EXPECT_EQ(Inquire(digitizer, 4022), 320);

  GenApi::CFloatPtr decimation = Node(digitizer, L"QdigControl", "Q_DECIMATION_X");
  decimation->SetValue(0.5);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer, 6601), 0.5);

  GenApi::CStringPtr format = Node(digitizer, L"QdigControl", "Q_FORMAT");
  EXPECT_STREQ(format->GetValue().c_str(), "Q_NTSC");

  GenApi::CIntegerPtr timeout = Node(system_, L"QsysControl", "Q_TIMEOUT");
  timeout->SetValue(5);
  EXPECT_EQ(QsysInquire(system_, 2077, nullptr), 5);
  QsysControl(system_, 2077, 7);
  EXPECT_EQ(timeout->GetValue(), 7);
  GenApi::CStringPtr board = Node(system_, L"QsysControl", "Q_SYSTEM_DESCRIPTOR");
  EXPECT_STREQ(board->GetValue().c_str(), "DravionLyn");
  EXPECT_EQ(LastError(), Err(0));
  QdigFree(digitizer);
}

// A stop waits for the board to report no acquisition; what its own reads meet stays with it.
TEST_F(OwnNodeMapsTest, AcquisitionStopReadsTheBoardsStatusAndKeepsItsErrors) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  SimBoard().ArmFault(kernel::kDigInquire,
                      boardsim::Fault{boardsim::FaultKind::kErrorTriple, 4310, 1, 0});
  QdigControl(digitizer, 6928, Q_DEFAULT);
  EXPECT_EQ(LastError(), Err(0));
  // The refused read was the stop's: the next inquiry is served.
  EXPECT_EQ(Inquire(digitizer, 9108), 0);
  EXPECT_EQ(LastError(), Err(0));
  SimBoard().ClearFaults();
  QdigFree(digitizer);
}

TEST_F(OwnNodeMapsTest, TextRegistersTravelAsUtf8BothWays) {
  const std::string base = genicam_.string();  // plain ASCII
  const std::string folder = base + "/journal\xC3\xA9\xC3\x9F";
  const std::wstring wideFolder = std::wstring(base.begin(), base.end()) + L"/journal\u00E9\u00DF";
  std::filesystem::create_directories(std::filesystem::u8path(folder));
  GenApi::CStringPtr logFolder = Node(system_, L"QsysControl", "Q_DRIVER_LOG_FOLDER");
  logFolder->SetValue(folder.c_str());
  wchar_t wide[300] = {};
  QsysInquire(system_, 7708, wide);
  EXPECT_EQ(std::wstring(wide), wideFolder);
  EXPECT_EQ(std::string(logFolder->GetValue().c_str()), folder);
  EXPECT_EQ(LastError(), Err(0));
}

TEST_F(OwnNodeMapsTest, ABoardErrorIsAnAccessExceptionWithTheHostsText) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  GenApi::CIntegerPtr width = Node(digitizer, L"QdigControl", "Q_SOURCE_SIZE_X");
  try {
    width->SetValue(1, false);  // the board takes 2 and more
    FAIL() << "no exception";
  } catch (const GenICam::AccessException& e) {
    const std::string text = e.GetDescription();
    EXPECT_EQ(text.rfind("Error in HostDigControl().\n", 0), 0u) << text;
    EXPECT_NE(text.find("Invalid control value."), std::string::npos) << text;
  }
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(Inquire(digitizer, 4022), 640);
  QdigFree(digitizer);
}

TEST_F(OwnNodeMapsTest, FreeingOrErasingAnObjectDropsItsNodeMap) {
  const QID first = Digitizer(L"Q_NTSC", 0);
  const QID second = Digitizer(L"Q_NTSC", 1);
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  std::weak_ptr<genicam::GenICamControl> watched = Control(first, L"QdigControl");
  ASSERT_FALSE(watched.expired());
  QdigFree(first);
  EXPECT_TRUE(watched.expired());
  EXPECT_NE(Control(second, L"QdigControl"), nullptr);
  QsysControl(system_, kEraseNodeMap, second);
  EXPECT_EQ(Control(second, L"QdigControl"), nullptr);
  QsysControl(system_, kEraseNodeMap, 0);
  EXPECT_EQ(LastError(), Err(0));
  QdigFree(second);
}

TEST_F(OwnNodeMapsTest, TheGenICamDigitizerFreeErasesByHostId) {
  const QID digitizer = Digitizer(L"Q_NTSC", 2);  // device number 2, list index 1
  ASSERT_NE(digitizer, 0);
  ASSERT_NE(Control(digitizer, L"QdigControl"), nullptr);
  frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
  frame::QDDriverThreadContext* ctx = driver->GetThreadContext(DriverSystem()->Index());
  ASSERT_NE(ctx, nullptr);
  frame::OperationArgs args;
  args.Push(1);
  // The board frees its digitizers without this step; called alone it drops the node map.
  DriverSystem()->frame::QDGeniCamDeviceSystem::DigFree(args, *ctx);
  EXPECT_EQ(Control(digitizer, L"QdigControl"), nullptr);
  QdigFree(digitizer);
}

TEST_F(OwnNodeMapsTest, ASystemErrorLandsOnTheCallingThreadsContext) {
  ASSERT_NE(DriverSystem(), nullptr);
  frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
  frame::QDDriverThreadContext* ctx = driver->GetThreadContext(DriverSystem()->Index());
  ASSERT_NE(ctx, nullptr);
  ctx->SetError(0, 0, 0, 0);
  const int32_t code = 4422;
  genicam::SetSystemThreadError(*DriverSystem(), &code);
  EXPECT_EQ(ctx->ErrorCode(), 4422);
  ctx->SetError(0, 0, 0, 0);
  genicam::SetSystemThreadError(*DriverSystem(), nullptr);
  EXPECT_EQ(ctx->ErrorCode(), 0);
}

TEST_F(OwnNodeMapsTest, ReadsOnSeveralThreadsMeetDigitizersComingAndGoing) {
  std::vector<QID> digitizers;
  for (QINT64 channel = 0; channel < 3; ++channel) {
    digitizers.push_back(Digitizer(L"Q_NTSC", channel));
    ASSERT_NE(digitizers.back(), 0);
  }
  std::vector<GenApi::CIntegerPtr> widths;
  for (QID digitizer : digitizers) {
    widths.emplace_back(Node(digitizer, L"QdigControl", "Q_SIZE_X"));
  }
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (GenApi::CIntegerPtr width : widths) {
    readers.emplace_back([width, &wrong] {
      for (int i = 0; i < 100; ++i) {
        if (width->GetValue() != 640) ++wrong;
      }
    });
  }
  for (int round = 0; round < 3; ++round) {
    const QID extra = Digitizer(L"Q_NTSC", 3);
    ASSERT_NE(extra, 0);
    QsysControl(system_, kCreateNodeMaps, extra);
    QdigFree(extra);
  }
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(DriverSystem()->NodeMaps().Size(), 4u);
  for (QID digitizer : digitizers) QdigFree(digitizer);
  EXPECT_EQ(DriverSystem()->NodeMaps().Size(), 1u);
}

}  // namespace
}  // namespace zor::board
