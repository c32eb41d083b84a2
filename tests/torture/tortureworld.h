// What the torture threads share: an installation of the test's own (GenICam folders, camera
// files, the feature browser's install folder and server port in the registry), two board
// systems with their digitizers, buffers and processing rings, and the findings of the checks.
#pragma once

#include <zor/zor.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace torture {

// What a digitizer's processing function and hooks saw; their user data.
struct DigitizerEvents {
  QID digitizer = 0;
  std::vector<QID> ring;  // the buffers a processing run may hand over
  std::atomic<uint64_t> processed{0};
  std::atomic<uint64_t> grabHooks{0};
  std::atomic<uint64_t> featureHooks{0};
};

struct SharedDigitizer {
  QID system = 0;
  QID id = 0;
  QID grabBuffer = 0;  // grabs and continuous grabs
  DigitizerEvents events;
};

struct SharedSystem {
  QID id = 0;
  // Facts that never change while it lives.
  QINT64 digitizerCount = 0;
  QINT64 revision = 0;
};

// The image every digitizer of the test grabs (the NTSC camera file).
inline constexpr QINT64 kWidth = 640;
inline constexpr QINT64 kHeight = 480;
inline constexpr QINT64 kRingSize = 3;
inline constexpr QINT64 kGrabBuffer = Q_IMAGE + Q_GRAB + Q_PROC;

class World {
 public:
  World() = default;
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // The installation and the shared objects; false (with a finding) when something is missing.
  bool Build();
  // Ends what runs and frees everything; the threads have ended.
  void TearDown();

  // A check that failed: kept for the end of the run, printed at once.
  void Note(const std::string& finding);
  std::vector<std::string> Findings();

  uint16_t BrowserPort() const { return port_; }
  std::deque<SharedSystem>& Systems() { return systems_; }
  std::deque<SharedDigitizer>& Digitizers() { return digitizers_; }

  // The processing function and the hooks the roads install; user data: the DigitizerEvents.
  static QINT64 OnProcessed(QINT64 hookType, QID event, void* user);
  static QINT64 OnGrabEvent(QINT64 hookType, QID event, void* user);
  static QINT64 OnFeatureChange(QINT64 hookType, QID event, void* user);
  // The World the callbacks note findings in.
  static World* Current();

 private:
  void Install();
  bool AllocateSystem(QINT64 board, int digitizers);
  bool AllocateDigitizer(SharedSystem& system, QINT64 channel);

  std::filesystem::path folder_;
  uint16_t port_ = 0;
  std::deque<SharedSystem> systems_;
  std::deque<SharedDigitizer> digitizers_;
  std::mutex findingsLock_;
  std::vector<std::string> findings_;
};

// The current error of the calling thread, and its first detail.
QINT64 ErrorCode();
QINT64 ErrorSubCode();

}  // namespace torture
