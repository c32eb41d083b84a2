// The decompressor of STAPL Boolean array data.
#pragma once

#include <cstdint>

namespace zor::firmware {

// Unpacks a compressed Boolean array stream (LZ77 style, header = uncompressed length) into out.
// Returns the uncompressed length, or -1 when the header's length exceeds the capacity or the
// stream refers to bytes before the output's start.
int64_t StaplUncompress(const uint8_t* in, int64_t inLength, uint8_t* out, int64_t capacity,
                        int version);

}  // namespace zor::firmware
