// Feature roads: features of the digitizers' and the systems' own node maps read and written by
// name, as numbers, doubles and texts, and the maps' commands executed, through a digitizer or
// its system.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/torture/roads.h"

namespace torture {
namespace {

constexpr QINT64 kAcquisitionMode = 6908;
constexpr QINT64 kAcquisitionStart = 6931;
constexpr QINT64 kAcquisitionStop = 6928;
constexpr QINT64 kAcquisitionCode = 29;
constexpr QINT64 kSingleFrame = 1;

enum class Kind { kInteger, kDouble, kText, kAsText };

struct Feature {
  const wchar_t* name;
  Kind kind;
  std::vector<std::wstring> answers;  // what it may read as a text; empty: anything
};

const std::vector<Feature> kReadable = {
    {L"QdigControl:Q_SIZE_X", Kind::kInteger, {L"640"}},
    {L"QdigControl:Q_SIZE_Y", Kind::kInteger, {L"480"}},
    {L"QdigControl:Q_GRAB_TIMEOUT", Kind::kInteger, {L"1000", L"2000", L"3000"}},
    {L"QdigControl:Q_PROCESS_FRAME_COUNT", Kind::kInteger, {}},
    {L"QdigControl:Q_BRIGHTNESS_REF", Kind::kDouble, {}},
    {L"QdigControl:Q_SELECTED_FRAME_RATE", Kind::kDouble, {}},
    {L"QdigControl:Q_FORMAT", Kind::kText, {}},
    {L"QdigControl:AcquisitionMode", Kind::kAsText, {L"Continuous", L"SingleFrame"}},
    {L"QdigControl:Q_GRAB_DIRECTION_X", Kind::kAsText, {L"Q_FORWARD", L"Q_REVERSE"}},
    {L"QdigControl:Q_DIG_PROCESS_IN_PROGRESS", Kind::kAsText, {L"Q_FALSE", L"Q_TRUE"}},
    {L"QdigControl:AcquisitionStatus", Kind::kInteger, {L"0", L"1"}},
    {L"QsysControl:Q_SERIAL_NUMBER", Kind::kText, {}},
    {L"QsysControl:Q_DIGITIZER_ALLOCATED_NUM", Kind::kInteger, {}},
    {L"QsysControl:Q_TIMEOUT", Kind::kInteger, {}},
    {L"QdigControl:NoSuchFeature", Kind::kInteger, {}},
};

struct Write {
  const wchar_t* name;
  Kind kind;
  std::vector<std::wstring> values;  // as texts; some are refused
};

const std::vector<Write> kWritable = {
    {L"QdigControl:Q_GRAB_TIMEOUT", Kind::kInteger, {L"1000", L"2000", L"3000"}},
    {L"QdigControl:Q_BRIGHTNESS_REF", Kind::kDouble, {L"0", L"128", L"255", L"1e300"}},
    {L"QdigControl:Q_CONTRAST_REF", Kind::kDouble, {L"10", L"200"}},
    {L"QdigControl:AcquisitionMode", Kind::kAsText, {L"Continuous", L"SingleFrame"}},
    {L"QdigControl:Q_GRAB_DIRECTION_X", Kind::kAsText, {L"Q_FORWARD", L"Q_REVERSE", L"Q_UP"}},
    {L"QdigControl:Q_GRAB_MODE", Kind::kAsText, {L"Q_SYNCHRONOUS", L"Q_ASYNCHRONOUS"}},
    {L"QdigControl:Q_SOURCE_OFFSET_X", Kind::kInteger, {L"0", L"999999"}},
    {L"QdigControl:Q_SIZE_X", Kind::kInteger, {L"320"}},  // read-only
    {L"QsysControl:Q_TIMEOUT", Kind::kInteger, {L"5", L"10"}},
};

const std::vector<const wchar_t*> kCommands = {
    L"QdigControl:Q_GRAB_ABORT",
    L"QdigControl:Q_GRAB_TRIGGER_SOFTWARE",
    L"QdigControl:AcquisitionStart",
};

bool IsSystemFeature(const wchar_t* name) {
  return std::wstring(name).starts_with(L"QsysControl:");
}

// A read through the digitizer or, for the system's features, now and then through the system.
void Inquire(Worker& worker, SharedDigitizer& digitizer, const wchar_t* name, QINT64 flag,
             QINT64 type, void* value, QINT64 size) {
  if (IsSystemFeature(name) && worker.Chance(50)) {
    worker.Do("QsysInquireFeature",
              [&] { QsysInquireFeature(digitizer.system, flag, name, type, value, size); });
  } else {
    worker.Do("QdigInquireFeature",
              [&] { QdigInquireFeature(digitizer.id, flag, name, type, value, size); });
  }
}

void Control(Worker& worker, SharedDigitizer& digitizer, const wchar_t* name, QINT64 flag,
             QINT64 type, const void* value) {
  if (IsSystemFeature(name) && worker.Chance(50)) {
    worker.Do("QsysControlFeature",
              [&] { QsysControlFeature(digitizer.system, flag, name, type, value); });
  } else {
    worker.Do("QdigControlFeature",
              [&] { QdigControlFeature(digitizer.id, flag, name, type, value); });
  }
}

// The feature as text, whatever its kind; empty when the read failed.
std::wstring ReadAsText(Worker& worker, SharedDigitizer& digitizer, const Feature& feature) {
  QINT64 error = 0;
  std::wstring text;
  if (feature.kind == Kind::kInteger) {
    QINT64 value = 0;
    Inquire(worker, digitizer, feature.name, Q_FEATURE_VALUE, Q_TYPE_INT64, &value, 0);
    error = ErrorCode();
    text = std::to_wstring(value);
  } else if (feature.kind == Kind::kDouble) {
    double value = 0;
    Inquire(worker, digitizer, feature.name, Q_FEATURE_VALUE, Q_TYPE_DOUBLE, &value, 0);
    error = ErrorCode();
    text = std::to_wstring(value);
  } else {
    std::wstring answer(256, L'#');
    const QINT64 flag = feature.kind == Kind::kText ? Q_FEATURE_VALUE : Q_FEATURE_VALUE_AS_STRING;
    Inquire(worker, digitizer, feature.name, flag, Q_TYPE_STRING, answer.data(), 256);
    error = ErrorCode();
    text = answer.find(L'\0') == std::wstring::npos ? L"(no terminator)" : answer.c_str();
  }
  return error == 0 ? text : L"";
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

void ReadFeature(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  const Feature& feature = worker.PickOf(kReadable);
  if (worker.Chance(10)) {
    // The limits and the presence of a feature take the same roads.
    QINT64 value = 0;
    const QINT64 flag = worker.Chance(50) ? Q_FEATURE_MAX : Q_FEATURE_PRESENT;
    Inquire(worker, digitizer, feature.name, flag, Q_TYPE_INT64, &value, 0);
    return;
  }
  const std::wstring text = ReadAsText(worker, digitizer, feature);
  if (text.empty() || feature.answers.empty()) return;
  if (std::find(feature.answers.begin(), feature.answers.end(), text) == feature.answers.end()) {
    worker.Note(Narrow(feature.name) + " reads \"" + Narrow(text) + "\"");
  }
}

void WriteFeature(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  const Write& write = worker.PickOf(kWritable);
  const std::wstring& text = worker.PickOf(write.values);
  if (write.kind == Kind::kInteger) {
    const QINT64 value = std::stoll(text);
    Control(worker, digitizer, write.name, Q_FEATURE_VALUE, Q_TYPE_INT64, &value);
  } else if (write.kind == Kind::kDouble) {
    const double value = std::stod(text);
    Control(worker, digitizer, write.name, Q_FEATURE_VALUE, Q_TYPE_DOUBLE, &value);
  } else {
    Control(worker, digitizer, write.name, Q_FEATURE_VALUE_AS_STRING, Q_TYPE_STRING, text.c_str());
  }
}

void ExecuteCommand(Worker& worker) {
  SharedDigitizer& digitizer = worker.AnyDigitizer();
  const QINT64 code = worker.Chance(50) ? kAcquisitionCode : Q_DEFAULT;
  const QINT64 mode = worker.Chance(50) ? kSingleFrame : Q_DEFAULT;
  switch (worker.Pick(5)) {
    case 0:
      Control(worker, digitizer, worker.PickOf(kCommands), Q_FEATURE_EXECUTE, Q_TYPE_COMMAND,
              nullptr);
      break;
    case 1:
      worker.Do("QdigControl", [&] { QdigControl(digitizer.id, kAcquisitionStart, Q_DEFAULT); });
      break;
    case 2:
      worker.Do("QdigControl", [&] { QdigControl(digitizer.id, kAcquisitionStart, code); });
      break;
    case 3:
      worker.Do("QdigControl", [&] { QdigControl(digitizer.id, kAcquisitionStop, code); });
      break;
    default:
      worker.Do("QdigControl", [&] { QdigControl(digitizer.id, kAcquisitionMode, mode); });
      break;
  }
}

}  // namespace torture
