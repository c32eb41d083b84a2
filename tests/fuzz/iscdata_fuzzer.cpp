// ISC data files: reads the header, overrides and arrays against the example flash's BSDL
// entity and finds every section of every array, with the data held in memory; then finds
// the same sections again reading them from the file, the engine's other way.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/isc/iscdatafile.h"
#include "tests/fuzz/quietiscport.h"

using namespace zor::isc;

namespace {

// The engine reads data files by name; each process writes its inputs to a file of its own.
class InputFile {
 public:
  InputFile()
      : path_((std::filesystem::temp_directory_path() /
               ("zorfuzz-iscdata-" + std::to_string(getpid()) + ".isc"))
                  .string()) {}
  ~InputFile() { std::remove(path_.c_str()); }
  const std::string& Write(const uint8_t* data, size_t size) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path_;
  }

 private:
  std::string path_;
};

struct Section {
  std::string array;
  int phase;
};

// Reads the file and finds the sections given, or when none are given every section the file
// holds; returns the sections found.
std::vector<Section> ReadAll(const std::string& path, bool inMemory,
                             std::vector<Section> sections) {
  QuietIscPort port;
  IscGetSettings().holdIscDataInMemory = inMemory;
  try {
    BsdlEntity entity;
    IscInputFile bsdl;
    InputFileInit(bsdl, ZOR_FUZZ_FILES "/zorflash.bsd");
    InputFileReopen(bsdl, "r");
    BsdlParseFile(entity, bsdl);

    IscDataFile data;
    IscDataLookup lookup;
    InputFileInit(data.input, path);
    if (IscDataReadFile(data, kIscDataReadHeader, &entity, "", lookup) != 1) return {};
    if (sections.empty()) {
      for (const IscDataArray& array : data.arrays) {
        for (int phase = 0; phase < 3; ++phase) {
          if (array.hasSection[phase]) sections.push_back({array.name, phase});
        }
      }
    }
    for (const Section& section : sections) {
      IscDataFindSection(data, section.array, section.phase, lookup);
    }
    return sections;
  } catch (const EngineStop&) {
    return {};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static InputFile file;
  const std::string& path = file.Write(data, size);
  const std::vector<Section> sections = ReadAll(path, true, {});
  if (!sections.empty()) ReadAll(path, false, sections);
  return 0;
}
