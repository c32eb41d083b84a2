#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/cpu/processor.h"
#include "platform/os/cpu/timing.h"
#include "platform/os/diag/crash_dump.h"
#include "platform/os/diag/debug_output.h"
#include "platform/os/power/power.h"
#include "platform/os/power/security.h"
#include "platform/os/process/files.h"
#include "platform/os/registry/registry.h"
#include "platform/os/serial/serial.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"
#include "platform/os/text/convert.h"
#include "platform/os/ui/message_box.h"
#include "platform/os/ui/session.h"
#include "platform/os/ui/window.h"
#include "tests/platform/os/refused.h"

namespace os {
namespace {

TEST(MessageBoxes, InstalledFunctionAnswersElseTheCautiousButton) {
  std::wstring seen;
  SetMessageBoxAnswer([&](const std::wstring& text, const std::wstring& caption, uint32_t) {
    seen = caption + L": " + text;
    return IDRETRY;
  });
  EXPECT_EQ(MessageBox(L"Disk full", L"Save", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(seen, L"Save: Disk full");
  SetMessageBoxAnswer(nullptr);
  if (isatty(STDIN_FILENO)) GTEST_SKIP() << "a terminal would be asked";
  const std::pair<uint32_t, std::string> shown[] = {
      {MB_YESNOCANCEL, "2:[Y]es [N]o [C]ancel \n"},
      {MB_YESNO | MB_ICONQUESTION, "7:[Y]es [N]o \n"},
      {MB_OK, "1:[O]K \n"},
      {MB_OKCANCEL, "2:[O]K [C]ancel \n"},
      {MB_ABORTRETRYIGNORE, "3:[A]bort [R]etry [I]gnore \n"},
      {MB_RETRYCANCEL, "2:[R]etry [C]ancel \n"}};
  for (const auto& [style, buttons] : shown) {
    testing::internal::CaptureStderr();
    const int answer = MessageBox(nullptr, nullptr, style);  // no text, the default caption
    EXPECT_EQ(std::to_string(answer) + ":" + testing::internal::GetCapturedStderr(),
              buttons.substr(0, 2) + "\n== Error ==\n\n" + buttons.substr(2));
  }
}

TEST(MessageBoxes, MessagesToTheConsoleSession) {
  uint32_t session = 99;
  ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
  EXPECT_EQ(session, WTSGetActiveConsoleSessionId());
  SetSessionFacts(0, 2);
  EXPECT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0) << session;
  Refused(!ProcessIdToSessionId(GetCurrentProcessId(), nullptr), ERROR_INVALID_PARAMETER);
  SetMessageBoxAnswer([](const std::wstring& text, const std::wstring& caption, uint32_t) {
    return text == L"Text" && caption == L"Title" ? IDYES : IDABORT;
  });
  const wchar_t title[] = L"Title";
  const wchar_t text[] = L"Text";
  int response = 0;
  ASSERT_TRUE(
      WTSSendMessage(2, title, sizeof(title), text, sizeof(text), MB_YESNO, 0, &response, true));
  EXPECT_EQ(response, IDYES);
  for (const auto& [id, answer] :
       {std::pair(5u, &response), std::pair(2u, static_cast<int*>(nullptr))}) {
    // Another session, or nowhere to answer.
    Refused(!WTSSendMessage(id, title, sizeof(title), text, sizeof(text), MB_OK, 0, answer, true),
            ERROR_INVALID_PARAMETER);
  }
  testing::internal::CaptureStderr();  // without waiting, the message is only shown
  ASSERT_TRUE(
      WTSSendMessage(2, title, sizeof(title), text, sizeof(text), MB_OK, 0, &response, false));
  EXPECT_EQ(response, 32001);  // IDASYNC: nobody answered
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "\n== Title ==\nText\n[O]K \n");
  SetMessageBoxAnswer(nullptr);
}

TEST(DebugOutput, ReadersSeeEveryTextInOrder) {
  TakeDebugOutput();
  OutputDebugString(L"first\n");
  OutputDebugStringA("second\n");
  OutputDebugString(nullptr);
  EXPECT_EQ(TakeDebugOutput(), (std::vector<std::wstring>{L"first\n", L"second\n", L""}));
  EXPECT_TRUE(TakeDebugOutput().empty());
  // Nobody reading: only the newest 10000 are kept.
  for (int i = 0; i <= 10000; ++i) OutputDebugString(std::to_wstring(i).c_str());
  const std::vector<std::wstring> kept = TakeDebugOutput();
  ASSERT_EQ(kept.size(), 10000u);
  EXPECT_EQ(kept.front() + L"," + kept.back(), L"1,10000");
}

TEST(DebugOutput, CopiedToStderrOnlyWhenAsked) {
  for (const auto& [asked, copied] : {std::pair("0", ""), std::pair("1", "r\xC3\xA9port\n")}) {
    setenv("ZOR_DEBUG_OUTPUT", asked, 1);
    testing::internal::CaptureStderr();
    OutputDebugString(L"r\u00e9port\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), copied) << asked;
  }
  unsetenv("ZOR_DEBUG_OUTPUT");
}

TEST(CrashDumps, WrittenToTheNamedFile) {
  const std::filesystem::path file =
      std::filesystem::path(getenv("ZOR_REGISTRY_ROOT")) / "Imaging-test.dmp";
  ExceptionFacts facts{0xC0000005, reinterpret_cast<const void*>(0x1234)};
  ASSERT_TRUE(WriteCrashDump(Utf8ToWide(file.string()).c_str(), &facts));
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  std::string head = text.str().substr(0, text.str().find("stack:\n") + 7);
  head.replace(head.find("time: ") + 6, 19, "T");  // the clock's stamp
  EXPECT_EQ(head, "Crash report\ntime: T\nprocess: " + std::to_string(GetCurrentProcessId()) +
                      "\nthread: " + std::to_string(GetCurrentThreadId()) +
                      "\nexception: 0xc0000005\naddress: 0x1234\nstack:\n");
  Refused(!WriteCrashDump(L"/nonexistent/folder/x.dmp", nullptr), ERROR_PATH_NOT_FOUND);
  Refused(!WriteCrashDump(nullptr, nullptr), ERROR_INVALID_PARAMETER);
  // The folder comes from the environment: a FIFO of the report's name fails at once, unread.
  const std::filesystem::path fifo = file.parent_path() / "Imaging-fifo.dmp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Refused(!WriteCrashDump(Utf8ToWide(fifo.string()).c_str(), nullptr), ERROR_CANTWRITE);
}

// Each code the layer gives has its own text; any other is named by its number.
TEST(ErrorTexts, EachKnownCodeHasItsOwn) {
  for (const uint32_t code : kErrorCodes) {
    EXPECT_EQ(FormatErrorMessage(code).rfind(L"Unknown error ", 0), std::wstring::npos) << code;
  }
  std::map<std::wstring, uint32_t> owners;
  for (uint32_t code = 0; code < 0x10000; ++code) {
    const std::wstring text = FormatErrorMessage(code);
    if (text.rfind(L"Unknown error ", 0) == 0) continue;
    EXPECT_TRUE(owners.emplace(text, code).second) << code << " and " << owners[text];
  }
  EXPECT_EQ(owners.size(), std::size(kErrorCodes));  // no row lost to another's code
  EXPECT_EQ(FormatErrorMessage(0x12345), L"Unknown error 74565.\r\n");
}

// Messages sent to a window are kept, with their bytes, until read.
TEST(Windows, SentMessagesAreKeptUntilRead) {
  TakeSentMessages();
  const uint8_t bytes[] = {1, 2, 3};
  const CopyDataStruct data{7, sizeof(bytes), bytes}, empty{9, 3, nullptr};
  EXPECT_EQ(SendMessage(kNullHandle, WM_COPYDATA, 0, &data), 0);
  SendMessage(kNullHandle, WM_COPYDATA + 1, 0, &data);  // other messages carry no record
  SendMessage(kNullHandle, WM_COPYDATA, 0, nullptr);
  SendMessage(kNullHandle, WM_COPYDATA, 0, &empty);
  std::string seen;
  for (const SentMessage& m : TakeSentMessages()) {
    seen += std::to_string(HandleValue(m.window)) + "/" + std::to_string(m.message) + "/" +
            std::to_string(m.dwData) + "/" + std::string(m.bytes.begin(), m.bytes.end()) + ";";
  }
  EXPECT_EQ(seen, "0/74/7/\1\2\3;0/75/0/;0/74/0/;0/74/9/;");
  EXPECT_TRUE(TakeSentMessages().empty());
  // Nobody reading: only the newest 1000 are kept.
  for (uint32_t i = 0; i <= 1000; ++i) SendMessage(kNullHandle, i, 0, nullptr);
  const std::vector<SentMessage> kept = TakeSentMessages();
  EXPECT_EQ(std::make_tuple(kept.size(), kept.front().message, kept.back().message),
            std::make_tuple(size_t{1000}, 1u, 1000u));
}

TEST(Timing, CountersMoveForward) {
  int64_t frequency = 0;
  int64_t before = 0;
  int64_t after = 0;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency, 1000000000);  // nanoseconds
  const uint64_t stamp = ReadTimeStampCounter();
  ASSERT_TRUE(QueryPerformanceCounter(&before));
  const uint64_t ticks = GetTickCount64();
  Sleep(2);
  ASSERT_TRUE(QueryPerformanceCounter(&after));
  EXPECT_TRUE(after > before && ReadTimeStampCounter() > stamp && GetTickCount64() > ticks);
  // The counter is the monotonic clock in nanoseconds, the ticks its milliseconds.
  const auto now = [] {
    return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1);
  };
  const int64_t first = now();
  ASSERT_TRUE(QueryPerformanceCounter(&before));
  const uint64_t milliseconds = GetTickCount64();
  const int64_t last = now();
  EXPECT_TRUE(first <= before && before <= last) << first << " " << before << " " << last;
  EXPECT_TRUE(first / 1000000 <= static_cast<int64_t>(milliseconds) &&
              static_cast<int64_t>(milliseconds) <= last / 1000000)
      << milliseconds;
}

TEST(Processors, CountAndAffinityRoundTrip) {
  const uint32_t count = GetProcessorCount();
  ASSERT_GE(count, 1u);
  EXPECT_LT(GetCurrentProcessorNumber(), std::max(count, 64u));
  uint64_t process = 0;
  uint64_t system = 0;
  ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
  EXPECT_NE(process & system, 0u);
  const uint64_t first = process & (~process + 1);
  const uint64_t previous = SetThreadAffinityMask(GetCurrentThread(), first);
  const uint64_t runsOn = uint64_t{1} << GetCurrentProcessorNumber();
  EXPECT_EQ(std::make_tuple(previous, runsOn, SetThreadAffinityMask(GetCurrentThread(), previous)),
            std::make_tuple(process, first, first));
  // No processor, or one past the system's beside one that exists, is refused.
  for (uint64_t bad : {uint64_t{0}, system == ~uint64_t{0} ? 0 : first | ~system}) {
    Refused(SetThreadAffinityMask(GetCurrentThread(), bad) == 0u, ERROR_INVALID_PARAMETER);
    Refused(!SetProcessAffinityMask(GetCurrentProcess(), bad), ERROR_INVALID_PARAMETER);
  }
  // Another process's or thread's handle, or no mask to fill, is refused with its reason.
  Refused(!GetProcessAffinityMask(kNullHandle, &process, &system), ERROR_INVALID_HANDLE);
  Refused(!GetProcessAffinityMask(GetCurrentProcess(), nullptr, &system), ERROR_INVALID_PARAMETER);
  Refused(!SetProcessAffinityMask(kNullHandle, process), ERROR_INVALID_HANDLE);
  Refused(!GetProcessAffinityMask(GetCurrentProcess(), &process, nullptr), ERROR_INVALID_PARAMETER);
  Refused(SetThreadAffinityMask(kNullHandle, process) == 0, ERROR_INVALID_HANDLE);
  EXPECT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), process));
}

