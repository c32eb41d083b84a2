// Build-time tool: packgenicamxml <file.xml> <file.zip>
// Loads the GenApi XML with our runtime, checks the register conventions the
// transport-layer port relies on, and packs the file alone into a deflated
// zip archive. Any failure fails the build.
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/genapi/genapi.h"

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RUNTIME_EXCEPTION("Cannot read %s", path.c_str());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

constexpr int64_t kAvailabilityBit = int64_t{1} << 46;
constexpr int64_t kObjectTypeAddress = int64_t{1} << 47;

// Answers 1 for availability registers and 0 elsewhere, so that every
// link of every node can be followed without a device.
class StubPort : public GenApi::IPort {
 public:
  GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }
  void Read(void* buffer, int64_t address, int64_t length) override {
    std::vector<uint8_t> value(static_cast<size_t>(length), 0);
    if ((address & kAvailabilityBit) != 0 && length > 0) value[0] = 1;
    std::copy(value.begin(), value.end(), static_cast<uint8_t*>(buffer));
  }
  void Write(const void*, int64_t, int64_t) override {}
};

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Property(GenApi::INode* node, const char* name) {
  GenICam::gcstring value;
  GenICam::gcstring attribute;
  return node->GetProperty(name, value, attribute) ? std::string(value.c_str()) : std::string();
}

bool IsFeatureKind(GenApi::EInterfaceType type) {
  return type == GenApi::intfIInteger || type == GenApi::intfIEnumeration ||
         type == GenApi::intfIString || type == GenApi::intfIFloat || type == GenApi::intfICommand;
}

// The register conventions: named registers, availability and object-type
// addresses. Returns the problems found.
std::vector<std::string> CheckConventions(GenApi::CNodeMapRef& map, const std::string& file) {
  std::vector<std::string> problems;
  auto* info = dynamic_cast<GenApi::IDeviceInfo*>(map._Ptr);
  const std::string model = info != nullptr ? info->GetModelName().c_str() : "";
  if (file.rfind(model + "_", 0) != 0) problems.push_back("ModelName does not name the file");
  GenApi::CIntegerPtr objectType = map._GetNode("ObjectTypeReg");
  if (!objectType.IsValid() ||
      Property(objectType->GetNode(), "Address") != std::to_string(kObjectTypeAddress)) {
    problems.push_back("no ObjectTypeReg at 2^47");
  }
  GenApi::NodeList_t nodes;
  map._GetNodes(nodes);
  for (GenApi::INode* node : nodes) {
    const std::string name = node->GetName().c_str();
    node->GetAccessMode();  // follows every link of the node
    if (!node->IsFeature() || !IsFeatureKind(node->GetPrincipalInterfaceType())) continue;
    if (name.rfind("Q_", 0) != 0) problems.push_back(name + ": not named by a host constant");
    if (Property(node, "pValue") != name + "_Register")
      problems.push_back(name + ": pValue is not " + name + "_Register");
    if (Property(node, "pIsAvailable") != name + "_IsAvailable")
      problems.push_back(name + ": pIsAvailable is not " + name + "_IsAvailable");
    GenApi::CNodePtr value = map._GetNode((name + "_Register").c_str());
    GenApi::CNodePtr available = map._GetNode((name + "_IsAvailable").c_str());
    if (!value.IsValid() || !available.IsValid()) continue;
    const std::string address = Property(value, "Address");
    if (address.empty()) continue;  // a selected register computes its address
    const int64_t type = std::stoll(address);
    if (Property(available, "Address") != std::to_string(kAvailabilityBit + type))
      problems.push_back(name + ": availability register is not at 2^46 + " + address);
  }
  return problems;
}

bool WriteZip(const std::string& xml, const std::string& entry, const std::string& output) {
  int error = 0;
  zip_t* archive = zip_open(output.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) return false;
  zip_source_t* source = zip_source_buffer(archive, xml.data(), xml.size(), 0);
  if (source == nullptr) {
    zip_discard(archive);
    return false;
  }
  const zip_int64_t index = zip_file_add(archive, entry.c_str(), source, ZIP_FL_OVERWRITE);
  if (index < 0) {
    zip_source_free(source);
    zip_discard(archive);
    return false;
  }
  // A fixed time keeps the archive the same from build to build.
  zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), 0, 0);
  if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9) != 0) {
    zip_discard(archive);
    return false;
  }
  return zip_close(archive) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: packgenicamxml <file.xml> <file.zip>\n");
    return 2;
  }
  const std::string input = argv[1];
  const std::string file = BaseName(input);
  try {
    const std::string xml = ReadWholeFile(input);
    GenApi::CNodeMapRef map("Device");
    map._Initialize(
        GenApi::CNodeMapFactory(GenApi::ContentType_Xml, xml.data(), xml.size()).CreateNodeMap());
    StubPort port;
    map._Connect(&port, "Device");
    const std::vector<std::string> problems = CheckConventions(map, file);
    for (const std::string& problem : problems) {
      std::fprintf(stderr, "%s: %s\n", input.c_str(), problem.c_str());
    }
    if (!problems.empty()) return 1;
    if (!WriteZip(xml, file, argv[2])) {
      std::fprintf(stderr, "%s: cannot write %s\n", input.c_str(), argv[2]);
      return 1;
    }
  } catch (const GenICam::GenericException& e) {
    std::fprintf(stderr, "%s: %s\n", input.c_str(), e.GetDescription());
    return 1;
  }
  return 0;
}
