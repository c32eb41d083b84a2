// Grabs single frames of a digitizer into a buffer of its size and writes each
// as a PNG file.
#pragma once

#include "platform/host/zor.h"

namespace zordemo {

// Grabs `count` frames, one after the other, into "zordemo-frame-<n>.png" in the
// current folder; returns how many files were written.
int SaveFrames(QID system, QID digitizer, int count);

}  // namespace zordemo
