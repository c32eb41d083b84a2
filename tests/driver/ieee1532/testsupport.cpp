#include "tests/driver/ieee1532/testsupport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "tests/support/testdata/testdata.h"

using namespace zor::isc;

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "iscengine.XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::Write(const std::string& name, const std::string& text) const {
  std::string path = Path(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string Missing(const std::string& text, const std::vector<std::string>& pieces) {
  std::string missing;
  for (const std::string& piece : pieces) {
    if (text.find(piece) == std::string::npos) missing += piece + "\n";
  }
  return missing;
}

std::string TestDataPath(const std::string& relative) { return zortest::TestDataPath(relative); }

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ParseBsdl(const std::string& path, BsdlEntity& entity) {
  IscEngineInitGlobals();
  try {
    IscInputFile input;
    InputFileInit(input, path);
    InputFileReopen(input, "r");
    return BsdlParseFile(entity, input) == 1;
  } catch (const EngineStop&) {
    return false;
  }
}
