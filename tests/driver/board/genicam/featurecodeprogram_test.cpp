// The example code of one digitizer feature, as a browser user copies it, built into a program
// against libZOR.so's header and run on the simulated board: it sets the feature and reads it back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/featurecodegenerator.h"
#include "tests/driver/board/genicam/ownnodemapsfixture.h"

namespace zor::board {
namespace {

std::string RunAndRead(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char chunk[256];
    while (fgets(chunk, sizeof chunk, pipe) != nullptr) output += chunk;
    if (pclose(pipe) != 0) output += "(failed)";
  }
  return output;
}

// An application around the snippet: it allocates what the snippet's variables name.
std::string Program(const std::string& snippet, const std::string& variable) {
  return "#include <cstdio>\n"
         "#include \"platform/host/zor.h\"\n"
         "int main() {\n"
         "QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);\n"
         "QID ZorSystem = QsysAlloc(Q_DEFAULT, L\"Q_SYSTEM_DRAVIONLYN\", 0, Q_DEFAULT, nullptr);\n"
         "QID ZorDigitizer = 0;\n"
         "QdigAlloc(ZorSystem, 0, L\"Q_NTSC\", Q_DEFAULT, &ZorDigitizer);\n"
         "if (ZorDigitizer == 0) {\n"
         "  std::printf(\"no digitizer: %lld\\n\", static_cast<long long>(QappGetError(Q_DEFAULT, "
         "Q_CURRENT, nullptr)));\n"
         "  return 3;\n"
         "}\n" +
         snippet + "std::printf(\"%lld\\n\", static_cast<long long>(" + variable + "));\n" +
         "QdigFree(ZorDigitizer);\n"
         "QsysFree(ZorSystem);\n"
         "return 0;\n"
         "}\n";
}

// The command that builds an example program as an application builds it: the project's
// compiler with this build's sanitizers, the headers of `include`, and libZOR.so.
std::string BuildCommand(const std::string& include, const std::filesystem::path& source,
                         const std::filesystem::path& program) {
  return std::string(ZOR_EXAMPLE_COMPILER) + " -std=c++20 " + ZOR_EXAMPLE_FLAGS + " -I" + include +
         " " + source.string() + " -o " + program.string() + " " + ZOR_HOST_LIBRARY +
         " -Wl,-rpath," + std::filesystem::path(ZOR_HOST_LIBRARY).parent_path().string();
}

class FeatureCodeProgram : public OwnNodeMapsFixture {
 protected:
  void SetUp() override {
    OwnNodeMapsFixture::SetUp();
#if defined(__SANITIZE_THREAD__)
    // The program started from this process dies inside ThreadSanitizer's runtime before its
    // first line; the sanitizer build of the test command builds and runs it.
    GTEST_SKIP() << "example program not run under ThreadSanitizer";
#endif
    digitizer_ = Digitizer(L"Q_NTSC");
    ASSERT_NE(digitizer_, 0) << ErrorCode();
  }

  QID digitizer_ = 0;
};

TEST_F(FeatureCodeProgram, DigitizerFeatureCodeBuildsAndRunsOnTheBoard) {
  const QID digitizer = digitizer_;
  // A value that a new digitizer does not have, so that the program's read shows its write.
  QdigControl(digitizer, Q_GRAB_TIMEOUT, 4321);
  std::shared_ptr<genicam::GenICamControl> control = Control(digitizer, L"QdigControl");
  ASSERT_NE(control, nullptr);
  const genicam::GenICamManifestInfo info = control->GetManifestInfo();
  genicam::FeatureCodePrefixes prefixes;
  prefixes.inquireFunction = info.inquireFunction;
  prefixes.controlFunction = info.controlFunction;
  prefixes.objectVariable = info.objectClass;
  GenApi::INode* node = Node(digitizer, L"QdigControl", "Q_GRAB_TIMEOUT");
  ASSERT_NE(node, nullptr);
  genicam::FeatureCodeGenerator generator(prefixes, Q_DIGITIZER);
  generator.FillNodeList(node);
  const std::string code = generator.Generate();
  ASSERT_NE(code.find("QdigControl(ZorDigitizer, Q_GRAB_TIMEOUT, 4321);"), std::string::npos)
      << code;
  ASSERT_NE(code.find("ZOR_INT GrabTimeout;"), std::string::npos) << code;

  const std::filesystem::path folder = genicam_ / "example";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "example.cpp") << Program(code, "GrabTimeout");
  const std::string build =
      BuildCommand(ZOR_SOURCE_DIR, folder / "example.cpp", folder / "example");
  // The compiler may warn (a sanitizer runtime's linker notes); only a failure counts.
  const std::string buildOutput = RunAndRead(build);
  ASSERT_EQ(buildOutput.find("(failed)"), std::string::npos) << buildOutput << code;
  EXPECT_EQ(RunAndRead((folder / "example").string()), "4321\n");
}

// One own node map and how its example code names things in one style.
struct MapStyle {
  const char* name;
  bool system;
  const wchar_t* module;
  genicam::FeatureCodePrefixes prefixes;
  int64_t objectType;  // 0: the feature style
};

