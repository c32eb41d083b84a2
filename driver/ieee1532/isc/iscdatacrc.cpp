// The CRCs of ISC data: per record and over a whole file.
#include <cctype>
#include <cstdio>

#include "driver/foundation/hextext.h"
#include "driver/ieee1532/isc/iscdatafile.h"
#include "platform/os/process/regular_file.h"

namespace zor::isc {

uint32_t IscDataCrcUpdate(uint32_t crc, const std::string& record) {
  for (auto it = record.rbegin(); it != record.rend(); ++it) {
    const unsigned value = static_cast<unsigned>(foundation::HexDigitValue(*it));
    for (int b = 0; b < 4; ++b) {
      uint32_t top = crc >> 31;
      crc = (crc << 1) | ((value >> b) & 1u);
      if (top != 0) crc ^= 0x04C11DB7u;
    }
  }
  return crc;
}

bool IscFileTransmissionCrc(const std::string& path, uint16_t& crc) {
  FILE* stream = os::OpenRegularFile(path, "rb");
  if (stream == nullptr) return false;
  crc = 0xFFFF;
  int c;
  while ((c = fgetc(stream)) != EOF) {
    if (c != '\r' && c != '\n') crc = IscCrc16Update(crc, static_cast<unsigned char>(c));
  }
  fclose(stream);
  crc = static_cast<uint16_t>(~crc);
  return true;
}

}  // namespace zor::isc
