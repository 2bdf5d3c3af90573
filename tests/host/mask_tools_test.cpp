// The mask programs as a user runs them: tileron-mask (authoring, packs),
// the bundled library it made, and tileron-host's `masks` command.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/support/png.hpp"
#include "host_fixture.hpp"
#include "masks/catalogue.hpp"
#include "masks/xml.hpp"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string readText(const fs::path &path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string program(const char *name) { return std::string(TILERON_BINARY_DIR) + "/" + name; }

std::string quoted(const std::string &text) { return "'" + text + "'"; }

// Runs a shell command with VXHOME set to `home`; standard output and error apart.
Outcome run(const fs::path &home, const std::string &command) {
  const fs::path errFile = home.parent_path() / (home.filename().string() + ".stderr");
  Outcome result;
  std::FILE *pipe =
      popen(("VXHOME=" + quoted(home.string()) + " " + command + " 2>" + quoted(errFile.string())).c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = readText(errFile);
  fs::remove(errFile);
  return result;
}

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// A one-channel PNG as read by the host (grey comes back as R = G = B).
struct Grey {
  int width = 0, height = 0;
  std::vector<uint8_t> values;
  int at(int x, int y) const { return values[static_cast<std::size_t>(y) * width + x]; }
};

Grey readGrey(const fs::path &path) {
  vxhost::RgbaPicture picture;
  std::string error;
  EXPECT_TRUE(vxhost::readPng(path, picture, error)) << error;
  Grey grey{picture.width, picture.height, {}};
  for (std::size_t i = 0; i < picture.pixels.size(); i += 4) grey.values.push_back(picture.pixels[i]);
  return grey;
}

// Contents of every `tag` element in `text` (none: empty).
std::vector<std::string> elements(const std::string &text, const char *tag) {
  std::vector<std::string> out;
  tileron::XmlElementListPtr list(tileron::xmlGetElements(text.c_str(), tag));
  for (int i = 0; list && i < list->count; ++i) out.emplace_back(list->entries[i]);
  return out;
}

int number(const std::string &text, const char *tag) { return std::stoi(elements(text, tag).at(0)); }

class MaskTools : public HostTest {
protected:
  fs::path dir(const std::string &name) {
    const fs::path path = home_.path() / name;
    fs::create_directories(path);
    return path;
  }
  fs::path write(const fs::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  Outcome tool(const std::string &arguments) { return run(home_.path(), program("tileron-mask") + " " + arguments); }
  Outcome host(const std::string &arguments) { return run(home_.path(), program("tileron-host") + " " + arguments); }
};

TEST_F(MaskTools, BuildWritesSoftShapesStampMapAndMaskFile) {
  const fs::path out = dir("out");
  const fs::path description = write(home_.path() / "halves.mask",
                                     "size 40 20\nstamp 20 10\nsoft 4\n"
                                     "title english Halves\ntitle deutsch Hälften\n"
                                     "part\npolygon 0 0  0.5 0  0.5 1  0 1\n"
                                     "part\npolygon 0.5 0  1 0  1 1  0.5 1\n"
                                     "bar 0.5 0  0.5 1\n");
  const Outcome result = tool("build " + quoted(description.string()) + " -o " + quoted(out.string()));
  ASSERT_EQ(result.status, 0) << result.err;

  // Across the border at x = 20 the soft edge runs linearly over 4 pixels,
  // 255 x (0.5 + distance / 4) rounded; the two parts complement each other.
  // Every row is the same: the frame's edges are no border.
  const Grey left = readGrey(out / "halves_0.png"), right = readGrey(out / "halves_1.png");
  ASSERT_EQ(left.width, 40);
  ASSERT_EQ(left.height, 20);
  const std::map<int, int> ramp = {{0, 0}, {17, 0}, {18, 32}, {19, 96}, {20, 159}, {21, 223}, {22, 255}, {39, 255}};
  for (int y : {0, 7, 19})
    for (const auto &[x, value] : ramp) {
      EXPECT_EQ(left.at(x, y), value) << x << "," << y;
      EXPECT_EQ(right.at(39 - x, y), value) << x << "," << y;
    }

  // Stamp map: part indexes, the bar as line work down the middle.
  const Grey stamp = readGrey(out / "halves_stamp.png");
  ASSERT_EQ(stamp.width, 20);
  ASSERT_EQ(stamp.height, 10);
  for (int y = 0; y < 10; ++y) {
    EXPECT_EQ(stamp.at(0, y), 0);
    EXPECT_EQ(stamp.at(8, y), 0);
    EXPECT_GE(stamp.at(9, y), 20);
    EXPECT_GE(stamp.at(10, y), 20);
    EXPECT_EQ(stamp.at(11, y), 1);
    EXPECT_EQ(stamp.at(19, y), 1);
  }

  const std::string xml = readText(out / "halves.xml");
  const std::vector<std::string> parts = elements(xml, "part");
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(elements(xml, "deutsch").at(0), "Hälften");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(elements(parts[i], "filename").at(0), "halves_" + std::to_string(i) + ".png");
    EXPECT_EQ(number(parts[i], "centerx"), 10 + 20 * i);
    EXPECT_EQ(number(parts[i], "centery"), 10);
    EXPECT_EQ(number(parts[i], "width"), 20);
    EXPECT_EQ(number(parts[i], "height"), 20);
    EXPECT_EQ(number(parts[i], "scale"), 100); // the full picture height covers the box
    const int mx = number(parts[i], "stampimagexpos"), my = number(parts[i], "stampimageypos");
    EXPECT_GE(mx, 1);
    EXPECT_EQ(stamp.at(mx, my), i); // the marker sits on its own part
  }
  const std::vector<std::string> bars = elements(xml, "bar");
  ASSERT_EQ(bars.size(), 1u);
  EXPECT_EQ(std::vector<int>({number(bars[0], "left"), number(bars[0], "top"), number(bars[0], "right"),
                              number(bars[0], "bottom")}),
            std::vector<int>({20, 0, 20, 19}));
  EXPECT_EQ(elements(elements(xml, "stamp").at(0), "filename").at(0), "halves_stamp.png");
}

TEST_F(MaskTools, BuildRefusesBadDescriptionsNamingTheLine) {
  const std::string part = "title english A\npart\npolygon 0 0 1 0 1 1\n";
  std::string elevenParts = "title english A\n";
  for (int i = 0; i < 11; ++i) elevenParts += "part\npolygon 0 0 1 0 1 1\n";
  const struct {
    std::string text, message;
  } cases[] = {
      {"title english A\npart\npolygon 0 0 1 x 1 1\n", "bad.mask:3: 'x' is not a number"},
      {"title english A\n", "no part"},
      {"part\npolygon 0 0 1 0 1 1\n", "no english title"},
      {"title english A\npolygon 0 0 1 0 1 1\n", "bad.mask:2: 'part' must come first"},
      {"title english A\npart\ncut ellipse 0.5 0.5 0.1 0.1\n", "bad.mask:2: the part has no shape"},
      {elevenParts, "more than 10 parts"},
      {part + "title deutsch <b>\n", "may not hold < or >"},
      {part + "scale 500\n", "500 is outside 10 to 200"},
      {part + "bars ellipse 0.5 0.5 0.2 0.2 21\n", "21 is outside 3 to 20"},
      {"title english A\npart\npolygon 2 2 3 2 3 3\n", "covers no pixel of the frame"},
      {part + "wobble 1\n", "unknown keyword 'wobble'"},
  };
  const fs::path out = dir("out");
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    const fs::path description = write(home_.path() / "bad.mask", c.text);
    const Outcome result = tool("build " + quoted(description.string()) + " -o " + quoted(out.string()));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(out / "bad.xml"));
  }
}

