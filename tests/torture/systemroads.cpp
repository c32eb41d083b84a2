// System and buffer roads: the systems' facts, which never change; buffers of a thread's own
// written and read back; grabs into a buffer freed at once; the browser's polling and session
// switched from any thread; and a digitizer allocated, used and freed while it processes.
#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/torture/roads.h"

namespace torture {
namespace {

constexpr QINT64 kFeatureBrowser = 6905;
constexpr QINT64 kBrowserPolling = 6973;
constexpr QINT64 kBrowserSession = 6950;
constexpr QINT64 kOpen = 16;
constexpr QINT64 kClose = 32;

QID OwnBuffer(QID system) {
  return QbufAlloc2d(system, kWidth, kHeight, 8 + Q_UNSIGNED, kGrabBuffer, nullptr);
}

void CheckFact(Worker& worker, const char* what, QINT64 answer, QINT64 fact) {
  if (answer != fact) {
    worker.Note(std::string(what) + " answered " + std::to_string(answer) + ", at first " +
                std::to_string(fact));
  }
}

// What a channel of the digitizer of a thread's own does before it is freed, at random.
void UseDigitizer(Worker& worker, QID digitizer, DigitizerEvents& events, QID buffer) {
  switch (worker.Pick(4)) {
    case 0:
      worker.Do("QdigProcess", [&] {
        QdigProcess(digitizer, events.ring.data(), kRingSize, Q_START, Q_ASYNCHRONOUS,
                    &World::OnProcessed, &events);
      });
      break;
    case 1:
      worker.Do("QdigGrabContinuous", [&] { QdigGrabContinuous(digitizer, buffer); });
      break;
    case 2:
      worker.Do("QdigHookFunction", [&] {
        QdigHookFunction(digitizer, Q_GRAB_FRAME_END, &World::OnGrabEvent, &events);
      });
      break;
    default:
      worker.Do("QdigControl", [&] { QdigControl(digitizer, kFeatureBrowser, kOpen); });
      break;
  }
}

void InquireFact(Worker& worker, QID system, QINT64 type, const char* what, QINT64 fact) {
  QINT64 answer = -1;
  if (worker.Do("QsysInquire", [&] { QsysInquire(system, type, &answer); }) == 0) {
    CheckFact(worker, what, answer, fact);
  }
}

}  // namespace

void InquireSystem(Worker& worker) {
  SharedSystem& system = worker.AnySystem();
  switch (worker.Pick(4)) {
    case 0:
      InquireFact(worker, system.id, Q_DIGITIZER_NUM, "Q_DIGITIZER_NUM", system.digitizerCount);
      break;
    case 1:
      InquireFact(worker, system.id, Q_BOARD_REVISION, "Q_BOARD_REVISION", system.revision);
      break;
    case 2: {
      wchar_t name[32] = {};
      const QINT64 error =
          worker.Do("QsysInquire", [&] { QsysInquire(system.id, Q_SYSTEM_DESCRIPTOR, name); });
      if (error == 0 && std::wstring(name) != L"DravionLyn") {
        worker.Note("Q_SYSTEM_DESCRIPTOR answered " + std::string(name, name + wcslen(name)));
      }
      break;
    }
    default: {
      const QINT64 seconds = worker.Chance(50) ? 5 : 10;
      worker.Do("QsysControl", [&] { QsysControl(system.id, Q_TIMEOUT, seconds); });
      break;
    }
  }
}

// Two buffers of the thread's own: what is put reads back through a copy; a clear and an
// inquiry on the way.
void UseBuffers(Worker& worker) {
  SharedSystem& system = worker.AnySystem();
  QID first = 0;
  QID second = 0;
  worker.Do("QbufAlloc2d", [&] { first = OwnBuffer(system.id); });
  worker.Do("QbufAlloc2d", [&] { second = OwnBuffer(system.id); });
  if (first != 0 && second != 0) {
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth * kHeight));
    const auto seed = static_cast<uint8_t>(worker.Pick(256));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(seed + i * 7);
    worker.Do("QbufClear", [&] { QbufClear(second, 17.0); });
    worker.Do("QbufPut", [&] { QbufPut(first, pixels.data()); });
    worker.Do("QbufCopy", [&] { QbufCopy(first, second); });
    std::vector<uint8_t> back(pixels.size());
    if (worker.Do("QbufGet", [&] { QbufGet(second, back.data()); }) == 0 && back != pixels) {
      worker.Note("a copied buffer reads other pixels than were put");
    }
    QINT64 width = 0;
    if (worker.Do("QbufInquire", [&] { QbufInquire(second, Q_SIZE_X, &width); }) == 0) {
      CheckFact(worker, "QbufInquire(Q_SIZE_X)", width, kWidth);
    }
  }
  for (QID buffer : {first, second}) {
    if (buffer != 0) worker.Do("QbufFree", [&] { QbufFree(buffer); });
  }
}

