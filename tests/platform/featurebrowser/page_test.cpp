// The page, loaded by headless Chromium from the host's HTTP server: it lists the published
// maps, shows values as the device's nodes describe them, filters the tree, and follows changes
// either way. The test reads the rendered page through Chromium's DevTools protocol.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/driver/frameworkuser/genicam/publisherfixture.h"
#include "tests/platform/featurebrowser/headlesschromium.h"
#include "tests/platform/genapi/memoryport.h"
#include "tests/support/testdata/testdata.h"

namespace {

using featurebrowsertest::Output;
using featurebrowsertest::Row;

// A device with enumerations, 64-bit limits, representations, display notations and
// visibilities.
std::shared_ptr<GenApi::CNodeMapRef> MakeDeviceMap() {
  struct Device {
    genapitest::MemoryPort port;
    GenApi::CNodeMapRef ref{"Device"};
  };
  auto device = std::make_shared<Device>();
  device->ref._LoadXMLFromString(zortest::ReadTestData("featurebrowser/devicecam.xml").c_str());
  device->ref._Connect(&device->port, "Device");
  device->port.Put32(0, 1, false);
  GenApi::CFloatPtr(device->ref._GetNode("Gain"))->SetValue(3.14159);
  GenApi::CFloatPtr(device->ref._GetNode("Exposure"))->SetValue(0.0015);
  return std::shared_ptr<GenApi::CNodeMapRef>(device, &device->ref);
}

const char* const kVisibleRows =
    "[...document.querySelectorAll('#tree .feature')].filter(r => r.offsetParent !== null)"
    ".map(r => r.dataset.feature).join(',')";

TEST(FeatureBrowserPage, ShowsMapsValuesAndChanges) {
  const std::string chromium = featurebrowsertest::Chromium();
  if (chromium.empty())
    GTEST_SKIP() << "Debian's chromium is not installed; the page is not tested.";
  // The real page in place of the stand-in file of the fixture.
  featurebrowsertest::InstallPage(genicamtest::TestInstallFolder() / "tools" / "featurebrowser" /
                                  "resources" / "app" / "dist");
  const int port = featurebrowsertest::FreePort();
  auto publisher = genicamtest::MakePublisher("SysPage", true, port);
  auto map = genicamtest::MakePublishedMap("PageCam");
  publisher->AddNodeMap("PageCam", "device", genicamtest::DevicePrefixes("PageCam"), 0, map,
                        nullptr);
  publisher->AddNodeMap("OtherCam", "device", genicamtest::DevicePrefixes("OtherCam"), 0,
                        genicamtest::MakePublishedMap("OtherCam"), nullptr);
  auto device = MakeDeviceMap();
  publisher->AddNodeMap("DeviceCam", "device", genicamtest::DevicePrefixes("DeviceCam"), 0, device,
                        nullptr);

  const std::string output = Output();
  featurebrowsertest::PageInspector page(
      chromium, "profile", "http://localhost:" + std::to_string(port) + "/?map=PageCam");
  ASSERT_TRUE(page.Shown());

  const std::string widthValue =
      "(document.querySelector('[data-feature=\"Width\"]') || {dataset: {}}).dataset.value || ''";
  EXPECT_EQ(page.WaitFor(widthValue), "640");
  EXPECT_EQ(page.Evaluate("[...document.querySelectorAll('#maps li')].map(e => e.textContent)"
                          ".join(',')"),
            "DeviceCam,OtherCam,PageCam");
  EXPECT_EQ(page.Evaluate("document.querySelector('#maps li.selected').textContent"), "PageCam");
  EXPECT_EQ(page.Evaluate("document.getElementById('status').textContent"), "connected");
  const std::string rowText =
      page.Evaluate("document.querySelector('[data-feature=\"Width\"]').innerText");
  EXPECT_NE(rowText.find("16 … 1024"), std::string::npos) << rowText;

  // A change the application makes reaches the page through the subscription.
  GenApi::CIntegerPtr(map->_GetNode("Width"))->SetValue(777);
  EXPECT_EQ(page.WaitFor("(" + widthValue + ") === '777' ? 'yes' : ''"), "yes");
  EXPECT_EQ(page.Evaluate("document.querySelector('[data-feature=\"Width\"] .value').value"),
            "777");
  page.SaveScreenshot(output + "/page.png");
  EXPECT_GT(std::filesystem::file_size(output + "/page.png"), 1000u);

  // A device's map: each drop-down holds its enumeration's available entries by display name,
  // whatever other enumeration's name begins like its own.
  page.Evaluate(
      "[...document.querySelectorAll('#maps li')].find(li => li.title === 'DeviceCam')"
      ".click(), ''");
  ASSERT_EQ(page.WaitFor(Row("Offset") + " ? 'shown' : ''"), "shown");
  EXPECT_EQ(page.Evaluate("[...document.querySelectorAll('#tree select')].map(s => "
                          "s.closest('.feature').dataset.feature + '=' + [...s.options].map(o => "
                          "o.text + ':' + o.value).join('|')).join(' ')"),
            "PixelFormat=Mono 8:Mono8|RGB 8:RGB8 PixelFormat_Info=Packed Pixels:Packed");

  // 64-bit values and limits stay exact both ways; other integers and floats show as their
  // nodes describe them.
  EXPECT_EQ(page.Evaluate(Row("Offset") + ".dataset.min + ' ' + " + Row("Offset") + ".dataset.max"),
            "-9223372036854775808 9223372036854775807");
  EXPECT_EQ(page.Evaluate(Row("Offset") + ".querySelector('.range').textContent"),
            "-9223372036854775808 … 9223372036854775807");
  GenApi::CIntegerPtr offset(device->_GetNode("Offset"));
  offset->SetValue(INT64_MAX - 1);
  EXPECT_EQ(page.WaitFor(Row("Offset") + ".dataset.value === '9223372036854775806' ? " +
                         Row("Offset") + ".querySelector('.value').value : ''"),
            "9223372036854775806");
  const std::string write =
      "((row, v) => { const e = row.querySelector('.value'); e.value = v; "
      "e.dispatchEvent(new Event('change')); return ''; })";
  page.Evaluate(write + "(" + Row("Offset") + ", '-9223372036854775807')");
  for (int attempt = 0; attempt < 100 && offset->GetValue() != INT64_MIN + 1; ++attempt) {
    usleep(50000);
  }
  EXPECT_EQ(offset->GetValue(), INT64_MIN + 1);
  GenApi::CIntegerPtr address(device->_GetNode("Address"));
  address->SetValue(0xC0A80114);
  EXPECT_EQ(page.WaitFor(Row("Address") + ".querySelector('.value').value === '192.168.1.20' ? "
                                          "'dotted' : ''"),
            "dotted");
  page.Evaluate(write + "(" + Row("Address") + ", '10.0.0.1')");
  for (int attempt = 0; attempt < 100 && address->GetValue() != 0x0A000001; ++attempt) {
    usleep(50000);
  }
  EXPECT_EQ(address->GetValue(), 0x0A000001);
  EXPECT_EQ(page.Evaluate(Row("Gain") + ".querySelector('.value').value + ' ' + " + Row("Gain") +
                          ".querySelector('.unit').textContent"),
            "3.14 dB");
  EXPECT_EQ(page.Evaluate(Row("Exposure") + ".querySelector('.value').value"), "1.500e-03");
  // The widest value and range show whole.
  const std::string whole =
      "(e => e.scrollWidth <= e.clientWidth ? 'whole' : e.scrollWidth + ' > ' + e.clientWidth)";
  EXPECT_EQ(page.Evaluate(whole + "(" + Row("Offset") + ".querySelector('.range'))"), "whole");
  EXPECT_EQ(page.Evaluate(whole + "(" + Row("Offset") + ".querySelector('.value'))"), "whole");
  page.SaveScreenshot(output + "/device.png");

  // A device's texts are text: no markup of theirs becomes part of the page.
  page.Evaluate(Row("Shading") + ".click(), ''");
  EXPECT_EQ(page.Evaluate(Row("Shading") + ".querySelector('.label').textContent"),
            "Shading <b>table</b>");
  EXPECT_EQ(
      page.Evaluate("document.querySelectorAll('#tree b, #description b, img').length + ' ' + "
                    "document.title"),
      "0 Feature browser");

  // Visibility and search narrow the tree.
  EXPECT_EQ(page.Evaluate(kVisibleRows),
            "PixelFormat,PixelFormat_Info,Offset,Address,Gain,Exposure,Shading,FactoryTrim");
  const std::string choose =
      "((id, v, event) => { const e = document.getElementById(id); "
      "e.value = v; e.dispatchEvent(new Event(event)); return ''; })";
  page.Evaluate(choose + "('visibility', '1', 'change')");
  EXPECT_EQ(page.Evaluate(kVisibleRows),
            "PixelFormat,PixelFormat_Info,Offset,Address,Gain,Exposure,Shading");
  page.Evaluate(choose + "('visibility', '0', 'change')");
  EXPECT_EQ(page.Evaluate(kVisibleRows), "PixelFormat,PixelFormat_Info,Offset,Address,Gain");
  page.Evaluate(choose + "('search', 'pixel format', 'input')");
  EXPECT_EQ(page.Evaluate(kVisibleRows), "PixelFormat,PixelFormat_Info");
  EXPECT_EQ(page.Evaluate("document.documentElement.scrollWidth <= innerWidth ? 'fits' : 'wide'"),
            "fits");
  page.SaveScreenshot(output + "/device-filtered.png");
}

}  // namespace
