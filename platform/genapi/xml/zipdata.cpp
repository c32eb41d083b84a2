#include "platform/genapi/xml/zipdata.h"

#include <strings.h>
#include <zip.h>

#include <fstream>
#include <iterator>

#include "platform/genapi/base/exceptions.h"

namespace GenApi {
namespace {

// Far above any device description or firmware, far below what a crafted
// archive could claim.
constexpr zip_uint64_t kMaxFileSize = zip_uint64_t{1} << 30;

}  // namespace

ZipData::ZipData(const void* data, size_t size)
    : bytes_(static_cast<const char*>(data), static_cast<const char*>(data) + size) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &error);
  if (source != nullptr) {
    archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (archive_ == nullptr) zip_source_free(source);
  }
  if (archive_ == nullptr) {
    const std::string message = zip_error_strerror(&error);
    zip_error_fini(&error);
    throw RUNTIME_EXCEPTION("Not a zip archive: %s", message.c_str());
  }
  zip_error_fini(&error);
}

ZipData::~ZipData() {
  if (archive_ != nullptr) zip_discard(archive_);
}

std::vector<std::string> ZipData::Names() const {
  std::vector<std::string> names;
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    if (const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), 0)) {
      names.push_back(name);
    }
  }
  return names;
}

bool ZipData::Has(const std::string& name) const {
  return zip_name_locate(archive_, name.c_str(), 0) >= 0;
}

std::string ZipData::Read(const std::string& name) const {
  zip_stat_t stat;
  if (zip_stat(archive_, name.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
    throw RUNTIME_EXCEPTION("The zip archive has no file '%s'", name.c_str());
  }
  if (stat.size > kMaxFileSize) {
    throw RUNTIME_EXCEPTION("'%s' in the zip is larger than %llu bytes", name.c_str(),
                            static_cast<unsigned long long>(kMaxFileSize));
  }
  zip_file_t* file = zip_fopen(archive_, name.c_str(), 0);
  if (file == nullptr) throw RUNTIME_EXCEPTION("Cannot open '%s' in the zip", name.c_str());
  std::string content(static_cast<size_t>(stat.size), '\0');
  const zip_int64_t read = zip_fread(file, content.data(), stat.size);
  zip_fclose(file);
  if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size) {
    throw RUNTIME_EXCEPTION("Cannot read '%s' from the zip", name.c_str());
  }
  return content;
}

std::string ZipData::FirstWithSuffix(const std::string& suffix) const {
  for (const std::string& name : Names()) {
    if (name.size() >= suffix.size() &&
        strcasecmp(name.c_str() + name.size() - suffix.size(), suffix.c_str()) == 0) {
      return name;
    }
  }
  throw RUNTIME_EXCEPTION("The zip archive holds no '%s' file", suffix.c_str());
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RUNTIME_EXCEPTION("Cannot open the file '%s'", path.c_str());
  try {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    // A directory, or a read error: callers expect a GenICam exception.
    throw RUNTIME_EXCEPTION("Cannot read the file '%s'", path.c_str());
  }
}

}  // namespace GenApi
