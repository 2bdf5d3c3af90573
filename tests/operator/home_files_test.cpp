#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

#include "support/home_files.hpp"
#include "support/sandbox.hpp"

namespace tileron {
namespace {

using testing_support::ScopedEnv;
namespace fs = std::filesystem;

std::string readAll(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const fs::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct ResolveCase {
  std::optional<std::string> home;
  std::string path;
  std::string expected;
};

TEST(HomeFilesResolve, Cases) {
  const ResolveCase cases[] = {
      {"/home/x", "/programs/tileron/mask", "/home/x/programs/tileron/mask"},
      {"/home/x", "/home/x/programs/tileron/archive/a.prf", "/home/x/programs/tileron/archive/a.prf"},
      {"/home/x", "/data/home/x/file", "/data/home/x/file"}, // home anywhere inside
      {"/home/x", "/HOME/X/a", "/home/x/HOME/X/a"},           // case-sensitive
      {"/home/x", "", "/home/x"},
      {"/home/x", "relative", "/home/xrelative"},              // no separator inserted
      {"", "/programs/tileron", "/programs/tileron"},
      {std::nullopt, "/programs/tileron", "/programs/tileron"},
  };
  for (const ResolveCase &c : cases) {
    ScopedEnv env("VXHOME", c.home);
    EXPECT_EQ(resolveHomePath(c.path), c.expected) << "home " << c.home.value_or("(unset)")
                                                   << ", path " << c.path;
  }
}

using HomeFilesTest = testing_support::Sandbox;

TEST_F(HomeFilesTest, MakeDirectory) {
  EXPECT_EQ(makeHomeDirectory("/programs"), 0);
  EXPECT_TRUE(fs::is_directory(home_ / "/programs"));
  EXPECT_EQ(makeHomeDirectory("/programs"), 0); // exists
  errno = 0;
  EXPECT_EQ(makeHomeDirectory("/missing/child"), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(fs::exists(home_ / "/missing"));
  writeAll(home_ / "/plain", "x");
  EXPECT_EQ(makeHomeDirectory("/plain"), -1); // a file is not the directory
  // A path already holding the home is used as it is.
  EXPECT_EQ(makeHomeDirectory((home_ / "/full").string()), 0);
  EXPECT_TRUE(fs::is_directory(home_ / "/full"));
}

TEST_F(HomeFilesTest, OpenAndRemove) {
  std::FILE *out = openHomeFile("/a.bin", "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("abc", out);
  std::fclose(out);
  EXPECT_EQ(readAll(home_ / "/a.bin"), "abc");
  EXPECT_EQ(openHomeFile("/missing.bin", "rb"), nullptr);

  EXPECT_EQ(removeHomeFile("/a.bin"), 0);
  EXPECT_FALSE(fs::exists(home_ / "/a.bin"));
  EXPECT_EQ(removeHomeFile("/a.bin"), -1);
}

TEST_F(HomeFilesTest, CopyWholeFileOverLongerDestination) {
  const std::string bytes("pre\0set\r\n\xff", 10);
  writeAll(home_ / "/src.prf", bytes);
  writeAll(home_ / "/dst.prf", std::string(100, 'z'));
  EXPECT_EQ(copyHomeFile("/src.prf", "/dst.prf"), 1);
  EXPECT_EQ(readAll(home_ / "/dst.prf"), bytes);
  EXPECT_EQ(readAll(home_ / "/src.prf"), bytes);
  // Written beside the destination and renamed over it: nothing stays.
  EXPECT_FALSE(fs::exists(home_ / "/.dst.prf.tmp"));
}

TEST_F(HomeFilesTest, CopyKeepsAWriteProtectedDestination) {
  if (geteuid() == 0) GTEST_SKIP() << "root may replace any file";
  writeAll(home_ / "/src.prf", "new");
  writeAll(home_ / "/ro.prf", "kept");
  fs::permissions(home_ / "/ro.prf", fs::perms::owner_read);
  EXPECT_EQ(copyHomeFile("/src.prf", "/ro.prf"), 0);
  EXPECT_EQ(readAll(home_ / "/ro.prf"), "kept");
  EXPECT_FALSE(fs::exists(home_ / "/.ro.prf.tmp"));
}

TEST_F(HomeFilesTest, CopyFailuresAndEdges) {
  EXPECT_EQ(copyHomeFile("/missing.prf", "/dst.prf"), 0);
  EXPECT_FALSE(fs::exists(home_ / "/dst.prf")); // no destination made

  writeAll(home_ / "/src.prf", "data");
  EXPECT_EQ(copyHomeFile("/src.prf", "/no/dir/dst.prf"), 0);

  writeAll(home_ / "/empty.prf", "");
  EXPECT_EQ(copyHomeFile("/empty.prf", "/empty-copy.prf"), 1);
  EXPECT_TRUE(fs::exists(home_ / "/empty-copy.prf"));
  EXPECT_EQ(fs::file_size(home_ / "/empty-copy.prf"), 0u);

  // Onto itself (once home-relative, once resolved): the file stays whole.
  EXPECT_EQ(copyHomeFile("/src.prf", (home_ / "/src.prf").string()), 1);
  EXPECT_EQ(readAll(home_ / "/src.prf"), "data");
}

TEST_F(HomeFilesTest, CopyReadOnlySource) {
  if (geteuid() == 0) GTEST_SKIP() << "root may open any file for update";
  writeAll(home_ / "/ro.prf", "locked");
  fs::permissions(home_ / "/ro.prf", fs::perms::owner_read);
  EXPECT_EQ(copyHomeFile("/ro.prf", "/copy.prf"), 1);
  EXPECT_EQ(readAll(home_ / "/copy.prf"), "locked");
}

TEST_F(HomeFilesTest, ReplaceIsWholeOrNothing) {
  writeAll(home_ / "/src.prf", "new bytes");
  writeAll(home_ / "/dst.prf", "old");
  EXPECT_EQ(replaceHomeFile("/src.prf", "/dst.prf"), 1);
  EXPECT_EQ(readAll(home_ / "/dst.prf"), "new bytes");
  EXPECT_FALSE(fs::exists(home_ / "/.dst.prf.tmp"));

  // A source that cannot be read leaves the destination as it was, and no
  // temporary file behind.
  EXPECT_EQ(replaceHomeFile("/missing.prf", "/dst.prf"), 0);
  EXPECT_EQ(readAll(home_ / "/dst.prf"), "new bytes");
  EXPECT_FALSE(fs::exists(home_ / "/.dst.prf.tmp"));

  // A destination that cannot be replaced (a folder stands there).
  fs::create_directory(home_ / "/folder.prf");
  fs::create_directory(home_ / "/folder.prf/inside");
  EXPECT_EQ(replaceHomeFile("/src.prf", "/folder.prf"), 0);
  EXPECT_TRUE(fs::is_directory(home_ / "/folder.prf/inside"));
  EXPECT_FALSE(fs::exists(home_ / "/.folder.prf.tmp"));
}

TEST_F(HomeFilesTest, NamesThatStayInsideADirectory) {
  const std::string homeText = home_.path().string();
  const struct {
    std::string name;
    bool inside;
  } cases[] = {
      {"a.xml", true}, {"sub/a.xml", true}, {"a..b.xml", true}, {"...", true}, {"", true},
      {"../a.xml", false}, {"sub/../../a.xml", false}, {"..", false}, {"sub\\..\\a", false},
      {"/etc/passwd", false}, {"\\share\\a", false}, {"C:a.xml", false},
      {"x" + homeText + "/a", false}, // a copy of the home would be taken as it stands
  };
  for (const auto &c : cases) EXPECT_EQ(staysInsideDirectory(c.name), c.inside) << c.name;
}


} // namespace
} // namespace tileron
