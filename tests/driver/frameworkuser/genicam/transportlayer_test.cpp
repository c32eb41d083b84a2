// The transport-layer port over objects that libZOR.so serves itself: the host
// system, sequences and displays keep what is written to them.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/frameworkuser/genicam/genicamzortransportlayer/czortransportlayer.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/hosterrortext.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/quietbracket.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/xmlfilename.h"
#include "platform/host/hostservices.h"
#include "platform/host/zor.h"
#include "tests/driver/frameworkuser/genicam/hostsystemfixture.h"
#include "tests/support/testdata/testdata.h"

namespace zor::genicam {
namespace {

constexpr int64_t kFreeType = 5000;  // a system type the host keeps as a setting

// A host system whose port the tests read and write.
using HostSystemPort = HostSystem;

// The application's error printing and error setting, then the thread's current error.
std::tuple<int64_t, int64_t, int64_t> ApplicationErrorState() {
  return {QappInquire(Q_DEFAULT, Q_ERROR_PRINT, nullptr),
          QappInquire(Q_DEFAULT, Q_ERROR_SETTING, nullptr),
          QappGetError(Q_DEFAULT, Q_CURRENT, nullptr)};
}

// The sum of a type's '+'-joined parts, each decimal or hexadecimal.
int64_t TypeOf(const std::string& token) {
  int64_t type = 0;
  std::istringstream parts(token);
  for (std::string part; std::getline(parts, part, '+');) type += std::stoll(part, nullptr, 0);
  return type;
}

// Each range at both ends and one past them, each listed type and its neighbours, and the bits
// each module masks, as the table in the test data lists them.
TEST(TransportLayerProxies, ClassifyTypesByTheirModuleMasks) {
  const QappTLProxy app(1);
  const QbufTLProxy buf(1);
  const QdigTLProxy dig(1);
  const QdispTLProxy disp(1);
  const QseqTLProxy seq(1);
  const QsysTLProxy sys(1);
  const std::map<std::string, const BaseTLProxy*> proxies{
      {"app", &app}, {"buf", &buf}, {"dig", &dig}, {"disp", &disp}, {"seq", &seq}, {"sys", &sys}};
  using Kind = bool (BaseTLProxy::*)(int64_t) const;
  const std::map<std::string, Kind> kinds{{"text", &BaseTLProxy::IsStringType},
                                          {"double", &BaseTLProxy::IsDoubleType},
                                          {"input", &BaseTLProxy::IsDefaultInputType},
                                          {"id", &BaseTLProxy::IsIdType},
                                          {"bytes", &BaseTLProxy::IsByteType}};
  std::istringstream table(zortest::ReadTestData("genicam/tlproxytypes.txt"));
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    std::string module, kind;
    row >> module >> kind;
    kind.pop_back();  // the colon
    bool expected = true;
    for (std::string token; row >> token;) {
      if (token == "|") {
        expected = false;
        continue;
      }
      EXPECT_EQ((proxies.at(module)->*kinds.at(kind))(TypeOf(token)), expected)
          << line << ": " << token;
    }
    ++rows;
  }
  EXPECT_EQ(rows, 30);
}

TEST(TransportLayerProxies, ObjectIdZeroIsMinusOneAndOnlyBuffersInquireThemselves) {
  EXPECT_EQ(QdigTLProxy(0).GetObjectId(), -1);
  EXPECT_EQ(QdigTLProxy(42).GetObjectId(), 42);
  int64_t untouched = 77;
  EXPECT_EQ(QsysTLProxy(42).ModuleInquire(1, &untouched), -1);
  EXPECT_EQ(untouched, 77);
}

TEST_F(HostSystemPort, WritesAndReadsIntegerRegistersThroughTheHost) {
  CZorTransportLayer<QsysTLProxy> port(system_);
  EXPECT_EQ(port.GetObjectType(), Q_SYSTEM);
  const int64_t written = -123456789;
  port.Write(&written, kFreeType, 8);
  int64_t read = 0;
  port.Read(&read, kFreeType, 8);
  EXPECT_EQ(read, -123456789);
  EXPECT_EQ(QsysInquire(system_, kFreeType, nullptr), -123456789);

  int64_t type = 0;
  port.Read(&type, kObjectTypeRegister, 8);
  EXPECT_EQ(type, Q_SYSTEM);
  // An id type is read from the host too.
  QsysControl(system_, 1100, 77);
  int64_t id = 0;
  port.Read(&id, 1100, 8);
  EXPECT_EQ(id, 77);
}

TEST_F(HostSystemPort, CopiesNoMoreThanTheLengthAllows) {
  CZorTransportLayer<QsysTLProxy> port(system_);
  const int64_t wide = 0x1122334455667788;
  port.Write(&wide, kFreeType, 4);  // only the low four bytes are the caller's
  EXPECT_EQ(QsysInquire(system_, kFreeType, nullptr), 0x55667788);
  // Without bytes to take a write stores zero; without a buffer a read does nothing, not even
  // raise.
  const std::pair<const void*, int64_t> empties[] = {{&wide, 0}, {&wide, -1}, {nullptr, 8}};
  for (const auto& [bytes, length] : empties) {
    QsysControl(system_, kFreeType, 9);
    port.Write(bytes, kFreeType, length);
    EXPECT_EQ(QsysInquire(system_, kFreeType, nullptr), 0) << length;
  }
  port.Read(nullptr, kFreeType + 3, 8);

  QsysControl(system_, kFreeType, 0x0102030405060708);
  unsigned char buffer[8];
  std::memset(buffer, 0xEE, sizeof buffer);
  port.Read(buffer, kFreeType + 3, 0);  // would raise for any other length
  port.Read(buffer, kFreeType, 3);
  EXPECT_EQ(std::string(buffer, buffer + 8), "\x08\x07\x06\xEE\xEE\xEE\xEE\xEE");

  char text[6];
  std::memset(text, 'x', sizeof text);
  port.Read(text, Q_SYSTEM_DESCRIPTOR, 5);  // "Q_SYSTEM_HOST" cut to fit
  EXPECT_EQ(std::string(text, 6), std::string("Q_SY\0x", 6));

  char full[64];
  port.Read(full, Q_SYSTEM_DESCRIPTOR, sizeof full);
  EXPECT_STREQ(full, "Q_SYSTEM_HOST");
}

TEST_F(HostSystemPort, HostErrorBecomesAccessExceptionAndSettingsComeBack) {
  CZorTransportLayer<QsysTLProxy> port(system_);
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
  QappControl(Q_DEFAULT, Q_ERROR_SETTING, 7);
  int64_t value = 0;
  try {
    port.Read(&value, kFreeType + 1, 8);
    FAIL() << "no exception";
  } catch (const GenICam::AccessException& e) {
    const std::string text = e.GetDescription();
    EXPECT_EQ(text,
              "Error in HostSysInquire().\nOperation not supported.\nInquire type 5001 is not "
              "supported.\n");
    EXPECT_STREQ(e.GetSourceFileName(), "genicamzortransportlayer");
    EXPECT_EQ(e.GetSourceLine(), 424u);
  }
  EXPECT_EQ(ApplicationErrorState(), std::make_tuple(int64_t{Q_PRINT_ENABLE}, int64_t{7}, 0));
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
}

TEST_F(HostSystemPort, AvailabilityReadsZeroOnAHostErrorAndLeavesNoError) {
  CZorTransportLayer<QsysTLProxy> port(system_);
  QsysControl(system_, kFreeType, 5);
  std::string seen;
  for (int64_t type : {kFreeType, kFreeType + 1, int64_t{Q_SYSTEM_DESCRIPTOR}}) {
    int64_t available = -1;
    port.Read(&available, kAvailabilityRegister + type, 8);
    seen += std::to_string(available);
  }
  EXPECT_EQ(seen, "101");
  EXPECT_EQ(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr), 0);
}