// The tool's pack is what the operator's catalogue reads.
TEST_F(MaskTools, PackAndUnpackRoundTripThroughTheOperatorsReader) {
  const fs::path index = write(home_.path() / "p.index", "# my pack\n7\n\na.xml\n  sub/b.xml  \n");
  const fs::path maskDir = home_.path() / "programs/tileron/mask";
  fs::create_directories(maskDir);
  fs::create_directories(home_.path() / "programs/tileron/prefs");
  const Outcome packed = tool("pack " + quoted(index.string()) + " -o " + quoted((maskDir / "p.dat").string()));
  ASSERT_EQ(packed.status, 0) << packed.err;
  EXPECT_EQ(fs::file_size(maskDir / "p.dat") % 8, 0u);

  const Outcome unpacked = tool("unpack " + quoted((maskDir / "p.dat").string()));
  EXPECT_EQ(unpacked.status, 0);
  EXPECT_EQ(unpacked.out, "0000007\na.xml\nsub/b.xml\n"); // zeros fill the last block

  const auto pack = tileron::readPackIndex("/programs/tileron/mask/p.dat");
  ASSERT_TRUE(pack);
  std::vector<std::string> names;
  for (VxNode *n = lstFirst(&pack->list); n != nullptr; n = lstNext(n))
    names.push_back(static_cast<tileron::PackIndexLine *>(n)->text);
  EXPECT_EQ(names, std::vector<std::string>({"a.xml", "sub/b.xml"}));

  for (const std::string &bad : {std::string("1\n../up.xml\n"), std::string("1\n/abs.xml\n"),
                                 "1\n" + std::string(79, 'n') + "\n", std::string("1\nb\x01.xml\n"),
                                 std::string("1\n\xC3\xBC.xml\n"), std::string("seven\na.xml\n")}) {
    write(index, bad);
    const Outcome refused = tool("pack " + quoted(index.string()) + " -o " + quoted((home_.path() / "q.dat").string()));
    EXPECT_EQ(refused.status, 1) << bad;
    EXPECT_FALSE(fs::exists(home_.path() / "q.dat"));
  }
  write(maskDir / "odd.dat", std::string(13, 'x'));
  EXPECT_EQ(tool("unpack " + quoted((maskDir / "odd.dat").string())).status, 1);
}

