#include "platform/os/registry/key_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <fstream>

#include "platform/os/core/error.h"
#include "platform/os/process/environment.h"
#include "platform/os/process/regular_file.h"
#include "platform/os/registry/registry.h"
#include "platform/os/sync/thread.h"
#include "platform/os/text/convert.h"

namespace os::detail {
namespace {

constexpr char kHeader[] = "zor-registry-key 1";
constexpr char kKeyFile[] = ".key";
constexpr char kLockFile[] = ".lock";
constexpr char kHex[] = "0123456789abcdef";
// Longer folder names are shortened and made unique with a hash.
constexpr size_t kMaxFolderName = 200;

std::string Escape(const std::wstring& text) {
  std::string out;
  for (unsigned char c : WideToUtf8(text)) {
    if (c <= 0x20 || c == '%' || c == 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescape(const std::string& text, std::wstring* out) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int high = HexDigit(text[i + 1]);
    int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  *out = Utf8ToWide(bytes);
  return true;
}

bool ParseHex(std::string_view text, std::vector<unsigned char>* data) {
  if (text == "-") return true;
  if (text.size() % 2 != 0) return false;
  data->reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = HexDigit(text[i]);
    int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    data->push_back(static_cast<unsigned char>(high * 16 + low));
  }
  return true;
}

// The text up to the next space; removes it and the space from rest.
std::string_view NextWord(std::string_view& rest) {
  const size_t space = rest.find(' ');
  std::string_view word = rest.substr(0, space);
  rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
  return word;
}

// "value <type> <hex or -> =<escaped name>"
bool ParseValue(std::string_view rest, RegistryValue* value) {
  const std::string_view type = NextWord(rest);
  const std::string_view hex = NextWord(rest);
  const std::string_view name = NextWord(rest);
  if (!rest.empty() || name.empty() || name[0] != '=') return false;
  const auto [end, error] = std::from_chars(type.data(), type.data() + type.size(), value->type);
  if (error != std::errc() || end != type.data() + type.size() || type.empty()) return false;
  return ParseHex(hex, &value->data) && Unescape(std::string(name.substr(1)), &value->name);
}

uint32_t Parse(std::string_view text, KeyFile* key) {
  bool first = true;
  bool named = false;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (first) {
      if (line != kHeader) return ERROR_REGISTRY_CORRUPT;
      first = false;
    } else if (line.starts_with("name ")) {
      if (!Unescape(std::string(line.substr(5)), &key->name)) return ERROR_REGISTRY_CORRUPT;
      named = true;
    } else if (line.starts_with("boot ")) {
      key->bootId = line.substr(5);
    } else if (line.starts_with("value ")) {
      RegistryValue value;
      if (!ParseValue(line.substr(6), &value)) return ERROR_REGISTRY_CORRUPT;
      key->values.push_back(std::move(value));
    } else {
      return ERROR_REGISTRY_CORRUPT;
    }
  }
  return named ? ERROR_SUCCESS : ERROR_REGISTRY_CORRUPT;
}

std::string Serialize(const KeyFile& key) {
  std::string out = std::string(kHeader) + "\nname " + Escape(key.name) + "\n";
  if (!key.bootId.empty()) out += "boot " + key.bootId + "\n";
  for (const RegistryValue& value : key.values) {
    std::string hex;
    for (unsigned char c : value.data) {
      hex += kHex[c >> 4];
      hex += kHex[c & 15];
    }
    out += "value " + std::to_string(value.type) + " " + (hex.empty() ? "-" : hex) + " =" +
           Escape(value.name) + "\n";
  }
  return out;
}

uint32_t WriteKey(const std::filesystem::path& folder, const KeyFile& key) {
  std::filesystem::path temporary =
      folder / (std::string(kKeyFile) + ".tmp." + std::to_string(getpid()) + "." +
                std::to_string(GetCurrentThreadId()));
  const std::string text = Serialize(key);
  // Written, it would read as corrupt and could never be changed again.
  if (text.size() > kMaxKeyFileBytes) return ERROR_CANTWRITE;
  int error = 0;
  if (!WriteRegularFile(temporary, text)) {
    error = errno;
  } else if (rename(temporary.c_str(), (folder / kKeyFile).c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    unlink(temporary.c_str());
    return WriteFailure(error);
  }
  return ERROR_SUCCESS;
}

}  // namespace

KeyLock::KeyLock(const std::filesystem::path& folder, bool create) {
  const std::filesystem::path file = folder / kLockFile;
  for (;;) {
    // A folder that exists may still be moved away before the open.
    if (create && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
      error_ = errno;
      return;
    }
    fd_ = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0 && create && errno == ENOENT) continue;
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    struct stat held = {};
    struct stat current = {};
    const bool locked = flock(fd_, LOCK_EX) == 0 && fstat(fd_, &held) == 0;
    const int found = locked ? stat(file.c_str(), &current) : -1;
    if (found == 0 && current.st_ino == held.st_ino && current.st_dev == held.st_dev) return;
    const bool removed = locked && (found == 0 || errno == ENOENT);
    close(fd_);
    fd_ = -1;
    if (!removed) return;
  }
}

KeyLock::~KeyLock() {
  if (fd_ >= 0) close(fd_);
}

uint32_t KeyLock::failure(bool create) const {
  if (error_ != 0 && WriteFailure(error_) == ERROR_ACCESS_DENIED) return ERROR_ACCESS_DENIED;
  return create ? ERROR_CANTWRITE : ERROR_FILE_NOT_FOUND;
}

uint32_t WriteFailure(int error) {
  return error == EACCES || error == EPERM || error == EROFS ? ERROR_ACCESS_DENIED
                                                             : ERROR_CANTWRITE;
}

RegistryValue* KeyFile::FindValue(const std::wstring& valueName) {
  const std::wstring folded = FoldCase(valueName);
  for (RegistryValue& value : values) {
    if (FoldCase(value.name) == folded) return &value;
  }
  return nullptr;
}

uint32_t LoadKey(const std::filesystem::path& folder, KeyFile* key) {
  // The root comes from the environment: a FIFO or device planted as a key file must not hold
  // the reader, nor a huge file fill its memory; like a folder there, it is a corrupt key.
  std::string text;
  if (!ReadRegularFile(folder / kKeyFile, kMaxKeyFileBytes, &text)) {
    return errno == EINVAL || errno == EISDIR || errno == EFBIG ? ERROR_REGISTRY_CORRUPT
                                                                : ERROR_FILE_NOT_FOUND;
  }
  *key = KeyFile();
  uint32_t result = Parse(text, key);
  if (result == ERROR_SUCCESS && !key->bootId.empty() && key->bootId != CurrentBootId()) {
    return ERROR_FILE_NOT_FOUND;
  }
  return result;
}

uint32_t ChangeKey(const std::filesystem::path& folder, bool create,
                   const std::function<uint32_t(KeyFile& key, bool existed)>& change) {
  KeyLock lock(folder, create);
  if (!lock.locked()) return lock.failure(create);
  return ChangeLockedKey(folder, create, change);
}

uint32_t ChangeLockedKey(const std::filesystem::path& folder, bool create,
                         const std::function<uint32_t(KeyFile& key, bool existed)>& change) {
  KeyFile key;
  uint32_t result = LoadKey(folder, &key);
  const bool existed = result == ERROR_SUCCESS;
  if (result == ERROR_FILE_NOT_FOUND && create) {
    key = KeyFile();
  } else if (!existed) {
    return result;
  }
  result = change(key, existed);
  if (result == ERROR_SUCCESS) {
    result = WriteKey(folder, key);
  } else if (result == kKeyUnchanged) {
    result = ERROR_SUCCESS;
  }
  return result;
}

uint32_t RemoveKey(const std::filesystem::path& folder) {
  std::error_code error;
  KeyLock lock(folder, false);
  if (!lock.locked()) return lock.failure(false);
  KeyFile key;
  uint32_t result = LoadKey(folder, &key);
  if (result != ERROR_SUCCESS) return result;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    KeyFile child;
    if (entry.is_directory() && LoadKey(entry.path(), &child) == ERROR_SUCCESS) {
      return ERROR_ACCESS_DENIED;
    }
  }
  std::filesystem::remove(folder / kKeyFile, error);
  if (error) return WriteFailure(error.value());
  // The key is gone. Its folder is moved aside at once, so nothing new is
  // made inside while it goes; stale volatile sub-keys and the lock file go
  // with it.
  const std::filesystem::path removed =
      folder.parent_path() /
      (".removed." + std::to_string(getpid()) + "." + std::to_string(GetCurrentThreadId()));
  std::filesystem::remove_all(removed, error);
  std::filesystem::rename(folder, removed, error);
  if (!error) std::filesystem::remove_all(removed, error);
  return ERROR_SUCCESS;
}

std::wstring FoldCase(const std::wstring& name) {
  std::wstring folded = name;
  for (wchar_t& c : folded) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
      c = static_cast<wchar_t>(c + 0x20);
    } else if ((c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
      c = static_cast<wchar_t>(c + 0x20);
    } else if (c >= 0x400 && c <= 0x40F) {
      c = static_cast<wchar_t>(c + 0x50);
    }
  }
  return folded;
}

std::string FolderName(const std::wstring& name) {
  std::string out;
  for (unsigned char c : WideToUtf8(FoldCase(name))) {
    // A leading dot is escaped too, so no key can meet ".key" or ".lock".
    if ((isalnum(c) && c < 0x80) || c == '_' || c == '-' || (c == '.' && !out.empty())) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (out.size() > kMaxFolderName) {
    size_t hash = std::hash<std::string>()(out);
    out.resize(kMaxFolderName - 20);
    out += '~';
    out += std::to_string(hash);
  }
  return out;
}

std::string CurrentBootId() {
  if (std::string id = Setting("ZOR_BOOT_ID"); !id.empty()) return id;
  static const std::string kernelId = [] {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    return id.empty() ? std::string("unknown-boot") : id;
  }();
  return kernelId;
}

}  // namespace os::detail
