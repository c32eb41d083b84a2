// Grabs single frames of a digitizer into a buffer of its size and writes each
// as a PNG file.
#pragma once

#include <string>

#include "platform/host/zor.h"

namespace zordemo {

// Grabs `count` frames, one after the other, into "zordemo-frame-<n>.png" in the folder
// (made when missing); returns how many files were written.
int SaveFrames(QID system, QID digitizer, int count, const std::string& folder);

}  // namespace zordemo
