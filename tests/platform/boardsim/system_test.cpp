// System allocation, system requests and controls, the I/O space.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

#include "platform/boardsim/faults.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

struct SystemTest : boardtest::BoardTest {
  SystemTest() : BoardTest(0, boardsim::BoardConfig{2}) {}
};

TEST_F(SystemTest, AllocationReturnsSettingsAndTheBoardInformation) {
  zor::kernel::SysAllocRequest r{};
  const size_t last = sizeof(r.settings) - 4;
  board.SetAllocationSetting(24, 1);
  board.SetAllocationSetting(last, 7);
  board.SetAllocationSetting(last + 1, 9);  // would not fit: left out
  std::memset(r.settings, 0xAB, sizeof(r.settings));
  const uint32_t limit = 1000;
  std::memcpy(r.settings + 0x0C, &limit, 4);
  EXPECT_EQ(client.Resend(zor::kernel::kSysAlloc, r), boardtest::kSucceeded);
  EXPECT_NE(r.systemId, 0u);
  EXPECT_NE(r.systemId, client.systemId);  // a second system gets its own id
  const auto word = [&r](size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, r.settings + offset, 4);
    return value;
  };
  // The defaults come back, the board's settings in their place, and a byte between them kept.
  EXPECT_EQ(std::tuple(word(0x0C), word(24), r.settings[28], word(last)),
            std::tuple(1000u, 1u, uint8_t{0xAB}, 7u));
  // The firmware code, the revision and the update flag of the board's information.
  uint32_t info[2] = {};
  std::memcpy(info, r.info, 8);
  EXPECT_EQ(std::tuple(info[0], info[1], r.info[24]), std::tuple(0x20260101u, 3u, uint8_t{0}));
  const char* text = reinterpret_cast<const char*>(r.info + zor::kernel::kSysInfoTextOffset);
  EXPECT_EQ(std::string(text), std::to_string(board.SerialNumber()));

  // The JTAG register address reaches the board's chain.
  uint64_t address = 0;
  std::memcpy(&address, r.info + 8, 8);
  auto* jtag = reinterpret_cast<zor::jtag::IJtagRegisterAccess*>(address);
  ASSERT_EQ(jtag, static_cast<zor::jtag::IJtagRegisterAccess*>(&board.JtagChain()));
  jtag->WriteRegister(zor::jtag::kRegisterEnable);
  EXPECT_EQ(board.JtagChain().ReadRegister() & zor::jtag::kRegisterEnable,
            zor::jtag::kRegisterEnable);
}

// A channel's identity, firmware size, checksum and last firmware word as one line; a status
// other than success follows its value.
std::string FirmwareWords(boardtest::BoardClient& client,
                          const zor::kernel::DigChannelRecord& record) {
  using namespace zor::kernel;
  using boardtest::StatusText;
  std::ostringstream text;
  for (uint64_t type : {kDigIdentity, kDigFirmwareSize, kDigFirmwareChecksum, kDigFirmwareData}) {
    ErrorTriple status{};
    text << std::hex << client.DigInquire(record, type, &status) << " ";
    if (status.errorSet != 0 || status.statusByte != 0) text << StatusText(status) << " ";
  }
  return text.str();
}

