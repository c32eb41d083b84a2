// QDBufferInfo: the kernel buffer descriptor filled and refreshed from the host's description.
#include "driver/frameworkuser/records/qdbufferinfo.h"

#include <cstring>

#include "driver/frameworkuser/records/bufferattributes.h"
#include "driver/frameworkuser/records/bufferformat.h"
#include "platform/host/bufferdescription.h"
#include "platform/host/hostservices.h"

namespace zor::frame {

namespace {

constexpr uint64_t kSignedFlag = 0x8000000;
using bufattr::kNonPaged;
using bufattr::kPaged;

const HostBufferDescription* Describe(int64_t hostBufferId) {
  void* address = nullptr;
  if (HostBufInquire(hostBufferId, Q_BUFFER_DESCRIPTION, &address) == 0 || address == nullptr) {
    return nullptr;
  }
  return static_cast<const HostBufferDescription*>(address);
}

// The words a refresh takes again: sizes, format, addresses and what follows them.
void CopyDescription(const HostBufferDescription& h, kernel::KernelBufferDescriptor& d) {
  d.sizeX = h.sizeX;
  d.sizeY = h.sizeY;
  d.bandCount = h.bands;
  d.bitDepth = h.bitDepth;
  d.bitDepthCopy = h.bitDepth;
  d.bitDepthSigned = h.depthSigned;
  d.attributeWord = h.attribute;
  d.formatWord = h.formatWord;
  const uint64_t* words = reinterpret_cast<const uint64_t*>(&h);
  std::memcpy(d.allocationWords, words + 16, sizeof(d.allocationWords));
  d.dataType = h.dataType;
  d.pitch = h.pitch;
  for (size_t band = 0; band < kernel::kMaxBands; ++band) {
    const bool present = band < h.bands;
    d.hostAddress[band] = present ? h.hostAddress[band] : 0;
    d.physicalAddress[band] = present ? h.physicalAddress[band] : 0;
    d.physicalAddressCopy[band] = d.physicalAddress[band];
  }
  d.bitsPerPixel = BitsPerPixel(d.formatWord, d.bitDepth & 0xFF);
  d.byteSize = BufferByteSize(d.bitsPerPixel, d.pitch, d.bandCount, d.sizeY);
}

}  // namespace

QDBufferInfo::QDBufferInfo(uint32_t deviceNumber, const void* system)
    : CLogProvider(deviceNumber & 0x3F, 3, 109, 0), system_(system) {
  descriptor_.finalWord = -1;
}

bool FillKernelBufferDescriptor(QDBufferInfo& record, int64_t hostBufferId) {
  kernel::KernelBufferDescriptor& d = record.descriptor_;
  d = {};
  d.finalWord = -1;
  const HostBufferDescription* h = Describe(hostBufferId);
  if (h == nullptr) return false;
  CopyDescription(*h, d);
  d.maxPixelValue = MaxPixelValue(h->bitDepth, (h->depthSigned & kSignedFlag) != 0);

  const uint64_t format = d.formatWord;
  if ((format & (kPaged | kNonPaged)) != 0) {
    d.needsMapping = (format & kNonPaged) == 0 ? 1 : 0;
  } else {
    d.needsMapping = d.physicalAddress[0] == 0 ? 1 : 0;
  }
  d.mapped = d.needsMapping == 0 ? 1 : 0;

  if (bufattr::IsBoardImage(format)) {
    uint64_t address = 0;
    // The host answers the inquire of the image's kind bits with the image's address.
    HostBufInquire(hostBufferId, static_cast<QINT64>(bufattr::kImage | bufattr::kImageKind),
                   &address);
    if (address != 0) d.alignedAddress = (address + 191) / 128 * 128;
  }
  d.hostBufferId = static_cast<uint64_t>(hostBufferId);
  d.descriptionFlag = (h->flags & 1) != 0 ? 1 : 0;
  record.hostId_ = hostBufferId;
  return true;
}

bool RefreshKernelBufferDescriptor(QDBufferInfo& record) {
  const HostBufferDescription* h = Describe(record.hostId_);
  if (h == nullptr) return false;
  CopyDescription(*h, record.descriptor_);
  // The host never sees the driver's own bits: they stay.
  record.descriptor_.attributeWord |= record.state_.privateBits;
  record.descriptor_.formatWord |= record.state_.privateBits;
  return true;
}

void SetEnabledFlag(QDInfoList<QDBufferInfo>& list, QDBufferInfo& record, bool value) {
  foundation::ScopedLock lock(list.Lock());
  std::shared_ptr<QDBufferInfo> root = list.GetAt(record.RootIndex());
  (root != nullptr ? *root : record).SetOwnEnabledFlag(value);
}

bool GetEnabledFlag(const QDInfoList<QDBufferInfo>& list, const QDBufferInfo& record) {
  foundation::ScopedLock lock(list.Lock());
  std::shared_ptr<QDBufferInfo> root = list.GetAt(record.RootIndex());
  return (root != nullptr ? *root : record).OwnEnabledFlag();
}

}  // namespace zor::frame