// A grab into a buffer of the thread's own, freed at once now and then, while the grab may
// still be running (the digitizer may grab asynchronously).
void GrabIntoOwnBuffer(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  QID buffer = 0;
  if (worker.Do("QbufAlloc2d", [&] { buffer = OwnBuffer(digitizer.system); }) != 0) return;
  worker.Do("QdigGrab", [&] { QdigGrab(digitizer.id, buffer); });
  if (worker.Chance(50)) {
    worker.Do("QdigGrabWait", [&] { QdigGrabWait(digitizer.id, Q_GRAB_END); });
  }
  worker.Do("QbufFree", [&] { QbufFree(buffer); });
}

// The publisher's polling and session, from any thread while the browser's thread opens and
// closes it.
void PollForBrowser(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  QINT64 answer = 0;
  switch (worker.Pick(3)) {
    case 0: {
      const QINT64 state = worker.Chance(50) ? Q_ENABLE : Q_DISABLE;
      worker.Do("QdigControl", [&] { QdigControl(digitizer.id, kBrowserPolling, state); });
      break;
    }
    case 1:
      worker.Do("QdigInquire", [&] { QdigInquire(digitizer.id, kBrowserPolling, &answer); });
      break;
    default:
      worker.Do("QsysInquire", [&] { QsysInquire(digitizer.system, kBrowserSession, &answer); });
      break;
  }
}

// A digitizer on a free channel of the first board, used a little and freed with whatever it
// still runs.
void UseOwnDigitizer(Worker& worker) {
  SharedSystem& system = worker.world().Systems().front();
  const QINT64 channel = 2;
  if (system.digitizerCount <= channel) return;
  DigitizerEvents events;
  QID buffer = 0;
  worker.Do("QbufAlloc2d", [&] { buffer = OwnBuffer(system.id); });
  for (QINT64 i = 0; i < kRingSize; ++i) {
    worker.Do("QbufAlloc2d", [&] { events.ring.push_back(OwnBuffer(system.id)); });
  }
  QID digitizer = 0;
  worker.Do("QdigAlloc", [&] { QdigAlloc(system.id, channel, L"Q_NTSC", Q_DEFAULT, &digitizer); });
  const bool ready =
      digitizer != 0 && buffer != 0 && std::count(events.ring.begin(), events.ring.end(), 0) == 0;
  if (ready) {
    events.digitizer = digitizer;
    worker.Do("QdigControl", [&] { QdigControl(digitizer, Q_GRAB_TIMEOUT, 2000); });
    for (size_t i = 1 + worker.Pick(3); i > 0; --i) UseDigitizer(worker, digitizer, events, buffer);
    if (worker.Chance(30)) {
      worker.Do("QdigControl", [&] { QdigControl(digitizer, kFeatureBrowser, kClose); });
    }
  }
  if (digitizer != 0) worker.Do("QdigFree", [&] { QdigFree(digitizer); });
  for (QID own : events.ring) {
    if (own != 0) worker.Do("QbufFree", [&] { QbufFree(own); });
  }
  if (buffer != 0) worker.Do("QbufFree", [&] { QbufFree(buffer); });
}

}  // namespace torture
