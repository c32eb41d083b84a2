// Headless Chromium on one page, driven through its DevTools protocol: the page tests read the
// rendered page as a user's browser shows it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>

namespace featurebrowsertest {

// Debian's chromium, or empty when it is not installed.
std::string Chromium();

// The text as a JSON string, which is a JavaScript string literal as well.
std::string Quote(const std::string& text);

// A loopback port that nothing listens on at the moment.
int FreePort();

// Chromium showing one address, and the DevTools connection to its page; the browser ends with
// the object.
class PageInspector {
 public:
  // The profile goes to a folder of that name among the test's outputs.
  PageInspector(const std::string& program, const std::string& profile, const std::string& url);
  ~PageInspector();
  PageInspector(const PageInspector&) = delete;
  PageInspector& operator=(const PageInspector&) = delete;

  // Whether the browser started and listed its page, which then shows at 1280x900.
  bool Shown() const { return shown_; }
  // The value of a JavaScript expression that gives a text; empty for anything else.
  std::string Evaluate(const std::string& expression);
  // Polls the expression until it gives a nonempty text, or gives up after about 15 s.
  std::string WaitFor(const std::string& expression);
  // Writes the page as a PNG file.
  void SaveScreenshot(const std::string& path);

 private:
  struct Connection;
  pid_t pid_ = 0;
  std::unique_ptr<Connection> connection_;
  bool shown_ = false;
  int nextId_ = 0;
  bool Connect(int devtoolsPort);
  std::string Call(const std::string& method, const std::string& params);
};

// Puts the real page in place of the stand-in files in `dist`, and makes the outputs' folder.
void InstallPage(const std::filesystem::path& dist);

// The folder of the test's screenshots and browser profiles.
inline std::string Output() { return ZOR_TEST_OUTPUT_DIR; }

// The script that finds a feature's row in the page's tree.
inline std::string Row(const std::string& feature) {
  return "document.querySelector('[data-feature=\"" + feature + "\"]')";
}

}  // namespace featurebrowsertest
