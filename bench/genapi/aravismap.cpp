#include "bench/genapi/aravismap.h"

#include <arv.h>

#include <stdexcept>

namespace {

G_BEGIN_DECLS
G_DECLARE_FINAL_TYPE(BenchMemoryDevice, bench_memory_device, BENCH, MEMORY_DEVICE, ArvDevice)
G_END_DECLS

struct _BenchMemoryDevice {
  ArvDevice parent;
  genapibench::SparseMemory* memory;
};

G_DEFINE_TYPE(BenchMemoryDevice, bench_memory_device, ARV_TYPE_DEVICE)

void bench_memory_device_init(BenchMemoryDevice* device) { device->memory = nullptr; }

gboolean ReadMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer, GError**) {
  BENCH_MEMORY_DEVICE(device)->memory->Read(address, buffer, size);
  return TRUE;
}

gboolean WriteMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer, GError**) {
  BENCH_MEMORY_DEVICE(device)->memory->Write(address, buffer, size);
  return TRUE;
}

gboolean ReadRegister(ArvDevice* device, guint64 address, guint32* value, GError** error) {
  return ReadMemory(device, address, sizeof *value, value, error);
}

gboolean WriteRegister(ArvDevice* device, guint64 address, guint32 value, GError** error) {
  return WriteMemory(device, address, sizeof value, &value, error);
}

void bench_memory_device_class_init(BenchMemoryDeviceClass* type) {
  ArvDeviceClass* device = ARV_DEVICE_CLASS(type);
  device->read_memory = ReadMemory;
  device->write_memory = WriteMemory;
  device->read_register = ReadRegister;
  device->write_register = WriteRegister;
}

void Check(GError* error) {
  if (error == nullptr) return;
  const std::string message = error->message;
  g_error_free(error);
  throw std::runtime_error(message);
}

ArvGcNode* Feature(ArvGc* gc, const char* name) {
  ArvGcNode* node = arv_gc_get_node(gc, name);
  if (node == nullptr) throw std::runtime_error(std::string("aravis has no node ") + name);
  return node;
}

}  // namespace

namespace genapibench {

AravisMap::AravisMap(const std::string& xml, SparseMemory& memory) {
  auto* device = BENCH_MEMORY_DEVICE(g_object_new(bench_memory_device_get_type(), nullptr));
  device->memory = &memory;
  device_ = ARV_DEVICE(device);
  gc_ = arv_gc_new(device_, xml.data(), xml.size());
  arv_gc_set_register_cache_policy(gc_, ARV_REGISTER_CACHE_POLICY_ENABLE);
}

AravisMap::~AravisMap() {
  g_object_unref(gc_);
  g_object_unref(device_);
}

void AravisMap::SetInteger(const char* feature, int64_t value) {
  GError* error = nullptr;
  arv_gc_integer_set_value(ARV_GC_INTEGER(Feature(gc_, feature)), value, &error);
  Check(error);
}

int64_t AravisMap::GetInteger(const char* feature) {
  GError* error = nullptr;
  const int64_t value = arv_gc_integer_get_value(ARV_GC_INTEGER(Feature(gc_, feature)), &error);
  Check(error);
  return value;
}

}  // namespace genapibench
