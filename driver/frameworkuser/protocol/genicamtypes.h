// Control and inquire types of the GenICam layer, on systems and digitizers alike; the node map's
// address (Q_GC_NODEMAP_PTR) comes from platform/host/qtypes.h. No node map carries them: the
// names are the driver's.
#pragma once

#include <cstdint>

namespace zor::protocol {

// Node maps of host objects: build an object's own maps, erase its registry entry, and the
// address of the own map's reference.
inline constexpr int64_t kCreateOwnNodeMaps = 1105;
inline constexpr int64_t kEraseNodeMapEntry = 1106;
inline constexpr int64_t kOwnNodeMap = 6951;
// Reads the registry parameters again.
inline constexpr int64_t kReadRegistryParameters = 2005;
// The keep-alive control mode.
inline constexpr int64_t kKeepAliveControlMode = 4813;
// Opens or closes the feature browser; whether the new browser is in use; the publisher's
// session value.
inline constexpr int64_t kFeatureBrowser = 6905;
inline constexpr int64_t kNewFeatureBrowser = 4402;
inline constexpr int64_t kBrowserSession = 6950;
// Updates the firmware from a GUF file (bits 16 to 23 select the device).
inline constexpr int64_t kGufFirmwareUpdate = 7798;
// What the layer tells of itself: two types that answer 1 with it, its version (a double) and
// a text it answers empty.
inline constexpr int64_t kGenICamPresent = 4390;
inline constexpr int64_t kGenICamPresentAlias = 4397;
inline constexpr int64_t kGenICamVersion = 7311;
inline constexpr int64_t kEmptyText = 7707;
// A digitizer's device name and its feature-bag text (wide text both).
inline constexpr int64_t kDeviceName = 7709;
inline constexpr int64_t kFeatureBag = 7712;
// The types of the layer's features, as the node maps address them.
inline constexpr int64_t kFeatureTypesFirst = 7730;
inline constexpr int64_t kFeatureTypesLast = 7858;

}  // namespace zor::protocol
