// The page on the board's own node maps, as a user meets it: control type 6905 publishes the
// system's and a digitizer's maps, headless Chromium shows them at 1280x900, and the test reads
// the rendered page (DevTools protocol) against what the application sees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/registry/registry.h"
#include "tests/driver/board/genicam/ownnodemapsfixture.h"
#include "tests/driver/frameworkuser/genicam/publisherfixture.h"
#include "tests/platform/featurebrowser/headlesschromium.h"

namespace zor::board {
namespace {

using featurebrowsertest::FreePort;
using featurebrowsertest::Quote;
using featurebrowsertest::Row;

constexpr QINT64 kFeatureBrowser = 6905;
constexpr QINT64 kGrabTimeout = 4127;
constexpr QINT64 kGrabMode = 4016;

std::string UrlEncode(const std::string& text) {
  static const char* const hex = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += hex[c >> 4];
      encoded += hex[c & 15];
    }
  }
  return encoded;
}

// Every enumeration of the map with the display names of its available entries, one line each,
// as the page's drop-downs must hold them.
std::string EnumerationEntries(GenApi::INodeMap& map) {
  GenApi::node_vector nodes;
  map.GetNodes(nodes);
  std::vector<std::string> lines;
  for (GenApi::INode* node : nodes) {
    if (node->GetPrincipalInterfaceType() != GenApi::intfIEnumeration || !node->IsFeature() ||
        node->GetVisibility() > GenApi::Guru) {
      continue;
    }
    GenApi::CEnumerationPtr enumeration(node);
    GenApi::NodeList_t entries;
    enumeration->GetEntries(entries);
    std::string line = std::string(node->GetName().c_str()) + "=";
    bool first = true;
    for (GenApi::INode* entry : entries) {
      if (!GenApi::IsAvailable(entry) || entry->GetVisibility() > GenApi::Guru) continue;
      line += (first ? "" : "|") + std::string(entry->GetDisplayName().c_str());
      first = false;
    }
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  std::string joined;
  for (const auto& line : lines) joined += line + "\n";
  return joined;
}

const char* const kShownEntries =
    "[...document.querySelectorAll('#tree select')].map(s => s.closest('.feature').dataset.feature"
    " + '=' + [...s.options].map(o => o.text).join('|')).sort().map(l => l + '\\n').join('')";

// Nothing of the page needs a sideways scroll: not the window, not one of its three columns.
const char* const kFitsWidth =
    "(() => { const d = document.documentElement;"
    " const wide = [d, ...document.querySelectorAll('main > *')]"
    " .filter(e => e.scrollWidth > e.clientWidth).map(e => e.tagName + ' ' + e.scrollWidth);"
    " return innerWidth + 'x' + innerHeight + (wide.length ? ' wide: ' + wide.join(', ') : ' "
    "fits'); })()";

const char* const kVisibleRows =
    "String([...document.querySelectorAll('#tree .feature')].filter(r => r.offsetParent !== null)"
    ".length)";

class OwnMapsPage : public OwnNodeMapsFixture {
 protected:
  void SetUp() override {
    chromium_ = featurebrowsertest::Chromium();
    if (chromium_.empty())
      GTEST_SKIP() << "Debian's chromium is not installed; the page is not tested.";
    // The browser program in the tools folder chooses the web road, and the real page is served.
    featurebrowsertest::InstallPage(genicamtest::TestInstallFolder() / "tools" / "featurebrowser" /
                                    "resources" / "app" / "dist");
    port_ = FreePort();
    os::Handle key = os::kNullHandle;
    os::RegCreateKey(os::HKEY_LOCAL_MACHINE,
                     L"Software\\Velant\\Imaging Board\\DravionLyn\\Parameters",
                     os::REG_OPTION_NON_VOLATILE, os::KEY_ALL_ACCESS, &key, nullptr);
    const uint32_t on = 1;
    const auto port = static_cast<uint32_t>(port_);
    os::RegSetValue(key, L"FeatureBrowserServer", os::REG_DWORD, &on, sizeof on);
    os::RegSetValue(key, L"FeatureBrowserServerPortNumber", os::REG_DWORD, &port, sizeof port);
    os::RegCloseKey(key);
    OwnNodeMapsFixture::SetUp();
  }

  std::string chromium_;
  int port_ = 0;
};

TEST_F(OwnMapsPage, ShowsEditsAndPollsTheBoardsMaps) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  QsysControl(system_, kFeatureBrowser, 16);
  ASSERT_EQ(ErrorCode(), 0);
  auto digitizerControl = Control(digitizer, L"QdigControl");
  auto systemControl = Control(system_, L"QsysControl");
  ASSERT_TRUE(digitizerControl && systemControl);
  const std::string digitizerMap = digitizerControl->BuildDeviceDisplayName();
  const std::string systemMap = systemControl->BuildDeviceDisplayName();

  const std::string output = featurebrowsertest::Output();
  featurebrowsertest::PageInspector page(
      chromium_, "ownmaps-profile",
      "http://localhost:" + std::to_string(port_) + "/?map=" + UrlEncode(digitizerMap));
  ASSERT_TRUE(page.Shown());
  // The tree is there once the descriptions have marked the polled features.
  ASSERT_EQ(page.WaitFor(Row("Q_GRAB_TIMEOUT") + " && " + Row("Q_GRAB_TIMEOUT") +
                         ".querySelector('.polled') ? 'yes' : ''"),
            "yes");

  // Maps by their path without the ids, which stay in the tool tip.
  EXPECT_EQ(page.Evaluate("[...document.querySelectorAll('#maps li')].map(li => li.title).sort()"
                          ".join('\\n')"),
            std::min(digitizerMap, systemMap) + "\n" + std::max(digitizerMap, systemMap));
  EXPECT_EQ(page.Evaluate("[...document.querySelectorAll('#maps li')].some(li => /[{}]/.test("
                          "li.textContent)) ? 'ids shown' : 'clean'"),
            "clean");
  EXPECT_EQ(page.Evaluate("document.querySelector('#maps li.selected').title"), digitizerMap);

  // Each drop-down holds exactly its enumeration's entries, by display name.
  EXPECT_EQ(page.Evaluate(kShownEntries), EnumerationEntries(*digitizerControl->NodeMap()->_Ptr));
  EXPECT_EQ(page.Evaluate("[...document.querySelectorAll('[data-feature=\"Q_CHANNEL\"] option')]"
                          ".map(o => o.value).join(',')"),
            "Q_CH0,Q_DEFAULT");

  // 64-bit limits exact in the document and in the description; floats by their notation.
  EXPECT_EQ(page.Evaluate(Row("Q_PROCESS_FRAME_COUNT") + ".dataset.min + ' ' + " +
                          Row("Q_PROCESS_FRAME_COUNT") + ".dataset.max"),
            "-9223372036854775808 9223372036854775807");
  page.Evaluate(Row("Q_SELECTED_FRAME_RATE") + ".click(), ''");
  GenApi::CFloatPtr rate(digitizerControl->NodeMap()->_GetNode("Q_SELECTED_FRAME_RATE"));
  char rateText[64];
  std::snprintf(rateText, sizeof rateText, "%g", rate->GetValue());
  EXPECT_EQ(page.Evaluate(Row("Q_SELECTED_FRAME_RATE") + ".querySelector('.value').value"),
            rateText);
  const std::string rateDescription = page.WaitFor(
      "document.getElementById('description').innerText.includes('1.79769e+308') ? "
      "document.getElementById('description').innerText : ''");
  EXPECT_NE(rateDescription.find("Hz"), std::string::npos) << rateDescription;
  EXPECT_NE(page.WaitFor("document.getElementById('code').textContent"), "");
  EXPECT_EQ(page.Evaluate(kFitsWidth), "1280x900 fits");
  page.SaveScreenshot(output + "/digitizer.png");
  page.Evaluate(Row("Q_NUMBER") + ".click(), ''");
  const std::string numberDescription =
      page.Evaluate("document.getElementById('description').innerText");
  EXPECT_NE(numberDescription.find("-9223372036854775808"), std::string::npos) << numberDescription;
  EXPECT_NE(numberDescription.find("9223372036854775807"), std::string::npos) << numberDescription;

  // A refused write shows its error once, a refresh does not repeat it, and the next good write
  // of the feature clears it and reaches the application.
  const std::string write = "(v => { const e = " + Row("Q_GRAB_TIMEOUT") +
                            ".querySelector('.value'); e.value = v; e.dispatchEvent(new "
                            "Event('change')); return ''; })";
  const std::string timeoutError =
      "document.querySelectorAll('#errors li[data-feature=\"Q_GRAB_TIMEOUT\"]')";
  page.Evaluate(write + "('soon')");
  EXPECT_NE(page.WaitFor(timeoutError + ".length === 1 ? " + timeoutError + "[0].textContent : ''"),
            "");
  EXPECT_EQ(page.Evaluate(Row("Q_GRAB_TIMEOUT") + ".classList.contains('error') ? 'marked' : ''"),
            "marked");
  page.SaveScreenshot(output + "/digitizer-error.png");
  page.Evaluate("document.querySelector('#maps li.selected').click(), ''");
  ASSERT_EQ(page.WaitFor(Row("Q_GRAB_TIMEOUT") + " && " + Row("Q_GRAB_TIMEOUT") +
                         ".querySelector('.polled') ? 'again' : ''"),
            "again");
  EXPECT_EQ(page.Evaluate("String(" + timeoutError + ".length)"), "1");
  page.Evaluate(write + "('5000')");
  EXPECT_EQ(page.WaitFor(timeoutError + ".length === 0 ? 'cleared' : ''"), "cleared");
  EXPECT_EQ(Inquire(digitizer, kGrabTimeout), 5000);
  EXPECT_EQ(page.Evaluate("document.getElementById('errors').children.length === 0 ? 'none' : "
                          "document.getElementById('errors').innerText"),
            "none");

  // A drop-down's choice reaches the application by its symbolic name.
  page.Evaluate(
      "(s => { s.value = 'Q_ASYNCHRONOUS'; s.dispatchEvent(new Event('change')); "
      "return ''; })(" +
      Row("Q_GRAB_MODE") + ".querySelector('select'))");
  QINT64 mode = 0;
  for (int attempt = 0; attempt < 100 && mode != 2; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    mode = Inquire(digitizer, kGrabMode);
  }
  EXPECT_EQ(mode, 2);

  // A plain control changes no node by name: switching polling on re-reads the page's values,
  // and while it is on a change shows within two polling periods.
  const std::string shownTimeout = Row("Q_GRAB_TIMEOUT") + ".dataset.value";
  const int64_t period = digitizerControl->NodeMap()->_GetNode("Q_GRAB_TIMEOUT")->GetPollingTime();
  ASSERT_GT(period, 0);
  QdigControl(digitizer, kGrabTimeout, 1234);
  std::this_thread::sleep_for(std::chrono::milliseconds(period));
  EXPECT_EQ(page.Evaluate(shownTimeout), "5000");
  page.Evaluate("document.getElementById('polling').click(), ''");
  EXPECT_EQ(page.WaitFor("(" + shownTimeout + ") === '1234' ? 'polled' : ''"), "polled");
  QdigControl(digitizer, kGrabTimeout, 4321);
  const auto changed = std::chrono::steady_clock::now();
  EXPECT_EQ(page.WaitFor("(" + shownTimeout + ") === '4321' ? 'polled' : ''"), "polled");
  EXPECT_LE(std::chrono::steady_clock::now() - changed, std::chrono::milliseconds(2 * period));

  // The search narrows the tree.
  const int all = std::stoi(page.Evaluate(kVisibleRows));
  page.Evaluate(
      "(s => { s.value = 'trigger'; s.dispatchEvent(new Event('input')); return ''; })"
      "(document.getElementById('search'))");
  const int found = std::stoi(page.Evaluate(kVisibleRows));
  EXPECT_GT(found, 0);
  EXPECT_LT(found, all);
  EXPECT_EQ(page.Evaluate("[...document.querySelectorAll('#tree .feature')].filter(r => "
                          "r.offsetParent !== null && !/trigger/i.test(r.innerText + "
                          "r.dataset.feature)).map(r => r.dataset.feature).join(',')"),
            "");
  EXPECT_EQ(page.Evaluate(kFitsWidth), "1280x900 fits");
  page.SaveScreenshot(output + "/search.png");
  page.Evaluate(
      "(s => { s.value = ''; s.dispatchEvent(new Event('input')); return ''; })"
      "(document.getElementById('search'))");
  EXPECT_EQ(std::stoi(page.Evaluate(kVisibleRows)), all);

  // The system's time-out is marked as the browser thread's own.
  page.Evaluate("[...document.querySelectorAll('#maps li')].find(li => li.title === " +
                Quote(systemMap) + ").click(), ''");
  ASSERT_EQ(page.WaitFor(Row("Q_TIMEOUT") + " ? 'shown' : ''"), "shown");
  EXPECT_EQ(page.Evaluate(Row("Q_TIMEOUT") + ".querySelector('.mark.per-thread') ? 'marked' : ''"),
            "marked");
  EXPECT_EQ(page.Evaluate("[...document.querySelectorAll('#tree .mark.per-thread')].length === 1 ? "
                          "'one' : 'several'"),
            "one");
  page.Evaluate(Row("Q_TIMEOUT") + ".click(), ''");
  EXPECT_NE(page.Evaluate("document.getElementById('description').innerText").find("thread"),
            std::string::npos);
  EXPECT_EQ(page.WaitFor("(" + std::string(kShownEntries) +
                         ") === " + Quote(EnumerationEntries(*systemControl->NodeMap()->_Ptr)) +
                         " ? 'same' : ''"),
            "same");
  EXPECT_EQ(page.Evaluate(kFitsWidth), "1280x900 fits");
  page.SaveScreenshot(output + "/system.png");

  page.Evaluate("document.getElementById('polling').click(), ''");
  QsysControl(system_, kFeatureBrowser, 34);
  QdigFree(digitizer);
}

}  // namespace
}  // namespace zor::board
