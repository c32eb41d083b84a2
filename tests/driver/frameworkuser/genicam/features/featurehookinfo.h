// What a feature hook's user function learns of its event through libZOR.so.
#pragma once

#include <string>

#include "platform/host/zor.h"

namespace genicamtest {

inline constexpr QINT64 kHookedObject = 0x20000;

struct FeatureHookInfo {
  QINT64 hookType = 0;
  std::wstring name;
  double seconds = -1;
  QINT64 nodeMap = 0;
  QINT64 object = 0;
  QINT64 source = 0;
};

// Read inside the user's function, as an application would.
inline FeatureHookInfo ReadFeatureHookInfo(QINT64 hookType, QID event) {
  FeatureHookInfo d;
  d.hookType = hookType;
  QINT64 length = 0;
  QdigGetHookInfo(event, Q_FEATURE_NAME + Q_STRING_SIZE, &length);
  if (length > 0) {
    std::wstring name(static_cast<size_t>(length), L'\0');
    QdigGetHookInfo(event, Q_FEATURE_NAME, name.data());
    d.name = name.c_str();
  }
  QdigGetHookInfo(event, Q_TIME_STAMP, &d.seconds);
  QdigGetHookInfo(event, Q_GC_NODEMAP_PTR, &d.nodeMap);
  QdigGetHookInfo(event, kHookedObject, &d.object);
  QdigGetHookInfo(event, Q_GC_EVENT_TYPE, &d.source);
  return d;
}

}  // namespace genicamtest
