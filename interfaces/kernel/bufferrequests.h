// Buffer requests: device-memory and on-board buffers, children, transfers
// and the region grabs that move pixels between buffers. Fields named pad or reserved by their
// byte offset carry nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interfaces/kernel/bufferdescriptor.h"
#include "interfaces/kernel/requestheader.h"

namespace zor::kernel {

struct BufAllocRequest {
  RequestHeader header;
  uint64_t bandCount;
  uint64_t sizeX;
  uint64_t sizeY;
  uint64_t type;  // low byte: bit depth
  uint64_t context;
  uint64_t attributes;
  uint64_t flags;
  uint64_t pitch;
  uint64_t byteSize;
  uint64_t givenAddress[kMaxBands];
  uint64_t kernelHandle;                // back
  uint64_t hostAddress[kMaxBands];      // back
  uint64_t physicalAddress[kMaxBands];  // back
  uint64_t kernelPitch;                 // back, in pixels
};
static_assert(sizeof(BufAllocRequest) == 272);
static_assert(offsetof(BufAllocRequest, givenAddress) == 0xA0);
static_assert(offsetof(BufAllocRequest, kernelHandle) == 0xC0);

inline constexpr int64_t kAllBands = -1;

struct BufChildAllocRequest {
  RequestHeader header;
  uint64_t parentHandle;
  int64_t band;  // -1 all bands, else the band number
  uint64_t offsetX;
  uint64_t offsetY;
  uint64_t sizeX;
  uint64_t sizeY;
  uint64_t childHandle;  // back
  uint64_t reserved[4];
};
static_assert(sizeof(BufChildAllocRequest) == 176);
static_assert(offsetof(BufChildAllocRequest, childHandle) == 0x88);

// Four words that the buffer operation BufPassToKernelAndHost passes on for a buffer in the
// kernel's memory; what they ask is the kernel's affair.
struct BufPassWordsRequest {
  RequestHeader header;
  uint64_t kernelHandle;
  uint64_t a;
  uint64_t b;
  uint64_t c;
  uint64_t d;
};
static_assert(sizeof(BufPassWordsRequest) == 128);

// Buffer free and on-board buffer free.
struct BufHandleRequest {
  RequestHeader header;
  uint64_t kernelHandle;
};
static_assert(sizeof(BufHandleRequest) == 96);

struct BufInquireRequest {
  RequestHeader header;
  uint64_t kernelHandle;
  uint64_t type;
  uint64_t value;  // back
  uint64_t reserved[7];
};
static_assert(sizeof(BufInquireRequest) == 168);
static_assert(offsetof(BufInquireRequest, value) == 0x68);

inline constexpr uint64_t kBufInquirePhysicalAddress = 0x400000;

struct BufControlRequest {
  RequestHeader header;
  uint64_t kernelHandle;
  uint64_t type;
  uint64_t value;
};
static_assert(sizeof(BufControlRequest) == 112);

// Moves a region of an on-board buffer to the host buffer associated with it.
struct BufQueueGrabRequest {
  RequestHeader header;
  uint64_t kernelHandle;
  uint64_t bufferIndex;
  uint64_t hostBuffer;  // associated host buffer
  int64_t minusOne;
  uint64_t offsetX;
  uint64_t offsetY;
  uint64_t width;
  uint64_t height;
};
static_assert(sizeof(BufQueueGrabRequest) == 152);

struct BufTransferRequest {
  RequestHeader header;
  uint32_t direction;  // 1: host memory into device memory; 0: out of device memory
  uint32_t pad5C;
  uint64_t deviceHandle;
  KernelBufferDescriptor other;
  int64_t otherFinalWord;
  uint64_t otherMaxValue;
  uint64_t destOffsetX;
  uint64_t destOffsetY;
  int64_t destBand;
  uint64_t srcOffsetX;
  uint64_t srcOffsetY;
  int64_t srcBand;
  uint64_t sizeX;
  uint64_t sizeY;
  uint64_t skipX;
  uint64_t skipY;
  uint8_t pad240[3];
  uint8_t grabMark;
  uint8_t pad244[4];
  uint64_t destBoardWord;
};
static_assert(sizeof(BufTransferRequest) == 592);
static_assert(offsetof(BufTransferRequest, deviceHandle) == 0x60);
static_assert(offsetof(BufTransferRequest, other) == 0x68);
static_assert(offsetof(BufTransferRequest, otherFinalWord) == 0x1E0);
static_assert(offsetof(BufTransferRequest, destOffsetX) == 0x1F0);
static_assert(offsetof(BufTransferRequest, skipY) == 0x238);
static_assert(offsetof(BufTransferRequest, grabMark) == 0x243);
static_assert(offsetof(BufTransferRequest, destBoardWord) == 0x248);

inline constexpr uint64_t kTransferFunctionCopy = 4096;
inline constexpr uint64_t kTransferFunctionThree = 0x800000;

struct BufTripleTransferRequest {
  RequestHeader header;
  uint64_t firstHandle;
  uint64_t thirdHandle;
  uint64_t destHandle;
  uint32_t destOffsetX;
  uint32_t destOffsetY;
  uint32_t srcOffsetX;
  uint32_t srcOffsetY;
  uint32_t srcOffsetXAgain;  // the source offsets once more
  uint32_t srcOffsetYAgain;
  uint32_t srcSizeX;
  uint32_t srcSizeY;
  uint64_t reserved90;
  uint64_t transferFunction;
  uint64_t operationFlag;
};
static_assert(sizeof(BufTripleTransferRequest) == 168);
static_assert(offsetof(BufTripleTransferRequest, destOffsetX) == 0x70);
static_assert(offsetof(BufTripleTransferRequest, srcSizeY) == 0x8C);
static_assert(offsetof(BufTripleTransferRequest, transferFunction) == 0x98);

struct OnBoardAllocRequest {
  RequestHeader header;
  uint64_t attributes;
  uint64_t sizeX;
  uint64_t sizeY;
  uint64_t bandCount;
  uint64_t pitch;  // in pixels
  uint64_t bitDepth;
  uint64_t formatWord;
  uint64_t byteSize;
  uint64_t kernelHandle;     // back
  uint64_t physicalAddress;  // back: the board address of the memory
  uint64_t reserved;
};
static_assert(sizeof(OnBoardAllocRequest) == 176);
static_assert(offsetof(OnBoardAllocRequest, kernelHandle) == 0x98);

}  // namespace zor::kernel
