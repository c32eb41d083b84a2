#include "platform/boardsim/jtag/chainfile.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/boardsim/jtag/simiscdevice.h"
#include "platform/os/process/regular_file.h"

namespace boardsim {

namespace {

using rapidjson::Value;

// A chain file is a few lines per device; far larger ones are refused before they are read.
constexpr size_t kMaxFileBytes = 1 << 20;
constexpr rapidjson::SizeType kMaxDevices = 64;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error("chain file: " + what); }

// Numbers may be JSON integers or texts ("0x0F8031CF", "15").
uint32_t ReadNumber(const Value& object, const char* key, uint32_t fallback) {
  if (!object.HasMember(key)) return fallback;
  const Value& v = object[key];
  if (v.IsUint()) return v.GetUint();
  if (v.IsString()) {
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(v.GetString(), &end, 0);
    if (end != v.GetString() && *end == '\0' && parsed <= 0xFFFFFFFFul) {
      return static_cast<uint32_t>(parsed);
    }
  }
  Fail(std::string("\"") + key + "\" is not an unsigned 32-bit number");
}

SimJtagDeviceConfig ReadDevice(const Value& d) {
  SimJtagDeviceConfig config;
  if (d.HasMember("name") && d["name"].IsString()) config.name = d["name"].GetString();
  config.irLength = static_cast<int>(ReadNumber(d, "irLength", 2));
  if (d.HasMember("idcode")) config.idcode = ReadNumber(d, "idcode", 0);
  config.boundaryLength = static_cast<int>(ReadNumber(d, "boundaryLength", 0));
  if (d.HasMember("instructions")) {
    const Value& op = d["instructions"];
    if (!op.IsObject()) Fail("\"instructions\" must be an object");
    config.extestOpcode = ReadNumber(op, "EXTEST", config.extestOpcode);
    config.idcodeOpcode = ReadNumber(op, "IDCODE", config.idcodeOpcode);
    config.sampleOpcode = ReadNumber(op, "SAMPLE", config.sampleOpcode);
  }
  return config;
}

std::unique_ptr<CSimJtagDevice> MakeDevice(const Value& d) {
  if (!d.IsObject()) Fail("a device must be an object");
  SimJtagDeviceConfig config = ReadDevice(d);
  const std::string type = d.HasMember("type") && d["type"].IsString() ? d["type"].GetString() : "";
  if (type.empty() || type == "jtag") return std::make_unique<CSimJtagDevice>(config);
  if (type != "isc") Fail("unknown device type \"" + type + "\"");
  SimIscMemoryConfig memory;
  memory.words = static_cast<int>(ReadNumber(d, "words", memory.words));
  memory.wordBits = static_cast<int>(ReadNumber(d, "wordBits", memory.wordBits));
  memory.eraseCycles = static_cast<int>(ReadNumber(d, "eraseCycles", memory.eraseCycles));
  auto device = std::make_unique<CSimIscDevice>(config, memory);
  if (d.HasMember("stuckBit")) {
    const Value& s = d["stuckBit"];
    if (!s.IsObject()) Fail("\"stuckBit\" must be an object");
    SimStuckBit stuck{static_cast<int>(ReadNumber(s, "word", 0)),
                      static_cast<int>(ReadNumber(s, "bit", 0)), ReadNumber(s, "value", 0) != 0};
    if (stuck.word >= memory.words || stuck.bit >= memory.wordBits)
      Fail("stuck bit outside memory");
    device->SetStuckBit(stuck);
  }
  return device;
}

}  // namespace

std::unique_ptr<CSimJtagChain> ParseChainJson(const std::string& text) {
  // Parsed iteratively: nesting costs heap, never stack. The pool allocator frees the document
  // without walking it.
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseIterativeFlag>(text.c_str(), text.size());
  if (doc.HasParseError()) {
    Fail(std::string(rapidjson::GetParseError_En(doc.GetParseError())) + " at offset " +
         std::to_string(doc.GetErrorOffset()));
  }
  if (!doc.IsObject() || !doc.HasMember("devices") || !doc["devices"].IsArray()) {
    Fail("expected an object with a \"devices\" array");
  }
  if (doc["devices"].Size() > kMaxDevices) {
    Fail("more than " + std::to_string(kMaxDevices) + " devices");
  }
  auto chain = std::make_unique<CSimJtagChain>();
  try {
    for (const Value& d : doc["devices"].GetArray()) chain->AddDevice(MakeDevice(d));
  } catch (const std::invalid_argument& e) {
    Fail(e.what());
  }
  if (doc.HasMember("tdoStuck")) chain->SetTdoStuck(ReadNumber(doc, "tdoStuck", 0) != 0);
  return chain;
}

std::unique_ptr<CSimJtagChain> LoadChainFile(const std::string& path) {
  std::string text;
  std::string problem;
  if (!os::ReadRegularFile(path, kMaxFileBytes, &text, &problem)) Fail(path + ": " + problem);
  return ParseChainJson(text);
}

}  // namespace boardsim
