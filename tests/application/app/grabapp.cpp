// An application as users write one: the installed headers and libZOR.so, nothing else. It
// runs on the simulated board, says on stderr which check failed, and exits with 1 when any did.
#include <zor/zor.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr QINT64 kUnknownType = 999999;

int failures = 0;

void Check(bool ok, const char* what) {
  if (ok) return;
  ++failures;
  wchar_t message[Q_ERROR_TEXT_SIZE] = {};
  const QINT64 code = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  QappGetError(Q_DEFAULT, Q_MESSAGE, message);
  std::fprintf(stderr, "grabapp: FAILED: %s (current error %lld: %ls)\n", what,
               static_cast<long long>(code), message);
}

QINT64 Error() { return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr); }

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

template <typename T>
std::vector<T> Pixels(QID buffer, int bands) {
  std::vector<T> data(static_cast<size_t>(bands) * kWidth * kHeight);
  QbufGet(buffer, data.data());
  return data;
}

// The simulator's ramp: a row of the left three quarters takes many levels, not one.
template <typename T>
size_t Levels(const std::vector<T>& pixels, size_t band, int row) {
  const size_t start = band * kWidth * kHeight + static_cast<size_t>(row) * kWidth;
  return std::set<T>(pixels.begin() + start, pixels.begin() + start + kWidth * 3 / 4).size();
}

void MonoBuffers(QID system, QID digitizer) {
  QID buffer = 0;
  QbufAlloc2d(system, kWidth, kHeight, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, &buffer);
  Check(buffer != 0, "8-bit buffer allocated");
  QdigGrab(digitizer, buffer);
  Check(Error() == 0, "8-bit grab");
  const std::vector<uint8_t> first = Pixels<uint8_t>(buffer, 1);
  Check(Levels(first, 0, 200) > 32, "8-bit grab holds the ramp");
  QdigGrab(digitizer, buffer);
  Check(Pixels<uint8_t>(buffer, 1) != first, "two grabs differ");
  QbufFree(buffer);

  // 16-bit pixels go into processing buffers: the board grabs 8 bits a pixel into grab buffers.
  QbufAlloc2d(system, kWidth, kHeight, 16 + Q_UNSIGNED, Q_IMAGE + Q_PROC, &buffer);
  Check(buffer != 0, "16-bit buffer allocated");
  QdigGrab(digitizer, buffer);
  Check(Error() == 0, "16-bit grab");
  const std::vector<uint16_t> wide = Pixels<uint16_t>(buffer, 1);
  Check(Levels(wide, 0, 200) > 32, "16-bit grab holds the ramp");
  Check(std::all_of(wide.begin(), wide.end(), [](uint16_t v) { return (v & 0xFF) == 0; }),
        "16-bit grab holds the pixels in the high byte");
  QbufFree(buffer);
}

void ColourBuffer(QID system, QID digitizer) {
  QID buffer = 0;
  QbufAllocColor(system, 3, kWidth, kHeight, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, &buffer);
  Check(buffer != 0, "colour buffer allocated");
  QdigGrab(digitizer, buffer);
  Check(Error() == 0, "colour grab");
  const std::vector<uint8_t> planes = Pixels<uint8_t>(buffer, 3);
  for (size_t band = 0; band < 3; ++band) Check(Levels(planes, band, 200) > 32, "colour ramp");
  // The colour bars of the right quarter: red and blue planes part there.
  const size_t plane = static_cast<size_t>(kWidth) * kHeight;
  bool bandsDiffer = false;
  for (size_t i = plane * 200 / kHeight; i < plane && !bandsDiffer; ++i) {
    bandsDiffer = planes[i] != planes[2 * plane + i];
  }
  Check(bandsDiffer, "colour bands differ in the bars");
  QbufFree(buffer);
}

QINT64 Count(QINT64, QID, void* user) {
  ++*static_cast<std::atomic<int>*>(user);
  return 0;
}

// Hook events reach the hook threads a moment after the grab returns; a loaded machine may
// take seconds.
void Settle(std::initializer_list<const std::atomic<int>*> counters, int atLeast) {
  for (int i = 0; i < 1000; ++i) {
    if (std::all_of(counters.begin(), counters.end(),
                    [atLeast](const std::atomic<int>* c) { return c->load() >= atLeast; })) {
      break;
    }
    Pause(10);
  }
  Pause(100);
}

void Hooks(QID system, QID digitizer) {
  std::atomic<int> starts{0}, ends{0}, frames{0};
  QdigHookFunction(digitizer, Q_GRAB_START, &Count, &starts);
  QdigHookFunction(digitizer, Q_GRAB_END, &Count, &ends);
  QdigHookFunction(digitizer, Q_GRAB_FRAME_END, &Count, &frames);
  Check(Error() == 0, "hooks set");
  QID buffer = 0;
  QbufAlloc2d(system, kWidth, kHeight, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, &buffer);
  constexpr int kGrabs = 3;
  for (int i = 0; i < kGrabs; ++i) QdigGrab(digitizer, buffer);
  Settle({&starts, &ends, &frames}, kGrabs);
  Check(starts.load() == kGrabs, "grab-start hook once per grab");
  Check(ends.load() == kGrabs, "grab-end hook once per grab");
  Check(frames.load() >= kGrabs, "frame-end hook for every grabbed frame");
  QdigHookFunction(digitizer, Q_GRAB_START + Q_UNHOOK, &Count, &starts);
  QdigHookFunction(digitizer, Q_GRAB_END + Q_UNHOOK, &Count, &ends);
  QdigHookFunction(digitizer, Q_GRAB_FRAME_END + Q_UNHOOK, &Count, &frames);
  QbufFree(buffer);
}

