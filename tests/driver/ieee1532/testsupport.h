#pragma once

#include <string>
#include <vector>

#include "driver/firmware/jtagprogrammer.h"
#include "driver/ieee1532/bsdl/bsdlentity.h"

// A port that keeps the engine's messages and has no pins.
class MessagePort : public zor::firmware::CJtagProgrammer {
 public:
  MessagePort() {
    zor::firmware::SetCurrentJtagPort(this);
    commandSource_ = 1;  // files, not the lines
  }
  void WritePins(uint32_t) override {}
  uint32_t* ReadPins(uint32_t* pins) override { return pins; }
  void Message(const char* text) override { text_ += text, ++pieces_; }
  bool Saw(const std::string& piece) const { return text_.find(piece) != std::string::npos; }
  std::string text_;
  size_t pieces_ = 0;
};

// A scratch folder removed at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  std::string Write(const std::string& name, const std::string& text) const;
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The pieces a text lacks, a line each: empty when it holds them all.
std::string Missing(const std::string& text, const std::vector<std::string>& pieces);

// The pieces of a text between separators.
std::vector<std::string> Split(const std::string& text, char separator);

std::string TestDataPath(const std::string& relative);
// The text with the first occurrence of `from`, which must be there, replaced by `to`.
std::string Replace(std::string text, const std::string& from, const std::string& to);
std::string ReadText(const std::string& path);

// The text with what stands between every `before` and the next `after` replaced by `mask`.
std::string MaskBetween(std::string text, const std::string& before, const std::string& after,
                        const std::string& mask);
// The engine's text with what changes from run to run masked: dates, seconds and the folders of
// the examples and of scratch folders.
std::string Masked(std::string text);
// Compares an engine's text, masked, whole with tests/data/ieee1532/runs/<name>; with
// ZOR_WRITE_RUNS set, writes the file instead (after a deliberate change of the engine's output)
// and fails, so that a writing run is never taken for a passing one.
void ExpectRun(const std::string& text, const std::string& name);

// Every flow, procedure setting and IEEE 1532 attribute of an entity, a line each, for a whole
// comparison.
std::string DescribeFlows(const zor::isc::BsdlEntity& entity);

// Parses a BSDL file with a fresh engine state; false when the engine stopped.
bool ParseBsdl(const std::string& path, zor::isc::BsdlEntity& entity);
