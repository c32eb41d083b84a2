// The test driver as a loadable library: the host loads it in place of the
// board driver, and it installs the test driver before the first command.
#include "tests/driver/frameworkuser/support/testdriver.h"

namespace {

const bool g_installed = [] {
  zor::frame::InstallTestDriver();
  return true;
}();

}  // namespace