// The buffer is read between runs only: while the board writes it, a read races the writing.
void ContinuousGrab(QID system, QID digitizer) {
  QID buffer = 0;
  QbufAlloc2d(system, kWidth, kHeight, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, &buffer);
  std::vector<uint8_t> runs[2];
  for (std::vector<uint8_t>& run : runs) {
    QdigGrabContinuous(digitizer, buffer);
    Check(Error() == 0, "continuous grab started");
    QdigGrabWait(digitizer, Q_GRAB_NEXT_FRAME);
    QdigGrabWait(digitizer, Q_GRAB_NEXT_FRAME);
    QdigHalt(digitizer);
    Check(Error() == 0, "halt");
    run = Pixels<uint8_t>(buffer, 1);
    Check(Levels(run, 0, 200) > 32, "continuous grab fills the buffer");
    QdigGrabWait(digitizer, Q_GRAB_NEXT_FRAME);
    QdigGrabWait(digitizer, Q_GRAB_NEXT_FRAME);
    Check(Pixels<uint8_t>(buffer, 1) == run, "nothing written after the halt");
  }
  Check(runs[0] != runs[1], "the second run writes later frames");
  QdigGrabAbort(digitizer);
  Check(Error() == 0, "grab abort");
  QbufFree(buffer);
}

QINT64 Processed(QINT64, QID, void* user) { return Count(0, 0, user); }

void Processing(QID system, QID digitizer) {
  std::vector<QID> ring(3);
  for (QID& buffer : ring) {
    QbufAlloc2d(system, kWidth, kHeight, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, &buffer);
  }
  std::atomic<int> calls{0};
  QdigProcess(digitizer, ring.data(), 3, Q_START_SEQUENCE + (7 << 5), Q_SYNCHRONOUS, &Processed,
              &calls);
  Check(Error() == 0 && calls.load() == 7, "a sequence of 7 frames processed");
  std::atomic<int> running{0};
  QdigProcess(digitizer, ring.data(), 3, Q_START, Q_ASYNCHRONOUS, &Processed, &running);
  Check(Error() == 0, "continuous processing started");
  Settle({&running}, 5);
  QdigProcess(digitizer, ring.data(), 3, Q_STOP + Q_WAIT, Q_DEFAULT, &Processed, &running);
  Check(Error() == 0 && running.load() >= 5, "continuous processing ran and stopped");
  const int stopped = running.load();
  Pause(100);
  Check(running.load() == stopped, "nothing processed after the stop");
  for (QID buffer : ring) QbufFree(buffer);
}

void Refusals(QID system, QID digitizer) {
  QID none = 0;
  QdigAlloc(system, Q_DEFAULT, L"no-such-camera.dcf", Q_DEFAULT, &none);
  Check(none == 0 && Error() == 4312, "an unknown camera file is refused with 4312");
  QINT64 value = 0;
  QsysInquire(system, kUnknownType, &value);
  Check(Error() == 4310, "unknown system inquire type records 4310");
  QdigInquire(digitizer, kUnknownType, &value);
  Check(Error() == 4310, "unknown digitizer inquire type records 4310");
  // Types that are only answered refuse a value.
  QsysControl(system, Q_SYSTEM_TYPE, -5);
  Check(Error() == 4307, "a system control of an answered type records 4307");
  QdigControl(digitizer, Q_SIZE_X, -5);
  Check(Error() == 4307, "a digitizer control of an answered type records 4307");
}

// One system with a digitizer of the default device number; false when there is none.
bool Run(bool everything) {
  QID system = 0;
  QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", Q_DEFAULT, Q_DEFAULT, &system);
  Check(system != 0, "system allocated");
  if (system == 0) return false;
  QID digitizer = 0;
  QdigAlloc(system, Q_DEFAULT, L"Q_NTSC", Q_DEFAULT, &digitizer);
  Check(digitizer != 0, "digitizer of the default device number allocated");
  if (digitizer != 0) {
    MonoBuffers(system, digitizer);
    if (everything) {
      ColourBuffer(system, digitizer);
      Hooks(system, digitizer);
      ContinuousGrab(system, digitizer);
      Processing(system, digitizer);
      Refusals(system, digitizer);
    }
    QdigFree(digitizer);
  }
  QsysFree(system);
  return digitizer != 0;
}

}  // namespace

int main() {
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  // Freed, the same objects can be allocated again.
  if (Run(true)) Run(false);
  if (failures == 0) std::printf("grabapp: every check passed\n");
  return failures == 0 ? 0 : 1;
}
