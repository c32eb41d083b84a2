// An independent GenICam reader (aravis) loads the driver's XML over the same
// memory as our runtime and must see the same features, values, ranges,
// access modes and enumeration entries.
#include <arv.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"
#include "platform/genapi/genapi.h"
#include "platform/genapi/xml/zipdata.h"
#include "tests/driver/frameworkuser/genicam/memoryport.h"

namespace {

using zor::genicam::MemoryPort;

G_BEGIN_DECLS
G_DECLARE_FINAL_TYPE(ZorMemoryDevice, zor_memory_device, ZOR, MEMORY_DEVICE, ArvDevice)
G_END_DECLS

struct _ZorMemoryDevice {
  ArvDevice parent;
  MemoryPort* memory;
};

G_DEFINE_TYPE(ZorMemoryDevice, zor_memory_device, ARV_TYPE_DEVICE)

void zor_memory_device_init(ZorMemoryDevice* device) { device->memory = nullptr; }

gboolean ReadMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer, GError**) {
  ZOR_MEMORY_DEVICE(device)->memory->Read(buffer, static_cast<int64_t>(address), size);
  return TRUE;
}

gboolean WriteMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer, GError**) {
  ZOR_MEMORY_DEVICE(device)->memory->Write(buffer, static_cast<int64_t>(address), size);
  return TRUE;
}

gboolean ReadRegister(ArvDevice* device, guint64 address, guint32* value, GError** error) {
  return ReadMemory(device, address, sizeof *value, value, error);
}

gboolean WriteRegister(ArvDevice* device, guint64 address, guint32 value, GError** error) {
  return WriteMemory(device, address, sizeof value, &value, error);
}

void zor_memory_device_class_init(ZorMemoryDeviceClass* type) {
  ArvDeviceClass* device = ARV_DEVICE_CLASS(type);
  device->read_memory = ReadMemory;
  device->write_memory = WriteMemory;
  device->read_register = ReadRegister;
  device->write_register = WriteRegister;
}

std::string TakeError(GError* error) {
  if (error == nullptr) return {};
  std::string message = error->message;
  g_error_free(error);
  return message;
}

const char* AccessName(GenApi::EAccessMode mode) {
  return mode == GenApi::RO ? "RO" : mode == GenApi::WO ? "WO" : mode == GenApi::RW ? "RW" : "NA";
}

const char* AccessName(ArvGcAccessMode mode) {
  return mode == ARV_GC_ACCESS_MODE_RO   ? "RO"
         : mode == ARV_GC_ACCESS_MODE_WO ? "WO"
         : mode == ARV_GC_ACCESS_MODE_RW ? "RW"
                                         : "NA";
}

int64_t RegisterAddress(GenApi::CNodeMapRef& map, const std::string& feature) {
  GenApi::CNodePtr reg = map._GetNode((feature + "_Register").c_str());
  GenICam::gcstring value;
  GenICam::gcstring attribute;
  reg->GetProperty("Address", value, attribute);
  return std::stoll(value.c_str());
}

// Gives every feature a value its type accepts, so that reads have something
// to compare: the last enumeration entry, a number inside the range, a text.
void FillRegisters(GenApi::CNodeMapRef& map, MemoryPort& memory) {
  GenApi::NodeList_t nodes;
  map._GetNodes(nodes);
  int64_t seed = 3;
  for (GenApi::INode* node : nodes) {
    if (!node->IsFeature()) continue;
    const std::string name = node->GetName().c_str();
    const GenApi::EInterfaceType type = node->GetPrincipalInterfaceType();
    if (type == GenApi::intfICategory || type == GenApi::intfICommand) continue;
    const int64_t address = RegisterAddress(map, name);
    if (type == GenApi::intfIEnumeration) {
      GenApi::NodeList_t entries;
      GenApi::CEnumerationPtr(node)->GetEntries(entries);
      const int64_t value = GenApi::CEnumEntryPtr(entries.back())->GetValue();
      memory.Write(&value, address, 8);
    } else if (type == GenApi::intfIString) {
      const std::string text = "text of " + name;
      memory.Write(text.c_str(), address, static_cast<int64_t>(text.size()) + 1);
    } else if (type == GenApi::intfIFloat) {
      const double value = 0.25 * static_cast<double>(++seed % 4 + 1);
      memory.Write(&value, address, 8);
    } else {
      const int64_t value = 100 + ++seed;
      memory.Write(&value, address, 8);
    }
  }
}

