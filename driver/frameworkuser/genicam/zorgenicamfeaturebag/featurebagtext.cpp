// Tags each feature line of a feature bag's persistence text with its data type.
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/featurebagtext.h"

#include <sstream>

#include "driver/foundation/conversions.h"

namespace zor::genicam {
namespace {

const char* TagOf(GenApi::INode* node) {
  if (node == nullptr) return "";
  switch (node->GetPrincipalInterfaceType()) {
    case GenApi::intfIValue:
    case GenApi::intfIString:
      return "STR_";
    case GenApi::intfIInteger:
      return "INT_";
    case GenApi::intfIFloat:
      return "FLOAT_";
    case GenApi::intfIBoolean:
      return "BOOL_";
    case GenApi::intfIEnumeration:
      return "ENUM_";
    case GenApi::intfICommand:
      return "CMD_";
    case GenApi::intfIRegister:
      return "REG_";
    default:
      return "";
  }
}

}  // namespace

std::wstring MakeFeatureBagText(const std::string& persistenceText, GenApi::INodeMap& nodeMap) {
  std::istringstream lines(persistenceText);
  std::string listing;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.find('\t');
    const std::string name = line.substr(0, tab);
    const std::string value = tab == std::string::npos ? std::string() : line.substr(tab + 1);
    GenApi::INode* node = nullptr;
    try {
      node = nodeMap.GetNode(name.c_str());
    } catch (const GenICam::GenericException&) {
      // Listed without a tag.
    }
    const std::string tag = TagOf(node);
    listing += "      " + tag + name + '\t' + (tag == "STR_" ? '"' + value + '"' : value) + '\n';
  }
  return foundation::Utf8ToWString(listing);
}

}  // namespace zor::genicam
