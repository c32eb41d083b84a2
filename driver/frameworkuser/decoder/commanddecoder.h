// The driver's single command entry, called by the host library.
#pragma once

#include "interfaces/hostcommand/commandrecord.h"

extern "C" __attribute__((visibility("default"))) void QDDravionLynCommandDecoder(
    QDCommandRecord* record) noexcept;