void CompareWithAravis(const std::string& xml) {
  MemoryPort port;
  GenApi::CNodeMapRef ours("Device");
  ours._Initialize(GenApi::CNodeMapFactory(GenApi::ContentType_Xml, xml.data(), xml.size())
                       .CreateNodeMap("Device"));
  ours._Connect(&port, "Device");
  FillRegisters(ours, port);

  auto* device = ZOR_MEMORY_DEVICE(g_object_new(zor_memory_device_get_type(), nullptr));
  device->memory = &port;
  ArvGc* gc = arv_gc_new(ARV_DEVICE(device), xml.data(), xml.size());
  ASSERT_NE(gc, nullptr);

  GenApi::NodeList_t nodes;
  ours._GetNodes(nodes);
  int compared = 0;
  for (GenApi::INode* node : nodes) {
    const GenApi::EInterfaceType type = node->GetPrincipalInterfaceType();
    if (!node->IsFeature() || type == GenApi::intfICategory) continue;
    const std::string name = node->GetName().c_str();
    SCOPED_TRACE(name);
    ArvGcNode* theirs = arv_gc_get_node(gc, name.c_str());
    ASSERT_NE(theirs, nullptr);
    auto* feature = ARV_GC_FEATURE_NODE(theirs);
    EXPECT_STREQ(AccessName(node->GetAccessMode()),
                 AccessName(arv_gc_feature_node_get_actual_access_mode(feature)));
    GError* error = nullptr;
    EXPECT_TRUE(arv_gc_feature_node_is_available(feature, &error));
    EXPECT_EQ(TakeError(error), "");
    ++compared;
    if (type == GenApi::intfICommand) continue;
    if (type == GenApi::intfIInteger) {
      GenApi::CIntegerPtr integer(node);
      auto* arv = ARV_GC_INTEGER(theirs);
      const int64_t value = arv_gc_integer_get_value(arv, &error);
      EXPECT_EQ(std::make_tuple(integer->GetValue(), integer->GetMin(), integer->GetMax()),
                std::make_tuple(value, arv_gc_integer_get_min(arv, &error),
                                arv_gc_integer_get_max(arv, &error)));
    } else if (type == GenApi::intfIFloat) {
      GenApi::CFloatPtr number(node);
      auto* arv = ARV_GC_FLOAT(theirs);
      EXPECT_DOUBLE_EQ(number->GetValue(), arv_gc_float_get_value(arv, &error));
      EXPECT_DOUBLE_EQ(number->GetMin(), arv_gc_float_get_min(arv, &error));
      EXPECT_DOUBLE_EQ(number->GetMax(), arv_gc_float_get_max(arv, &error));
    } else if (type == GenApi::intfIString) {
      const char* text = arv_gc_string_get_value(ARV_GC_STRING(theirs), &error);
      EXPECT_STREQ(GenApi::CStringPtr(node)->GetValue().c_str(), text ? text : "(null)");
    } else if (type == GenApi::intfIEnumeration) {
      GenApi::CEnumerationPtr enumeration(node);
      auto* arv = ARV_GC_ENUMERATION(theirs);
      const char* current = arv_gc_enumeration_get_string_value(arv, &error);
      EXPECT_STREQ(enumeration->GetCurrentEntry()->GetSymbolic().c_str(),
                   current ? current : "(null)");
      std::vector<std::string> ourEntries;
      GenApi::NodeList_t entries;
      enumeration->GetEntries(entries);
      for (GenApi::INode* entry : entries) {
        ourEntries.push_back(GenApi::CEnumEntryPtr(entry)->GetSymbolic().c_str());
      }
      std::vector<std::string> theirEntries;
      for (const GSList* it = arv_gc_enumeration_get_entries(arv); it != nullptr; it = it->next) {
        theirEntries.push_back(arv_gc_feature_node_get_name(ARV_GC_FEATURE_NODE(it->data)));
      }
      // aravis lists the entries in its own order.
      std::sort(ourEntries.begin(), ourEntries.end());
      std::sort(theirEntries.begin(), theirEntries.end());
      EXPECT_EQ(ourEntries, theirEntries);
    }
    EXPECT_EQ(TakeError(error), "");
  }
  EXPECT_GT(compared, 40);
  g_object_unref(gc);
  g_object_unref(device);
}

std::vector<std::string> CarriedXml() {
  std::vector<zor::genicam::GenICamXmlResource> resources;
  zor::genicam::LoadGenICamXmlResources(resources);
  std::vector<std::string> files;
  for (const auto& resource : resources) {
    GenApi::ZipData zip(resource.data, resource.size);
    files.push_back(zip.Read(zip.Names().front()));
  }
  return files;
}

TEST(GenICamXmlWithAravis, SystemAndDigitizerXmlReadTheSameInBothRuntimes) {
  const std::vector<std::string> files = CarriedXml();
  ASSERT_EQ(files.size(), 2u);
  for (const std::string& file : files) CompareWithAravis(file);
}

}  // namespace
