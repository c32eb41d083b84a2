// The application's functions that the driver calls: a processing function and hooks that
// count what they get, check it, and now and then call back into the driver as applications do.
#include <algorithm>
#include <string>

#include "tests/torture/tortureworld.h"

namespace torture {
namespace {

void NoteFinding(const std::string& finding) {
  if (World* world = World::Current()) world->Note(finding);
}

// An inquiry of the digitizer from inside one of its own callbacks.
void CheckWidth(QID digitizer, const char* where) {
  QINT64 width = 0;
  QdigInquire(digitizer, Q_SIZE_X, &width);
  if (ErrorCode() == 0 && width != kWidth) {
    NoteFinding(std::string(where) + ": Q_SIZE_X answered " + std::to_string(width));
  }
}

}  // namespace

QINT64 World::OnProcessed(QINT64 /*hookType*/, QID event, void* user) {
  auto* events = static_cast<DigitizerEvents*>(user);
  const uint64_t calls = ++events->processed;
  QID buffer = 0;
  QbufGetHookInfo(event, Q_OBJECT_ID, &buffer);
  if (std::find(events->ring.begin(), events->ring.end(), buffer) == events->ring.end()) {
    NoteFinding("the processing function of digitizer " + std::to_string(events->digitizer) +
                " got buffer " + std::to_string(buffer) + ", which is not in its ring (error " +
                std::to_string(ErrorCode()) + ")");
    return 0;
  }
  if (calls % 5 == 0) {
    QINT64 height = 0;
    QbufInquire(buffer, Q_SIZE_Y, &height);
    if (ErrorCode() == 0 && height != kHeight) {
      NoteFinding("a processed buffer's Q_SIZE_Y answered " + std::to_string(height));
    }
  }
  if (calls % 7 == 0) CheckWidth(events->digitizer, "the processing function");
  if (calls % 11 == 0) {
    QINT64 count = 0;
    QdigInquireFeature(events->digitizer, Q_FEATURE_VALUE, L"QdigControl:Q_PROCESS_FRAME_COUNT",
                       Q_TYPE_INT64, &count, 0);
  }
  return 0;
}

QINT64 World::OnGrabEvent(QINT64 /*hookType*/, QID /*event*/, void* user) {
  auto* events = static_cast<DigitizerEvents*>(user);
  if (++events->grabHooks % 5 == 0) CheckWidth(events->digitizer, "a grab hook");
  return 0;
}

QINT64 World::OnFeatureChange(QINT64 /*hookType*/, QID event, void* user) {
  auto* events = static_cast<DigitizerEvents*>(user);
  ++events->featureHooks;
  QINT64 length = 0;
  QdigGetHookInfo(event, Q_FEATURE_NAME + Q_STRING_SIZE, &length);
  if (ErrorCode() == 0 && length <= 1) {
    NoteFinding("a feature hook's event names no feature (" + std::to_string(length) + ")");
  }
  if (events->featureHooks % 3 == 0) {
    double level = 0;
    QdigInquireFeature(events->digitizer, Q_FEATURE_VALUE, L"QdigControl:Q_BRIGHTNESS_REF",
                       Q_TYPE_DOUBLE, &level, 0);
  }
  return 0;
}

}  // namespace torture
