#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "support/sandbox.hpp"
#include "vxhost/qvsupport.h"

namespace {

TEST(Dirs, ListsEveryEntryWithItsNameAtByte16) {
  testing_support::TempHome home;
  std::ofstream(home.path() / "a.xml") << "x";
  std::ofstream(home.path() / "pack.dat") << "y";
  std::filesystem::create_directory(home.path() / "sub");

  QvDir *dir = qvOpendir(home.path().c_str());
  ASSERT_NE(dir, nullptr);
  std::vector<std::string> names;
  while (QvDirEntry *entry = qvReaddir(dir)) {
    const char *name = reinterpret_cast<const char *>(entry) + 16;
    names.emplace_back(name);
  }
  EXPECT_EQ(qvReaddir(dir), nullptr);
  EXPECT_EQ(qvClosedir(dir), 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.xml", "pack.dat", "sub"}));
}

TEST(Dirs, MissingDirectoriesAndNullHandles) {
  EXPECT_EQ(qvOpendir("/no/such/directory/here"), nullptr);
  EXPECT_EQ(qvOpendir(""), nullptr);
  EXPECT_EQ(qvOpendir(nullptr), nullptr);
  EXPECT_EQ(qvReaddir(nullptr), nullptr);
  EXPECT_EQ(qvClosedir(nullptr), 0);
}

} // namespace