TEST_F(HostSystemPort, AnErrorHeldBeforeTheAccessSurvivesIt) {
  CZorTransportLayer<QsysTLProxy> port(system_);
  QsysInquire(system_, kFreeType + 2, nullptr);  // leaves an error on this thread
  const int64_t before = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  ASSERT_NE(before, 0);
  int64_t value = 3;
  port.Write(&value, kFreeType, 8);
  port.Read(&value, kFreeType, 8);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr), before);
}

// An access inside a stretch that is quiet already (the application's own
// printing off, an outer access) leaves it as it found it.
TEST_F(HostSystemPort, AccessesInsideQuietStretchesLeaveThemQuiet) {
  CZorTransportLayer<QsysTLProxy> port(system_);
  // The thread's error printing and error setting.
  const auto threadSettings = [] {
    std::pair<int64_t, int64_t> settings;
    HostAppInquire(Q_DEFAULT, Q_ERROR_PRINT, &settings.first);
    HostAppInquire(Q_DEFAULT, Q_ERROR_SETTING, &settings.second);
    return settings;
  };
  constexpr int64_t kQuietSetting = -9999;
  int64_t value = 0;
  QappControl(Q_DEFAULT, Q_ERROR_SETTING, 7);
  EXPECT_THROW(port.Read(&value, kFreeType + 1, 8), GenICam::AccessException);
  EXPECT_EQ(threadSettings(), std::make_pair(int64_t{Q_PRINT_DISABLE}, int64_t{7}));

  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
  {
    QuietHostBracket outer;
    EXPECT_THROW(port.Read(&value, kFreeType + 1, 8), GenICam::AccessException);
    port.Read(&value, kAvailabilityRegister + kFreeType + 1, 8);
    EXPECT_EQ(threadSettings(), std::make_pair(int64_t{Q_PRINT_DISABLE}, kQuietSetting));
  }
  EXPECT_EQ(threadSettings(), std::make_pair(int64_t{Q_PRINT_ENABLE}, int64_t{7}));
  EXPECT_EQ(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr), 0);
  QappControl(Q_DEFAULT, Q_ERROR_SETTING, 0);
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
}

