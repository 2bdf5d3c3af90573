#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "entry/entry.hpp"
#include "entry/module.hpp"
#include "masks/catalogue.hpp"
#include "masks/mask_paths.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "operator/state_test_env.hpp"
#include "support/cipher.hpp"
#include "support/reports.hpp"
#include "vxhost/xchar.h"

namespace tileron {
namespace {

namespace fs = std::filesystem;
using Listing = std::vector<std::pair<std::string, std::string>>; // title, path

std::string utf8(const std::vector<xchar> &title) {
  if (title.empty()) return {};
  std::string text(3 * title.size() + 1, '\0');
  text.resize(static_cast<std::size_t>(xscpy(text.data(), title.data())));
  return text;
}

std::string maskPath(const std::string &file) { return std::string(kMaskDirectory) + file; }

class Catalogue : public testing_support::StateTest {
protected:
  void TearDown() override {
    freeMaskCatalogue(catalogue_);
    StateTest::TearDown();
  }

  fs::path maskDir() const { return home() / "programs/tileron/mask"; }
  bool temporaryLeft() const { return fs::exists(home() / "programs/tileron/prefs/maskinfo.dec"); }

  // An enciphered pack index: pack number 1 (zero-padded to whole blocks),
  // then `lines`, each ended by a line feed.
  static std::vector<uint8_t> packBytes(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines) text += line + "\n";
    text.insert(0, std::string((8 - (text.size() + 2) % 8) % 8, '0') + "1\n");
    std::vector<uint8_t> bytes(text.begin(), text.end());
    EXPECT_EQ(cipherBuffer(bytes.data(), bytes.size(), CipherDirection::Encipher, true), 0);
    return bytes;
  }
  void writePack(const std::string &file, const std::vector<std::string> &lines) {
    writeBytes(maskDir() / file, packBytes(lines));
  }
  // A mask file whose name element holds `names` (XML text) and, unless
  // empty, a stamp element naming `stamp`.
  void writeMask(const fs::path &file, const std::string &names, const std::string &stamp = "") {
    std::ofstream out(file);
    out << "<splitscreen>\n  <name>" << names << "</name>\n";
    if (!stamp.empty()) out << "  <stamp><filename>" << stamp << "</filename></stamp>\n";
    out << "</splitscreen>\n";
  }
  void writeTitled(const std::string &file, const std::string &title) {
    writeMask(maskDir() / file, "<english>" + title + "</english>");
  }

  void build() {
    freeMaskCatalogue(catalogue_);
    catalogue_ = buildMaskCatalogue(languageTag(moduleState().strings));
    ASSERT_NE(catalogue_, nullptr);
  }
  Listing listing() const {
    Listing out;
    for (MaskInfo *e = firstMask(*catalogue_); e != nullptr; e = nextMask(*e))
      out.emplace_back(utf8(e->title), e->path);
    return out;
  }

  // Records of the catalogue's source since the last call: level-3 and
  // level-6 counts (anything else fails the test).
  static std::pair<int, int> reports() {
    int errors = 0, missingTitles = 0;
    for (const vxhost::LogRecord &record : testing_support::takeReports(kSrcTileron)) {
      if (record.level == kLevelError)
        ++errors;
      else if (record.level == kLevelTitleMissing)
        ++missingTitles;
      else
        ADD_FAILURE() << "unexpected level " << record.level;
    }
    return {errors, missingTitles};
  }

