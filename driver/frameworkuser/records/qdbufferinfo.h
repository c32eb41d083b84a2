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

// What the buffer operations keep beside the kernel descriptor.
struct BufferState {
  uint64_t requestedAttributes = 0;
  uint64_t attributes = 0;   // as finally used
  uint64_t privateBits = 0;  // the driver's own attribute bits the buffer carries
  int64_t context = 0;       // the allocation's context word
  bool memoryGiven = false;  // the caller or the kernel supplied the addresses
  bool addressesDropped = false;
  int64_t associatedHostId = 0;  // control 1037
  int64_t grabState = 0;         // controls 5080 and 5085
  int64_t modeWord = 3;          // control 5079
  bool takesAssociatedWord = false;
  int64_t associatedWord = 0;
  int64_t maxValue = 0;  // control 0x4000000
  int64_t depthInUse = 0;
  int64_t parentIndex = 0;
  int64_t ownHostBuffer = 0;  // a host buffer the driver made for a child
  int64_t boardWord = 0;      // control and inquire 5278
  uint64_t onBoardAddress = 0;
};

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

  BufferState& State() { return state_; }
  const BufferState& State() const { return state_; }

  bool OwnEnabledFlag() const { return enabled_.load(); }
  void SetOwnEnabledFlag(bool value) { enabled_.store(value); }

 private:
  friend bool FillKernelBufferDescriptor(QDBufferInfo& record, int64_t hostBufferId);
  friend bool RefreshKernelBufferDescriptor(QDBufferInfo& record);

  kernel::KernelBufferDescriptor descriptor_{};
  BufferState state_;
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
// bits per pixel and byte size; the driver's own attribute bits are kept.
bool RefreshKernelBufferDescriptor(QDBufferInfo& record);

// The enabled flag of the record registered at the record's root index, else the
// record's own.
void SetEnabledFlag(QDInfoList<QDBufferInfo>& list, QDBufferInfo& record, bool value);
bool GetEnabledFlag(const QDInfoList<QDBufferInfo>& list, const QDBufferInfo& record);

}  // namespace zor::frame
