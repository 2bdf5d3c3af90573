// The preset archive: which names from the file requester are taken, and
// what saving, loading and deleting leave in the archive and the settings file.
#include <gtest/gtest.h>

#include "editor/presets.hpp"
#include "support/sandbox.hpp"

namespace tileron {
namespace {

TEST(PresetNames, OnlyNamesInsideTheArchive) {
  testing_support::TempHome home;
  const std::string homeText = home.path().string();
  const struct {
    std::string name, path;
  } cases[] = {
      {"/programs/tileron/archive/mine", "/programs/tileron/archive/mine.prf"},
      {"/programs/tileron/archive/sub/mine", "/programs/tileron/archive/sub/mine.prf"},
      {"/programs/tileron/archive/a..b", "/programs/tileron/archive/a..b.prf"},
      {"/programs/tileron/archive/", ""},                   // no name
      {"/programs/tileron/archive/../prefs/tileron", ""},   // the settings file
      {"/programs/tileron/archive/sub/../../mask/x", ""},
      {"/programs/tileron/archive//etc/passwd", ""},
      {"/programs/tileron/prefs/tileron", ""},              // another folder
      {"/programs/tileron/archivex/mine", ""},
      {"mine", ""},                                         // not home-relative
      {"/etc/passwd", ""},
      {homeText + "/programs/tileron/archive/mine", ""},    // resolved: taken as it stands
      {"/programs/tileron/archive/x" + homeText, ""},
      {"", ""},
  };
  for (const auto &c : cases) EXPECT_EQ(presetFilePath(c.name), c.path) << c.name;
}

} // namespace
} // namespace tileron
