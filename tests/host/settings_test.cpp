#include <cstdlib>
#include <fstream>

#include "host_fixture.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;

using SettingsTest = HostTest;

TEST_F(SettingsTest, SetHomeMakesTheFolderAndSetsAnAbsoluteVxhome) {
  const fs::path home = home_.path() / "a" / "b";
  vxhost::setHome(home.string() + "/");
  EXPECT_TRUE(fs::is_directory(home));
  EXPECT_EQ(std::string(std::getenv("VXHOME")), home.string());
}

TEST_F(SettingsTest, SetHomeRefusesWhatCannotBeAHome) {
  std::ofstream(home_.path() / "file") << "x";
  EXPECT_THROW(vxhost::setHome(""), std::runtime_error);
  EXPECT_THROW(vxhost::setHome(home_.path() / "file"), std::runtime_error);
  EXPECT_THROW(vxhost::setHome(home_.path() / "file" / "below"), std::runtime_error);
  EXPECT_EQ(std::string(std::getenv("VXHOME")), home_.path().string());
}

TEST_F(SettingsTest, DefaultHomeFollowsTheDataDirectory) {
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/data/me");
    EXPECT_EQ(vxhost::defaultHome(), fs::path("/data/me/vxhost"));
  }
  ScopedEnv noXdg("XDG_DATA_HOME", std::nullopt);
  {
    ScopedEnv home("HOME", "/home/me");
    EXPECT_EQ(vxhost::defaultHome(), fs::path("/home/me/.local/share/vxhost"));
  }
  ScopedEnv noHome("HOME", std::nullopt);
  EXPECT_THROW(vxhost::defaultHome(), std::runtime_error);
}

TEST_F(SettingsTest, SettingsAreCheckedAndResetRestoresDefaults) {
  EXPECT_THROW(vxhost::setFormat({720, 575, 1000}), std::invalid_argument);
  EXPECT_THROW(vxhost::setFormat({0, 576, 1000}), std::invalid_argument);
  EXPECT_THROW(vxhost::setFormat({720, 576, 0}), std::invalid_argument);
  EXPECT_THROW(vxhost::setScreen({640, 480, 240}), std::invalid_argument);
  EXPECT_THROW(vxhost::setLanguage(""), std::invalid_argument);

  vxhost::setFormat({1280, 720, 1000});
  vxhost::setScreen({800, 600});
  vxhost::setLanguage("deutsch");
  vxhost::setResourceDir("/nowhere");
  vxhost::callCounts().busyPointer = 3;
  EXPECT_EQ(vxhost::overlayPlane().size(), 800u * 600u);
  vxhost::reset();
  EXPECT_EQ(vxhost::format().width, 720);
  EXPECT_EQ(vxhost::format().height, 576);
  EXPECT_EQ(vxhost::screen().width, 1920);
  EXPECT_EQ(vxhost::overlayPlane().size(), 1920u * 1080u);
  EXPECT_EQ(vxhost::language(), "english");
  EXPECT_EQ(vxhost::resourceDir(), fs::path(VXHOST_DATA_DIR) / "resources");
  EXPECT_EQ(vxhost::callCounts().busyPointer, 0);
}

} // namespace