// The process's mask reaches every thread the kernel schedules, not only the caller.
TEST(Processors, ProcessAffinityReachesTheOtherThreads) {
  uint64_t process = 0, system = 0;
  ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
  const uint64_t last = uint64_t{1} << (63 - __builtin_clzll(process));
  if (last == process) GTEST_SKIP() << "one processor only";
  std::atomic<int> step{0};
  uint64_t seen = 0;
  std::thread other([&] {
    step.store(1);
    while (step.load() != 2) std::this_thread::yield();
    cpu_set_t set;
    CPU_ZERO(&set);
    sched_getaffinity(0, sizeof(set), &set);
    for (int cpu = 0; cpu < 64; ++cpu) {
      if (CPU_ISSET(cpu, &set)) seen |= uint64_t{1} << cpu;
    }
  });
  while (step.load() != 1) std::this_thread::yield();
  EXPECT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), last));
  step.store(2);
  other.join();
  EXPECT_EQ(seen, last);
  EXPECT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), process));
}

TEST(Power, RefusedAwayModeFallsBackAndIsWithdrawn) {
  SetSupportedExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_AWAYMODE_REQUIRED), 0u);
  EXPECT_NE(SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED), 0u);
  EXPECT_EQ(CurrentExecutionState(), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  EXPECT_EQ(CurrentExecutionState(), ES_CONTINUOUS);
}

