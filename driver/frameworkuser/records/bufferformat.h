// Pixel facts of a buffer's kernel descriptor, from the host's format word.
#pragma once

#include <cstdint>

namespace zor::frame {

// Bits per pixel of a format word; the buffer's depth when the word says so;
// -1 for a format the board does not know.
int64_t BitsPerPixel(uint64_t formatWord, uint64_t bitDepth);

// Bytes of all bands: whole bytes per line, so that formats below 8 bits per pixel
// do not come to 0. 0 for an unknown format.
uint64_t BufferByteSize(int64_t bitsPerPixel, uint64_t pitch, uint64_t bands, uint64_t sizeY);

// Largest pixel value of a depth (the low byte of the depth word); 0 for depth 0,
// all ones for 64 bits and more.
uint64_t MaxPixelValue(uint64_t depthWord, bool isSigned);

}  // namespace zor::frame
