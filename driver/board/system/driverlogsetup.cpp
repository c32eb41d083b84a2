// The driver log in the memory the kernel driver shares, the log viewer told
// where it lies, and the log categories the board's settings turn on. Done
// once per process.
#include <cstring>
#include <mutex>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/lockorder.h"
#include "driver/foundation/log.h"
#include "platform/os/process/process_launch.h"
#include "platform/os/ui/window.h"

namespace zor::board {
namespace {

constexpr const wchar_t* kViewerTitle = L"Driver Log Viewer";
// No shell reads the name here, so it needs no quote.
constexpr const wchar_t* kViewerProgram = L"DriverLogViewer.EXE";
constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;
constexpr uint64_t kLogMemoryMessage = 1;
constexpr std::size_t kRingHeaderWord = 8;

// Settings-block offset of a category's switch, and the category it turns on.
struct CategorySwitch {
  std::size_t offset;
  int category;
};
constexpr CategorySwitch kCategorySwitches[] = {
    {28, 12}, {84, 8}, {44, 0}, {36, 11}, {40, 1},   {76, 6},   {88, 9},   {52, 4},
    {80, 10}, {92, 7}, {48, 2}, {96, 13}, {100, 18}, {124, 17}, {128, 19}, {196, 23},
};
// Only its own switch turns this one on.
constexpr std::size_t kOwnSwitchOnly = 28;

// One set-up of the driver log at a time (the viewer window, the log folder); taken before the
// log's folder lock.
foundation::Ranked<std::mutex, foundation::LockId::kLogSetUp> g_logSetUpLock;

os::Handle FindOrStartViewer() ZOR_REQUIRES(g_logSetUpLock) {
  os::Handle window = os::FindWindow(nullptr, kViewerTitle);
  if (window != os::kNullHandle) return window;
  uint32_t processId = 0;
  if (os::CreateProcess(kViewerProgram, &processId)) {
    os::WaitForInputIdle(processId, kInfiniteWait);
    window = os::FindWindow(nullptr, kViewerTitle);
  }
  return window;
}

}  // namespace

void QDHwSpecSystem::SetUpDriverLog(QDDriverThreadContext& ctx) {
  foundation::ScopedLock lock(g_logSetUpLock);
  foundation::CLog* log = foundation::CLog::Instance();
  if (log->Ring() != nullptr) return;
  foundation::CError error;
  const uint64_t address = SystemRequest(kernel::kSysRequestLogMemoryAddress, error, ctx);
  if (address == 0 || error.errorSet != 0) return;
  const uint64_t size = SystemRequest(kernel::kSysRequestLogMemorySize, error, ctx);
  if (error.errorSet != 0) return;
  if (log->AllocBuffer(reinterpret_cast<void*>(address), static_cast<uint32_t>(size)) != 0) return;

  uint8_t message[24] = {};
  std::memcpy(message, &size, 8);
  std::memcpy(message + 8, &address, 8);
  if (log->Ring() != nullptr) std::memcpy(message + 16, log->Ring() + kRingHeaderWord, 4);
  os::CopyDataStruct data{kLogMemoryMessage, sizeof(message), message};
  os::SendMessage(FindOrStartViewer(), os::WM_COPYDATA, 0, &data);

  const bool all = frame::SettingWord(settings_, kernel::kSettingAllLogCategories) != 0;
  for (const CategorySwitch& entry : kCategorySwitches) {
    const bool own = frame::SettingWord(settings_, entry.offset) != 0;
    if (own || (all && entry.offset != kOwnSwitchOnly)) log->SetCategory(entry.category, true);
  }
}

}  // namespace zor::board
