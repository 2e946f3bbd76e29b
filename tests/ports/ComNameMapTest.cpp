// Mapping COM names to devices through a folder of symbolic links.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ports/ComNameMap.h"
#include "serial/SerialTestSupport.h"
#include "support/ScopedEnv.h"

namespace korvane {
namespace {

class ComNameMapTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  ComNameMap map_{dir_.Path() + "/ports"};
};

TEST_F(ComNameMapTest, UnmappedPortsOpenTheMatchingTtyS) {
  EXPECT_EQ(map_.DevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(map_.DevicePath("COM99"), "/dev/ttyS98");
  EXPECT_FALSE(map_.IsMapped("COM1"));
}

TEST_F(ComNameMapTest, TextsThatAreNoComNameHaveNoDevice) {
  for (const char* name : {"", "com1", "COM0", "COM100", "../COM1", "COM1/x"}) {
    EXPECT_EQ(map_.DevicePath(name), "") << name;
    EXPECT_FALSE(map_.IsMapped(name)) << name;
  }
}

TEST_F(ComNameMapTest, AddPointsThePortAtTheDeviceAndCreatesTheFolder) {
  std::string error;
  ASSERT_TRUE(map_.Add("COM3", "/dev/pts/77", &error)) << error;
  EXPECT_TRUE(map_.IsMapped("COM3"));
  EXPECT_EQ(map_.DevicePath("COM3"), "/dev/pts/77");
  EXPECT_EQ(map_.DevicePath("COM4"), "/dev/ttyS3");
}

TEST_F(ComNameMapTest, AddNeverReplacesAnExistingMapping) {
  ASSERT_TRUE(map_.Add("COM3", "/dev/pts/77"));
  std::string error;
  EXPECT_FALSE(map_.Add("COM3", "/dev/pts/78", &error));
  EXPECT_NE(error.find("already exists"), std::string::npos) << error;
  EXPECT_EQ(map_.DevicePath("COM3"), "/dev/pts/77");
}

TEST_F(ComNameMapTest, AddRefusesNamesOutsideCom1ToCom99) {
  std::string error;
  EXPECT_FALSE(map_.Add("COM100", "/dev/pts/1", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(map_.Add("../evil", "/dev/pts/1"));
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/evil"));
}

TEST_F(ComNameMapTest, RemoveOnlyRemovesItsOwnMapping) {
  ASSERT_TRUE(map_.Add("COM3", "/dev/pts/77"));
  EXPECT_FALSE(map_.Remove("COM3", "/dev/pts/78"));
  EXPECT_TRUE(map_.IsMapped("COM3"));
  EXPECT_TRUE(map_.Remove("COM3", "/dev/pts/77"));
  EXPECT_FALSE(map_.IsMapped("COM3"));
  EXPECT_EQ(map_.DevicePath("COM3"), "/dev/ttyS2");
  EXPECT_FALSE(map_.Remove("COM3", "/dev/pts/77"));
}

TEST_F(ComNameMapTest, RelativeLinksAreResolvedAgainstTheFolder) {
  std::filesystem::create_directories(map_.Directory());
  ASSERT_EQ(::symlink("../dev-a", (map_.Directory() + "/COM5").c_str()), 0);
  EXPECT_EQ(map_.DevicePath("COM5"), map_.Directory() + "/../dev-a");
}

TEST_F(ComNameMapTest, AnEntryThatIsNoLinkIsOpenedItself) {
  std::filesystem::create_directories(map_.Directory());
  std::ofstream(map_.Directory() + "/COM6") << "x";
  EXPECT_TRUE(map_.IsMapped("COM6"));
  EXPECT_EQ(map_.DevicePath("COM6"), map_.Directory() + "/COM6");
}

TEST_F(ComNameMapTest, ALinkToANetworkAddressIsTakenAsOneNotAsAPath) {
  ASSERT_TRUE(map_.Add("COM5", "tcp://192.0.2.10:502"));
  ASSERT_TRUE(map_.Add("COM6", "tcp://192.0.2.10"));
  EXPECT_EQ(map_.DevicePath("COM5"), "tcp://192.0.2.10:502");
  EXPECT_TRUE(map_.IsNetworkMapped("COM5"));
  EXPECT_EQ(map_.NetworkTargetOf("COM5")->Port, 502);
  std::string reason;
  EXPECT_TRUE(map_.IsNetworkMapped("COM6"));
  EXPECT_FALSE(map_.NetworkTargetOf("COM6", &reason).has_value());
  EXPECT_EQ(reason, "Bad address: no port");
  ASSERT_TRUE(map_.Add("COM7", "/dev/pts/77"));
  EXPECT_FALSE(map_.IsNetworkMapped("COM7"));
  EXPECT_FALSE(map_.NetworkTargetOf("COM7").has_value());
}

TEST(ComNameMapUserDefault, UsesXdgConfigHomeElseHome) {
  test::ScopedEnv xdg("XDG_CONFIG_HOME");
  test::ScopedEnv home("HOME");
  ::setenv("HOME", "/home/op", 1);
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(ComNameMap::UserDefault().Directory(), "/cfg/korvane/ports");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ComNameMap::UserDefault().Directory(), "/home/op/.config/korvane/ports");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the XDG rules say
  EXPECT_EQ(ComNameMap::UserDefault().Directory(), "/home/op/.config/korvane/ports");
}

}  // namespace
}  // namespace korvane
