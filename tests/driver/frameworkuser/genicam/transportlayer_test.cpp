// The transport-layer port over objects that libZOR.so serves itself: the host
// system, sequences and displays keep what is written to them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "driver/frameworkuser/genicam/genicamzortransportlayer/czortransportlayer.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/hosterrortext.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/quietbracket.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/xmlfilename.h"
#include "platform/host/hostservices.h"
#include "platform/host/zor.h"

namespace zor::genicam {
namespace {

constexpr int64_t kFreeType = 5000;  // a system type the host keeps as a setting

class HostSystemPort : public ::testing::Test {
 protected:
  void SetUp() override {
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    system_ = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_HOST", 0, Q_DEFAULT, nullptr);
    ASSERT_NE(system_, 0);
  }
  void TearDown() override {
    QsysFree(system_);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
  }
  QID system_ = 0;
};

// Each range at both ends and one past them, each listed type and its neighbours, and the bits
// each module masks (B48, H: bit 40, C: bit 32, M: bit 27).
TEST(TransportLayerProxies, ClassifyTypesByTheirModuleMasks) {
  constexpr int64_t B48 = int64_t{1} << 48, H = int64_t{1} << 40, C = int64_t{1} << 32,
                    M = int64_t{1} << 27;
  const QappTLProxy app(1);
  const QbufTLProxy buf(1);
  const QdigTLProxy dig(1);
  const QdispTLProxy disp(1);
  const QseqTLProxy seq(1);
  const QsysTLProxy sys(1);
  using Kind = bool (BaseTLProxy::*)(int64_t) const;
  const Kind text = &BaseTLProxy::IsStringType, real = &BaseTLProxy::IsDoubleType,
             input = &BaseTLProxy::IsDefaultInputType, id = &BaseTLProxy::IsIdType,
             bytes = &BaseTLProxy::IsByteType;
  const struct {
    const char* name;
    const BaseTLProxy& proxy;
    Kind kind;
    std::vector<int64_t> in, out;
  } rows[] = {
      {"app text",
       app,
       text,
       {15890, 15949, 15977, 16296, 16800, 16999, 22000, 22399, 23000, 23959 + B48, 0x1000000000},
       {15889, 15950, 15976, 16297, 16799, 17000, 21999, 22400, 22999, 23960, 0x1000000001}},
      {"app double", app, real, {15001, 15001 + H}, {15000, 15002, 15001 + B48}},
      {"app input", app, input, {6700, 6799 + H, 1012}, {6699, 6800, 1011, 1013}},
      {"app id", app, id, {15021}, {15020, 15022}},
      {"app bytes", app, bytes, {}, {0, 9002}},
      {"buf text", buf, text, {}, {3904, 7700}},
      {"buf double", buf, real, {0x2000000, 0x4000000 + H}, {0x1FFFFFF, 0x4000001}},
      {"buf input",
       buf,
       input,
       {6700, 6799, 8453, 32768 + H},
       {6699, 6800, 8452, 8454, 32767, 32769}},
      {"buf id", buf, id, {1100, 1199, Q_HOST_OBJECT_ID}, {1099, 1200, 1048, 1050, 1100 + C}},
      {"buf bytes",
       buf,
       bytes,
       {0x10000, 0x80038, 0x400000, 0x40000000, 9002, 9031},
       {0x10001, 0x40, 9001, 9003, 9030, 9032, 9031 + 0x8}},
      {"dig text", dig, text, {7700, 7999 + 3 * C + B48}, {7699, 8000, 7700 + H}},
      {"dig double",
       dig,
       real,
       {6000, 6699 + H + C, 133072, 134072, 237568, 260096, 0x400000, 6650 + 0x10000,
        6651 + 0x10000, 6672 + 0x10000, 6650 + 0x40000000},
       {5999, 6700, 133071, 134073, 237567, 260097, 0x400001, 6649 + 0x10000, 6652 + 0x10000,
        6671 + 0x10000, 6673 + 0x10000}},
      {"dig input",
       dig,
       input,
       {6700, 6799 + H + C, 0x10080000, 0x10081000, 0x10081100, 0x10081500, 0xB0080000, 0xB0080100,
        0xB0080300, 4000, 4000 + 0x3000, 6766 + 0x10000},
       {6699, 6800, 3999, 4001, 0x10080001, 0xB0080200, 6765 + 0x10000, 6767 + 0x10000}},
      {"dig id",
       dig,
       id,
       {1100, 1199 + C, Q_HOST_OBJECT_ID, 5328},
       {1099, 1200, 1048, 1050, 5327, 5329, 1100 + H}},
      {"dig bytes", dig, bytes, {}, {9002}},
      {"disp text",
       disp,
       text,
       {7700, 7799 + M + B48, 4553, 4565, 8510, 9252 + B48},
       {7699, 7800, 4552, 4554, 4564, 8511, 9251, 4553 + M}},
      {"disp double", disp, real, {6600, 6699, 4534, 4541 + M + H}, {6599, 6700, 4533, 4542}},
      {"disp input", disp, input, {6700, 6799 + 2 * M + H}, {6699, 6800}},
      {"disp id",
       disp,
       id,
       {1100, 1199 + M, 8600, 8663 + M, 8600 + 4 * C, 15302, 15323, 3210, Q_HOST_OBJECT_ID, 1045},
       {1099, 1200, 8599, 8664, 15301, 15303, 15324, 3209, 3211, 1044, 1046, 1050}},
      {"disp bytes", disp, bytes, {}, {9002}},
      {"seq text", seq, text, {3904, 3904 + B48}, {3903, 3905}},
      {"seq double",
       seq,
       real,
       {6607 + 0x1000000, 3712, 3712 + H},
       {6606, 6608, 3711, 3713, 6607 + 0x100000000000}},
      {"seq input", seq, input, {6700, 6750 + 0x50000000000}, {6699, 6800}},
      {"seq id", seq, id, {}, {1100}},
      {"seq bytes", seq, bytes, {}, {9002}},
      {"sys text",
       sys,
       text,
       {7700, 7702 + (3 << 16), 10312, 10371, 16800, 16999, 22000, 22399 + B48, 0x1000000000},
       {7699, 7800, 10311, 10372, 16799, 17000, 21999, 22400, 0x1000000001}},
      {"sys double",
       sys,
       real,
       {7300, 7399, 133072, 134072 + H, 5136},
       {7299, 7400, 133071, 134073, 5135, 5137}},
      {"sys input",
       sys,
       input,
       {6700, 6799, 0x10080000, 0x10081000, 0x10081500 + H, 0xB0080000},
       {6699, 6800, 0x10081100, 0xB0080100}},
      {"sys id", sys, id, {1100, 1199, Q_HOST_OBJECT_ID}, {1099, 1200, 1048, 1050, 1100 + C}},
      {"sys bytes", sys, bytes, {}, {9002}},
  };
  for (const auto& row : rows) {
    for (int64_t type : row.in) EXPECT_TRUE((row.proxy.*row.kind)(type)) << row.name << " " << type;
    for (int64_t type : row.out) {
      EXPECT_FALSE((row.proxy.*row.kind)(type)) << row.name << " " << type;
    }
  }
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
  EXPECT_EQ(QappInquire(Q_DEFAULT, Q_ERROR_PRINT, nullptr), Q_PRINT_ENABLE);
  EXPECT_EQ(QappInquire(Q_DEFAULT, Q_ERROR_SETTING, nullptr), 7);
  EXPECT_EQ(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr), 0);
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
  const auto threadSetting = [](int64_t type) {
    int64_t value = 0;
    HostAppInquire(Q_DEFAULT, type, &value);
    return value;
  };
  constexpr int64_t kQuietSetting = -9999;
  int64_t value = 0;
  QappControl(Q_DEFAULT, Q_ERROR_SETTING, 7);
  EXPECT_THROW(port.Read(&value, kFreeType + 1, 8), GenICam::AccessException);
  EXPECT_EQ(threadSetting(Q_ERROR_PRINT), Q_PRINT_DISABLE);
  EXPECT_EQ(threadSetting(Q_ERROR_SETTING), 7);

  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
  {
    QuietHostBracket outer;
    EXPECT_THROW(port.Read(&value, kFreeType + 1, 8), GenICam::AccessException);
    port.Read(&value, kAvailabilityRegister + kFreeType + 1, 8);
    EXPECT_EQ(threadSetting(Q_ERROR_PRINT), Q_PRINT_DISABLE);
    EXPECT_EQ(threadSetting(Q_ERROR_SETTING), kQuietSetting);
  }
  EXPECT_EQ(threadSetting(Q_ERROR_PRINT), Q_PRINT_ENABLE);
  EXPECT_EQ(threadSetting(Q_ERROR_SETTING), 7);
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
  EXPECT_EQ(QappInquire(Q_DEFAULT, Q_ERROR_PRINT, nullptr), Q_PRINT_ENABLE);
  EXPECT_EQ(QappInquire(Q_DEFAULT, Q_ERROR_SETTING, nullptr), 5);
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
