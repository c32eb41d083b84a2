// The description entry of one node: everything a browser needs to show and edit it.
#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "driver/frameworkuser/genicam/featurebrowser/protocolwords.h"

namespace zor::genicam {

using GenApi::INode;
using GenICam::gcstring;

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
  JsonOutput& out = *out_;
  out.StartObject();
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

  const GenApi::EAccessMode access = node->GetAccessMode();
  const bool readable = GenApi::IsReadable(access);
  const auto writeAccess = [&] {
    out.Key("AccessMode");
    out.String(AccessModeToString(access));
  };

  switch (node->GetPrincipalInterfaceType()) {
    case GenApi::intfIInteger: {
      GenApi::CIntegerPtr value(node);
      const GenApi::EIncMode incMode = value->GetIncMode();
      out.Key("IncrementMode");
      out.String(IncrementModeToString(incMode));
      const auto number = [&](const char* key, auto read) {
        if (readable) {
          const int64_t v = read();
          out.Key(key);
          out.Int64(v);
        } else {
          out.Key(key);
          out.Null();
        }
      };
      number("Increment", [&] { return value->GetInc(); });
      number("Max", [&] { return value->GetMax(); });
      number("Min", [&] { return value->GetMin(); });
      number("Value", [&] { return value->GetValue(); });
      writeAccess();
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
      break;
    }
    case GenApi::intfIBoolean: {
      GenApi::CBooleanPtr value(node);
      writeAccess();
      if (readable) {
        const bool v = value->GetValue();
        out.Key("Value");
        out.Bool(v);
      } else {
        out.Key("Value");
        out.Null();
      }
      break;
    }
    case GenApi::intfICommand: {
      GenApi::CCommandPtr value(node);
      writeAccess();
      const bool done = value->IsDone(true);
      out.Key("IsDone");
      out.Bool(done);
      out.Key("Value");
      out.Null();
      break;
    }
    case GenApi::intfIFloat: {
      GenApi::CFloatPtr value(node);
      if (readable && value->HasInc()) {
        const double increment = value->GetInc();
        out.Key("Increment");
        out.Double(increment);
      } else {
        out.Key("Increment");
        out.Null();
      }
      const auto number = [&](const char* key, auto read) {
        if (readable) {
          const double v = read();
          out.Key(key);
          out.Double(v);
        } else {
          out.Key(key);
          out.Null();
        }
      };
      number("Max", [&] { return value->GetMax(); });
      number("Min", [&] { return value->GetMin(); });
      number("Value", [&] { return value->GetValue(); });
      writeAccess();
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
      break;
    }
    case GenApi::intfIString: {
      GenApi::CStringPtr value(node);
      writeAccess();
      if (readable) {
        const GenICam::gcstring v = value->GetValue();
        out.Key("Value");
        out.String(v.str());
      } else {
        out.Key("Value");
        out.Null();
      }
      break;
    }
    case GenApi::intfIRegister: {
      GenApi::CRegisterPtr value(node);
      writeAccess();
      if (!readable) {
        out.Key("Value");
        out.Null();
        break;
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
      break;
    }
    case GenApi::intfICategory: {
      writeAccess();
      out.Key("Value");
      out.Null();
      if (!withNested) break;
      GenApi::node_vector children;
      node->GetChildren(children, GenApi::ctReadingChildren);
      WriteDescriptionList("Children", children, false);
      break;
    }
    case GenApi::intfIEnumeration: {
      GenApi::CEnumerationPtr value(node);
      writeAccess();
      if (readable) {
        out.Key("IntValue");
        out.Int64(Guarded(
            name, [&] { return value->GetIntValue(); }, int64_t{0}));
        out.Key("Value");
        out.String(Guarded(
                       name, [&] { return value->ToString(); }, gcstring())
                       .str());
        GenApi::IEnumEntry* current = Guarded(
            name, [&] { return value->GetCurrentEntry(); },
            static_cast<GenApi::IEnumEntry*>(nullptr));
        if (current != nullptr) {
          out.Key("SymbolicValue");
          out.String(
              Guarded(
                  name, [&] { return GenApi::CNodePtr(current->GetNode())->GetName(); }, gcstring())
                  .str());
        }
      } else {
        out.Key("IntValue");
        out.Null();
        out.Key("Value");
        out.Null();
        out.Key("SymbolicValue");
        out.Null();
      }
      GenApi::node_vector entries;
      value->GetEntries(entries);
      WriteDescriptionList("ValidValuesList", entries, true);
      GenApi::CSelectorPtr selector(node);
      if (withNested && selector.IsValid() && selector->IsSelector()) {
        const GenApi::node_vector selected = SelectedFeatures(node);
        if (!selected.empty()) {
          out.Key("Children");
          out.StartArray();
          for (INode* feature : selected) WriteNodeDescription(feature);
          out.EndArray();
        }
      }
      break;
    }
    case GenApi::intfIEnumEntry: {
      GenApi::CEnumEntryPtr value(node);
      writeAccess();
      const int64_t intValue = value->GetValue();
      out.Key("IntValue");
      out.Int64(intValue);
      const bool selfClearing = value->IsSelfClearing();
      out.Key("IsSelfClearing");
      out.Bool(selfClearing);
      const GenICam::gcstring symbolic = value->GetSymbolic();
      out.Key("Value");
      out.String(symbolic.str());
      break;
    }
    default:
      break;
  }
  out.EndObject();
}

}  // namespace zor::genicam
