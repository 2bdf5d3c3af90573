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
using testing_support::TempHome;
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

class HomeFilesTest : public ::testing::Test {
protected:
  void SetUp() override { vxhost::reset(); }
  TempHome home;
};

TEST_F(HomeFilesTest, MakeDirectory) {
  EXPECT_EQ(makeHomeDirectory("/programs"), 0);
  EXPECT_TRUE(fs::is_directory(home / "/programs"));
  EXPECT_EQ(makeHomeDirectory("/programs"), 0); // exists
  errno = 0;
  EXPECT_EQ(makeHomeDirectory("/missing/child"), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(fs::exists(home / "/missing"));
  writeAll(home / "/plain", "x");
  EXPECT_EQ(makeHomeDirectory("/plain"), -1); // a file is not the directory
  // A path already holding the home is used as it is.
  EXPECT_EQ(makeHomeDirectory((home / "/full").string()), 0);
  EXPECT_TRUE(fs::is_directory(home / "/full"));
}

TEST_F(HomeFilesTest, OpenAndRemove) {
  std::FILE *out = openHomeFile("/a.bin", "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("abc", out);
  std::fclose(out);
  EXPECT_EQ(readAll(home / "/a.bin"), "abc");
  EXPECT_EQ(openHomeFile("/missing.bin", "rb"), nullptr);

  EXPECT_EQ(removeHomeFile("/a.bin"), 0);
  EXPECT_FALSE(fs::exists(home / "/a.bin"));
  EXPECT_EQ(removeHomeFile("/a.bin"), -1);
}

TEST_F(HomeFilesTest, CopyWholeFileOverLongerDestination) {
  const std::string bytes("pre\0set\r\n\xff", 10);
  writeAll(home / "/src.prf", bytes);
  writeAll(home / "/dst.prf", std::string(100, 'z'));
  EXPECT_EQ(copyHomeFile("/src.prf", "/dst.prf"), 1);
  EXPECT_EQ(readAll(home / "/dst.prf"), bytes);
  EXPECT_EQ(readAll(home / "/src.prf"), bytes);
  // Written beside the destination and renamed over it: nothing stays.
  EXPECT_FALSE(fs::exists(home / "/.dst.prf.tmp"));
}

TEST_F(HomeFilesTest, CopyKeepsAWriteProtectedDestination) {
  if (geteuid() == 0) GTEST_SKIP() << "root may replace any file";
  writeAll(home / "/src.prf", "new");
  writeAll(home / "/ro.prf", "kept");
  fs::permissions(home / "/ro.prf", fs::perms::owner_read);
  EXPECT_EQ(copyHomeFile("/src.prf", "/ro.prf"), 0);
  EXPECT_EQ(readAll(home / "/ro.prf"), "kept");
  EXPECT_FALSE(fs::exists(home / "/.ro.prf.tmp"));
}

TEST_F(HomeFilesTest, CopyFailuresAndEdges) {
  EXPECT_EQ(copyHomeFile("/missing.prf", "/dst.prf"), 0);
  EXPECT_FALSE(fs::exists(home / "/dst.prf")); // no destination made

  writeAll(home / "/src.prf", "data");
  EXPECT_EQ(copyHomeFile("/src.prf", "/no/dir/dst.prf"), 0);

  writeAll(home / "/empty.prf", "");
  EXPECT_EQ(copyHomeFile("/empty.prf", "/empty-copy.prf"), 1);
  EXPECT_TRUE(fs::exists(home / "/empty-copy.prf"));
  EXPECT_EQ(fs::file_size(home / "/empty-copy.prf"), 0u);

  // Onto itself (once home-relative, once resolved): the file stays whole.
  EXPECT_EQ(copyHomeFile("/src.prf", (home / "/src.prf").string()), 1);
  EXPECT_EQ(readAll(home / "/src.prf"), "data");
}

TEST_F(HomeFilesTest, CopyReadOnlySource) {
  if (geteuid() == 0) GTEST_SKIP() << "root may open any file for update";
  writeAll(home / "/ro.prf", "locked");
  fs::permissions(home / "/ro.prf", fs::perms::owner_read);
  EXPECT_EQ(copyHomeFile("/ro.prf", "/copy.prf"), 1);
  EXPECT_EQ(readAll(home / "/copy.prf"), "locked");
}

TEST_F(HomeFilesTest, ReplaceIsWholeOrNothing) {
  writeAll(home / "/src.prf", "new bytes");
  writeAll(home / "/dst.prf", "old");
  EXPECT_EQ(replaceHomeFile("/src.prf", "/dst.prf"), 1);
  EXPECT_EQ(readAll(home / "/dst.prf"), "new bytes");
  EXPECT_FALSE(fs::exists(home / "/dst.prf.tmp"));

  // A source that cannot be read leaves the destination as it was, and no
  // temporary file behind.
  EXPECT_EQ(replaceHomeFile("/missing.prf", "/dst.prf"), 0);
  EXPECT_EQ(readAll(home / "/dst.prf"), "new bytes");
  EXPECT_FALSE(fs::exists(home / "/dst.prf.tmp"));

  // A destination that cannot be replaced (a folder stands there).
  fs::create_directory(home / "/folder.prf");
  fs::create_directory(home / "/folder.prf/inside");
  EXPECT_EQ(replaceHomeFile("/src.prf", "/folder.prf"), 0);
  EXPECT_TRUE(fs::is_directory(home / "/folder.prf/inside"));
  EXPECT_FALSE(fs::exists(home / "/folder.prf.tmp"));
}

TEST_F(HomeFilesTest, NamesThatStayInsideADirectory) {
  const std::string homeText = home.path().string();
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

TEST(HomeFilesRounding, HalvesAwayFromZeroAndSaturation) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    int expected;
  } cases[] = {
      {-2.5, -3}, {2.5, 3}, {-0.4, 0}, {0.4, 0}, {0.5, 1}, {-0.5, -1}, {1.49, 1},
      {-1.51, -2}, {0.0, 0}, {-0.0, 0}, {99.5, 100},
      {2147483646.5, INT_MAX}, {2147483647.4, INT_MAX}, {-2147483648.4, INT_MIN},
      {1e300, INT_MAX}, {-1e300, INT_MIN}, {inf, INT_MAX}, {-inf, INT_MIN},
      {std::nan(""), 0}, {-std::nan(""), 0},
  };
  for (const auto &c : cases) EXPECT_EQ(roundNearest(c.value), c.expected) << c.value;
}

} // namespace
} // namespace tileron
