// The description entry of one node: everything a browser needs to show and edit it.
#include <cstdint>
#include <type_traits>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "driver/frameworkuser/genicam/featurebrowser/protocolwords.h"

namespace zor::genicam {

using GenApi::INode;
using GenICam::gcstring;

namespace {

void WriteAccessMode(JsonOutput& out, GenApi::EAccessMode access) {
  out.Key("AccessMode");
  out.String(AccessModeToString(access));
}

// A number that only a readable node has; null for any other. The read comes before the key,
// so a read that throws leaves no key behind.
template <class Read>
void WriteNumberOrNull(JsonOutput& out, const char* key, bool readable, Read read) {
  if (!readable) {
    out.Key(key);
    out.Null();
    return;
  }
  const auto v = read();
  out.Key(key);
  if constexpr (std::is_floating_point_v<decltype(v)>) {
    out.Double(v);
  } else {
    out.Int64(v);
  }
}

void WriteIntegerDescription(JsonOutput& out, GenApi::CIntegerPtr value,
                             GenApi::EAccessMode access) {
  const bool readable = GenApi::IsReadable(access);
  const GenApi::EIncMode incMode = value->GetIncMode();
  out.Key("IncrementMode");
  out.String(IncrementModeToString(incMode));
  WriteNumberOrNull(out, "Increment", readable, [&] { return value->GetInc(); });
  WriteNumberOrNull(out, "Max", readable, [&] { return value->GetMax(); });
  WriteNumberOrNull(out, "Min", readable, [&] { return value->GetMin(); });
  WriteNumberOrNull(out, "Value", readable, [&] { return value->GetValue(); });
  WriteAccessMode(out, access);
  out.Key("Representation");
  out.String(RepresentationToString(value->GetRepresentation()));
  out.Key("Unit");
  out.String(value->GetUnit().str());
  if (incMode == GenApi::listIncrement) {
    const GenApi::int64_autovector_t list = value->GetListOfValidValues(true);
    out.Key("ValidValuesList");
    out.StartArray();
    for (int64_t v : list) out.Int64(v);
    out.EndArray();
  }
}

void WriteBooleanDescription(JsonOutput& out, GenApi::CBooleanPtr value,
                             GenApi::EAccessMode access) {
  WriteAccessMode(out, access);
  if (GenApi::IsReadable(access)) {
    const bool v = value->GetValue();
    out.Key("Value");
    out.Bool(v);
  } else {
    out.Key("Value");
    out.Null();
  }
}

void WriteCommandDescription(JsonOutput& out, GenApi::CCommandPtr value,
                             GenApi::EAccessMode access) {
  WriteAccessMode(out, access);
  const bool done = value->IsDone(true);
  out.Key("IsDone");
  out.Bool(done);
  out.Key("Value");
  out.Null();
}

void WriteFloatDescription(JsonOutput& out, GenApi::CFloatPtr value, GenApi::EAccessMode access) {
  const bool readable = GenApi::IsReadable(access);
  WriteNumberOrNull(out, "Increment", readable && value->HasInc(), [&] { return value->GetInc(); });
  WriteNumberOrNull(out, "Max", readable, [&] { return value->GetMax(); });
  WriteNumberOrNull(out, "Min", readable, [&] { return value->GetMin(); });
  WriteNumberOrNull(out, "Value", readable, [&] { return value->GetValue(); });
  WriteAccessMode(out, access);
  out.Key("DisplayNotation");
  out.String(DisplayNotationToString(value->GetDisplayNotation()));
  out.Key("DisplayPrecision");
  out.Int64(value->GetDisplayPrecision());
  out.Key("Representation");
  out.String(RepresentationToString(value->GetRepresentation()));
  const GenApi::EIncMode incMode = value->GetIncMode();
  out.Key("IncrementMode");
  out.String(IncrementModeToString(incMode));
  out.Key("Unit");
  out.String(value->GetUnit().str());
  if (incMode == GenApi::listIncrement) {
    const GenApi::double_autovector_t list = value->GetListOfValidValues(true);
    out.Key("ValidValuesList");
    out.StartArray();
    for (double v : list) out.Double(v);
    out.EndArray();
  }
}

void WriteStringDescription(JsonOutput& out, GenApi::CStringPtr value, GenApi::EAccessMode access) {
  WriteAccessMode(out, access);
  if (GenApi::IsReadable(access)) {
    const GenICam::gcstring v = value->GetValue();
    out.Key("Value");
    out.String(v.str());
  } else {
    out.Key("Value");
    out.Null();
  }
}

void WriteRegisterDescription(JsonOutput& out, GenApi::CRegisterPtr value,
                              GenApi::EAccessMode access) {
  WriteAccessMode(out, access);
  if (!GenApi::IsReadable(access)) {
    out.Key("Value");
    out.Null();
    return;
  }
  std::vector<uint8_t> bytes;
  const int64_t length = value->GetLength();
  if (length > 0) {
    bytes.resize(static_cast<size_t>(length));
    value->Get(bytes.data(), length);
  }
  out.Key("Value");
  out.StartArray();
  for (uint8_t b : bytes) out.Uint(b);
  out.EndArray();
}

void WriteEnumEntryDescription(JsonOutput& out, GenApi::CEnumEntryPtr value,
                               GenApi::EAccessMode access) {
  WriteAccessMode(out, access);
  const int64_t intValue = value->GetValue();
  out.Key("IntValue");
  out.Int64(intValue);
  const bool selfClearing = value->IsSelfClearing();
  out.Key("IsSelfClearing");
  out.Bool(selfClearing);
  const GenICam::gcstring symbolic = value->GetSymbolic();
  out.Key("Value");
  out.String(symbolic.str());
}

}  // namespace

void NodeMapJsonWriter::WriteNodeDescription(INode* node) {
  const size_t depth = out_->Depth();
  gcstring name;
  // A node met again inside its own entry (a category or selector loop) is written without
  // its nested lists instead of recursing forever.
  const bool first = openNodes_.insert(node).second;
  struct Leave {
    NodeMapJsonWriter& writer;
    INode* node;
    bool first;
    ~Leave() {
      if (first) writer.openNodes_.erase(node);
    }
  } leave{*this, node, first};
  try {
    name = node->GetName();
    WriteNodeDescriptionBody(node, name, first);
  } catch (const GenICam::GenericException& e) {
    RecordError(name, e);
    out_->CloseTo(depth);
  } catch (...) {
    out_->CloseTo(depth);
  }
}

void NodeMapJsonWriter::WriteDescriptionList(const char* key, const GenApi::node_vector& nodes,
                                             bool evenEmpty) {
  const GenApi::node_vector shown = Select(nodes, kNestedVisibilityLimit);
  if (shown.empty() && !evenEmpty) return;
  out_->Key(key);
  out_->StartArray();
  for (INode* child : shown) WriteNodeDescription(child);
  out_->EndArray();
}

void NodeMapJsonWriter::WriteNodeDescriptionBody(INode* node, const gcstring& name,
                                                 bool withNested) {
  out_->StartObject();
  WriteDescriptionTexts(node, name);
  WriteDescriptionProperties(node);
  WriteDescriptionValue(node, name, withNested);
  out_->EndObject();
}

void NodeMapJsonWriter::WriteDescriptionTexts(INode* node, const gcstring& name) {
  JsonOutput& out = *out_;
  out.Key("Name");
  out.String(name.str());
  if (!errorText_.empty()) {
    out.Key("GenICamError");
    out.String(errorText_);
  }
  const gcstring displayName = node->GetDisplayName();
  out.Key("DisplayName");
  out.String(displayName.empty() ? name.str() : displayName.str());
  out.Key("ToolTip");
  out.String(node->GetToolTip().str());
  out.Key("Description");
  out.String(node->GetDescription().str());
  out.Key("InterfaceType");
  out.String(InterfaceTypeToString(node->GetPrincipalInterfaceType()));
  out.Key("Visibility");
  out.String(VisibilityToString(node->GetVisibility()));
  out.Key("DocuURL");
  out.String(node->GetDocuURL().str());
}

void NodeMapJsonWriter::WriteDescriptionProperties(INode* node) {
  JsonOutput& out = *out_;
  out.Key("Properties");
  out.StartObject();
  out.Key("IsStreamable");
  out.Bool(node->IsStreamable());
  out.Key("PollingTime");
  out.Int64(node->GetPollingTime());
  out.Key("Namespace");
  out.String(NameSpaceToString(node->GetNameSpace()));
  out.Key("IsCachable");
  out.Bool(node->IsCachable());
  out.Key("CachingMode");
  out.String(CachingModeToString(node->GetCachingMode()));
  out.Key("DeviceName");
  out.String(node->GetDeviceName().str());
  out.Key("IsDeprecated");
  out.Bool(node->IsDeprecated());
  out.Key("IsFeature");
  out.Bool(node->IsFeature());
  out.EndObject();
}

void NodeMapJsonWriter::WriteDescriptionValue(INode* node, const gcstring& name, bool withNested) {
  JsonOutput& out = *out_;
  const GenApi::EAccessMode access = node->GetAccessMode();
  switch (node->GetPrincipalInterfaceType()) {
    case GenApi::intfIInteger:
      WriteIntegerDescription(out, node, access);
      break;
    case GenApi::intfIBoolean:
      WriteBooleanDescription(out, node, access);
      break;
    case GenApi::intfICommand:
      WriteCommandDescription(out, node, access);
      break;
    case GenApi::intfIFloat:
      WriteFloatDescription(out, node, access);
      break;
    case GenApi::intfIString:
      WriteStringDescription(out, node, access);
      break;
    case GenApi::intfIRegister:
      WriteRegisterDescription(out, node, access);
      break;
    case GenApi::intfICategory:
      WriteCategoryDescription(node, access, withNested);
      break;
    case GenApi::intfIEnumeration:
      WriteEnumerationDescription(node, name, access, withNested);
      break;
    case GenApi::intfIEnumEntry:
      WriteEnumEntryDescription(out, node, access);
      break;
    default:
      break;
  }
}

void NodeMapJsonWriter::WriteCategoryDescription(INode* node, GenApi::EAccessMode access,
                                                 bool withNested) {
  WriteAccessMode(*out_, access);
  out_->Key("Value");
  out_->Null();
  if (!withNested) return;
  GenApi::node_vector children;
  node->GetChildren(children, GenApi::ctReadingChildren);
  WriteDescriptionList("Children", children, false);
}

void NodeMapJsonWriter::WriteEnumerationDescription(INode* node, const gcstring& name,
                                                    GenApi::EAccessMode access, bool withNested) {
  GenApi::CEnumerationPtr value(node);
  WriteAccessMode(*out_, access);
  WriteCurrentEnumValue(value, name, GenApi::IsReadable(access));
  GenApi::node_vector entries;
  value->GetEntries(entries);
  WriteDescriptionList("ValidValuesList", entries, true);
  GenApi::CSelectorPtr selector(node);
  if (withNested && selector.IsValid() && selector->IsSelector()) WriteSelectedFeatures(node);
}

void NodeMapJsonWriter::WriteCurrentEnumValue(GenApi::CEnumerationPtr value, const gcstring& name,
                                              bool readable) {
  JsonOutput& out = *out_;
  if (!readable) {
    out.Key("IntValue");
    out.Null();
    out.Key("Value");
    out.Null();
    out.Key("SymbolicValue");
    out.Null();
    return;
  }
  out.Key("IntValue");
  out.Int64(Guarded(
      name, [&] { return value->GetIntValue(); }, int64_t{0}));
  out.Key("Value");
  out.String(Guarded(
                 name, [&] { return value->ToString(); }, gcstring())
                 .str());
  GenApi::IEnumEntry* current = Guarded(
      name, [&] { return value->GetCurrentEntry(); }, static_cast<GenApi::IEnumEntry*>(nullptr));
  if (current != nullptr) {
    out.Key("SymbolicValue");
    out.String(
        Guarded(
            name, [&] { return GenApi::CNodePtr(current->GetNode())->GetName(); }, gcstring())
            .str());
  }
}

void NodeMapJsonWriter::WriteSelectedFeatures(INode* selector) {
  const GenApi::node_vector selected = SelectedFeatures(selector);
  if (selected.empty()) return;
  out_->Key("Children");
  out_->StartArray();
  for (INode* feature : selected) WriteNodeDescription(feature);
  out_->EndArray();
}

}  // namespace zor::genicam
