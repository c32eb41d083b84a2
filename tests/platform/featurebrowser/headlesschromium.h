// Headless Chromium on one page, driven through its DevTools protocol: the page tests read the
// rendered page as a user's browser shows it.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace featurebrowsertest {

// Debian's chromium, or empty when it is not installed.
std::string Chromium();

// A loopback port that nothing listens on at the moment.
int FreePort();

// Chromium showing one address, ended with the object.
class Browser {
 public:
  Browser(const std::string& program, int devtoolsPort, const std::string& profile,
          const std::string& url);
  ~Browser();
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;
  bool Started() const { return pid_ != 0; }

 private:
  pid_t pid_ = 0;
};

// The DevTools connection to the browser's page.
class PageInspector {
 public:
  PageInspector();
  ~PageInspector();
  PageInspector(const PageInspector&) = delete;
  PageInspector& operator=(const PageInspector&) = delete;

  // Waits until Chromium lists its page; the page then shows at 1280x900.
  bool Connect(int devtoolsPort);
  // The value of a JavaScript expression that gives a text; empty for anything else.
  std::string Evaluate(const std::string& expression);
  // Polls the expression until it gives a nonempty text, or gives up after about 15 s.
  std::string WaitFor(const std::string& expression);
  // Writes the page as a PNG file.
  void SaveScreenshot(const std::string& path);

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
  int nextId_ = 0;
  std::string Call(const std::string& method, const std::string& params);
};

}  // namespace featurebrowsertest
