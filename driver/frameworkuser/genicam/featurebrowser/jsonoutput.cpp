// JsonOutput over rapidjson, with text that is not valid UTF-8 repaired before it is written.
#include "driver/frameworkuser/genicam/featurebrowser/jsonoutput.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <limits>

namespace zor::genicam {
namespace {

template <class W>
class RapidJsonOutput : public JsonOutput {
 public:
  explicit RapidJsonOutput(size_t capacity) : buffer_(nullptr, capacity), writer_(buffer_) {}

 protected:
  void DoStartObject() override { writer_.StartObject(); }
  void DoEndObject() override { writer_.EndObject(); }
  void DoStartArray() override { writer_.StartArray(); }
  void DoEndArray() override { writer_.EndArray(); }
  void DoKey(const char* text, size_t length) override {
    writer_.Key(text, static_cast<rapidjson::SizeType>(length));
  }
  void DoString(const char* text, size_t length) override {
    writer_.String(text, static_cast<rapidjson::SizeType>(length));
  }
  void DoInt64(int64_t value) override { writer_.Int64(value); }
  void DoUint(unsigned value) override { writer_.Uint(value); }
  void DoDouble(double value) override { writer_.Double(value); }
  void DoBool(bool value) override { writer_.Bool(value); }
  void DoNull() override { writer_.Null(); }
  std::string DoText() const override {
    return std::string(buffer_.GetString(), buffer_.GetSize());
  }

 private:
  rapidjson::StringBuffer buffer_;
  W writer_;
};

using CompactWriter = rapidjson::Writer<rapidjson::StringBuffer>;
using IndentedWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

// Length of the UTF-8 sequence at text[i], or 0 when it is not a valid one.
size_t SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string RepairUtf8(std::string_view text) {
  std::string repaired;
  repaired.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size();) {
    const size_t length = SequenceLength(text, i);
    if (length == 0) {
      repaired += "\xEF\xBF\xBD";
      ++i;
    } else {
      repaired.append(text.substr(i, length));
      i += length;
    }
  }
  return repaired;
}

std::unique_ptr<JsonOutput> JsonOutput::Make(bool indented, size_t capacity) {
  if (indented) return std::make_unique<RapidJsonOutput<IndentedWriter>>(capacity);
  return std::make_unique<RapidJsonOutput<CompactWriter>>(capacity);
}

void JsonOutput::StartObject() {
  DoStartObject();
  ValueWritten();
  levels_.push_back(true);
}

void JsonOutput::EndObject() {
  if (keyPending_) Null();
  DoEndObject();
  levels_.pop_back();
}

void JsonOutput::StartArray() {
  DoStartArray();
  ValueWritten();
  levels_.push_back(false);
}

void JsonOutput::EndArray() {
  DoEndArray();
  levels_.pop_back();
}

void JsonOutput::Key(std::string_view name) {
  if (keyPending_) Null();
  if (IsValidUtf8(name)) {
    DoKey(name.data(), name.size());
  } else {
    const std::string repaired = RepairUtf8(name);
    DoKey(repaired.data(), repaired.size());
  }
  keyPending_ = true;
}

void JsonOutput::String(std::string_view text) {
  if (IsValidUtf8(text)) {
    DoString(text.data(), text.size());
  } else {
    const std::string repaired = RepairUtf8(text);
    DoString(repaired.data(), repaired.size());
  }
  ValueWritten();
}

void JsonOutput::Int64(int64_t value) {
  DoInt64(value);
  ValueWritten();
}

void JsonOutput::Uint(unsigned value) {
  DoUint(value);
  ValueWritten();
}

void JsonOutput::Double(double value) {
  if (std::isnan(value)) {
    value = 0.0;
  } else if (std::isinf(value)) {
    value = std::copysign(std::numeric_limits<double>::max(), value);
  }
  DoDouble(value);
  ValueWritten();
}

void JsonOutput::Bool(bool value) {
  DoBool(value);
  ValueWritten();
}

void JsonOutput::Null() {
  DoNull();
  ValueWritten();
}

void JsonOutput::CloseTo(size_t depth) {
  while (levels_.size() > depth) {
    if (levels_.back()) {
      EndObject();
    } else {
      EndArray();
    }
  }
}

std::string JsonOutput::Text() const { return DoText(); }

}  // namespace zor::genicam
