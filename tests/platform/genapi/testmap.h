#pragma once

#include <atomic>
#include <cstdio>
#include <sstream>
#include <string>

#include "platform/genapi/genapi.h"
#include "tests/platform/genapi/memoryport.h"

namespace genapitest {

// A node map from XML body text, connected to a memory port.
struct TestMap {
  explicit TestMap(const std::string& body) {
    ref._LoadXMLFromString(
        ("<RegisterDescription ModelName=\"TestModel\" VendorName=\"TestVendor\" "
         "ToolTip=\"A test device\" ProductGuid=\"P-1\" VersionGuid=\"V-1\" "
         "StandardNameSpace=\"GEV\" SchemaMajorVersion=\"1\" SchemaMinorVersion=\"1\" "
         "SchemaSubMinorVersion=\"0\" MajorVersion=\"2\" MinorVersion=\"3\" SubMinorVersion=\"4\">"
         "<Port Name=\"Device\"/>" +
         body + "</RegisterDescription>")
            .c_str());
    ref._Connect(&port, "Device");
  }
  GenApi::INode* Node(const char* name) { return ref._GetNode(name); }

  MemoryPort port;
  GenApi::CNodeMapRef ref;
};

// A register node of the device's port: kind, name, address and length, what else it holds,
// and its access mode.
inline std::string Reg(const std::string& kind, const std::string& name, const std::string& address,
                       const std::string& length, const std::string& extra = "",
                       const std::string& mode = "RW") {
  return "<" + kind + " Name='" + name + "'><Address>" + address + "</Address><Length>" + length +
         "</Length><AccessMode>" + mode + "</AccessMode><pPort>Device</pPort>" + extra + "</" +
         kind + ">";
}

// Counts the callbacks it is registered for.
struct Counter {
  void On(GenApi::INode*) { ++count; }
  std::atomic<int> count{0};
};

// The kind of GenICam exception `call` raised, or "none".
template <class F>
std::string Raised(F&& call) {
  try {
    call();
  } catch (const GenICam::AccessException&) {
    return "access";
  } catch (const GenICam::OutOfRangeException&) {
    return "range";
  } catch (const GenICam::InvalidArgumentException&) {
    return "argument";
  } catch (const GenICam::LogicalErrorException&) {
    return "logic";
  } catch (const GenICam::RuntimeException&) {
    return "runtime";
  } catch (const GenICam::GenericException&) {
    return "other";
  }
  return "none";
}

// The description (or text) of the exception of type E that `call` raised, or "no exception".
template <class E = GenICam::GenericException, class F>
std::string ErrorOf(F&& call) {
  try {
    call();
  } catch (const E& e) {
    if constexpr (requires { e.GetDescription(); }) {
      return e.GetDescription();
    } else {
      return e.what();
    }
  }
  return "no exception";
}

// One node's value as text: integers with their limits unless unbounded ("5 [0,9]"), floats to 15
// digits, others as they print themselves; a read that raises gives the exception's kind after a
// '!'.
inline std::string Value(GenApi::INode* node) {
  std::string out;
  const std::string raised = Raised([&] {
    const GenApi::CIntegerPtr integer(node);
    const GenApi::CFloatPtr real(node);
    if (integer.IsValid()) {
      out = std::to_string(integer->GetValue());
      if (integer->GetMin() != INT64_MIN || integer->GetMax() != INT64_MAX) {
        out += " [" + std::to_string(integer->GetMin()) + "," + std::to_string(integer->GetMax()) +
               "]";
      }
    } else if (real.IsValid()) {
      char text[32];
      std::snprintf(text, sizeof text, "%.15g", real->GetValue());
      out = text;
    } else {
      out = GenApi::CValuePtr(node)->ToString().str();
    }
  });
  return raised == "none" ? out : "!" + raised;
}

// The named nodes' access modes, "Name=mode" each, separated by "; ".
inline std::string Modes(GenApi::CNodeMapRef& ref, const std::string& names) {
  static const char* const kModes[] = {"NI", "NA", "WO", "RO", "RW"};
  std::istringstream in(names);
  std::string out;
  for (std::string name; in >> name;) {
    out += (out.empty() ? "" : "; ") + name + "=" +
           kModes[ref._GetNode(name.c_str())->GetAccessMode()];
  }
  return out;
}

// The names of a list's nodes or features, each followed by a comma.
template <class List>
std::string Names(const List& list) {
  std::string out;
  for (const auto& item : list) out += std::string(GenApi::CNodePtr(item)->GetName()) + ",";
  return out;
}

// The named nodes' values, "Name=value" each, separated by "; ".
inline std::string Values(GenApi::CNodeMapRef& ref, const std::string& names) {
  std::istringstream in(names);
  std::string out;
  for (std::string name; in >> name;) {
    out += (out.empty() ? "" : "; ") + name + "=" + Value(ref._GetNode(name.c_str()));
  }
  return out;
}

}  // namespace genapitest