TEST(Shutdown, RecordedOnlyWithThePrivilegeAndNeverCarriedOut) {
  SetShutdownPrivilegeHeld(false);
  Refused(!EnableShutdownPrivilege(), ERROR_NOT_ALL_ASSIGNED);
  Refused(!InitiateSystemShutdown(L"update", 30, true, false, 0x80010002),
          ERROR_PRIVILEGE_NOT_HELD);
  SetShutdownPrivilegeHeld(true);
  ASSERT_TRUE(EnableShutdownPrivilege());
  SetShutdownRefusal(ERROR_SHUTDOWN_IN_PROGRESS);
  Refused(!InitiateSystemShutdown(L"update", 30, true, false, 0x80010002),
          ERROR_SHUTDOWN_IN_PROGRESS);
  SetShutdownRefusal(ERROR_SUCCESS);
  ASSERT_TRUE(InitiateSystemShutdown(L"update", 30, true, false, 0x80010002));
  const std::vector<ShutdownRequest> requests = RecordedShutdownRequests();
  ASSERT_EQ(requests.size(), 1u);
  const ShutdownRequest& r = requests[0];
  EXPECT_EQ(
      std::tie(r.message, r.timeoutSeconds, r.forceAppsClosed, r.rebootAfterShutdown, r.reason),
      std::make_tuple(L"update", 30u, true, false, 0x80010002u));
  SetUserAdministrator(true);
  EXPECT_TRUE(IsUserAdministrator());
}

