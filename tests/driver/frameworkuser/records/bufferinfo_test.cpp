// Buffer records: the kernel descriptor built from a host buffer, and the pixel
// facts of the format word.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "driver/frameworkuser/records/bufferformat.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "platform/host/zor.h"

using namespace zor::frame;

namespace {

// Every format code (bits 8 to 13) with its bits, -1 for the codes the board does not know.
TEST(BufferFormat, BitsPerPixelFollowTheFormatWordUnlessTheDepthIsAskedFor) {
  const int64_t bits[64] = {-1, 1,  8,  16, 32,  -1, 16, 16, 24, 32, 32, 48, 96, 3,  16, 16,
                            24, 32, 32, 32, 192, 9,  12, 16, -1, -1, -1, 24, 16, 16, -1, 12,
                            -1, -1, -1, -1, -1,  -1, -1, -1, -1, 64, -1, -1, -1, -1, -1, -1,
                            -1, -1, -1, -1, -1,  -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  for (uint64_t code = 0; code < 64; ++code) {
    EXPECT_EQ(BitsPerPixel(code << 8, 5), bits[code]) << std::hex << code;
  }
  EXPECT_EQ(BitsPerPixel(0x40000 | 0x200, 16), 16);
  EXPECT_EQ(BitsPerPixel(0x4004 | 0x8C00000, 10), 10);
  EXPECT_EQ(BitsPerPixel(0x4004 | 0x8000, 12), 12);
  EXPECT_EQ(BitsPerPixel(0x4004 | 0x8000 | 0x400000, 12), -1) << "0x8C08000 must match exactly";
  EXPECT_EQ(BitsPerPixel(0x3E00, 8), -1);
}

TEST(BufferFormat, ByteSizeCountsWholeBytesPerLine) {
  EXPECT_EQ(BufferByteSize(8, 640, 1, 480), 307200u);
  EXPECT_EQ(BufferByteSize(16, 720, 3, 576), 720u * 2 * 3 * 576);
  EXPECT_EQ(BufferByteSize(-1, 640, 1, 480), 0u);
  // One-bit and three-bit formats no longer come to 0 bytes.
  EXPECT_EQ(BufferByteSize(1, 640, 1, 480), 80u * 480);
  EXPECT_EQ(BufferByteSize(3, 5, 1, 2), 2u * 2);
}

TEST(BufferFormat, MaxPixelValueForEveryDepth) {
  EXPECT_EQ(MaxPixelValue(8, false), 255u);
  EXPECT_EQ(MaxPixelValue(16, true), 32767u);
  EXPECT_EQ(MaxPixelValue(0x100 | 8, false), 255u) << "only the low byte is the depth";
  EXPECT_EQ(MaxPixelValue(0, false), 0u);
  EXPECT_EQ(MaxPixelValue(0, true), 0u);
  EXPECT_EQ(MaxPixelValue(64, false), ~uint64_t{0});
  EXPECT_EQ(MaxPixelValue(64, true), 0x7FFFFFFFFFFFFFFFu);
  EXPECT_EQ(MaxPixelValue(1, true), 0u);
}

TEST(BufferRecord, DescriptorComesFromTheHostDescription) {
  const QID colour = QbufAllocColor(Q_DEFAULT, 3, 64, 48, 16, Q_IMAGE | Q_GRAB | Q_PLANAR, nullptr);
  ASSERT_NE(colour, 0);
  QDBufferInfo record(0, nullptr);
  ASSERT_TRUE(FillKernelBufferDescriptor(record, colour));
  const auto& d = record.Descriptor();
  // Host memory has no physical address: it needs mapping.
  std::ostringstream facts;
  facts << d.sizeX << 'x' << d.sizeY << 'x' << d.bandCount << ' ' << d.bitsPerPixel << " bits "
        << d.byteSize << " bytes max " << d.maxPixelValue << " mapping " << int{d.needsMapping}
        << int{d.mapped} << " final " << d.finalWord << " bands";
  for (uint64_t address : d.hostAddress) facts << (address != 0 ? " +" : " -");
  EXPECT_EQ(facts.str(), "64x48x3 16 bits 18432 bytes max 65535 mapping 10 final -1 bands + + + -");
  EXPECT_EQ(d.hostBufferId, static_cast<uint64_t>(colour));
  EXPECT_EQ(record.HostId(), colour);
  EXPECT_TRUE(RefreshKernelBufferDescriptor(record));
  EXPECT_EQ(record.Descriptor().byteSize, d.byteSize);
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  QbufFree(colour);
  EXPECT_FALSE(RefreshKernelBufferDescriptor(record)) << "the host buffer went";

  QDBufferInfo unknown(0, nullptr);
  EXPECT_FALSE(FillKernelBufferDescriptor(unknown, 0x7FFFFF));
  EXPECT_EQ(unknown.Descriptor().finalWord, -1);
}

TEST(BufferRecord, EnabledFlagLivesAtTheRootRecord) {
  QDInfoList<QDBufferInfo> list;
  auto parent = std::make_shared<QDBufferInfo>(0, nullptr);
  parent->SetIndex(list.Add(parent));
  auto child = std::make_shared<QDBufferInfo>(0, nullptr);
  child->SetIndex(list.Add(child));
  child->SetRootIndex(parent->Index());
  SetEnabledFlag(list, *child, false);
  EXPECT_FALSE(GetEnabledFlag(list, *parent));
  EXPECT_FALSE(GetEnabledFlag(list, *child));
  EXPECT_TRUE(child->OwnEnabledFlag());
  // A record whose root is not registered keeps its own flag.
  SetEnabledFlag(list, *parent, true);
  QDBufferInfo loose(0, nullptr);
  loose.SetIndex(42);
  SetEnabledFlag(list, loose, false);
  EXPECT_FALSE(GetEnabledFlag(list, loose));
  EXPECT_TRUE(GetEnabledFlag(list, *parent));
}

}  // namespace
