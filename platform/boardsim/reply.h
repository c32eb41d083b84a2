// Error triples the board writes back into request records.
#pragma once

#include <cstdint>

#include "interfaces/kernel/requestheader.h"

namespace boardsim {

// Codes of the driver's message table that the board uses.
namespace err {
inline constexpr uint64_t kBadId = 4300;            // sub 3: no such object
inline constexpr uint64_t kBadArgument = 4300;      // sub 2: an argument out of range
inline constexpr uint64_t kNoResources = 4302;      // sub 2
inline constexpr uint64_t kControl = 4307;          // sub 1 not supported, 3 bad value
inline constexpr uint64_t kInquire = 4310;          // sub 1 not supported
inline constexpr uint64_t kSourceWindow = 4311;     // sub 4: window outside the frame
inline constexpr uint64_t kNoHardware = 4312;       // sub 4: channel missing or in use
inline constexpr uint64_t kWaitFlag = 4314;         // sub 1
inline constexpr uint64_t kTimeout = 4318;          // sub 1
inline constexpr uint64_t kReference = 4322;        // sub 2: level
inline constexpr uint64_t kBufferAttribute = 4326;  // sub 1
inline constexpr uint64_t kBufferHandle = 4327;     // sub 2
inline constexpr uint64_t kEventCount = 4338;       // sub 3
inline constexpr uint64_t kProtocol = 4400;         // sub 3: bad size or function
}  // namespace err

inline void Fail(zor::kernel::RequestHeader& header, uint64_t code, uint64_t subCode,
                 uint8_t statusByte = 0) {
  header.status.code = code;
  header.status.subCode = subCode;
  header.status.errorSet = 1;
  header.status.statusByte = statusByte;
}

inline void NotServed(zor::kernel::RequestHeader& header, bool control) {
  Fail(header, control ? err::kControl : err::kInquire, 1, zor::kernel::kStatusNotServed);
}

inline bool Failed(const zor::kernel::RequestHeader& header) { return header.status.errorSet != 0; }

}  // namespace boardsim
