// Digitizer roads: inquiries with known answers, controls, grabs, continuous grabs, processing
// runs started and stopped from any thread, and hooks set and removed while events arrive.
#include <string>
#include <vector>

#include "tests/torture/roads.h"

namespace torture {
namespace {

struct Known {
  QINT64 type;
  QINT64 answer;  // kAny: any answer
};
constexpr QINT64 kAny = -12345;

const std::vector<Known> kInquiries = {
    {Q_SIZE_X, kWidth},
    {Q_SIZE_Y, kHeight},
    {Q_SIZE_BAND, 3},
    {Q_SIZE_BIT, 8},
    {Q_GRAB_TIMEOUT, kAny},
    {Q_GRAB_PERIOD, kAny},
    {Q_GRAB_MODE, kAny},
    {Q_DIG_PROCESS_IN_PROGRESS, kAny},
    {Q_PROCESS_FRAME_MISSED, kAny},
    {Q_PROCESS_FRAME_COUNT, kAny},
};

struct Setting {
  QINT64 type;
  std::vector<QINT64> values;  // some are refused
};

const std::vector<Setting> kSettings = {
    {Q_GRAB_TIMEOUT, {1000, 2000, 3000}},
    {Q_GRAB_DIRECTION_X, {Q_FORWARD, Q_REVERSE, 3}},
    {Q_GRAB_FIELD_NUM, {1, 2, Q_DEFAULT}},
    {Q_SOURCE_OFFSET_X, {0, 8, 999999}},
    {Q_GRAB_MODE, {Q_SYNCHRONOUS, Q_ASYNCHRONOUS, Q_DEFAULT}},
    {Q_GRAB_FIELD_NUM + 100000, {1}},  // no such control
};

const std::vector<double> kLevels = {0.0, 64.0, 128.0, 255.0, 1e9};

const std::vector<QINT64> kHookTypes = {Q_GRAB_START, Q_GRAB_END, Q_GRAB_FRAME_END,
                                        Q_FEATURE_ANY_CHANGE};

}  // namespace

void InquireDigitizer(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  const Known& known = worker.PickOf(kInquiries);
  QINT64 answer = kAny;
  if (worker.Do("QdigInquire", [&] { QdigInquire(digitizer.id, known.type, &answer); }) != 0) {
    return;
  }
  if (known.answer != kAny && answer != known.answer) {
    worker.Note("QdigInquire(" + std::to_string(known.type) + ") answered " +
                std::to_string(answer) + ", not " + std::to_string(known.answer));
  }
  if (known.type == Q_GRAB_TIMEOUT && answer != 1000 && answer != 2000 && answer != 3000) {
    worker.Note("the grab time-out reads " + std::to_string(answer) + ", which nobody wrote");
  }
}

void ControlDigitizer(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  if (worker.Chance(25)) {
    const QINT64 type = worker.Chance(50) ? Q_BRIGHTNESS_REF : Q_CONTRAST_REF;
    const double level = worker.PickOf(kLevels);
    worker.Do("QdigControlDouble", [&] { QdigControlDouble(digitizer.id, type, level); });
    return;
  }
  const Setting& setting = worker.PickOf(kSettings);
  const QINT64 value = worker.PickOf(setting.values);
  worker.Do("QdigControl", [&] { QdigControl(digitizer.id, setting.type, value); });
}

void Grab(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  worker.Do("QdigGrab", [&] { QdigGrab(digitizer.id, digitizer.grabBuffer); });
  if (worker.Chance(50)) {
    worker.Do("QdigGrabWait", [&] { QdigGrabWait(digitizer.id, Q_GRAB_END); });
  }
}

void GrabContinuously(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  switch (worker.Pick(4)) {
    case 0:
      worker.Do("QdigGrabContinuous",
                [&] { QdigGrabContinuous(digitizer.id, digitizer.grabBuffer); });
      break;
    case 1:
      worker.Do("QdigHalt", [&] { QdigHalt(digitizer.id); });
      break;
    case 2:
      worker.Do("QdigGrabWait", [&] { QdigGrabWait(digitizer.id, Q_GRAB_NEXT_FRAME); });
      break;
    default:
      worker.Do("QdigGrabAbort", [&] { QdigGrabAbort(digitizer.id); });
      break;
  }
}

void Process(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  DigitizerEvents& events = digitizer.events;
  QINT64 operation = Q_START;
  QINT64 flag = Q_ASYNCHRONOUS;
  switch (worker.Pick(5)) {
    case 0:
      break;  // continuous, until someone stops it
    case 1:
      operation = Q_STOP;
      flag = Q_DEFAULT;
      break;
    case 2:
      operation = Q_STOP + Q_WAIT;
      flag = Q_DEFAULT;
      break;
    case 3:
      operation = Q_START_SEQUENCE + (static_cast<QINT64>(1 + worker.Pick(4)) << 5);
      flag = Q_SYNCHRONOUS;
      break;
    default:
      operation = Q_START_SEQUENCE + (static_cast<QINT64>(2 + worker.Pick(6)) << 5);
      break;
  }
  worker.Do("QdigProcess", [&] {
    QdigProcess(digitizer.id, events.ring.data(), kRingSize, operation, flag, &World::OnProcessed,
                &events);
  });
}

void Hook(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  const QINT64 type = worker.PickOf(kHookTypes);
  const QHOOK_FUNCTION function =
      type == Q_FEATURE_ANY_CHANGE ? &World::OnFeatureChange : &World::OnGrabEvent;
  const QINT64 unhook = worker.Chance(50) ? Q_UNHOOK : 0;
  worker.Do("QdigHookFunction",
            [&] { QdigHookFunction(digitizer.id, type + unhook, function, &digitizer.events); });
}

}  // namespace torture
