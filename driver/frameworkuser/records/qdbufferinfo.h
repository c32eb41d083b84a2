// A system's record of one buffer the driver knows: the kernel descriptor built
// from the host library's description, its place in the system's buffer list and
// its enabled flag.
#pragma once

#include <atomic>
#include <cstdint>

#include "driver/foundation/error.h"
#include "driver/foundation/logprovider.h"
#include "driver/frameworkuser/driver/qdinfolist.h"
#include "interfaces/kernel/bufferdescriptor.h"

namespace zor::frame {

class QDBufferInfo : public foundation::CLogProvider {
 public:
  // (the owning system's device number, the owning system)
  QDBufferInfo(uint32_t deviceNumber, const void* system);
  QDBufferInfo(const QDBufferInfo&) = delete;
  QDBufferInfo& operator=(const QDBufferInfo&) = delete;
  ~QDBufferInfo() override = default;

  virtual void SetKernelHandle(uint64_t handle) { kernelHandle_ = handle; }
  virtual uint64_t GetKernelHandle() const { return kernelHandle_; }
  virtual foundation::CError Validate() const { return {}; }

  kernel::KernelBufferDescriptor& Descriptor() { return descriptor_; }
  const kernel::KernelBufferDescriptor& Descriptor() const { return descriptor_; }
  int64_t Index() const { return index_; }
  void SetIndex(int64_t index) { index_ = index; }
  // The index whose record holds the enabled flag: the own index, or a parent's
  // root index for a child buffer.
  int64_t RootIndex() const { return rootIndex_ != 0 ? rootIndex_ : index_; }
  void SetRootIndex(int64_t index) { rootIndex_ = index; }
  int64_t HostId() const { return hostId_; }
  const void* System() const { return system_; }

  bool OwnEnabledFlag() const { return enabled_.load(); }
  void SetOwnEnabledFlag(bool value) { enabled_.store(value); }

 private:
  friend bool FillKernelBufferDescriptor(QDBufferInfo& record, int64_t hostBufferId);
  friend bool RefreshKernelBufferDescriptor(QDBufferInfo& record);

  kernel::KernelBufferDescriptor descriptor_{};
  int64_t index_ = 0;
  int64_t rootIndex_ = 0;
  std::atomic<bool> enabled_{true};
  const void* system_;
  int64_t hostId_ = 0;
  uint64_t kernelHandle_ = 0;
};

// Builds the descriptor from HostBufInquire(id, Q_BUFFER_DESCRIPTION); false when
// the host has no description of the buffer (the descriptor is then cleared).
bool FillKernelBufferDescriptor(QDBufferInfo& record, int64_t hostBufferId);
// Re-reads the description of the record's host buffer: sizes, words, addresses,
// bits per pixel and byte size.
bool RefreshKernelBufferDescriptor(QDBufferInfo& record);

// The enabled flag of the record registered at the record's root index, else the
// record's own.
void SetEnabledFlag(QDInfoList<QDBufferInfo>& list, QDBufferInfo& record, bool value);
bool GetEnabledFlag(const QDInfoList<QDBufferInfo>& list, const QDBufferInfo& record);

}  // namespace zor::frame
