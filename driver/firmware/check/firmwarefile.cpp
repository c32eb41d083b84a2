// The board variant's firmware data file: its name, its folder and its packed date.
#include "driver/firmware/check/firmwarefile.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

#include "driver/foundation/conversions.h"
#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"
#include "driver/foundation/zorstringascii.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/os/process/regular_file.h"

namespace zor::firmware {
namespace {

using errorcode::kFirmwareUpdateError;
using errorcode::kFpgaProgrammingError;
using foundation::CError;
using foundation::CRegistryKey;
using foundation::CZORString;
using foundation::CZORStringAscii;

using foundation::kImagingBoardLocation;
constexpr size_t kHeaderBytes = 1023;
constexpr char kDateKey[] = "Creation_Date ";
constexpr size_t kDateKeyLength = sizeof kDateKey - 1;
constexpr size_t kDateLength = 13;

bool Digits(const char* text, size_t from, size_t count) {
  for (size_t i = from; i < from + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

uint64_t Decimal(const char* text) { return uint64_t(text[0] - '0') * 10 + (text[1] - '0'); }
uint64_t Bcd(const char* text) { return uint64_t(text[0] - '0') << 4 | (text[1] - '0'); }

}  // namespace

const wchar_t* FirmwareFileName(uint32_t capabilities) {
  const bool mpeg4 = (capabilities & kCapMpeg4) != 0;
  if ((capabilities & kCapStandard) && mpeg4) return L"/DravionLynMpeg4.firmware";
  if ((capabilities & kCapFourDecoders) && mpeg4) return L"/DravionLyn4VDMpeg4.firmware";
  if (capabilities & kCapStandard) return L"/DravionLyn.firmware";
  return nullptr;
}

bool PackFirmwareDate(const char* text, uint64_t& code) {
  code = 0;
  if (std::strlen(text) != kDateLength || std::strncmp(text, "20", 2) != 0 || text[8] != '.' ||
      !Digits(text, 2, 6) || !Digits(text, 9, 4)) {
    return false;
  }
  code = Decimal(text + 2) << 28 | Decimal(text + 4) << 24 | Bcd(text + 6) << 16 |
         Bcd(text + 9) << 8 | Bcd(text + 11);
  return true;
}

CError ReadFirmwareFolder(IFirmwareCheckSystem&, CZORString& folder) {
  CError error;
  CRegistryKey key(kImagingBoardLocation, L"DravionLyn", false);
  if (!key.ReadString(L"FirmwarePath", folder)) error.SetError(kFirmwareUpdateError, 1);
  return error;
}

CError ReadFirmwareHeader(IFirmwareCheckSystem&, const wchar_t* path, uint64_t& code) {
  code = 0;
  CError error;
  CZORStringAscii narrow;
  std::unique_ptr<FILE, int (*)(FILE*)> file(nullptr, &std::fclose);
  if (path != nullptr && foundation::WideToAnsiEx(path, narrow, false))
    file.reset(os::OpenRegularFile(narrow.CStr(), "rb"));
  char buffer[kHeaderBytes + 1] = {};
  const size_t read = file != nullptr ? std::fread(buffer, 1, kHeaderBytes, file.get()) : 0;
  const char* key = nullptr;
  for (size_t at = 0; at + kDateKeyLength <= read && key == nullptr; ++at) {
    if (strncasecmp(buffer + at, kDateKey, kDateKeyLength) == 0) key = buffer + at;
  }
  char word[kDateLength + 1] = {};
  if (key != nullptr) {
    const char* start = key + kDateKeyLength;
    size_t length = 0;
    while (length < kDateLength && start[length] != '\0' &&
           !std::isspace(static_cast<unsigned char>(start[length]))) {
      word[length] = start[length];
      ++length;
    }
  }
  if (key == nullptr || !PackFirmwareDate(word, code)) error.SetError(kFpgaProgrammingError, 3);
  return error;
}

int SelectFirmwareFile(IFirmwareCheckSystem& system) {
  if (system.FirmwareUpdateFlag() != 0) return 1;
  CZORString folder;
  if (ReadFirmwareFolder(system, folder).errorSet != 0) return 0;
  const wchar_t* name = FirmwareFileName(system.CapabilityWord());
  if (name == nullptr) return 0;
  folder.Append(name);
  uint64_t code = 0;
  if (ReadFirmwareHeader(system, folder.CStr(), code).errorSet != 0) return 0;
  return SameFirmware(code, system.FirmwareCode()) ? 0 : 1;
}

}  // namespace zor::firmware
