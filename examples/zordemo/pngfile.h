// Writes 8-bit frames as PNG files with libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zordemo {

// Planes of one or three bands, each width x height bytes, rows packed: one
// band makes a grey picture, three an RGB one. False when the file could not
// be written.
bool WritePng(const std::string& path, int width, int height, int bands,
              const std::vector<uint8_t>& planes);

}  // namespace zordemo
