// The example code of one digitizer feature, as a browser user copies it, built into a program
// against libZOR.so's header and run on the simulated board: it sets the feature and reads it back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

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

class FeatureCodeProgram : public OwnNodeMapsFixture {};

TEST_F(FeatureCodeProgram, DigitizerFeatureCodeBuildsAndRunsOnTheBoard) {
#if defined(__SANITIZE_THREAD__)
  // The program started from this process dies inside ThreadSanitizer's runtime before its first
  // line; the sanitizer build of the test command builds and runs it.
  GTEST_SKIP() << "example program not run under ThreadSanitizer";
#endif
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
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
  const std::string build = std::string(ZOR_EXAMPLE_COMPILER) + " -std=c++20 " + ZOR_EXAMPLE_FLAGS +
                            " -I" + ZOR_SOURCE_DIR + " " + (folder / "example.cpp").string() +
                            " -o " + (folder / "example").string() + " " + ZOR_HOST_LIBRARY +
                            " -Wl,-rpath," +
                            std::filesystem::path(ZOR_HOST_LIBRARY).parent_path().string();
  // The compiler may warn (a sanitizer runtime's linker notes); only a failure counts.
  const std::string buildOutput = RunAndRead(build);
  ASSERT_EQ(buildOutput.find("(failed)"), std::string::npos) << buildOutput << code;
  EXPECT_EQ(RunAndRead((folder / "example").string()), "4321\n");
}

}  // namespace
}  // namespace zor::board
