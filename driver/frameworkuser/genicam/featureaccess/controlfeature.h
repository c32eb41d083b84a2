// Feature control by name: set a feature from the caller's variable or text,
// execute a command, set a number to its minimum or maximum, or switch the
// change hook of one feature. The outcome is the sink's error state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/frameworkuser/genicam/featureaccess/uservalue.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamproxy.h"

namespace zor::genicam {

class FeatureHookController;

void ControlFeature(GenICamProxy& proxy, FeatureHookController* hooks, int64_t controlFlag,
                    std::wstring_view feature, int64_t dataType, const UserVariable& variable,
                    ErrorSink& sink);

// 1 when handled; -1 when not, after withdrawing what it recorded itself.
int64_t ControlFeatureSpecial(GenICamProxy& proxy, int64_t controlFlag,
                              const GenICam::gcstring& name, int64_t dataType,
                              const UserVariable& variable, ErrorSink& sink);

}  // namespace zor::genicam
