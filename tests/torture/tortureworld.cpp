#include "tests/torture/tortureworld.h"

#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "platform/os/registry/registry.h"

namespace torture {
namespace {

std::atomic<World*> current{nullptr};

constexpr QINT64 kFeatureBrowser = 6905;
constexpr QINT64 kCloseAll = 34;
constexpr QINT64 kStopAndWait = Q_STOP + Q_WAIT;

// A port nobody listens on now; the browser's server binds it later.
uint16_t FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

void SetRegistryValue(const wchar_t* path, const wchar_t* name, const std::wstring& text) {
  os::Handle key = os::kNullHandle;
  os::RegCreateKey(os::HKEY_LOCAL_MACHINE, path, os::REG_OPTION_NON_VOLATILE, os::KEY_ALL_ACCESS,
                   &key, nullptr);
  os::RegSetValue(key, name, os::REG_SZ, text.c_str(),
                  static_cast<uint32_t>((text.size() + 1) * sizeof(wchar_t)));
  os::RegCloseKey(key);
}

void SetRegistryWord(const wchar_t* path, const wchar_t* name, uint32_t word) {
  os::Handle key = os::kNullHandle;
  os::RegCreateKey(os::HKEY_LOCAL_MACHINE, path, os::REG_OPTION_NON_VOLATILE, os::KEY_ALL_ACCESS,
                   &key, nullptr);
  os::RegSetValue(key, name, os::REG_DWORD, &word, sizeof word);
  os::RegCloseKey(key);
}

QINT64 SystemWord(QID system, QINT64 type) {
  QINT64 value = -1;
  QsysInquire(system, type, &value);
  return value;
}

}  // namespace

QINT64 ErrorCode() { return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr); }

QINT64 ErrorSubCode() {
  QINT64 sub = 0;
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_1, &sub);
  return sub;
}

World::~World() {
  current = nullptr;
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

World* World::Current() { return current.load(); }

void World::Note(const std::string& finding) {
  std::fprintf(stderr, "torture: %s\n", finding.c_str());
  std::lock_guard hold(findingsLock_);
  findings_.push_back(finding);
}

std::vector<std::string> World::Findings() {
  std::lock_guard hold(findingsLock_);
  return findings_;
}

// What an installer leaves: the GenICam folders, the camera files, and the feature browser's
// program and page in an install folder, served on a port of the test's own.
void World::Install() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zortorture.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  folder_ = pattern;
  const auto tools = folder_ / "install" / "tools" / "featurebrowser";
  std::filesystem::create_directories(folder_ / "genicam" / "v3_1");
  std::filesystem::create_directories(folder_ / "xml");
  std::filesystem::create_directories(folder_ / "dev");
  std::filesystem::create_directories(tools / "resources" / "app" / "dist");
  std::ofstream(tools / "featurebrowser.exe") << "browser\n";
  std::ofstream(tools / "resources" / "app" / "dist" / "index.html")
      << "<!doctype html><title>Feature browser</title>\n";
  setenv("ZOR_GENICAM_PATH", (folder_ / "genicam").c_str(), 1);
  setenv("ZOR_XML_REPOSITORY", (folder_ / "xml").c_str(), 1);
  setenv("ZOR_SERIAL_DEVICES", (folder_ / "dev").c_str(), 1);
  setenv("DRAVIONLYNDCF", ZOR_STANDARD_DCF_DIR, 1);
  setenv("ZOR_BOARDSIM_BOARDS", "2", 1);
  setenv("ZOR_BOARDSIM_FRAME_US", "3000", 1);
  const std::wstring install = (folder_ / "install").wstring();
  for (const wchar_t* name : {L"INSTALLDIR", L"InstallDir"}) {
    SetRegistryValue(L"Software\\Velant\\Velant Zor Library\\Runtime\\Install", name, install);
  }
  port_ = FreePort();
  const wchar_t* parameters = L"Software\\Velant\\Imaging Board\\DravionLyn\\Parameters";
  SetRegistryWord(parameters, L"FeatureBrowserServer", 1);
  SetRegistryWord(parameters, L"FeatureBrowserServerPortNumber", port_);
}

bool World::Build() {
  current = this;
  Install();
  if (folder_.empty() || port_ == 0) {
    Note("no installation folder or no free port");
    return false;
  }
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  // Board 0 with two digitizers, board 1 with one: threads meet on shared channels, and the
  // systems' own threads run side by side.
  return AllocateSystem(0, 2) && AllocateSystem(1, 1);
}

bool World::AllocateSystem(QINT64 board, int digitizers) {
  SharedSystem& system = systems_.emplace_back();
  QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", board, Q_DEFAULT, &system.id);
  if (system.id == 0) {
    Note("board " + std::to_string(board) + ": no system, error " + std::to_string(ErrorCode()));
    return false;
  }
  system.digitizerCount = SystemWord(system.id, Q_DIGITIZER_NUM);
  system.revision = SystemWord(system.id, Q_BOARD_REVISION);
  for (QINT64 channel = 0; channel < std::min<QINT64>(digitizers, system.digitizerCount);
       ++channel) {
    if (!AllocateDigitizer(system, channel)) return false;
  }
  return true;
}

bool World::AllocateDigitizer(SharedSystem& system, QINT64 channel) {
  SharedDigitizer& digitizer = digitizers_.emplace_back();
  digitizer.system = system.id;
  QdigAlloc(system.id, channel, L"Q_NTSC", Q_DEFAULT, &digitizer.id);
  digitizer.grabBuffer =
      QbufAlloc2d(system.id, kWidth, kHeight, 8 + Q_UNSIGNED, kGrabBuffer, nullptr);
  for (QINT64 i = 0; i < kRingSize; ++i) {
    digitizer.events.ring.push_back(
        QbufAlloc2d(system.id, kWidth, kHeight, 8 + Q_UNSIGNED, kGrabBuffer, nullptr));
  }
  digitizer.events.digitizer = digitizer.id;
  const auto& ring = digitizer.events.ring;
  if (digitizer.id == 0 || digitizer.grabBuffer == 0 ||
      std::count(ring.begin(), ring.end(), 0) != 0) {
    Note("channel " + std::to_string(channel) + ": no digitizer or buffers, error " +
         std::to_string(ErrorCode()));
    return false;
  }
  // A grab never waits long: the threads' waits stay far below the watchdog's limit.
  QdigControl(digitizer.id, Q_GRAB_TIMEOUT, 2000);
  return true;
}

void World::TearDown() {
  for (SharedDigitizer& digitizer : digitizers_) {
    if (digitizer.id == 0) continue;
    QdigProcess(digitizer.id, digitizer.events.ring.data(), kRingSize, kStopAndWait, Q_DEFAULT,
                &OnProcessed, &digitizer.events);
    QdigHalt(digitizer.id);
    QdigFree(digitizer.id);
  }
  for (SharedSystem& system : systems_) {
    if (system.id == 0) continue;
    QsysControl(system.id, kFeatureBrowser, kCloseAll);
  }
  const auto free = [](QID buffer) {
    if (buffer != 0) QbufFree(buffer);
  };
  for (SharedDigitizer& digitizer : digitizers_) {
    for (QID buffer : digitizer.events.ring) free(buffer);
    free(digitizer.grabBuffer);
  }
  for (SharedSystem& system : systems_) {
    if (system.id != 0) QsysFree(system.id);
  }
}

}  // namespace torture
