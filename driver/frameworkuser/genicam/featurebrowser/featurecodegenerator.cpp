// FeatureCodeGenerator: writes example code that sets and reads one feature, selectors first.
#include "driver/frameworkuser/genicam/featurebrowser/featurecodegenerator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/controltypedatatype.h"

namespace zor::genicam {
namespace {

using GenApi::EInterfaceType;
using GenApi::INode;

// Raises what GenApi raises for a missing interface, so that the section reports it.
template <class T>
T* As(INode* node) {
  T* typed = dynamic_cast<T*>(node);
  if (typed == nullptr) throw LOGICAL_ERROR_EXCEPTION("NULL pointer dereferenced");
  return typed;
}

template <class T>
T* As(GenApi::IValue* value) {
  T* typed = dynamic_cast<T*>(value);
  if (typed == nullptr) throw LOGICAL_ERROR_EXCEPTION("NULL pointer dereferenced");
  return typed;
}

// Classification answers false when the node throws.
EInterfaceType TypeOf(INode* node) {
  if (node == nullptr) return GenApi::intfIBase;
  try {
    return node->GetPrincipalInterfaceType();
  } catch (const GenICam::GenericException&) {
    return GenApi::intfIBase;
  }
}

GenApi::EAccessMode AccessOf(INode* node) {
  if (node == nullptr) return GenApi::NI;
  try {
    return node->GetAccessMode();
  } catch (const GenICam::GenericException&) {
    return GenApi::NI;
  }
}

bool IsInquirableType(EInterfaceType type) {
  switch (type) {
    case GenApi::intfIInteger:
    case GenApi::intfIBoolean:
    case GenApi::intfIFloat:
    case GenApi::intfIString:
    case GenApi::intfIRegister:
    case GenApi::intfIEnumeration:
      return true;
    default:
      return false;
  }
}

bool IsControllableType(EInterfaceType type) {
  return type == GenApi::intfICommand || IsInquirableType(type);
}

bool IsWritable(INode* node) {
  const auto access = AccessOf(node);
  return access == GenApi::WO || access == GenApi::RW;
}

bool IsReadable(INode* node) {
  const auto access = AccessOf(node);
  return access == GenApi::RO || access == GenApi::RW;
}

bool IsReadableValue(INode* node) { return IsInquirableType(TypeOf(node)) && IsReadable(node); }

bool IsSelectorNode(INode* node) {
  try {
    auto* selector = dynamic_cast<GenApi::ISelector*>(node);
    return selector != nullptr && selector->IsSelector();
  } catch (const GenICam::GenericException&) {
    return false;
  }
}

std::string Piece(const std::function<std::string()>& compute) {
  try {
    return compute();
  } catch (const GenICam::GenericException&) {
    return "ERROR";
  }
}

std::string VariableName(INode* node) {
  return Piece([node] {
    std::string name = node->GetDisplayName().c_str();
    std::erase_if(name, [](unsigned char c) { return std::isspace(c) != 0; });
    std::erase_if(name, [](unsigned char c) { return std::ispunct(c) != 0; });
    return name;
  });
}

std::string NodeName(INode* node) {
  return Piece([node] { return std::string(node->GetName().c_str()); });
}

std::string TypeConstant(EInterfaceType type) {
  switch (type) {
    case GenApi::intfIInteger:
      return "Q_TYPE_INT64";
    case GenApi::intfIBoolean:
      return "Q_TYPE_BOOLEAN";
    case GenApi::intfICommand:
      return "Q_DEFAULT";
    case GenApi::intfIFloat:
      return "Q_TYPE_DOUBLE";
    case GenApi::intfIString:
    case GenApi::intfIEnumeration:
      return "Q_TYPE_STRING";
    case GenApi::intfIRegister:
      return "Q_TYPE_UINT8";
    default:
      return "";
  }
}

std::string VariableType(EInterfaceType type) {
  switch (type) {
    case GenApi::intfIInteger:
      return "ZOR_INT64";
    case GenApi::intfIBoolean:
      return "ZOR_BOOL";
    case GenApi::intfIFloat:
      return "ZOR_DOUBLE";
    case GenApi::intfIString:
    case GenApi::intfIEnumeration:
      return "ZOR_STRING";
    case GenApi::intfIRegister:
      return "ZOR_UINT8";
    default:
      return "";
  }
}

std::string CurrentText(INode* node) {
  return Piece([node] { return std::string(As<GenApi::IValue>(node)->ToString().c_str()); });
}

std::string ValueLiteral(INode* node) {
  return Piece([node]() -> std::string {
    switch (node->GetPrincipalInterfaceType()) {
      case GenApi::intfIString:
      case GenApi::intfIEnumeration:
        return "ZOR_TEXT(\"" + std::string(As<GenApi::IValue>(node)->ToString().c_str()) + "\")";
      case GenApi::intfIRegister: {
        auto* reg = As<GenApi::IRegister>(node);
        std::vector<uint8_t> bytes(static_cast<size_t>(std::max<int64_t>(reg->GetLength(), 0)));
        if (!bytes.empty()) reg->Get(bytes.data(), static_cast<int64_t>(bytes.size()));
        std::string text = "{ ";
        for (size_t i = 0; i < bytes.size(); ++i) {
          if (i != 0) text += ", ";
          text += std::to_string(bytes[i]);
        }
        return text + " }";
      }
      case GenApi::intfIBoolean:
        return As<GenApi::IBoolean>(node)->GetValue() ? "Q_TRUE" : "Q_FALSE";
      case GenApi::intfIInteger: {
        auto* integer = As<GenApi::IInteger>(node);
        const auto representation = integer->GetRepresentation();
        if (representation == GenApi::IPV4Address || representation == GenApi::MACAddress) {
          char hex[24];
          std::snprintf(hex, sizeof hex, "0x%llx",
                        static_cast<unsigned long long>(integer->GetValue()));
          return hex;
        }
        return integer->ToString().c_str();
      }
      default:
        return As<GenApi::IValue>(node)->ToString().c_str();
    }
  });
}

// "// " and the entry's tool tip, or its pin from a "Connector:" description.
std::string EntryComment(GenApi::IEnumEntry* entry) {
  INode* node = entry->GetNode();
  const std::string description = node->GetDescription().c_str();
  const size_t connector = description.find("Connector:");
  if (connector == std::string::npos) return "// " + std::string(node->GetToolTip().c_str());
  std::string pin = description.substr(
      std::min(description.size(), connector + std::string("Connector:").size() + 1));
  pin = pin.substr(0, pin.find('\n'));
  return "// Pin info: " + pin;
}

struct NodeComments {
  std::string toolTip;       // text 0
  std::string currentEntry;  // text 1, enumerations only
  std::string decoding;      // text 2, enumerations only
};

NodeComments MakeComments(INode* node, const std::string& variable) {
  NodeComments comments;
  comments.toolTip = "// " + Piece([node] { return std::string(node->GetToolTip().c_str()); });
  if (TypeOf(node) != GenApi::intfIEnumeration) return comments;
  auto* enumeration = As<GenApi::IEnumeration>(node);
  GenApi::StringList_t symbolics;
  enumeration->GetSymbolics(symbolics);
  std::vector<std::pair<std::string, std::string>> entries;  // symbolic, comment
  std::string previous;
  for (const auto& symbolic : symbolics) {
    GenApi::IEnumEntry* entry = enumeration->GetEntryByName(symbolic);
    if (entry == nullptr) continue;
    const std::string comment = EntryComment(entry);
    entries.emplace_back(symbolic.c_str(), comment == previous ? "" : comment);
    previous = comment;
  }
  if (GenApi::IEnumEntry* current = enumeration->GetCurrentEntry()) {
    const std::string symbolic = current->GetSymbolic().c_str();
    for (const auto& [name, comment] : entries) {
      if (name == symbolic) comments.currentEntry = comment;
    }
  }
  std::string& text = comments.decoding;
  if (entries.size() > 4) {
    text = "switch (" + variable + ")\n   {\n";
    for (auto [name, comment] : entries) {
      const size_t combined = name.find("_Q_");
      if (combined != std::string::npos) name.replace(combined, 3, " + Q_");
      text += "   case " + name + ":  break; " + comment + "\n";
    }
    text += "   }\n";
  } else {
    bool first = true;
    for (const auto& [name, comment] : entries) {
      text +=
          (first ? "if (" : "else if (") + variable + " == " + name + ")" + comment + "\n   {}\n";
      first = false;
    }
  }
  return comments;
}

}  // namespace

GenApi::node_vector CollectSelectedFeatures(INode* node) {
  GenApi::node_vector result;
  std::set<std::string> visited;
  std::function<void(INode*)> explore = [&](INode* parent) {
    GenApi::node_vector children;
    if (TypeOf(parent) == GenApi::intfICategory) {
      parent->GetChildren(children, GenApi::ctReadingChildren);
    } else if (IsSelectorNode(parent)) {
      GenApi::FeatureList_t selected;
      dynamic_cast<GenApi::ISelector*>(parent)->GetSelectedFeatures(selected);
      for (GenApi::IValue* value : selected) {
        if (value != nullptr) children.push_back(value->GetNode());
      }
    }
    for (INode* child : children) {
      if (child == nullptr || !child->IsFeature()) continue;
      if (!visited.insert(child->GetName().c_str()).second) continue;
      result.push_back(child);
      explore(child);
    }
  };
  explore(node);
  return result;
}

FeatureCodeGenerator::FeatureCodeGenerator(const FeatureCodePrefixes& prefixes, int64_t objectType)
    : prefixes_(prefixes), objectType_(objectType), featureStyle_(objectType == 0) {}

void FeatureCodeGenerator::FillNodeList(INode* requested) {
  nodes_.clear();
  const GenApi::node_vector collected = CollectSelectedFeatures(requested);
  if (collected.empty()) {
    nodes_.push_back(requested);
    return;
  }
  for (INode* node : collected) {
    try {
      if (node->GetAccessMode() != GenApi::NI && node->GetVisibility() <= GenApi::Guru &&
          !IsSelectorNode(node)) {
        nodes_.push_back(node);
      }
    } catch (const GenICam::GenericException&) {
    }
  }
}

std::string FeatureCodeGenerator::Generate() {
  const bool anyControl = std::any_of(nodes_.begin(), nodes_.end(), [](INode* node) {
    return IsControllableType(TypeOf(node)) && IsWritable(node);
  });
  const bool anyInquire = std::any_of(nodes_.begin(), nodes_.end(), [](INode* node) {
    return IsInquirableType(TypeOf(node)) && IsReadable(node);
  });
  std::string out;
  controlsDeclared_ = featureStyle_ && anyControl;
  if (featureStyle_) {
    if (anyControl) {
      out += "// The following code can be used to control feature values.\n";
      WriteSection(Section::kControlDeclarations, out);
      WriteSection(Section::kFeatureControls, out);
      out += "\n";
    }
    selectorsWritten_.clear();
    if (anyInquire) {
      out += "// The following code can be used to inquire feature values.\n";
      WriteSection(Section::kRegisterSizes, out);
      WriteSection(Section::kInquireDeclarations, out);
      WriteSection(Section::kFeatureInquiries, out);
      WriteSection(Section::kRegisterCleanUp, out);
    }
  } else {
    if (anyControl) {
      WriteSection(Section::kControlTypeControls, out);
      out += "\n";
    }
    selectorsWritten_.clear();
    if (anyInquire) {
      WriteSection(Section::kControlTypeDeclarations, out);
      WriteSection(Section::kControlTypeInquiries, out);
    }
  }
  return out;
}

void FeatureCodeGenerator::WriteSection(Section section, std::string& out) {
  try {
    for (INode* node : nodes_) WriteNode(section, node, out);
  } catch (const GenICam::GenericException& e) {
    const std::string stars = "// " + std::string(49, '*') + "\n";
    out += "\n" + stars + "Error: " + e.GetDescription() + "\n" + stars;
  }
}

void FeatureCodeGenerator::WriteNode(Section section, INode* node, std::string& out) {
  if (node == nullptr) throw LOGICAL_ERROR_EXCEPTION("NULL pointer dereferenced");
  if (featureStyle_) {
    WriteFeatureStyleNode(section, node, out);
  } else if (!IsSelectorNode(node)) {
    WriteControlTypeNode(section, node, out);
  }
}

void FeatureCodeGenerator::WriteFeatureStyleNode(Section section, INode* node, std::string& out) {
  const EInterfaceType type = TypeOf(node);
  const bool scalar =
      type == GenApi::intfIInteger || type == GenApi::intfIBoolean || type == GenApi::intfIFloat;
  const bool reg = type == GenApi::intfIRegister;
  switch (section) {
    case Section::kControlDeclarations:
      if (!IsControllableType(type) || !IsWritable(node) || !IsReadableValue(node)) return;
      if (scalar)
        out += VariableType(type) + " " + VariableName(node) + " = " + ValueLiteral(node) + ";\n";
      if (reg)
        out += VariableType(type) + " " + VariableName(node) + "[] = " + ValueLiteral(node) + ";\n";
      return;
    case Section::kFeatureControls:
      return WriteFeatureControl(node, out);
    case Section::kRegisterSizes:
      if (!reg) return;
      out += "ZOR_INT " + VariableName(node) + "Size = 0;\n";
      out += prefixes_.inquireFunction + "(" + prefixes_.objectVariable +
             ", Q_FEATURE_SIZE, ZOR_TEXT(\"" + NodeName(node) + "\"), Q_TYPE_ZOR_INT, &" +
             VariableName(node) + "Size);\n";
      return;
    case Section::kInquireDeclarations:
      return WriteInquireDeclaration(node, out);
    case Section::kFeatureInquiries:
      return WriteFeatureInquiry(node, out);
    case Section::kRegisterCleanUp:
      if (reg && !DeclaredForControl(node)) out += "delete [] " + VariableName(node) + ";\n";
      return;
    default:
      return;
  }
}

std::string FeatureCodeGenerator::FeatureCall(const std::string& function, INode* node,
                                              const std::string& tail) const {
  return function + "(" + prefixes_.objectVariable + ", " + OperationConstant(node) +
         ", ZOR_TEXT(\"" + prefixes_.featureNamePrefix + NodeName(node) + "\"), " + tail + ");\n";
}

void FeatureCodeGenerator::WriteFeatureControl(INode* node, std::string& out) {
  const EInterfaceType type = TypeOf(node);
  if (!IsControllableType(type) || !IsWritable(node)) return;
  WriteSelectorSettings(node, out);
  const std::string& cf = prefixes_.controlFunction;
  if (type == GenApi::intfICommand) out += FeatureCall(cf, node, TypeConstant(type) + ", Q_NULL");
  if (type == GenApi::intfIInteger || type == GenApi::intfIBoolean || type == GenApi::intfIFloat)
    out += FeatureCall(cf, node, TypeConstant(type) + ", &" + VariableName(node));
  if (type == GenApi::intfIString || type == GenApi::intfIEnumeration)
    out += FeatureCall(cf, node, TypeConstant(type) + ", " + ValueLiteral(node));
  if (type == GenApi::intfIRegister)
    out += FeatureCall(cf, node, TypeConstant(type) + ", " + VariableName(node));
}

void FeatureCodeGenerator::WriteInquireDeclaration(INode* node, std::string& out) const {
  if (!IsReadableValue(node)) return;
  const EInterfaceType type = TypeOf(node);
  // A variable of the control section is read back into, not declared a second time.
  if (DeclaredForControl(node)) {
    if (type == GenApi::intfIInteger || type == GenApi::intfIFloat) {
      out += VariableName(node) + " = 0;\n";
    } else if (type == GenApi::intfIBoolean) {
      out += VariableName(node) + " = Q_FALSE;\n";
    }
    return;
  }
  if (type == GenApi::intfIInteger || type == GenApi::intfIFloat) {
    out += VariableType(type) + " " + VariableName(node) + " = 0;\n";
  } else if (type == GenApi::intfIBoolean) {
    out += VariableType(type) + " " + VariableName(node) + " = Q_FALSE;\n";
  } else if (type == GenApi::intfIString || type == GenApi::intfIEnumeration) {
    out += VariableType(type) + " " + VariableName(node) + ";\n";
  } else if (type == GenApi::intfIRegister) {
    out += VariableType(type) + "* " + VariableName(node) + " = new ZOR_UINT8[" +
           VariableName(node) + "Size];\n";
  }
}

void FeatureCodeGenerator::WriteFeatureInquiry(INode* node, std::string& out) {
  const EInterfaceType type = TypeOf(node);
  if (!IsInquirableType(type)) return;
  WriteSelectorSettings(node, out);
  const std::string& inq = prefixes_.inquireFunction;
  if (type == GenApi::intfIInteger || type == GenApi::intfIBoolean || type == GenApi::intfIFloat)
    out += FeatureCall(inq, node, TypeConstant(type) + ", &" + VariableName(node));
  if (type == GenApi::intfIString || type == GenApi::intfIEnumeration)
    out += FeatureCall(inq, node, TypeConstant(type) + ", " + VariableName(node));
  if (type == GenApi::intfIRegister) {
    out += FeatureCall(inq, node,
                       TypeConstant(type) + " + Q_FEATURE_USER_ARRAY_SIZE(" + VariableName(node) +
                           "Size), " + VariableName(node));
  }
}

void FeatureCodeGenerator::WriteControlTypeNode(Section section, INode* node, std::string& out) {
  const EInterfaceType type = TypeOf(node);
  const std::string head = "(" + prefixes_.objectVariable + ", ";
  switch (section) {
    case Section::kControlTypeControls: {
      if (!IsControllableType(type) || !IsWritable(node)) return;
      const NodeComments comments = MakeComments(node, VariableName(node));
      out += comments.toolTip + "\n";
      if (type == GenApi::intfIEnumeration) out += comments.currentEntry + "\n";
      const std::string target = head + NodeName(node) + SelectorSuffix(node);
      if (type == GenApi::intfICommand) {
        const std::string value = Piece([node] {
          GenICam::gcstring text, attribute;
          node->GetProperty("CommandValue", text, attribute);
          return std::string(text == "268435456" ? "Q_DEFAULT" : text.c_str());
        });
        out += prefixes_.controlFunction + target + ", " + value + ");\n";
      } else if (IsReadable(node)) {
        const std::string value = CurrentText(node);
        out += prefixes_.controlFunction + target +
               (type == GenApi::intfIString ? ", ZOR_TEXT(\"" + value + "\"));\n"
                                            : ", " + value + ");\n");
      }
      return;
    }
    case Section::kControlTypeDeclarations:
      out += DeclarationType(node) + " " + VariableName(node) + ";\n";
      return;
    case Section::kControlTypeInquiries: {
      if (!IsControllableType(type)) return;
      const std::string variable = VariableName(node);
      const NodeComments comments = MakeComments(node, variable);
      out += comments.toolTip + "\n";
      if (type == GenApi::intfIEnumeration) out += comments.currentEntry + "\n";
      out += prefixes_.inquireFunction + head + NodeName(node) + SelectorSuffix(node) +
             (type == GenApi::intfIString ? ", " : ", &") + variable + ");\n";
      if (type == GenApi::intfIEnumeration) out += comments.decoding;
      return;
    }
    default:
      return;
  }
}

void FeatureCodeGenerator::WriteSelectorSettings(INode* node, std::string& out) {
  GenApi::CSelectorSet selectors(As<GenApi::IBase>(node));
  if (selectors.IsEmpty()) return;
  GenApi::FeatureList_t list;
  selectors.GetSelectorList(list);
  for (GenApi::IValue* value : list) {
    INode* selector = value->GetNode();
    const std::string name = NodeName(selector);
    if (!selectorsWritten_.insert(name).second) continue;
    out += prefixes_.controlFunction + "(" + prefixes_.objectVariable + ", " +
           OperationConstant(selector) + ", ZOR_TEXT(\"" + prefixes_.featureNamePrefix + name +
           "\"), Q_TYPE_STRING, ZOR_TEXT(\"" + CurrentText(selector) + "\"));\n";
  }
}

bool FeatureCodeGenerator::DeclaredForControl(INode* node) const {
  const EInterfaceType type = TypeOf(node);
  const bool declarable = type == GenApi::intfIInteger || type == GenApi::intfIBoolean ||
                          type == GenApi::intfIFloat || type == GenApi::intfIRegister;
  return controlsDeclared_ && declarable && IsWritable(node) && IsReadableValue(node);
}

std::string FeatureCodeGenerator::OperationConstant(INode* node) const {
  const std::string constant =
      TypeOf(node) == GenApi::intfICommand ? "Q_FEATURE_EXECUTE" : "Q_FEATURE_VALUE";
  return prefixes_.typePrefix.empty() ? constant : prefixes_.typePrefix + " + " + constant;
}

std::string FeatureCodeGenerator::SelectorSuffix(INode* node) const {
  return Piece([node] {
    std::string suffix;
    GenApi::FeatureList_t selecting;
    As<GenApi::ISelector>(node)->GetSelectingFeatures(selecting);
    for (GenApi::IValue* value : selecting) {
      if (value != nullptr) suffix += " + " + std::string(value->ToString().c_str());
    }
    return suffix;
  });
}

std::string FeatureCodeGenerator::DeclarationType(INode* node) const {
  return Piece([this, node]() -> std::string {
    GenICam::gcstring target, attribute;
    if (!node->GetProperty("pValue", target, attribute) || target.empty()) return "ZOR_INT";
    GenApi::INodeMap* map = node->GetNodeMap();
    INode* valueNode = map != nullptr ? map->GetNode(target) : nullptr;
    auto* reg = dynamic_cast<GenApi::IRegister*>(valueNode);
    if (reg == nullptr) return "ZOR_INT";
    return ControlTypeDataType(objectType_, reg->GetAddress());
  });
}

}  // namespace zor::genicam