// data/masks is what the descriptions and indexes in data/masks/src make,
// byte for byte, and it is a library worth choosing from.
TEST_F(MaskTools, BundledLibraryIsFreshAndComplete) {
  const fs::path bundled = fs::path(VXHOST_DATA_DIR) / "masks";
  const fs::path fresh = dir("fresh");
  std::string descriptions;
  for (const fs::directory_entry &file : fs::directory_iterator(bundled / "src"))
    if (file.path().extension() == ".mask") descriptions += " " + quoted(file.path().string());
  ASSERT_EQ(tool("build" + descriptions + " -o " + quoted(fresh.string())).status, 0);
  for (const fs::directory_entry &file : fs::directory_iterator(bundled / "src")) {
    if (file.path().extension() != ".index") continue;
    const fs::path pack = fresh / (file.path().stem().string() + ".dat");
    ASSERT_EQ(tool("pack " + quoted(file.path().string()) + " -o " + quoted(pack.string())).status, 0);
  }
  std::set<std::string> committed, made;
  for (const fs::directory_entry &file : fs::directory_iterator(bundled))
    if (file.is_regular_file()) committed.insert(file.path().filename().string());
  for (const fs::directory_entry &file : fs::directory_iterator(fresh)) made.insert(file.path().filename().string());
  EXPECT_EQ(committed, made);
  for (const std::string &name : made)
    EXPECT_TRUE(readText(bundled / name) == readText(fresh / name)) << name << " is stale: run scripts/masks.sh";

  // Every mask is in exactly one pack; the default mask among them.
  vxhost::setHome(home_.path());
  fs::create_directories(home_.path() / "programs/tileron/prefs");
  fs::copy(bundled, home_.path() / "programs/tileron/mask");
  std::map<std::string, int> listed;
  int packs = 0;
  for (const std::string &name : made)
    if (name.ends_with(".dat")) {
      ++packs;
      const auto pack = tileron::readPackIndex("/programs/tileron/mask/" + name);
      ASSERT_TRUE(pack) << name;
      for (VxNode *n = lstFirst(&pack->list); n != nullptr; n = lstNext(n))
        ++listed[static_cast<tileron::PackIndexLine *>(n)->text];
    }
  EXPECT_GE(packs, 3);
  EXPECT_EQ(listed["diagonal_down_2.xml"], 1);

  std::set<int> partCounts;
  for (const std::string &name : made) {
    if (!name.ends_with(".xml")) continue;
    SCOPED_TRACE(name);
    EXPECT_EQ(listed[name], 1);
    const std::string xml = readText(bundled / name);
    EXPECT_EQ(elements(xml, "english").size(), 1u);
    EXPECT_EQ(elements(xml, "deutsch").size(), 1u);
    const std::vector<std::string> parts = elements(xml, "part");
    const std::size_t bars = elements(xml, "bar").size();
    EXPECT_GE(bars, 1u);
    EXPECT_LE(bars, 20u);
    partCounts.insert(static_cast<int>(parts.size()));
    const Grey stamp = readGrey(bundled / elements(elements(xml, "stamp").at(0), "filename").at(0));
    std::vector<int> cover(720 * 576, 0);
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const Grey shape = readGrey(bundled / elements(parts[i], "filename").at(0));
      ASSERT_EQ(shape.width, 720);
      ASSERT_EQ(shape.height, 576);
      const auto [low, high] = std::minmax_element(shape.values.begin(), shape.values.end());
      EXPECT_EQ(*low, 0);
      EXPECT_EQ(*high, 255);
      EXPECT_TRUE(std::any_of(shape.values.begin(), shape.values.end(), [](int v) { return v > 40 && v < 215; }))
          << "no soft edge";
      for (std::size_t k = 0; k < cover.size(); ++k) cover[k] += 255 - shape.values[k];
      const int mx = number(parts[i], "stampimagexpos"), my = number(parts[i], "stampimageypos");
      EXPECT_GE(mx, 1);
      EXPECT_EQ(stamp.at(mx, my), static_cast<int>(i)) << "marker off its part";
    }
    for (int v : stamp.values) EXPECT_TRUE(v < static_cast<int>(parts.size()) || v >= 20);
    // No pixel left without a part, none inside two (soft corners overlap a little).
    const auto [low, high] = std::minmax_element(cover.begin(), cover.end());
    EXPECT_GE(*low, 150);
    EXPECT_LE(*high, 400);
  }
  EXPECT_GE(listed.size(), 24u);
  for (int count : {2, 3, 4, 6, 9, 10}) EXPECT_TRUE(partCounts.count(count)) << count << " parts";
}