// Each constant, followed by its number.
template <class... Numbers>
void ExpectPairs(Numbers... numbers) {
  const uint64_t list[] = {static_cast<uint64_t>(numbers)...};
  for (size_t i = 0; i + 1 < std::size(list); i += 2) {
    EXPECT_EQ(list[i], list[i + 1]) << "pair " << i / 2;
  }
}

// Windows' numbers: code written against Windows' headers passes them as they are.
TEST(Constants, HaveTheirWindowsNumbers) {
  ExpectPairs(MB_OK, 0, MB_OKCANCEL, 1, MB_ABORTRETRYIGNORE, 2, MB_YESNOCANCEL, 3, MB_YESNO, 4,
              MB_RETRYCANCEL, 5, MB_ICONERROR, 0x10, MB_ICONQUESTION, 0x20, MB_ICONWARNING, 0x30,
              MB_ICONINFORMATION, 0x40, MB_SYSTEMMODAL, 0x1000, MB_TOPMOST, 0x40000, IDOK, 1,
              IDCANCEL, 2, IDABORT, 3, IDRETRY, 4, IDIGNORE, 5, IDYES, 6, IDNO, 7);
  ExpectPairs(NOPARITY, 0, ODDPARITY, 1, EVENPARITY, 2, MARKPARITY, 3, SPACEPARITY, 4, ONESTOPBIT,
              0, ONE5STOPBITS, 1, TWOSTOPBITS, 2, RTS_CONTROL_DISABLE, 0, RTS_CONTROL_ENABLE, 1,
              RTS_CONTROL_HANDSHAKE, 2, RTS_CONTROL_TOGGLE, 3, PURGE_TXABORT, 1, PURGE_RXABORT, 2,
              PURGE_TXCLEAR, 4, PURGE_RXCLEAR, 8, EV_RXCHAR, 1, CE_RXOVER, 1, CE_OVERRUN, 2,
              CE_RXPARITY, 4, CE_FRAME, 8, CE_BREAK, 0x10, CE_TXFULL, 0x100, CE_MODE, 0x8000,
              IOCTL_SERIAL_SET_WAIT_MASK, 0x1B0044, IOCTL_SERIAL_WAIT_ON_MASK, 0x1B0048,
              IOCTL_SERIAL_GET_COMMSTATUS, 0x1B006C);
  ExpectPairs(HandleValue(HKEY_CLASSES_ROOT), 0x80000000, HandleValue(HKEY_CURRENT_USER),
              0x80000001, HandleValue(HKEY_LOCAL_MACHINE), 0x80000002, HandleValue(HKEY_USERS),
              0x80000003, HandleValue(HKEY_CURRENT_CONFIG), 0x80000005, REG_NONE, 0, REG_SZ, 1,
              REG_EXPAND_SZ, 2, REG_BINARY, 3, REG_DWORD, 4, REG_MULTI_SZ, 7, REG_QWORD, 11,
              KEY_QUERY_VALUE, 1, KEY_SET_VALUE, 2, KEY_CREATE_SUB_KEY, 4, KEY_ENUMERATE_SUB_KEYS,
              8, KEY_READ, 0x20019, KEY_WRITE, 0x20006, KEY_ALL_ACCESS, 0xF003F,
              REG_OPTION_NON_VOLATILE, 0, REG_OPTION_VOLATILE, 1, REG_CREATED_NEW_KEY, 1,
              REG_OPENED_EXISTING_KEY, 2);
  ExpectPairs(CP_ACP, 0, CP_OEMCP, 1, CP_THREAD_ACP, 3, CP_UTF8, 65001, MB_ERR_INVALID_CHARS, 8,
              WC_ERR_INVALID_CHARS, 0x80, WC_NO_BEST_FIT_CHARS, 0x400, INFINITE, 0xFFFFFFFF,
              WAIT_OBJECT_0, 0, WAIT_ABANDONED_0, 0x80, WAIT_TIMEOUT, 258, WAIT_FAILED, 0xFFFFFFFF,
              MAXIMUM_WAIT_OBJECTS, 64, INVALID_FILE_ATTRIBUTES, 0xFFFFFFFF,
              FILE_ATTRIBUTE_READONLY, 1, FILE_ATTRIBUTE_HIDDEN, 2, FILE_ATTRIBUTE_DIRECTORY, 0x10,
              FILE_ATTRIBUTE_NORMAL, 0x80, ES_SYSTEM_REQUIRED, 1, ES_DISPLAY_REQUIRED, 2,
              ES_AWAYMODE_REQUIRED, 0x40, ES_CONTINUOUS, 0x80000000, WM_COPYDATA, 0x4A,
              STATUS_PENDING, 0x103);
}

}  // namespace
}  // namespace os
