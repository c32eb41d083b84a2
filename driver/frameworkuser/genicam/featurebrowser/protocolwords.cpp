// The feature-browser JSON words for GenApi enumeration values, by value.
#include "driver/frameworkuser/genicam/featurebrowser/protocolwords.h"

#include <array>
#include <cstddef>

namespace zor::genicam {
namespace {

template <std::size_t N>
const char* Lookup(const std::array<const char*, N>& words, int32_t value,
                   const char* otherwise = "") {
  if (value < 0 || static_cast<std::size_t>(value) >= N) return otherwise;
  return words[static_cast<std::size_t>(value)];
}

}  // namespace

const char* AccessModeToString(int32_t value) {
  static constexpr std::array<const char*, 7> kWords{"NotImplemented", "NotAvailable", "WriteOnly",
                                                     "ReadOnly",       "ReadWrite",    "Undefined",
                                                     "Undefined"};
  return Lookup(kWords, value);
}

const char* CachingModeToString(int32_t value) {
  static constexpr std::array<const char*, 4> kWords{"NoCache", "WriteThrough", "WriteAround",
                                                     "Undefined"};
  return Lookup(kWords, value);
}

const char* DisplayNotationToString(int32_t value) {
  static constexpr std::array<const char*, 4> kWords{"Automatic", "Fixed", "Scientific",
                                                     "Undefined"};
  return Lookup(kWords, value);
}

const char* IncrementModeToString(int32_t value) {
  static constexpr std::array<const char*, 3> kWords{"None", "Fixed", "List"};
  return Lookup(kWords, value, "None");
}

const char* InterfaceTypeToString(int32_t value) {
  static constexpr std::array<const char*, 12> kWords{
      "Value",  "Base",     "Integer",  "Boolean",     "Command",   "Float",
      "String", "Register", "Category", "Enumeration", "EnumEntry", "Port"};
  return Lookup(kWords, value);
}

const char* NameSpaceToString(int32_t value) {
  static constexpr std::array<const char*, 3> kWords{"Custom", "Standard", "Undefined"};
  return Lookup(kWords, value);
}

const char* RepresentationToString(int32_t value) {
  static constexpr std::array<const char*, 8> kWords{"Linear",     "Logarithmic", "Boolean",
                                                     "PureNumber", "HexNumber",   "IPV4Address",
                                                     "MACAddress", "Undefined"};
  return Lookup(kWords, value);
}

const char* VisibilityToString(int32_t value) {
  static constexpr std::array<const char*, 4> kWords{"Beginner", "Expert", "Guru", "Invisible"};
  if (value == 99) return "Undefined";
  return Lookup(kWords, value);
}

}  // namespace zor::genicam