std::vector<MapStyle> MapStyles() {
  std::vector<MapStyle> styles;
  for (const bool system : {true, false}) {
    const std::string object = system ? "Qsys" : "Qdig";
    MapStyle control{system ? "system-controltype" : "digitizer-controltype",
                     system,
                     system ? L"QsysControl" : L"QdigControl",
                     {},
                     system ? Q_SYSTEM : Q_DIGITIZER};
    control.prefixes.inquireFunction = object + "Inquire";
    control.prefixes.controlFunction = object + "Control";
    control.prefixes.objectVariable = system ? "ZorSystem" : "ZorDigitizer";
    MapStyle feature = control;
    feature.name = system ? "system-feature" : "digitizer-feature";
    feature.objectType = 0;
    feature.prefixes.inquireFunction = object + "InquireFeature";
    feature.prefixes.controlFunction = object + "ControlFeature";
    feature.prefixes.featureNamePrefix = object + "Control:";
    styles.push_back(control);
    styles.push_back(feature);
  }
  return styles;
}

// Every feature's code in a function of its own; the program reports each one's error.
std::string MapProgram(const std::vector<std::pair<std::string, std::string>>& codes) {
  std::string functions;
  std::string calls;
  for (size_t i = 0; i < codes.size(); ++i) {
    const std::string name = "Feature" + std::to_string(i);
    functions += "static void " + name + "(QID ZorSystem, QID ZorDigitizer) {\n" +
                 "(void)ZorSystem;\n(void)ZorDigitizer;\n" + codes[i].second + "}\n";
    calls += name + "(ZorSystem, ZorDigitizer);\nReport(\"" + codes[i].first + "\");\n";
  }
  return "#include <cstdio>\n#include <zor/zor.h>\n" + functions +
         "static void Report(const char* feature) {\n"
         "  std::printf(\"%s %lld\\n\", feature,\n"
         "              static_cast<long long>(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr)));\n"
         "}\n"
         "int main() {\n"
         "QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);\n"
         "QID ZorSystem = QsysAlloc(Q_DEFAULT, L\"Q_SYSTEM_DRAVIONLYN\", 0, Q_DEFAULT, nullptr);\n"
         "QID ZorDigitizer = QdigAlloc(ZorSystem, Q_DEFAULT, L\"Q_NTSC\", Q_DEFAULT, nullptr);\n"
         "if (ZorDigitizer == 0) return 3;\n" +
         calls + "QdigFree(ZorDigitizer);\nQsysFree(ZorSystem);\nreturn 0;\n}\n";
}

TEST_F(FeatureCodeProgram, EveryOwnFeatureInBothStylesBuildsAgainstTheInstalledHeadersAndRuns) {
  const std::filesystem::path folder = genicam_ / "examples";
  std::filesystem::create_directories(folder);
  std::string build;
  std::vector<MapStyle> styles = MapStyles();
  std::vector<std::string> allCode(styles.size());
  for (size_t s = 0; s < styles.size(); ++s) {
    const QID object = styles[s].system ? system_ : digitizer_;
    GenApi::INode* root = Node(object, styles[s].module, "Root");
    ASSERT_NE(root, nullptr) << styles[s].name;
    std::vector<std::pair<std::string, std::string>> codes;
    for (GenApi::INode* node : genicam::CollectSelectedFeatures(root)) {
      if (node->GetPrincipalInterfaceType() == GenApi::intfICategory) continue;
      genicam::FeatureCodeGenerator generator(styles[s].prefixes, styles[s].objectType);
      generator.FillNodeList(node);
      codes.emplace_back(node->GetName().c_str(), generator.Generate());
      allCode[s] += codes.back().second;
    }
    ASSERT_GT(codes.size(), 40u) << styles[s].name;
    const std::filesystem::path source = folder / (std::string(styles[s].name) + ".cpp");
    std::ofstream(source) << MapProgram(codes);
    // The four programs build side by side.
    const std::string program = (folder / styles[s].name).string();
    build += "(" + BuildCommand(ZOR_APPLICATION_INCLUDE, source, program) + " > " + program +
             ".log 2>&1 || echo " + styles[s].name + " >> " + (folder / "failed").string() + ") & ";
  }
  RunAndRead(build + "wait");
  ASSERT_FALSE(std::filesystem::exists(folder / "failed"))
      << RunAndRead("cat " + (folder / "*.log").string());
  for (size_t s = 0; s < styles.size(); ++s) {
    const std::string output = RunAndRead((folder / styles[s].name).string());
    std::istringstream lines(output);
    std::string feature;
    long long error = 0;
    size_t reported = 0;
    while (lines >> feature >> error) {
      ++reported;
      EXPECT_EQ(error, 0) << styles[s].name << " " << feature << "\n" << allCode[s];
    }
    EXPECT_GT(reported, 40u) << styles[s].name << ": " << output;
  }
}

}  // namespace
}  // namespace zor::board
