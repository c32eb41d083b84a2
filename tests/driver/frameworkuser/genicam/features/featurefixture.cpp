#include "tests/driver/frameworkuser/genicam/features/featurefixture.h"

namespace zor::board {

void FeatureFixture::SetUp() {
  DigitizerFixture::SetUp();
  digitizer_ = Digitizer(L"Q_PAL");
  ASSERT_NE(digitizer_, 0) << "error " << ErrorCode();
}

std::wstring FeatureFixture::Dig(const char* feature) {
  return L"QdigControl:" + std::wstring(feature, feature + std::char_traits<char>::length(feature));
}

std::wstring FeatureFixture::Sys(const char* feature) {
  return L"QsysControl:" + std::wstring(feature, feature + std::char_traits<char>::length(feature));
}

QINT64 FeatureFixture::InquireInt(const std::wstring& name, QINT64 flag) const {
  QINT64 value = -12345;
  QdigInquireFeature(digitizer_, flag, name.c_str(), Q_TYPE_INT64, &value, 0);
  return value;
}

std::wstring FeatureFixture::InquireText(const std::wstring& name, QINT64 flag, QINT64 size) const {
  std::wstring text(static_cast<size_t>(size), L'#');
  QdigInquireFeature(digitizer_, flag, name.c_str(), Q_TYPE_STRING, text.data(), size);
  return text.c_str();
}

void FeatureFixture::ExpectError(QINT64 code, QINT64 sub, const std::string& what) const {
  EXPECT_EQ(ErrorCode(), code) << what;
  if (code != 0) {
    EXPECT_EQ(SubCode(1), sub) << what;
    // Further sub codes only mark the error's texts (5 to 7).
    for (int i = 2; i <= 3; ++i) EXPECT_TRUE(SubCode(i) == 0 || SubCode(i) >= 5) << what << i;
  }
}

std::string FeatureFixture::ErrorMark() {
  if (ErrorCode() == 0) return "";
  std::string mark = "!" + std::to_string(ErrorCode()) + "/" + std::to_string(SubCode(1));
  for (int i = 2; i <= 3; ++i) {
    if (SubCode(i) != 0 && SubCode(i) < 5) mark += "?";
  }
  return mark;
}

std::string FeatureFixture::Answers(const std::wstring& name,
                                    std::initializer_list<QINT64> flags) const {
  std::string answers;
  for (QINT64 flag : flags) {
    answers += std::to_string(InquireInt(name, flag));
    answers += ErrorMark() + " ";
  }
  return answers;
}

void FeatureFixture::ControlEach(const std::vector<Call>& calls) const {
  for (const Call& call : calls) {
    QdigControlFeature(digitizer_, call.flag, call.name.c_str(), call.type, call.value);
    ExpectError(call.code, call.sub, call.what);
  }
}

std::wstring FeatureFixture::Detail(int index) {
  static constexpr QINT64 kTypes[] = {Q_CURRENT_SUB_1_TEXT, Q_CURRENT_SUB_2_TEXT,
                                      Q_CURRENT_SUB_3_TEXT};
  return ErrorText(kTypes[index - 1]);
}

}  // namespace zor::board