TEST_F(HostSystemPort, ConcurrentAccessesLeaveTheApplicationsPrintingAlone) {
  CZorTransportLayer<QsysTLProxy> port(system_);
  QsysControl(system_, kFreeType, 1);
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
  QappControl(Q_DEFAULT, Q_ERROR_SETTING, 5);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&port] {
      for (int i = 0; i < 200; ++i) {
        int64_t value = 0;
        port.Read(&value, kAvailabilityRegister + kFreeType + 1, 8);  // a quiet host error
        port.Read(&value, kFreeType, 8);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(ApplicationErrorState(), std::make_tuple(int64_t{Q_PRINT_ENABLE}, int64_t{5}, 0));
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
}

TEST_F(HostSystemPort, BufferByteRegistersAreSignExtended) {
  const QID buffer = QbufAlloc2d(system_, 8, 8, 8, Q_IMAGE, nullptr);
  ASSERT_NE(buffer, 0);
  CZorTransportLayer<QbufTLProxy> port(buffer);
  const unsigned char bytes[8] = {0xFF, 0x12, 0x34, 0, 0, 0, 0, 0};
  port.Write(bytes, 9002, 8);
  EXPECT_EQ(QbufInquire(buffer, 9002, nullptr), -1);
  int64_t read = 0;
  port.Read(&read, 9002, 8);  // byte types are read through the module's own inquire
  EXPECT_EQ(read, -1);
  QbufFree(buffer);
}

TEST(HostErrorText, LeavesOutMissingAndNullTexts) {
  const QID function = HostFuncAlloc(L"QdigControl", 0, nullptr);
  HostFuncErrorReport(function, 4307, nullptr, L"Null.", L"The value is out of range.", L"Last.");
  EXPECT_EQ(ComposeHostErrorText(), L"Error in QdigControl().\nThe value is out of range.\nLast.");
  // The host's own error has its message ahead of the sub-texts.
  HostBufInquire(0x7FFFFFFF, Q_HOST_ADDRESS, nullptr);
  EXPECT_EQ(ComposeHostErrorText(),
            L"Error in HostBufInquire().\nInvalid identifier.\nNo object has the identifier "
            L"2147483647.\n");
  ResetHostError(0);
  EXPECT_EQ(GetHostErrorCode(), 0);
  HostFuncFree(function);
}

TEST_F(HostSystemPort, XmlFileNamesFollowTheObjectKind) {
  // A system port's owner is the system itself; the host system's type is
  // outside the table, so there is no system name, and no host error is left.
  CZorTransportLayer<QsysTLProxy> systemPort(system_);
  EXPECT_EQ(systemPort.GetOwnerSystem(), system_);
  EXPECT_EQ(systemPort.GetXmlFileName(), L"QsysControl_.xml");
  EXPECT_EQ(GetHostErrorCode(), 0);

  const QID sequence = HostObjAlloc(system_, Q_SEQUENCE, 0, nullptr);
  ASSERT_NE(sequence, 0);
  CZorTransportLayer<QseqTLProxy> sequencePort(sequence);
  EXPECT_EQ(sequencePort.GetXmlFileName(), L"QseqControl.xml");
  HostSeqControl(sequence, Q_DEFAULT, 1540, 0x200);
  EXPECT_EQ(sequencePort.GetXmlFileName(), L"QseqControl_.xml");

  const QID display = HostObjAlloc(system_, Q_DISPLAY, 0, nullptr);
  ASSERT_NE(display, 0);
  // The host files displays under another type code than the driver's table.
  EXPECT_EQ(CZorTransportLayer<QdispTLProxy>(display).GetXmlFileName(), L"");

  const QID buffer = QbufAlloc2d(system_, 4, 4, 8, Q_IMAGE, nullptr);
  EXPECT_EQ(CZorTransportLayer<QbufTLProxy>(buffer).GetXmlFileName(), L"QbufControl_.xml");
  const QID thread = HostThrAlloc(system_, 2048, 0, nullptr, nullptr, nullptr);
  EXPECT_EQ(CZorTransportLayer<QbufTLProxy>(thread).GetXmlFileName(), L"QthrControl_.xml");
  // Every kind of the table, as a port over an object of that type sees it.
  struct TypedPort : CZorTransportLayer<QbufTLProxy> {
    TypedPort(QID object, int64_t kind) : CZorTransportLayer(object) { objectType_ = kind; }
  };
  const std::pair<const wchar_t*, std::vector<int64_t>> kinds[] = {
      {L"Qbuf",
       {0x4, 0x40, 0x40000, 0x400000, 0x8000000, 0x80000000, 0x800000000000, 0x2000000000000}},
      {L"Qthr", {0x80, 0x100, 0x1000, 0x10000000}},
      {L"Qgra", {0x1000000, 0x200000000}},
      {L"QsysIo", {0x100000000000}},
      {L"Qdisp", {0x200000}}};
  for (const auto& [module, types] : kinds) {
    for (int64_t kind : types) {
      EXPECT_EQ(TypedPort(buffer, kind).GetXmlFileName(), std::wstring(module) + L"Control_.xml");
    }
  }
  EXPECT_EQ(TypedPort(buffer, 0x20040004).GetXmlFileName(), L"QblobControl.xml");
  EXPECT_EQ(TypedPort(buffer, 0x8).GetXmlFileName(), L"");

  EXPECT_EQ(CZorTransportLayer<QappTLProxy>(0).GetXmlFileName(), L"");
  std::wstring names;
  for (int64_t type : {22, 58, 59, 60, 61, 63, 65, 1000, 0}) {
    names += SystemTypeXmlName(type) + L",";
  }
  EXPECT_EQ(names,
            L"ieee1394iidc,gpu-display,dravion-lyn,gige-vision,,usb3vision,gentl,host_system,,");
  HostThrFree(thread);
  QbufFree(buffer);
  HostObjFree(display);
  HostObjFree(sequence);
}

TEST_F(HostSystemPort, SequenceWritesReachTheHostAsIntegersAndDoubles) {
  const QID sequence = HostObjAlloc(system_, Q_SEQUENCE, 0, nullptr);
  CZorTransportLayer<QseqTLProxy> port(sequence);
  const double rate = 25.0;
  port.Write(&rate, 3712, 8);
  EXPECT_EQ(HostSeqInquire(sequence, Q_DEFAULT, 3712, nullptr), 25);
  HostObjFree(sequence);
}

}  // namespace
}  // namespace zor::genicam
