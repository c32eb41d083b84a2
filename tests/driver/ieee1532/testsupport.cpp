#include "tests/driver/ieee1532/testsupport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "tests/support/testdata/testdata.h"

using namespace zor::isc;

namespace {

// A scratch folder's path, its six random characters as '?'.
std::string ScratchFolderPattern() {
  return (std::filesystem::temp_directory_path() / "iscengine.??????").string();
}

}  // namespace

ScratchFolder::ScratchFolder() {
  std::string pattern = ScratchFolderPattern();
  pattern.replace(pattern.size() - 6, 6, "XXXXXX");
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

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::istringstream in(text);
  for (std::string piece; std::getline(in, piece, separator);) pieces.push_back(piece);
  return pieces;
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

namespace {

// Whether the text at `at` has the shape: 'A' an upper-case letter, 'a' a lower-case one, '9' a
// digit, '_' a digit or a space, '?' any character, anything else itself.
bool HasShape(const std::string& text, size_t at, const std::string& shape) {
  if (at + shape.size() > text.size()) return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    const char c = text[at + i], s = shape[i];
    const bool fits = s == 'A'   ? isupper(c)
                      : s == 'a' ? islower(c)
                      : s == '9' ? isdigit(c)
                      : s == '_' ? (isdigit(c) || c == ' ')
                      : s == '?' ? true
                                 : c == s;
    if (!fits) return false;
  }
  return true;
}

}  // namespace

std::string MaskBetween(std::string text, const std::string& before, const std::string& after,
                        const std::string& mask) {
  for (size_t at = text.find(before); at != std::string::npos; at = text.find(before, at)) {
    at += before.size();
    const size_t end = text.find(after, at);
    if (end == std::string::npos) break;
    text.replace(at, end - at, mask);
  }
  return text;
}

std::string Masked(std::string text) {
  const std::string date = "Aaa Aaa _9 99:99:99 9999";
  const std::string scratch = ScratchFolderPattern();
  for (size_t at = 0; at < text.size(); ++at) {
    if (HasShape(text, at, date)) text.replace(at, date.size(), "DATE");
    if (HasShape(text, at, scratch)) text.replace(at, scratch.size(), "SCRATCH");
  }
  text = MaskBetween(text, "runtime: ", " ]---", "N sec");
  text = MaskBetween(text, "for iteration [1] = ", " seconds >", "N");
  for (const auto& [folder, mask] :
       {std::pair{ZOR_EXAMPLES_DIR, "EXAMPLES"}, {ZOR_TESTDATA_DIR, "TESTDATA"}}) {
    for (size_t at; (at = text.find(folder)) != std::string::npos;) {
      text.replace(at, strlen(folder), mask);
    }
  }
  return text;
}

void ExpectRun(const std::string& text, const std::string& name) {
  const std::string path = TestDataPath("ieee1532/runs/" + name);
  // A run that writes its expectations proves nothing: it never passes.
  if (getenv("ZOR_WRITE_RUNS") != nullptr) {
    std::ofstream(path, std::ios::binary) << Masked(text);
    ADD_FAILURE() << name << " written afresh: check it by hand, then run without ZOR_WRITE_RUNS";
    return;
  }
  EXPECT_EQ(Masked(text), ReadText(path)) << name;
}

namespace {

std::string Words(const std::vector<uint32_t>& words) {
  std::string text;
  char word[12];
  for (auto at = words.rbegin(); at != words.rend(); ++at) {
    snprintf(word, sizeof(word), "%s%X", text.empty() ? "" : "_", *at);
    text += word;
  }
  return text;
}

std::string Value(const BsdlFieldValue& v) {
  return std::to_string(v.kind) + "/" + std::to_string(v.variable) + ":" + Words(v.words) + v.op +
         std::to_string(v.count) + (v.mark ? std::string(1, v.mark) : "");
}

std::string Fields(const char* label, const std::vector<BsdlField>& fields) {
  std::string text;
  for (const BsdlField& f : fields) {
    text += std::string(" ") + label + std::to_string(f.width) + "=" + Value(f.value) + "*" +
            Value(f.mask);
  }
  return text;
}

void DescribeActivities(const BsdlEntity& entity, const std::vector<BsdlActivity>& list,
                        const std::string& indent, std::string& text) {
  char wait[80];
  for (const BsdlActivity& a : list) {
    if (a.isLoop) {
      text +=
          indent + "loop " + std::to_string(a.minLoop) + ".." + std::to_string(a.maxLoop) + "\n";
      DescribeActivities(entity, a.loop, indent + "  ", text);
      continue;
    }
    snprintf(wait, sizeof(wait), " wait %d %g max %d %g", a.wait.minTck, a.wait.minTime,
             a.wait.maxTck, a.wait.maxTime);
    text += indent + (a.opcode < 0 ? "?" : entity.opcodes[static_cast<size_t>(a.opcode)].name) +
            wait + (a.crc ? " crc" : "") + (a.ost ? " ost" : "") + Fields("u", a.update) +
            Fields("c", a.capture) + "\n";
  }
}

}  // namespace

std::string DescribeFlows(const BsdlEntity& e) {
  char head[160];
  snprintf(head, sizeof(head), "status %d clamp %d pin %s tck %s %g edition %d\nblank %s\n",
           e.iscStatus, e.pinBehaviorClamp, e.pinBehaviorOpcode.c_str(), e.tckPort.c_str(),
           e.tckFrequency, e.edition, e.blankUsercode.c_str());
  std::string text = head;
  text += "disable results";
  for (const BsdlCell& cell : e.cells) text += " " + std::to_string(cell.disableResult);
  text += "\n";
  for (const BsdlOpcode& o : e.opcodes) text += o.isPrivate ? "private " + o.name + "\n" : "";
  for (const BsdlAction& a : e.actions) {
    text += "action " + a.name + "(" + a.dataName + ")" + (a.proprietary ? " proprietary" : "");
    for (const BsdlActionProcedure& p : a.procedures) text += " " + std::to_string(p.setting);
    text += "\n";
  }
  for (const BsdlFlow& f : e.flows) {
    text += "flow " + f.name + "(" + f.dataName + ")" + (f.unprocessed ? " unprocessed" : "") +
            (f.exitOnError ? " exit_on_error" : "") + " repeat " + std::to_string(f.repeatCount) +
            " data " + std::to_string(f.dataCount) + "\n";
    for (const BsdlVariable& v : f.variables) {
      text += "  $" + v.name + " " + std::to_string(v.width) + " = " + Words(v.initial) + "\n";
    }
    for (int phase = 0; phase < 3; ++phase) {
      if (!f.hasPhase[phase]) continue;
      text += "  phase " + std::to_string(phase) + "\n";
      DescribeActivities(e, f.phases[phase], "    ", text);
    }
  }
  return text;
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
