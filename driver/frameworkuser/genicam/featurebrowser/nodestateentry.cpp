// The state entry of one node: its values and state, keyed by its name.
#include <cstdint>
#include <type_traits>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "driver/frameworkuser/genicam/featurebrowser/protocolwords.h"

namespace zor::genicam {

using GenApi::INode;
using GenICam::gcstring;

namespace {

template <class List>
List NoValues() {
  return List();
}

void WriteAccessMode(JsonOutput& out, GenApi::EAccessMode access) {
  out.Key("AccessMode");
  out.String(AccessModeToString(access));
}

// A register's bytes; a read that fails gives an empty list and is not reported.
void WriteRegisterState(JsonOutput& out, INode* node, GenApi::EAccessMode access) {
  WriteAccessMode(out, access);
  out.Key("Value");
  if (!GenApi::IsReadable(access)) {
    out.Null();
    return;
  }
  std::vector<uint8_t> bytes;
  try {
    GenApi::CRegisterPtr value(node);
    const int64_t length = value->GetLength();
    if (length > 0) {
      bytes.resize(static_cast<size_t>(length));
      value->Get(bytes.data(), length);
    }
  } catch (const GenICam::GenericException&) {
    bytes.clear();
  }
  out.StartArray();
  for (uint8_t b : bytes) out.Uint(b);
  out.EndArray();
}

}  // namespace

void NodeMapJsonWriter::WriteNodeState(INode* node) {
  const size_t depth = out_->Depth();
  const gcstring name = Guarded(
      gcstring(), [&] { return node->GetName(); }, gcstring());
  try {
    WriteNodeStateBody(node, name);
  } catch (const GenICam::GenericException& e) {
    RecordError(name, e);
    out_->CloseTo(depth);
  } catch (...) {
    out_->CloseTo(depth);
  }
}

void NodeMapJsonWriter::WriteNodeStateBody(INode* node, const gcstring& name) {
  out_->Key(name.str());
  out_->StartObject();
  out_->Key("Name");
  out_->String(name.str());
  if (valuesOnly_ == 0) WriteStateTexts(node, name);
  WriteStateValue(node, name);
  out_->EndObject();
}

void NodeMapJsonWriter::WriteStateTexts(INode* node, const gcstring& name) {
  JsonOutput& out = *out_;
  const gcstring displayName = Guarded(
      name, [&] { return node->GetDisplayName(); }, gcstring());
  out.Key("DisplayName");
  out.String(displayName.empty() ? name.str() : displayName.str());
  out.Key("ToolTip");
  out.String(Guarded(
                 name, [&] { return node->GetToolTip(); }, gcstring())
                 .str());
  out.Key("Description");
  out.String(Guarded(
                 name, [&] { return node->GetDescription(); }, gcstring())
                 .str());
  out.Key("InterfaceType");
  out.String(InterfaceTypeToString(Guarded(
      name, [&] { return node->GetPrincipalInterfaceType(); }, GenApi::intfIBase)));
  out.Key("Visibility");
  out.String(VisibilityToString(Guarded(
      name, [&] { return node->GetVisibility(); }, GenApi::Invisible)));
  out.Key("DocuURL");
  out.String(Guarded(
                 name, [&] { return node->GetDocuURL(); }, gcstring())
                 .str());
}

void NodeMapJsonWriter::WriteStateValue(INode* node, const gcstring& name) {
  JsonOutput& out = *out_;
  const GenApi::EAccessMode access = Guarded(
      name, [&] { return node->GetAccessMode(); }, GenApi::RO);
  const bool readable = GenApi::IsReadable(access);
  switch (node->GetPrincipalInterfaceType()) {
    case GenApi::intfIInteger:
      WriteIntegerState(node, name, access);
      break;
    case GenApi::intfIBoolean: {
      GenApi::CBooleanPtr value(node);
      WriteAccessMode(out, access);
      out.Key("Value");
      out.Bool(readable && Guarded(
                               name, [&] { return value->GetValue(); }, false));
      break;
    }
    case GenApi::intfICommand: {
      GenApi::CCommandPtr value(node);
      WriteAccessMode(out, access);
      out.Key("IsDone");
      out.Bool(Guarded(
          name, [&] { return value->IsDone(true); }, false));
      out.Key("Value");
      out.Null();
      break;
    }
    case GenApi::intfIFloat:
      WriteFloatState(node, name, access);
      break;
    case GenApi::intfIString: {
      GenApi::CStringPtr value(node);
      WriteAccessMode(out, access);
      out.Key("Value");
      out.String(readable ? Guarded(
                                name, [&] { return value->GetValue(); }, gcstring())
                                .str()
                          : "");
      break;
    }
    case GenApi::intfIRegister:
      WriteRegisterState(out, node, access);
      break;
    case GenApi::intfICategory:
      WriteAccessMode(out, access);
      out.Key("Value");
      out.Null();
      break;
    case GenApi::intfIEnumeration:
      WriteEnumerationState(node, name, access);
      break;
    case GenApi::intfIEnumEntry:
      WriteEnumEntryState(node, name, access);
      break;
    default:
      break;
  }
}

void NodeMapJsonWriter::WriteIntegerState(GenApi::CIntegerPtr value, const gcstring& name,
                                          GenApi::EAccessMode access) {
  JsonOutput& out = *out_;
  const bool readable = GenApi::IsReadable(access);
  out.Key("Value");
  out.Int64(readable ? Guarded(
                           name, [&] { return value->GetValue(); }, int64_t{0})
                     : 0);
  WriteAccessMode(out, access);
  out.Key("Increment");
  out.Int64(readable ? Guarded(
                           name, [&] { return value->GetInc(); }, int64_t{1})
                     : 1);
  out.Key("Max");
  out.Int64(readable ? Guarded(
                           name, [&] { return value->GetMax(); }, int64_t{0})
                     : 0);
  out.Key("Min");
  out.Int64(readable ? Guarded(
                           name, [&] { return value->GetMin(); }, int64_t{0})
                     : 0);
  if (valuesOnly_ == 0) WriteIntegerPresentation(value, name);
}

template <class Number>
void NodeMapJsonWriter::WriteUnitAndValidValues(Number value, const gcstring& name,
                                                GenApi::EIncMode incMode) {
  JsonOutput& out = *out_;
  out.Key("Unit");
  out.String(Guarded(
                 name, [&] { return value->GetUnit(); }, gcstring())
                 .str());
  if (incMode != GenApi::listIncrement) return;
  using List = decltype(value->GetListOfValidValues(true));
  const List list = Guarded(
      name, [&] { return value->GetListOfValidValues(true); }, NoValues<List>());
  out.Key("ValidValuesList");
  out.StartArray();
  for (auto v : list) {
    if constexpr (std::is_same_v<List, GenApi::double_autovector_t>) {
      out.Double(v);
    } else {
      out.Int64(v);
    }
  }
  out.EndArray();
}

void NodeMapJsonWriter::WriteIntegerPresentation(GenApi::CIntegerPtr value, const gcstring& name) {
  JsonOutput& out = *out_;
  const auto incMode = Guarded(
      name, [&] { return value->GetIncMode(); }, GenApi::noIncrement);
  out.Key("IncrementMode");
  out.String(IncrementModeToString(incMode));
  out.Key("Representation");
  out.String(RepresentationToString(Guarded(
      name, [&] { return value->GetRepresentation(); }, GenApi::Linear)));
  WriteUnitAndValidValues(value, name, incMode);
}

void NodeMapJsonWriter::WriteFloatState(GenApi::CFloatPtr value, const gcstring& name,
                                        GenApi::EAccessMode access) {
  JsonOutput& out = *out_;
  const bool readable = GenApi::IsReadable(access);
  out.Key("Value");
  out.Double(readable ? Guarded(
                            name, [&] { return value->GetValue(); }, 0.0)
                      : 0.0);
  WriteAccessMode(out, access);
  bool hasInc = false;
  bool hasIncKnown = true;
  try {
    hasInc = value->HasInc();
  } catch (const GenICam::GenericException& e) {
    RecordError(name, e);
    hasIncKnown = false;
  }
  if (hasIncKnown && hasInc) {
    out.Key("Increment");
    out.Double(readable ? Guarded(
                              name, [&] { return value->GetInc(); }, 0.0)
                        : 0.0);
  }
  out.Key("Max");
  out.Double(readable ? Guarded(
                            name, [&] { return value->GetMax(); }, 0.0)
                      : 0.0);
  out.Key("Min");
  out.Double(readable ? Guarded(
                            name, [&] { return value->GetMin(); }, 0.0)
                      : 0.0);
  if (valuesOnly_ == 0) WriteFloatPresentation(value, name);
}

void NodeMapJsonWriter::WriteFloatPresentation(GenApi::CFloatPtr value, const gcstring& name) {
  JsonOutput& out = *out_;
  out.Key("DisplayNotation");
  out.String(DisplayNotationToString(Guarded(
      name, [&] { return value->GetDisplayNotation(); }, GenApi::fnFixed)));
  out.Key("DisplayPrecision");
  out.Int64(Guarded(
      name, [&] { return value->GetDisplayPrecision(); }, int64_t{0}));
  out.Key("Representation");
  out.String(RepresentationToString(Guarded(
      name, [&] { return value->GetRepresentation(); }, GenApi::PureNumber)));
  const auto incMode = Guarded(
      name, [&] { return value->GetIncMode(); }, GenApi::noIncrement);
  out.Key("IncrementMode");
  out.String(IncrementModeToString(incMode));
  WriteUnitAndValidValues(value, name, incMode);
}

void NodeMapJsonWriter::WriteEnumerationState(GenApi::CEnumerationPtr value, const gcstring& name,
                                              GenApi::EAccessMode access) {
  JsonOutput& out = *out_;
  const bool readable = GenApi::IsReadable(access);
  WriteAccessMode(out, access);
  out.Key("IntValue");
  out.Int64(readable ? Guarded(
                           name, [&] { return value->GetIntValue(); }, int64_t{0})
                     : 0);
  out.Key("Value");
  out.String(readable ? Guarded(
                            name, [&] { return value->ToString(); }, gcstring())
                            .str()
                      : "");
  out.Key("SymbolicValue");
  GenApi::IEnumEntry* current = readable ? Guarded(
                                               name, [&] { return value->GetCurrentEntry(); },
                                               static_cast<GenApi::IEnumEntry*>(nullptr))
                                         : nullptr;
  if (current == nullptr) {
    out.Null();
  } else {
    out.String(
        Guarded(
            name, [&] { return GenApi::CNodePtr(current->GetNode())->GetName(); }, gcstring())
            .str());
  }
}

void NodeMapJsonWriter::WriteEnumEntryState(GenApi::CEnumEntryPtr value, const gcstring& name,
                                            GenApi::EAccessMode access) {
  JsonOutput& out = *out_;
  WriteAccessMode(out, access);
  out.Key("IntValue");
  out.Int64(Guarded(
      name, [&] { return value->GetValue(); }, int64_t{0}));
  out.Key("IsSelfClearing");
  out.Bool(Guarded(
      name, [&] { return value->IsSelfClearing(); }, false));
  out.Key("Value");
  out.String(Guarded(
                 name, [&] { return value->GetSymbolic(); }, gcstring())
                 .str());
}

}  // namespace zor::genicam