// Each channel's digitizer device answers its own identity, and runs a staged firmware image
// from the next reset on; the identity the tests change is that channel's alone. The image's
// checksum is its 64-bit FNV-1a; none gives the offset basis.
TEST_F(SystemTest, EachChannelKeepsItsFirmwareAndIdentity) {
  using namespace zor::kernel;
  const auto first = client.AllocDigitizer(0);
  const auto second = client.AllocDigitizer(1);
  std::ostringstream serial;
  serial << std::hex << board.SerialNumber();
  const std::string firstWords = serial.str() + "0001 0 cbf29ce484222325 0 ";
  EXPECT_EQ(FirmwareWords(client, first), firstWords);
  EXPECT_EQ(FirmwareWords(client, second), serial.str() + "0002 0 cbf29ce484222325 0 ");
  board.SetDigitizerIdentity(1, 0x77);
  EXPECT_EQ(FirmwareWords(client, second), "77 0 cbf29ce484222325 0 ");
  EXPECT_EQ(FirmwareWords(client, first), firstWords);
  board.ChangeIdentityOnReset(1, 0x99);
  EXPECT_EQ(boardtest::StatusText(client.DigControl(second, kDigFirmwareData, 0x0807060504030201)),
            "0.0.0/0,0,0");
  EXPECT_EQ(FirmwareWords(client, second), "77 0 cbf29ce484222325 0 ");
  EXPECT_EQ(boardtest::StatusText(client.DigControl(second, kDigFirmwareReset, 0)), "0.0.0/0,0,0");
  EXPECT_EQ(FirmwareWords(client, second), "99 8 7eb5108b368a78ed 0 ");
  EXPECT_EQ(board.DigitizerFirmware(1), std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  EXPECT_EQ(FirmwareWords(client, first), firstWords);
  // A reset with nothing staged keeps what runs; an identity set drops the one for the reset.
  board.ChangeIdentityOnReset(1, 0x55);
  board.SetDigitizerIdentity(1, 0x66);
  client.DigControl(second, kDigFirmwareReset, 0);
  EXPECT_EQ(FirmwareWords(client, second), "66 8 7eb5108b368a78ed 0 ");
  board.SetDigitizerFirmware(1, "abc");
  EXPECT_EQ(FirmwareWords(client, second), "66 3 e71fa2190541574b 0 ");
  // No channel beyond the last: nothing set, nothing read.
  board.SetDigitizerFirmware(16, "x");
  board.SetDigitizerIdentity(16, 1);
  board.ChangeIdentityOnReset(16, 1);
  EXPECT_EQ(board.DigitizerFirmware(16) + std::to_string(board.DigitizerAllocations(16)), "0");
}

TEST_F(SystemTest, CapabilityWordAndLogMemory) {
  EXPECT_EQ(client.SysRequest(zor::kernel::kSysRequestCapabilities), zor::kernel::kCapFourChannels);
  board.SetCapabilities(zor::kernel::kCapFourChannels | zor::kernel::kCapSixteenChannels |
                        zor::kernel::kCapEncoder | zor::kernel::kCapLineBuffers);
  EXPECT_EQ(client.SysRequest(zor::kernel::kSysRequestCapabilities), 0x1E0000u);

  const uint64_t address = client.SysRequest(zor::kernel::kSysRequestLogMemoryAddress);
  const uint64_t size = client.SysRequest(zor::kernel::kSysRequestLogMemorySize);
  ASSERT_NE(address, 0u);
  EXPECT_EQ((size - 88) % 80, 0u);
  const auto* header = reinterpret_cast<const uint32_t*>(address);
  // The write offset, the total size and the writers' ring size.
  EXPECT_EQ(std::tuple(header[0], header[1], header[5]), std::tuple(88u, size, size));
  // The same memory for every request and every system of the board.
  client.AllocSystem();
  EXPECT_EQ(client.SysRequest(zor::kernel::kSysRequestLogMemoryAddress), address);
}

TEST_F(SystemTest, PerformanceRecordCountsTheFramesAsInterrupts) {
  auto r = client.Record<zor::kernel::SysRequest>();
  r->requestWord = zor::kernel::kSysRequestPerformance;
  EXPECT_EQ(client.Status(zor::kernel::kSysRequest, *r), boardtest::kSucceeded);
  EXPECT_EQ(r->performance.frequency, 1000000000u);
  EXPECT_GT(r->performance.sampleEnd, r->performance.sampleStart);
  EXPECT_EQ(r->performance.isrCount + r->performance.dpcCount, 0u);  // no frame yet

  board.SetFrameTime(1000);
  auto record = client.AllocDigitizer(0);
  boardtest::HostImage image(32, 32);
  client.GrabContinuously(record, image);
  while (board.FrameCount(0) < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  client.DigRecord(zor::kernel::kDigStopGrab, record);
  client.Resend(zor::kernel::kSysRequest, *r);
  EXPECT_GE(r->performance.isrCount, 2u);
  EXPECT_EQ(std::pair(r->performance.isrTotalWith, r->performance.dpcCount),
            std::pair(r->performance.isrCount * 2000, r->performance.isrCount));
  // Each time's minimum and maximum stand at 3/4 and 3/2 of its mean.
  const auto& p = r->performance;
  const uint64_t times[][3] = {{p.isrTotalWith, p.isrMinWith, p.isrMaxWith},
                               {p.dpcTotalWith, p.dpcMinWith, p.dpcMaxWith},
                               {p.isrTotalWithout, p.isrMinWithout, p.isrMaxWithout},
                               {p.dpcTotalWithout, p.dpcMinWithout, p.dpcMaxWithout}};
  for (const auto& [total, least, most] : times) {
    EXPECT_EQ(least * 4 * p.isrCount, total * 3) << total;
    EXPECT_EQ(most * 2 * p.isrCount, total * 3) << total;
  }
}

// What a system answers of each type, in order, as "status answer": the user-mode layers' types
// are theirs; the rest is served (a board control is kept and answered); a type of no node map
// that the board holds nothing of is not, nor a control of a read-only type; a kept value of a
// system that does not exist is an error, not a silent 0, while the layers' types stay theirs.
// The user-mode layers' types and those of no node map are refused; a board control is kept
// and answered, but a system that does not exist has none: an error, not a silent 0.
TEST_F(SystemTest, TypesOfTheUserModeLayersAreNotServed) {
  const auto answer = [&](uint64_t type, bool control = false) {
    zor::kernel::ErrorTriple status{};
    const uint64_t value = control ? 0 : client.SysRequest(type, &status);
    if (control) status = client.SysControl(type, static_cast<uint64_t>(-9997));
    return boardtest::StatusText(status) + " " + std::to_string(value);
  };
  const char* kRefused = "4310.1.0/1,0,78 0";
  for (uint64_t type : {2331ull, 1079ull, 2009ull, 7311ull, 4701ull + (3 << 16), 0x84510ull,
                        4517ull, 4548ull, 7703ull, 5555ull}) {
    EXPECT_EQ(answer(type), kRefused) << type;
  }
  EXPECT_EQ(answer(2077, true), "4307.1.0/1,0,78 0");
  EXPECT_EQ(answer(2000, true), "4307.1.0/1,0,78 0");
  EXPECT_EQ(answer(2372, true), "0.0.0/0,0,0 0");
  EXPECT_EQ(answer(2372), "0.0.0/0,0,0 18446744073709541619");
  client.systemId = 0x777;
  EXPECT_EQ(answer(2372), "4300.3.0/1,0,0 0");
  for (uint64_t type : {4701ull + (3 << 16), 0x80001000ull}) EXPECT_EQ(answer(type), kRefused);
}

TEST_F(SystemTest, IoSpaceHoldsTheSerialNumberAtAddress120) {
  auto r = client.Record<zor::kernel::SysIoRequest>();
  const auto io = [&](uint32_t direction, uint32_t address, uint32_t count) {
    r->direction = direction;
    r->address = address;
    r->count = count;
    return client.Resend(zor::kernel::kSysIoCommand, *r);
  };
  EXPECT_EQ(io(zor::kernel::kIoRead, 120, 4), boardtest::kSucceeded);
  uint32_t serial = 0;
  std::memcpy(&serial, r->data, 4);
  EXPECT_EQ(serial, board.SerialNumber());

  r->data[0] = 0xAB;
  r->data[1] = 0xCD;
  EXPECT_EQ(io(zor::kernel::kIoWrite, 200, 2), boardtest::kSucceeded);
  r->data[0] = r->data[1] = 0;
  EXPECT_EQ(io(zor::kernel::kIoRead, 200, 2), boardtest::kSucceeded);
  EXPECT_EQ(r->data[1], 0xCD);

  // The space's last bytes and the most at once; beyond, or neither direction, an argument out
  // of range, not an unknown object.
  const char* kOutOfRange = "4300.2.0/1,0,0";
  for (auto [address, count, direction, status] : {std::tuple{248u, 8u, 1u, boardtest::kSucceeded},
                                                   {0u, 256u, 1u, boardtest::kSucceeded},
                                                   {249u, 8u, 1u, kOutOfRange},
                                                   {0u, 257u, 1u, kOutOfRange},
                                                   {0u, 4u, 0u, kOutOfRange},
                                                   {0u, 4u, 3u, kOutOfRange}}) {
    EXPECT_EQ(io(direction, address, count), status) << address << " " << count;
  }
}

// What a test may change of the board, as one line: the version, the capability word, a new
// system's setting at 24, firmware code and update flag, an object allocation's status, and the
// serial number and a byte of the I/O space.
std::string Settings(boardtest::BoardClient& client) {
  zor::kernel::DriverVersionRequest version{};
  client.Send(zor::kernel::kGetDriverVersion, version);
  zor::kernel::SysAllocRequest alloc{};
  client.Send(zor::kernel::kSysAlloc, alloc);
  uint32_t words[2] = {};
  std::memcpy(&words[0], alloc.settings + 24, 4);
  std::memcpy(&words[1], alloc.info, 4);
  auto object = client.Record<zor::kernel::ObjectAllocRequest>();
  object->kind = 1;
  const std::string status = client.Status(zor::kernel::kKernelObjectAlloc, *object);
  const uint64_t capabilities = client.SysRequest(zor::kernel::kSysRequestCapabilities);
  auto io = client.Record<zor::kernel::SysIoRequest>();
  io->direction = zor::kernel::kIoRead;
  io->count = 256;
  client.Send(zor::kernel::kSysIoCommand, *io);
  uint32_t serial = 0;
  std::memcpy(&serial, io->data + 120, 4);
  std::ostringstream text;
  text << std::hex << version.version << " " << capabilities << " " << words[0] << " " << words[1]
       << " " << int{alloc.info[24]} << " " << status << " " << serial << " " << int{io->data[200]};
  return text.str();
}

TEST_F(SystemTest, RestoringTheDefaultsUndoesEverySetting) {
  const std::string defaults = Settings(client);
  board.SetDriverVersion(0x9DF200);
  board.SetCapabilities(zor::kernel::kCapSixteenChannels);
  board.SetAllocationSetting(24, 7);
  board.GrabModule().SetFirmwareCode(0x55);
  board.GrabModule().SetUpdateFlag(1);
  boardsim::Fault always;
  always.code = 4302;
  always.count = -1;  // every request until the faults are cleared
  board.ArmFault(zor::kernel::kKernelObjectAlloc, always);
  auto io = client.Record<zor::kernel::SysIoRequest>();
  io->direction = zor::kernel::kIoWrite;
  io->address = 120;
  io->count = 81;
  std::memset(io->data, 0x11, sizeof(io->data));
  client.Send(zor::kernel::kSysIoCommand, *io);
  const std::string changed = "9df200 40000 7 55 1 4302.0.0/1,0,0 11111111 11";
  EXPECT_EQ(Settings(client), changed);
  EXPECT_EQ(Settings(client), changed);
  board.RestoreDefaults();
  EXPECT_EQ(Settings(client), defaults);
}

// A closed system is unknown afterwards; its digitizers go with it, their grabs ended, and their
// channels are free again, while another system's stay.
TEST_F(SystemTest, ClosedSystemIsUnknownAfterwardsAndTakesItsDigitizers) {
  boardtest::DcfBlock dcf;
  dcf.Register(0x0C, 0x34);  // no free-run output without a signal
  board.SetSignal(0, false);
  const os::Handle event = os::CreateEvent(true, false);
  boardtest::HostImage image(64, 48);
  auto grab = client.MakeGrab(client.AllocDigitizer(0, dcf), image, client.RegisterEvent(event));
  client.Send(zor::kernel::kDigGrab, *grab);
  EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_TIMEOUT);
  boardtest::BoardClient other(board);
  other.AllocSystem();
  other.AllocDigitizer(1);

  zor::kernel::HeaderOnlyRequest close{client.Header()};
  EXPECT_EQ(client.Status(zor::kernel::kSysClose, close), "0.0.0/0,0,0");
  EXPECT_EQ(client.Status(zor::kernel::kSysClose, close), "4300.3.0/1,0,0");
  EXPECT_EQ(os::WaitForSingleObject(event, 1000), os::WAIT_OBJECT_0);
  os::CloseHandle(event);
  zor::kernel::ErrorTriple status[2] = {};
  other.AllocDigitizer(0, dcf, &status[0]);
  other.AllocDigitizer(1, dcf, &status[1]);
  EXPECT_EQ(boardtest::StatusText(status[0]) + " " + boardtest::StatusText(status[1]),
            "0.0.0/0,0,0 4312.4.0/1,0,0");
}

}  // namespace
