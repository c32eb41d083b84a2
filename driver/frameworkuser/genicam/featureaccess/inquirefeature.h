// Feature inquiry by name: one question about one node (its value, text,
// limits, properties, existence, command completion, change hook, value size)
// or about a related node first (a category's feature, an enumeration entry,
// a selector, a valid value). Answers go into the caller's variable converted
// to its data type; the outcome is the sink's error state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/frameworkuser/genicam/featureaccess/uservalue.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamproxy.h"

namespace zor::genicam {

class FeatureHookController;

void InquireFeature(GenICamProxy& proxy, const FeatureHookController* hooks, int64_t inquireFlag,
                    std::wstring_view feature, int64_t dataType, const UserVariable& variable,
                    ErrorSink& sink);

// 1 when handled; -1 when not, after withdrawing what it recorded itself.
int64_t InquireFeatureSpecial(GenICamProxy& proxy, int64_t inquireFlag,
                              const GenICam::gcstring& name, int64_t dataType,
                              const UserVariable& variable, ErrorSink& sink);

}  // namespace zor::genicam
