#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "host/media/png.hpp"
#include "host_fixture.hpp"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexares.h"
#include "vxhost/xchar.h"

namespace {

namespace fs = std::filesystem;

class ResourcesTest : public HostTest {
protected:
  // A resource folder of our own below the test's home.
  fs::path makeSet(const std::string &name) {
    const fs::path dir = home_.path() / "resources" / name;
    fs::create_directories(dir / "images");
    vxhost::setResourceDir(home_.path() / "resources");
    return dir;
  }
  static void writeText(const fs::path &file, const std::string &text) {
    std::ofstream(file, std::ios::binary) << text;
  }
};

std::string text(const xchar *s) {
  if (!s)
    return "(null)";
  std::string out(size_t(xcslen(s)) * 3 + 1, '\0');
  out.resize(size_t(xscpy(out.data(), s)));
  return out;
}

// Every number the operator asks for.
const std::vector<int> kStrings = [] {
  std::vector<int> n = {10, 13, 20, 100, 101, 110, 111, 112, 113, 120, 121, 122, 123, 200, 201, 202,
                        300, 301, 400, 401, 4600, 4601, 4602, 4603, 4604, 4605, 4608, 4620, 4621,
                        4623, 4624, 5100, 5101};
  for (int i = 130; i <= 137; ++i) n.push_back(i);
  for (int i = 5000; i <= 5013; ++i) n.push_back(i);
  for (int i = 5200; i <= 5204; ++i) n.push_back(i);
  return n;
}();
const std::vector<int> kImages = {100, 101, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208,
                                  301, 400, 401, 500, 501, 502, 503, 504, 505, 506, 507};

TEST_F(ResourcesTest, TheShippedSetHasEveryNumberInBothLanguages) {
  for (const char *lang : {"english", "deutsch"}) {
    vxhost::setLanguage(lang);
    const ResHandle strings = resLoadStrings("tileron");
    ASSERT_NE(strings, 0u) << lang;
    EXPECT_EQ(text(resGetString(strings, 20)), lang);
    for (int n : kStrings)
      EXPECT_NE(resGetString(strings, n), nullptr) << lang << " string " << n;
    EXPECT_EQ(resGetString(strings, 11), nullptr);
    resFreeStrings(strings);
  }
  vxhost::setLanguage("deutsch");
  const ResHandle strings = resLoadStrings("tileron");
  EXPECT_EQ(text(resGetString(strings, 131)), "Größe");
  resFreeStrings(strings);
}

TEST_F(ResourcesTest, TheShippedImagesAreThereWithAlpha) {
  const ResHandle images = resLoadImages("tileron");
  ASSERT_NE(images, 0u);
  for (int n : kImages) {
    const ResImage *image = resGetImage(images, n);
    ASSERT_NE(image, nullptr) << "image " << n;
    EXPECT_GT(image->width, 0);
    EXPECT_GT(image->height, 0);
    // Icons are drawn on a transparent ground.
    const uint32_t *begin = image->pixels, *end = begin + image->width * image->height;
    EXPECT_TRUE(std::any_of(begin, end, [](uint32_t p) { return (p & 0xFF) == 0; })) << n;
    EXPECT_TRUE(std::any_of(begin, end, [](uint32_t p) { return (p & 0xFF) == 255; })) << n;
  }
  EXPECT_EQ(resGetImage(images, 102), nullptr);
  resFreeImages(images);

  const ResHandle gui = cgGetGuiResource();
  ASSERT_NE(gui, 0u);
  EXPECT_EQ(cgGetGuiResource(), gui);
  for (int n : {20, 23, 43, 48, 69})
    EXPECT_NE(resGetImage(gui, n), nullptr) << "GUI image " << n;
}

TEST_F(ResourcesTest, StringTableLinesAndTheirFaults) {
  const fs::path dir = makeSet("demo");
  writeText(dir / "english.txt", "\xEF\xBB\xBF# a comment\r\n"
                                 "\n"
                                 "1\tone\r\n"
                                 "2\ttwo\\nlines\\tand \\\\ a \\q\n"
                                 "3\t\n"
                                 "4 no tab\n"
                                 "x5\tletters\n"
                                 "-6\tnegative\n"
                                 "7\tbad \xC3\x28 byte\n"
                                 "1\tagain\n"
                                 "8\tlast without line feed");
  vxhost::captureLog(true);
  const ResHandle strings = resLoadStrings("demo");
  ASSERT_NE(strings, 0u);
  EXPECT_EQ(text(resGetString(strings, 1)), "one");
  EXPECT_EQ(text(resGetString(strings, 2)), "two\nlines\tand \\ a \\q");
  EXPECT_EQ(text(resGetString(strings, 3)), "");
  EXPECT_EQ(text(resGetString(strings, 8)), "last without line feed");
  for (int missing : {4, 5, 6, 7})
    EXPECT_EQ(resGetString(strings, missing), nullptr) << missing;
  const std::vector<vxhost::LogRecord> log = vxhost::takeLog();
  EXPECT_EQ(log.size(), 5u); // four malformed lines and the second "1"
  for (const vxhost::LogRecord &r : log)
    EXPECT_EQ(r.source, "vxhost");
  resFreeStrings(strings);
  EXPECT_EQ(resGetString(strings, 1), nullptr);
}

TEST_F(ResourcesTest, MissingNumbersOfALanguageFallBackToEnglish) {
  const fs::path dir = makeSet("demo");
  writeText(dir / "english.txt", "1\tone\n2\ttwo\n");
  writeText(dir / "deutsch.txt", "1\teins\n");
  vxhost::setLanguage("deutsch");
  ResHandle strings = resLoadStrings("demo");
  EXPECT_EQ(text(resGetString(strings, 1)), "eins");
  EXPECT_EQ(text(resGetString(strings, 2)), "two");
  resFreeStrings(strings);

  vxhost::setLanguage("francais"); // no table at all: english throughout
  strings = resLoadStrings("demo");
  EXPECT_EQ(text(resGetString(strings, 1)), "one");
  resFreeStrings(strings);
}

TEST_F(ResourcesTest, MissingSetsAndBadNamesGiveNoHandle) {
  const fs::path dir = makeSet("empty");
  vxhost::captureLog(true);
  EXPECT_EQ(resLoadStrings("empty"), 0u); // a folder without string tables
  EXPECT_EQ(resLoadStrings("absent"), 0u);
  EXPECT_EQ(resLoadImages("absent"), 0u);
  EXPECT_EQ(resLoadStrings("../empty"), 0u);
  EXPECT_EQ(resLoadImages(nullptr), 0u);
  EXPECT_EQ(vxhost::takeLog().size(), 5u);
  EXPECT_EQ(resGetString(0, 10), nullptr);
  EXPECT_EQ(resGetImage(12345, 10), nullptr);
  resFreeStrings(0);
  resFreeImages(12345);
  EXPECT_THROW(vxhost::setLanguage("../english"), std::invalid_argument);
}

TEST_F(ResourcesTest, ImagesAreDecodedToStudioRangeYuva) {
  const fs::path dir = makeSet("demo");
  vxhost::RgbaImage picture{3, 1, {255, 255, 255, 255, 0, 0, 0, 128, 255, 0, 0, 0}};
  std::string error;
  ASSERT_TRUE(vxhost::writePng(dir / "images" / "7.png", picture, error)) << error;
  writeText(dir / "images" / "8.png", "not a picture");
  writeText(dir / "images" / "notes.txt", "ignored");

  vxhost::captureLog(true);
  const ResHandle images = resLoadImages("demo");
  ASSERT_NE(images, 0u);
  EXPECT_EQ(vxhost::takeLog().size(), 1u); // 8.png
  const ResImage *image = resGetImage(images, 7);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 1);
  EXPECT_EQ(image->pixels[0], 0xEB8080FFu);
  EXPECT_EQ(image->pixels[1], 0x10808080u);
  EXPECT_EQ(image->pixels[2], 0x525AF000u);
  EXPECT_EQ(resGetImage(images, 8), nullptr);

  CImage *gui = cgConvertResImageToCImageAlpha(image, 0);
  ASSERT_NE(gui, nullptr);
  EXPECT_EQ(gui->kind, CG_KIND_YUVA);
  EXPECT_EQ(gui->width, 3);
  EXPECT_EQ(std::memcmp(gui->pixels, image->pixels, 12), 0);
  cgFreeImage(gui);
  EXPECT_EQ(cgConvertResImageToCImageAlpha(nullptr, 0), nullptr);
  resFreeImages(images);
  EXPECT_EQ(resGetImage(images, 7), nullptr);
}

} // namespace
