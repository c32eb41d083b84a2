// A board system with one digitizer, for features by name through libZOR.so.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/driver/board/digitizer/digitizerfixture.h"

namespace zor::board {

class FeatureFixture : public DigitizerFixture {
 protected:
  void SetUp() override;

  static std::wstring Dig(const char* feature);
  static std::wstring Sys(const char* feature);
  QINT64 InquireInt(const std::wstring& name, QINT64 flag = Q_FEATURE_VALUE) const;
  std::wstring InquireText(const std::wstring& name, QINT64 flag, QINT64 size = 64) const;
  // The answer in a variable of type T that held fill before.
  template <typename T>
  T InquireAs(const std::wstring& name, QINT64 flag, QINT64 type, T fill = T{}) const {
    QdigInquireFeature(digitizer_, flag, name.c_str(), type, &fill, 0);
    return fill;
  }
  void ExpectError(QINT64 code, QINT64 sub, const std::string& what) const;
  // "!code/sub" for the current error ("?" after it when a later sub code is not a text's),
  // nothing without one.
  static std::string ErrorMark();
  // The feature's integer answer to each flag, each followed by its error mark.
  std::string Answers(const std::wstring& name, std::initializer_list<QINT64> flags) const;
  // Error texts 5 to 7 (sub-codes 1 to 3 of the host's report).
  static std::wstring Detail(int index);

  // One call by name on the digitizer, and the error it must leave.
  struct Call {
    const char* what;
    std::wstring name;
    QINT64 flag;
    QINT64 type;
    const void* value;
    QINT64 code;
    QINT64 sub;
  };
  void ControlEach(const std::vector<Call>& calls) const;

  QID digitizer_ = 0;
};

}  // namespace zor::board
