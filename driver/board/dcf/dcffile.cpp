// Maps standard DCF names, finds the file in the registry's and environment's folders, reads it.
#include "driver/board/dcf/dcffile.h"

#include <cstdio>
#include <cwctype>
#include <memory>

#include "driver/board/dcf/dcflinereader.h"
#include "driver/foundation/conversions.h"
#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"
#include "platform/os/process/environment.h"
#include "platform/os/process/regular_file.h"

namespace zor::board {

namespace {

using foundation::kImagingBoardLocation;
constexpr const wchar_t* kBoardKey = L"DravionLyn";
constexpr const wchar_t* kDcfPathValue = L"DCFPATH";
constexpr const wchar_t* kDcfPathVariable = L"DRAVIONLYNDCF";
constexpr const wchar_t* kBoardLine = L"DRAVIONLYN";
constexpr const wchar_t* kSectionLine = L"[REG_DIGIT]";
constexpr const wchar_t* kEndLine = L"[EOF]";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Only regular files count: a folder of the same name must not end the search, and a FIFO in a
// folder of the environment's list must not hold it.
File OpenForReading(const std::wstring& path) {
  const std::string narrow = foundation::WStringToUtf8(path);
  return File(narrow.empty() ? nullptr : os::OpenRegularFile(narrow, "r"));
}

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != L'\0'; ++i) {
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  }
  return i == a.size() && b[i] == L'\0';
}

std::wstring Environment(const wchar_t* name) {
  std::wstring value(1024, L'\0');
  uint32_t length = os::GetEnvironmentVariable(name, value.data(), value.size());
  if (length >= value.size()) {
    value.resize(length);
    length = os::GetEnvironmentVariable(name, value.data(), value.size());
    if (length >= value.size()) return {};
  }
  value.resize(length);
  return value;
}

std::wstring DcfFolderList() {
  std::wstring list;
  foundation::CRegistryKey key;
  foundation::CZORString registered;
  if (key.Open(kImagingBoardLocation, kBoardKey, false) &&
      key.ReadString(kDcfPathValue, registered)) {
    list = registered.CStr();
    list += L';';
  }
  list += Environment(kDcfPathVariable);
  return list;
}

// "~" at the start of a candidate stands for the home folder, when the result fits.
void ExpandHome(std::wstring& candidate) {
  if (candidate.empty() || candidate[0] != L'~') return;
  const std::wstring home = Environment(L"HOME");
  if (home.empty() || home.size() + candidate.size() - 1 >= kDcfPathCapacity) return;
  candidate.replace(0, 1, home);
}

// Appends the section's lines to the text, between its header and "[EOF]"; the error of the
// reads.
uint32_t ReadSection(std::FILE* file, std::wstring& line, std::wstring& text) {
  text += kSectionLine;
  text += L'\n';
  uint32_t error = 0;
  while (true) {
    const uint32_t result =
        ReadConfigLine(file, line, kConfigLineCapacity, kConfigModeSection, kConfigSkipComments);
    if (result == kConfigSectionEnd) break;
    error |= result;
    if (error != 0) return error;
    text += line;
    text += L'\n';
    // The text must stay within its size with the closing "[EOF]\n" and terminator.
    if (text.size() + 6 + 1 > kDcfTextCapacity) error |= kConfigLineFailed;
  }
  if (error != 0) return error;
  text += kEndLine;
  text += L'\n';
  return 0;
}

uint32_t ReadLine(std::FILE* file, std::wstring& line) {
  return ReadConfigLine(file, line, kConfigLineCapacity, kConfigModeAny, kConfigSkipComments);
}

}  // namespace

std::wstring MapStandardDcfName(const std::wstring& name) {
  if (EqualsIgnoringCase(name, L"Q_DEFAULT") || EqualsIgnoringCase(name, L"Q_RS170")) {
    return L"Rs170.dcf";
  }
  if (EqualsIgnoringCase(name, L"Q_CCIR")) return L"Ccir.dcf";
  if (EqualsIgnoringCase(name, L"Q_NTSC")) return L"Ntsc.dcf";
  if (EqualsIgnoringCase(name, L"Q_PAL")) return L"pal.dcf";
  return name;
}

uint32_t ResolveDcfPath(const std::wstring& fileName, int searchMode, std::wstring& path) {
  path.clear();
  if (fileName.empty() || fileName.size() >= kDcfPathCapacity) return kDcfPathNotFound;
  if (OpenForReading(fileName)) {
    path = fileName;
    return 0;
  }
  if (fileName[0] == L'/' || searchMode != kDcfSearchFolders) return kDcfPathNotFound;

  const std::wstring list = DcfFolderList();
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(L';', start);
    if (end == std::wstring::npos) end = list.size();
    if (end == start) break;
    std::wstring candidate = list.substr(start, end - start);
    if (candidate.back() != L'/' && candidate.back() != L'\\') candidate += L'/';
    candidate += fileName;
    ExpandHome(candidate);
    if (candidate.size() < kDcfPathCapacity && OpenForReading(candidate)) {
      path = std::move(candidate);
      return 0;
    }
    start = end + 1;
  }
  return kDcfPathNotFound;
}

std::optional<std::wstring> ReadDcfFile(const std::wstring& name, int searchMode) {
  std::wstring path;
  if (ResolveDcfPath(MapStandardDcfName(name), searchMode, path) != 0) return std::nullopt;
  File file = OpenForReading(path);
  if (!file) return std::nullopt;

  std::wstring text;
  std::wstring line;
  bool boardLineSeen = false;
  bool sectionFound = false;
  uint32_t error = ReadLine(file.get(), line);
  if (error == 0 && line == kEndLine) return std::nullopt;
  while (error == 0) {
    if (line == kBoardLine) boardLineSeen = true;
    if (line == kSectionLine) {
      error |= ReadSection(file.get(), line, text);
      if (error != 0) break;
      sectionFound = true;
    }
    error |= ReadLine(file.get(), line);
    if (error == 0 && line == kEndLine) break;
  }
  if (error != 0 || !boardLineSeen || !sectionFound) return std::nullopt;
  if (text.size() + 1 > kDcfTextCapacity) return std::nullopt;
  return text;
}

}  // namespace zor::board
