// The rapidjson writer behind one node-map document, compact or indented.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zor::genicam {

// Keeps track of what is open, so that a node whose reads throw can be closed at its own
// level and every document stays well formed. Numbers and texts that JSON cannot carry are
// replaced instead of being dropped (a dropped value would leave a key without a value).
class JsonOutput {
 public:
  // capacity: the initial size of the text buffer in bytes.
  static std::unique_ptr<JsonOutput> Make(bool indented, size_t capacity);
  virtual ~JsonOutput() = default;

  void StartObject();
  void EndObject();
  void StartArray();
  void EndArray();
  void Key(std::string_view name);
  void String(std::string_view text);
  void Int64(int64_t value);
  void Uint(unsigned value);
  // NaN is written as 0 and an infinity as the largest finite number of its sign.
  void Double(double value);
  void Bool(bool value);
  void Null();

  // How many objects and arrays are open.
  size_t Depth() const { return levels_.size(); }
  // Closes objects and arrays until only `depth` remain open; a key still waiting for its
  // value gets null first.
  void CloseTo(size_t depth);
  std::string Text() const;

 protected:
  virtual void DoStartObject() = 0;
  virtual void DoEndObject() = 0;
  virtual void DoStartArray() = 0;
  virtual void DoEndArray() = 0;
  virtual void DoKey(const char* text, size_t length) = 0;
  virtual void DoString(const char* text, size_t length) = 0;
  virtual void DoInt64(int64_t value) = 0;
  virtual void DoUint(unsigned value) = 0;
  virtual void DoDouble(double value) = 0;
  virtual void DoBool(bool value) = 0;
  virtual void DoNull() = 0;
  virtual std::string DoText() const = 0;

 private:
  void ValueWritten() { keyPending_ = false; }

  std::vector<bool> levels_;  // true: an object
  bool keyPending_ = false;
};

// Texts that are not valid UTF-8 get U+FFFD for each bad byte, so that the document stays
// readable by strict JSON readers; valid texts come back unchanged.
bool IsValidUtf8(std::string_view text);
std::string RepairUtf8(std::string_view text);

}  // namespace zor::genicam
