#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct zip;

namespace GenApi {

// The files of a zip archive held in memory.
class ZipData {
 public:
  ZipData(const void* data, size_t size);
  ~ZipData();
  ZipData(const ZipData&) = delete;
  ZipData& operator=(const ZipData&) = delete;

  std::vector<std::string> Names() const;
  bool Has(const std::string& name) const;
  std::string Read(const std::string& name) const;
  // The first file whose name ends in the suffix, ignoring case.
  std::string FirstWithSuffix(const std::string& suffix) const;

 private:
  std::vector<char> bytes_;
  ::zip* archive_ = nullptr;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace GenApi