TEST_F(MaskTools, HostListsTheBundledLibraryInstalledOnFirstRun) {
  const fs::path fresh = home_.path() / "new-home";
  const Outcome english = run(fresh, program("tileron-host") + " masks list");
  ASSERT_EQ(english.status, 0) << english.err;
  EXPECT_NE(english.err.find("installed the bundled mask library (3 packs"), std::string::npos) << english.err;

  std::set<std::string> bundledMasks;
  for (const fs::directory_entry &file : fs::directory_iterator(fs::path(VXHOST_DATA_DIR) / "masks"))
    if (file.path().extension() == ".xml") bundledMasks.insert("/programs/tileron/mask/" + file.path().filename().string());
  std::vector<std::string> titles;
  std::set<std::string> paths;
  for (const std::string &line : lines(english.out)) {
    std::istringstream fields(line);
    std::string name, title, path, parts;
    std::getline(fields, name, '\t');
    std::getline(fields, title, '\t');
    std::getline(fields, path, '\t');
    std::getline(fields, parts);
    titles.push_back(title);
    paths.insert(path);
    EXPECT_EQ("/programs/tileron/mask/" + name + ".xml", path) << "the name a preset gives";
    EXPECT_GE(std::stoi(parts), 2) << line;
  }
  EXPECT_EQ(paths, bundledMasks);
  EXPECT_TRUE(std::is_sorted(titles.begin(), titles.end()));
  EXPECT_NE(english.out.find("diagonal_down_2\tDiagonal down\t/programs/tileron/mask/diagonal_down_2.xml\t2\n"),
            std::string::npos);

  // Said once: the home has packs now.
  const Outcome german = run(fresh, program("tileron-host") + " masks list --language deutsch");
  ASSERT_EQ(german.status, 0) << german.err;
  EXPECT_EQ(german.err.find("installed"), std::string::npos);
  EXPECT_EQ(lines(german.out).size(), bundledMasks.size());
  EXPECT_NE(german.out.find("diagonal_down_2\tDiagonale abwärts\t/programs/tileron/mask/diagonal_down_2.xml\t2\n"),
            std::string::npos);
  std::vector<std::string> germanTitles;
  for (const std::string &line : lines(german.out))
    germanTitles.push_back(line.substr(line.find('\t') + 1));
  EXPECT_TRUE(std::is_sorted(germanTitles.begin(), germanTitles.end()));
}

