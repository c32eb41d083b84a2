// Every own feature read as an application reads it, QsysInquire or QdigInquire with its
// constant, into what the application headers say it answers: their comments (zorfeatures.h,
// and qtypes.h for the names it defines) are where an application learns it.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/board/genicam/ownnodemapsfixture.h"

namespace zor::board {
namespace {

struct HeaderAnswer {
  QINT64 type;
  std::string kind;  // integer, double, text; empty for a command
};

// The constants of an application header whose comment names their answer.
std::map<std::string, HeaderAnswer> HeaderAnswers(const std::string& header) {
  std::ifstream file(std::string(ZOR_APPLICATION_INCLUDE) + "/zor/" + header);
  std::map<std::string, HeaderAnswer> answers;
  std::string line;
  while (std::getline(file, line)) {
    char name[128] = {};
    long long value = 0;
    const size_t note = line.find("// ");
    if (note == std::string::npos ||
        std::sscanf(line.c_str(), "#define %127s INT64_C(%lli)", name, &value) != 2) {
      continue;
    }
    std::istringstream words(line.substr(note + 3));
    std::string first;
    std::string second;
    words >> first >> second;
    if (first == "answer:") {
      answers[name] = {value, second.substr(0, second.find_first_of(",;"))};
    } else if (first == "a" && second.rfind("command", 0) == 0) {
      answers[name] = {value, ""};
    }
  }
  return answers;
}

// The error code of the inquiry.
QINT64 InquireObject(QID object, bool system, QINT64 type, void* out) {
  if (system) {
    QsysInquire(object, type, out);
  } else {
    QdigInquire(object, type, out);
  }
  return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
}

// The answer's bits taken for the other kind: an integer below 2^52 as a double is subnormal,
// a double as an integer is beyond 2^52 (or negative), so neither passes for the other.
bool LooksLikeDouble(QINT64 bits) {
  return bits != 0 && std::fpclassify(std::bit_cast<double>(bits)) == FP_NORMAL;
}

// What the feature answers, against the header's kind and the node's own value; empty when
// they agree.
std::string Disagreement(QID object, bool system, GenApi::INode* node, const HeaderAnswer& answer) {
  const std::string name = node->GetName().c_str();
  const std::string failed = name + ": the inquiry failed";
  if (answer.kind == "double") {
    GenApi::CFloatPtr feature(node);
    if (feature == nullptr) return name + " answers a double but is no Float";
    // A written value is one that an integer's bits cannot pass for, as a new board's 0.0 can.
    const bool writable = GenApi::IsWritable(node->GetAccessMode());
    if (writable) {
      if (system) {
        QsysControlDouble(object, answer.type, feature->GetMax());
      } else {
        QdigControlDouble(object, answer.type, feature->GetMax());
      }
    }
    QINT64 bits = 0;
    if (InquireObject(object, system, answer.type, &bits) != 0) return failed;
    const double value = std::bit_cast<double>(bits);
    const double expected = writable ? feature->GetMax() : feature->GetValue();
    if ((bits != 0 && !LooksLikeDouble(bits)) || value != expected || value < feature->GetMin()) {
      return name + " answers the bits " + std::to_string(bits) + ", not the double " +
             std::to_string(expected);
    }
  } else if (answer.kind == "integer") {
    QINT64 value = 0;
    if (InquireObject(object, system, answer.type, &value) != 0) return failed;
    GenApi::CEnumerationPtr entries(node);
    GenApi::CIntegerPtr integer(node);
    GenApi::CBooleanPtr boolean(node);
    QINT64 expected = 0;
    if (entries != nullptr) {
      expected = entries->GetIntValue();
    } else if (integer != nullptr) {
      expected = integer->GetValue();
    } else if (boolean != nullptr) {
      expected = boolean->GetValue() ? 1 : 0;
    } else {
      return name + " answers an integer but is no Integer, Enumeration or Boolean";
    }
    if (LooksLikeDouble(value) || value != expected) {
      return name + " answers " + std::to_string(value) + ", not the integer " +
             std::to_string(expected);
    }
  } else if (answer.kind == "text") {
    QINT64 length = 0;
    if (InquireObject(object, system, answer.type + Q_STRING_SIZE, &length) != 0) return failed;
    if (length < 1 || length > 4096) return name + " answers the length " + std::to_string(length);
    std::wstring text(static_cast<size_t>(length), L'?');
    if (InquireObject(object, system, answer.type, text.data()) != 0) return failed;
    const std::string expected = GenApi::CStringPtr(node)->GetValue().c_str();
    // The length is the room the text needs: the log folder's answers its 260 characters.
    if (std::wcslen(text.c_str()) >= static_cast<size_t>(length) ||
        text.c_str() != std::wstring(expected.begin(), expected.end())) {
      return name + " answers a text other than \"" + expected + "\"";
    }
  }
  return "";
}

class FeatureAnswers : public OwnNodeMapsFixture {};

TEST_F(FeatureAnswers, EveryOwnFeatureAnswersWhatTheApplicationHeadersSay) {
  std::map<std::string, HeaderAnswer> answers = HeaderAnswers("zorfeatures.h");
  answers.merge(HeaderAnswers("qtypes.h"));
  ASSERT_GT(answers.size(), 80u);
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  std::vector<std::string> failures;
  std::map<std::string, int> checked;
  for (const bool system : {true, false}) {
    const QID object = system ? system_ : digitizer;
    GenApi::NodeList_t nodes;
    Control(object, system ? L"QsysControl" : L"QdigControl")->NodeMap()->_GetNodes(nodes);
    for (GenApi::INode* node : nodes) {
      if (!node->IsFeature() || node->GetPrincipalInterfaceType() == GenApi::intfICategory) {
        continue;
      }
      const std::string name = node->GetName().c_str();
      const auto answer = answers.find(name);
      if (answer == answers.end()) {
        failures.push_back(name + ": no header names its answer");
        continue;
      }
      if (answer->second.kind.empty() || !GenApi::IsReadable(node->GetAccessMode())) continue;
      const std::string disagreement = Disagreement(object, system, node, answer->second);
      if (!disagreement.empty()) failures.push_back(disagreement);
      ++checked[answer->second.kind];
    }
  }
  EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
  EXPECT_GE(checked["integer"], 60);
  EXPECT_GE(checked["double"], 9);
  EXPECT_GE(checked["text"], 4);
  // The one an application is most likely to read as an integer: 128.0, not 128.
  const HeaderAnswer contrast = answers["Q_CONTRAST_REF"];
  EXPECT_EQ(contrast.kind, "double");
  QdigControlDouble(digitizer, contrast.type, 128.0);
  EXPECT_EQ(Inquire(digitizer, contrast.type), 4638707616191610880);
  EXPECT_EQ(InquireDouble(digitizer, contrast.type), 128.0);
  QdigFree(digitizer);
}

}  // namespace
}  // namespace zor::board