  MaskCatalogue *catalogue_ = nullptr;
};

TEST_F(Catalogue, SortedAcrossPacksWithDuplicatesInFoundOrder) {
  writeTitled("diag.xml", "Diagonal");
  writeTitled("cross.xml", "Cross");
  writeTitled("same_a.xml", "Same");
  writeTitled("same_b.xml", "Same");
  writeTitled("old.xml", "Archive");
  writePack("b.dat", {"cross.xml", "same_b.xml", "diag.xml"});
  writePack("a.dat", {"diag.xml", "same_a.xml"});
  writePack("c.dat.old", {"old.xml"});       // ".dat" anywhere makes a pack
  writePack(".hidden.dat", {"cross.xml"});   // hidden files are not
  writeTitled("notes.xml", "Notes");         // installed but in no pack

  build();
  const Listing expected = {{"Archive", maskPath("old.xml")},  {"Cross", maskPath("cross.xml")},
                            {"Diagonal", maskPath("diag.xml")}, {"Diagonal", maskPath("diag.xml")},
                            {"Same", maskPath("same_a.xml")},   {"Same", maskPath("same_b.xml")}};
  EXPECT_EQ(listing(), expected);
  EXPECT_EQ(reports(), std::make_pair(0, 0));
  EXPECT_FALSE(temporaryLeft());
}

TEST_F(Catalogue, EmptyOrMissingMaskDirectory) {
  build();
  EXPECT_TRUE(listing().empty());
  fs::remove_all(maskDir());
  EXPECT_EQ(buildMaskCatalogue(languageTag(moduleState().strings)), nullptr);
  EXPECT_EQ(reports().first, 1);
}

TEST_F(Catalogue, TitlesInTheCurrentLanguageWithFallbacks) {
  vxhost::setLanguage("deutsch");
  resFreeStrings(moduleState().strings);
  moduleState().strings = resLoadStrings("tileron");
  writeMask(maskDir() / "both.xml", "<english>Two rows</english><deutsch>Zwei Zeilen</deutsch>");
  writeMask(maskDir() / "english.xml", "<english>Circle</english>");
  writeMask(maskDir() / "neither.xml", "<francais>Coeur</francais>");
  // Only the first name element counts.
  writeMask(maskDir() / "second.xml",
            "<english>First</english></name><name><deutsch>Zweiter</deutsch>");
  writePack("p.dat", {"both.xml", "english.xml", "neither.xml", "second.xml"});

  build();
  const Listing expected = {{"Circle", maskPath("english.xml")},
                            {"First", maskPath("second.xml")},
                            {"No name", maskPath("neither.xml")},
                            {"Zwei Zeilen", maskPath("both.xml")}};
  EXPECT_EQ(listing(), expected);
  EXPECT_EQ(reports(), std::make_pair(0, 3)); // one level-6 report per missing language

  // Without the operator's strings there is no language: english is used.
  resFreeStrings(moduleState().strings);
  moduleState().strings = 0;
  build();
  EXPECT_EQ(listing()[3], std::make_pair(std::string("Two rows"), maskPath("both.xml")));
}

TEST_F(Catalogue, DamagedPacksAndMasksAreLeftOutWithAReport) {
  writeTitled("good.xml", "Good");
  writePack("good.dat", {"good.xml"});

  std::mt19937 random(5);
  std::vector<uint8_t> noise(64);
  for (uint8_t &b : noise) b = static_cast<uint8_t>(random());
  writeBytes(maskDir() / "random.dat", noise);
  std::vector<uint8_t> cut = packBytes({"good.xml", "good.xml"});
  cut.resize(cut.size() - 3); // 8k + 5 bytes
  writeBytes(maskDir() / "truncated.dat", cut);
  writeBytes(maskDir() / "empty.dat", {});
  fs::create_directory(maskDir() / "folder.dat");

  std::ofstream(maskDir() / "broken.xml") << "<splitscreen><name><english>Broken</english></name>";
  std::ofstream(maskDir() / "twice.xml")
      << "<splitscreen><name><english>A</english></name></splitscreen>\n"
         "<splitscreen><name><english>B</english></name></splitscreen>\n";
  std::ofstream(maskDir() / "nameless.xml") << "<splitscreen><part></part></splitscreen>";
  // Readable masks the index must not reach: outside the mask directory, and
  // under a name longer than one 79-byte index line.
  writeTitled("../prefs/outside.xml", "Outside");
  const std::string longName = std::string(80, 'l') + ".xml";
  writeTitled(longName, "Long");
  writePack("bad.dat", {"missing.xml", "broken.xml", "twice.xml", "nameless.xml", "",
                        "../prefs/outside.xml", "sub/../../prefs/outside.xml",
                        home().string() + "/programs/tileron/mask/good.xml", longName,
                        "good.xml\tthe tab ends the name"});

  build();
  const Listing expected = {{"Good", maskPath("good.xml")}, {"Good", maskPath("good.xml")}};
  EXPECT_EQ(listing(), expected);
  // Four damaged packs and ten lines left out, at least one report each.
  EXPECT_GE(reports().first, 4 + 10);
  EXPECT_FALSE(temporaryLeft());
}

TEST_F(Catalogue, OpenMakesThumbnailsDropsUnreadableStampsAndMarksCurrent) {
  testing_support::GreyImage stamp(4, 2, 0);
  stamp.at(1, 0) = 1;
  stamp.at(2, 0) = 255;
  testing_support::writeGreyPng(maskDir() / "a_stamp.png", stamp);
  writeMask(maskDir() / "a.xml", "<english>A</english>", "a_stamp.png");
  writeMask(maskDir() / "b.xml", "<english>B</english>", "missing_stamp.png");
  writeMask(maskDir() / "c.xml", "<english>C</english>"); // no stamp element
  writeMask(maskDir() / "d.xml", "<english>D</english>", "../prefs/a_stamp.png");
  fs::copy_file(maskDir() / "a_stamp.png", home() / "programs/tileron/prefs/a_stamp.png");
  writePack("p.dat", {"a.xml", "b.xml", "c.xml", "d.xml"});
  build();
  ASSERT_EQ(listing().size(), 4u);
  reports();

  ASSERT_EQ(openMaskCatalogue(catalogue_, maskPath("c.xml")), catalogue_);
  const Listing expected = {{"A", maskPath("a.xml")}, {"C", maskPath("c.xml")}};
  EXPECT_EQ(listing(), expected);
  EXPECT_EQ(reports().first, 4); // b and d dropped: the stamp read and the drop, each

  const MaskInfo &a = *firstMask(*catalogue_);
  const MaskInfo &c = *nextMask(a);
  ASSERT_TRUE(a.thumbnail);
  EXPECT_EQ(a.thumbnail->width, 4);
  EXPECT_EQ(a.thumbnail->height, 2);
  const uint32_t *pixels = reinterpret_cast<const uint32_t *>(a.thumbnail->pixels);
  EXPECT_EQ(pixels[0], 0x408080FFu); // part 0, nothing highlighted
  EXPECT_EQ(pixels[2], 0xFF8080FFu); // line work 255
  EXPECT_FALSE(c.thumbnail);
  EXPECT_EQ(a.isCurrent, 0);
  EXPECT_EQ(c.isCurrent, 1);

  releaseThumbnails(catalogue_);
  EXPECT_FALSE(a.thumbnail);
  EXPECT_EQ(vxhost::liveImageCount(), 0);

  // Dropped entries stay dropped; the current mark follows the new path.
  openMaskCatalogue(catalogue_, maskPath("a.xml"));
  EXPECT_EQ(listing(), expected);
  EXPECT_EQ(a.isCurrent, 1);
  EXPECT_EQ(c.isCurrent, 0);
  releaseThumbnails(catalogue_);

  EXPECT_EQ(openMaskCatalogue(nullptr, maskPath("a.xml")), nullptr);
  EXPECT_EQ(reports().first, 1);
  releaseThumbnails(nullptr);
}

// The bundled library through the load and unload messages, in both languages.
TEST_F(Catalogue, LoadMessageCataloguesTheBundledLibrary) {
  const fs::path bundled = fs::path(VXHOST_DATA_DIR) / "masks";
  int packs = 0;
  for (const fs::directory_entry &file : fs::directory_iterator(bundled)) {
    if (!file.is_regular_file()) continue;
    fs::copy_file(file.path(), maskDir() / file.path().filename());
    packs += file.path().extension() == ".dat";
  }
  EXPECT_GE(packs, 3);
  vxhost::setResourceDir(fs::path(VXHOST_DATA_DIR) / "resources");

  for (const char *language : {"english", "deutsch"}) {
    SCOPED_TRACE(language);
    vxhost::setLanguage(language);
    OperatorMessage load{};
    load.type = OP_MSG_LOAD;
    ASSERT_EQ(operatorEntry(&load), 0);
    MaskCatalogue *catalogue = moduleState().catalogue;
    ASSERT_NE(catalogue, nullptr);

    int count = 0;
    bool hasDefault = false;
    const MaskInfo *previous = nullptr;
    for (MaskInfo *e = firstMask(*catalogue); e != nullptr; e = nextMask(*e), ++count) {
      if (previous) {
        EXPECT_LE(xcscmp(previous->title.data(), e->title.data()), 0);
      }
      if (e->path == maskPath("diagonal_down_2.xml")) {
        hasDefault = true;
        EXPECT_EQ(utf8(e->title), std::string(language) == "english" ? "Diagonal down"
                                                                      : "Diagonale abwärts");
      }
      previous = e;
    }
    EXPECT_GE(count, 24);
    EXPECT_TRUE(hasDefault);
    EXPECT_EQ(reports(), std::make_pair(0, 0)); // every mask has both titles

    OperatorMessage unload{};
    unload.type = OP_MSG_UNLOAD;
    EXPECT_EQ(operatorEntry(&unload), 0);
    EXPECT_EQ(moduleState().catalogue, nullptr);
  }
}

} // namespace
} // namespace tileron
