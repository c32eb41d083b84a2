// A manager over pseudo-terminals, with the serial commands as an application sends them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/frameworkuser/serial/uartmanager.h"
#include "tests/driver/frameworkuser/serial/pseudoterminal.h"

namespace zor::frame::testing {

// Code and sub-code of an error record; {0, 0} for none.
using Codes = std::pair<uint64_t, uint64_t>;
inline Codes CodesOf(const CError& error) {
  return error.errorSet != 0 ? Codes{error.code, error.subCode} : Codes{0, 0};
}
inline constexpr Codes kNoError{0, 0};
// What a direct call of the manager throws.
template <typename Call>
Codes Thrown(Call call) {
  try {
    call();
  } catch (const UartFailure& failure) {
    return CodesOf(failure.error);
  }
  return kNoError;
}

inline int64_t OnPort(int64_t type, size_t port) { return type | static_cast<int64_t>(port << 16); }
inline int64_t Address(const void* data) { return reinterpret_cast<intptr_t>(data); }

class SerialFixture : public ::testing::Test {
 protected:
  // Ports COM<first>, COM<first + 1>, ... on pseudo-terminals.
  void MakePorts(size_t count, int first = 41) {
    std::vector<std::wstring> names;
    for (size_t i = 0; i < count; ++i) {
      names.push_back(L"COM" + std::to_wstring(first + static_cast<int>(i)));
      terminals_.push_back(std::make_unique<PseudoTerminal>(names.back()));
    }
    manager_ = std::make_unique<CUartManager>(names);
  }
  void SetUp() override { MakePorts(1); }

  Codes Control(int64_t type, int64_t value, size_t port = 0) {
    return CodesOf(manager_->Control(OnPort(type, port), value));
  }
  Codes Inquire(int64_t type, int64_t* answer, size_t port = 0) {
    return CodesOf(manager_->Inquire(OnPort(type, port), answer));
  }
  // The answer of an inquiry that must succeed.
  int64_t Ask(int64_t type, size_t port = 0) {
    int64_t answer = -12345;
    EXPECT_EQ(Inquire(type, &answer, port), kNoError) << "inquire " << type;
    return answer;
  }
  PseudoTerminal& Far(size_t port = 0) { return *terminals_[port]; }

  std::vector<std::unique_ptr<PseudoTerminal>> terminals_;
  std::unique_ptr<CUartManager> manager_;
};

// Serial types.
inline constexpr int64_t kParity = 4701;
inline constexpr int64_t kStopBits = 4702;
inline constexpr int64_t kDataSize = 4703;
inline constexpr int64_t kSpeed = 4704;
inline constexpr int64_t kWriteByte = 4705;
inline constexpr int64_t kReadByte = 4706;
inline constexpr int64_t kBytesPending = 4707;
inline constexpr int64_t kWrite = 4708;
inline constexpr int64_t kWriteLength = 4709;
inline constexpr int64_t kRead = 4710;
inline constexpr int64_t kReadLength = 4711;
inline constexpr int64_t kReadMaxLength = 4712;
inline constexpr int64_t kDelimiter = 4713;
inline constexpr int64_t kTimeout = 4714;
inline constexpr int64_t kPortKind = 4721;
inline constexpr int64_t kWriteComplete = 4722;
inline constexpr int64_t kReadComplete = 4723;
inline constexpr int64_t kPortNumber = 4724;
inline constexpr int64_t kClose = 4725;

}  // namespace zor::frame::testing
