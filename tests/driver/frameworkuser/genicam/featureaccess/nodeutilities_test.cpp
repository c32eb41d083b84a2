// Feature reads and writes by name, the device label and the visibility
// filter of the node utilities, on maps of the test's own.
#include "driver/frameworkuser/genicam/featureaccess/nodeutilities.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "driver/frameworkuser/genicam/featureaccess/typedfeatureaccess.h"
#include "tests/driver/frameworkuser/genicam/featureaccess/proxymap.h"

namespace zor::genicam {
namespace {

const std::string kModeNode =
    "<Enumeration Name=\"Mode\"><EnumEntry Name=\"Slow\"><Value>1</Value></EnumEntry>"
    "<EnumEntry Name=\"Fast\"><Value>4</Value></EnumEntry><Value>1</Value></Enumeration>";

TEST(FeatureWrites, IntegersTextsBooleansAndEnumerationsReadBackByName) {
  ProxyMap m(false, std::string(kTestNodes) + kModeNode);
  EXPECT_EQ(WriteFeatureInteger(m.proxy, "Int", 7, &m.ctx, true), 0);
  EXPECT_EQ(m.ReadInteger("Int"), "0:7");
  // Any non-zero value sets a boolean.
  EXPECT_EQ(WriteFeatureInteger(m.proxy, "Flag", -3, &m.ctx, true), 0);
  EXPECT_EQ(m.ReadInteger("Flag"), "0:1");
  EXPECT_EQ(WriteFeatureInteger(m.proxy, "Mode", 4, &m.ctx, true), 0);
  EXPECT_EQ(m.ReadString("Mode"), "0:Fast");
  EXPECT_EQ(WriteFeatureString(m.proxy, "Text", "hello", &m.ctx, true), 0);
  EXPECT_EQ(m.ReadString("Text"), "0:hello");
  EXPECT_EQ(WriteFeatureString(m.proxy, "Int", "9", &m.ctx, true), 0);
  EXPECT_EQ(m.ReadString("Int"), "0:9");
  EXPECT_EQ(WriteFeatureString(m.proxy, "Mode", "Slow", &m.ctx, true), 0);
  EXPECT_EQ(m.ReadInteger("Mode"), "0:1");
  EXPECT_EQ(m.Code(), 0);
}

TEST(FeatureWrites, RefusedWritesNameTheValueAndLeaveTheFeature) {
  ProxyMap m;
  EXPECT_EQ(WriteFeatureInteger(m.proxy, "Int", 11, &m.ctx, true), kGenICamFailed);
  EXPECT_EQ(m.Code(), kFeatureAccessError);
  EXPECT_EQ(m.Text(1), L"Error writing <11> to feature <Int>.");
  EXPECT_FALSE(m.Text(2).empty());
  EXPECT_EQ(m.ReadInteger("Int"), "0:5");

  m.Clear();
  EXPECT_EQ(WriteFeatureString(m.proxy, "Int", "-2", &m.ctx, true), kGenICamFailed);
  EXPECT_EQ(m.Text(1), L"Error writing <-2> to feature <Int>.");

  // A float cannot take an integer: that is a failure, not a silent success.
  m.Clear();
  EXPECT_EQ(WriteFeatureInteger(m.proxy, "Gain", 2, &m.ctx, true), kGenICamFailed);
  EXPECT_EQ(m.TakeError(), "4427/3");
  EXPECT_EQ(m.ReadString("Gain"), "0:1.5");

  // The look-up's own failures come back unchanged.
  m.Clear();
  EXPECT_EQ(WriteFeatureInteger(m.proxy, "Nope", 1, &m.ctx, true), kGenICamFailed);
  EXPECT_EQ(m.TakeError(), "4422/1");
  EXPECT_EQ(WriteFeatureString(m.proxy, "Polled", "3", &m.ctx, true), kGenICamFailed);
  EXPECT_EQ(m.Code(), kFeatureAccessError);
  m.Clear();
  EXPECT_EQ(m.ReadString("WriteOnly"), std::to_string(kGenICamFailed) + ":99");
  EXPECT_EQ(m.Code(), kFeatureAccessError);
}

TEST(DeviceDisplayLabel, OnlyTheMakersExactNameIsLeftOut) {
  ProxyMap other;
  EXPECT_EQ(GetDeviceDisplayLabel(other.proxy), "TestVendor TestModel");
  const std::string model = "<String Name=\"DeviceModelName\"><Value>Lyn</Value></String>";
  ProxyMap own(false, model +
                          "<String Name=\"DeviceVendorName\"><Value>VelantImagingLtd</Value>"
                          "</String>");
  EXPECT_EQ(GetDeviceDisplayLabel(own.proxy), "Lyn");
  ProxyMap lower(false, model +
                            "<String Name=\"DeviceVendorName\"><Value>velantimagingltd</Value>"
                            "</String>");
  EXPECT_EQ(GetDeviceDisplayLabel(lower.proxy), "velantimagingltd Lyn");
}

// Only nodes under Root are features.
TEST(VisibleFeatures, ImplementedFeaturesUpToTheGivenVisibilityPassInOrder) {
  ProxyMap m(false,
             "<Integer Name=\"Guru\"><Visibility>Guru</Visibility><Value>1</Value></Integer>"
             "<Integer Name=\"Unseen\"><Visibility>Invisible</Visibility><Value>1</Value>"
             "</Integer>"
             "<Integer Name=\"Plain\"><Value>1</Value></Integer>"
             "<Integer Name=\"Zero\"><Value>0</Value></Integer>"
             "<Integer Name=\"Absent\"><pIsImplemented>Zero</pIsImplemented><Value>1</Value>"
             "</Integer>"
             "<Category Name=\"Root\"><pFeature>Guru</pFeature><pFeature>Plain</pFeature>"
             "<pFeature>Only</pFeature></Category>"
             "<Category Name=\"Only\"><pFeature>Unseen</pFeature><pFeature>Absent</pFeature>"
             "</Category>");
  GenApi::FeatureList_t in;
  for (const char* name : {"Guru", "Absent", "Unseen", "Plain", "Zero"}) {
    in.push_back(dynamic_cast<GenApi::IValue*>(m.proxy.NodeMap()->_GetNode(name)));
  }
  GenApi::FeatureList_t out{in[0]};
  FilterVisibleFeatures(m.proxy, out, in, GenApi::Invisible);
  EXPECT_EQ(out, (GenApi::FeatureList_t{in[0], in[2], in[3]}));
  FilterVisibleFeatures(m.proxy, out, in, GenApi::Beginner);
  EXPECT_EQ(out, GenApi::FeatureList_t{in[3]});
  // An invisible feature still counts under its category; an absent one not.
  EXPECT_EQ(GetCategoryFeatureCount(m.proxy, m.proxy.NodeMap()->_GetNode("Only")), 1);
}

}  // namespace
}  // namespace zor::genicam