TEST_F(MaskTools, HostInstallsCompletePacksOnly) {
  const fs::path user = dir("user");
  write(user / "halves.mask", "title english Halves\npart\npolygon 0 0 0.5 0 0.5 1 0 1\n"
                              "part\npolygon 0.5 0 1 0 1 1 0.5 1\nbar 0.5 0 0.5 1\n");
  ASSERT_EQ(tool("build " + quoted((user / "halves.mask").string()) + " -o " + quoted(user.string())).status, 0);
  fs::remove(user / "halves.mask");
  write(user / "mine.index", "40\nhalves.xml\n");
  ASSERT_EQ(tool("pack " + quoted((user / "mine.index").string()) + " -o " + quoted((user / "mine.dat").string())).status, 0);
  fs::remove(user / "mine.index");
  const fs::path maskDir = home_.path() / "programs/tileron/mask";

  // A shape missing: refused, nothing copied.
  fs::rename(user / "halves_1.png", home_.path() / "aside.png");
  Outcome refused = host("masks install " + quoted(user.string()));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("image 'halves_1.png' is not in the folder"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(maskDir / "mine.dat"));
  EXPECT_FALSE(fs::exists(maskDir / "halves.xml"));
  fs::rename(home_.path() / "aside.png", user / "halves_1.png");

  const Outcome installed = host("masks install " + quoted(user.string()));
  ASSERT_EQ(installed.status, 0) << installed.err;
  EXPECT_NE(installed.out.find("installed mine.dat (pack 40): 1 masks, 5 files"), std::string::npos)
      << installed.out;
  const Outcome listing = host("masks list");
  EXPECT_NE(listing.out.find("halves\tHalves\t/programs/tileron/mask/halves.xml\t2\n"), std::string::npos);

  // A different file under an installed name needs --replace.
  write(user / "halves.xml", readText(user / "halves.xml") + "\n");
  refused = host("masks install " + quoted(user.string()));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("halves.xml would replace a different installed file"), std::string::npos);
  EXPECT_EQ(host("masks install --replace " + quoted(user.string())).status, 0);
  EXPECT_EQ(readText(maskDir / "halves.xml"), readText(user / "halves.xml"));

  // An index naming a mask the folder lacks.
  const fs::path other = dir("other");
  write(other / "x.index", "41\nnothere.xml\n");
  ASSERT_EQ(tool("pack " + quoted((other / "x.index").string()) + " -o " + quoted((other / "x.dat").string())).status, 0);
  refused = host("masks install " + quoted(other.string()));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("mask file 'nothere.xml' is not in the folder"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(maskDir / "x.dat"));
}

TEST_F(MaskTools, HostSheetDrawsEveryMask) {
  const fs::path sheet = home_.path() / "masks.png";
  const Outcome result = host("masks sheet -o " + quoted(sheet.string()) + " --columns 4");
  ASSERT_EQ(result.status, 0) << result.err;
  std::size_t masks = 0;
  for (const fs::directory_entry &file : fs::directory_iterator(fs::path(VXHOST_DATA_DIR) / "masks"))
    masks += file.path().extension() == ".xml";
  EXPECT_NE(result.out.find(": " + std::to_string(masks) + " masks, 680 x "), std::string::npos) << result.out;

  vxhost::RgbaPicture picture;
  std::string error;
  ASSERT_TRUE(vxhost::readPng(sheet, picture, error)) << error;
  EXPECT_EQ(picture.width, 4 * 170); // cells of a 150-pixel stamp map and 10 pixels each side
  const int rows = static_cast<int>((masks + 3) / 4);
  EXPECT_EQ(picture.height % rows, 0);
  // The first cell is "Angled split": its stamp map's dark part grey
  // (0x408080) shows at the picture's top-left corner.
  const uint8_t *corner = &picture.pixels[(static_cast<std::size_t>(10) * picture.width + 10) * 4];
  EXPECT_EQ(corner[0], corner[1]);
  EXPECT_EQ(corner[1], corner[2]);
  EXPECT_NEAR(corner[0], 56, 2);
  // Its first part's number, white outlined in black, on the part's marker
  // at (37, 37) of the stamp map; nothing else there is white.
  int white = 0, black = 0;
  for (int y = 10 + 37 - 8; y <= 10 + 37 + 8; ++y)
    for (int x = 10 + 37 - 8; x <= 10 + 37 + 8; ++x) {
      const uint8_t *p = &picture.pixels[(static_cast<std::size_t>(y) * picture.width + x) * 4];
      white += p[0] >= 240 && p[1] >= 240 && p[2] >= 240;
      black += p[0] <= 16 && p[1] <= 16 && p[2] <= 16;
    }
  EXPECT_GT(white, 4) << "no part number on the first part";
  EXPECT_GT(black, 4) << "no outline round the part number";
}

} // namespace
