// tileron-reqgallery: draws each of the host's requesters, headless, English
// beside German, and writes the picture (docs/gui-requesters.png). Each
// requester runs as a user sees it: input is fed while it waits, the screen
// is taken while it is open and then it is left with Escape.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/gui/gui.hpp"
#include "host/gui/keys.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/media/png.hpp"
#include "host/media/yuv.hpp"
#include "host/reset.hpp"
#include "host/scenes/registry.hpp"
#include "host/scenes/sources.hpp"
#include "host/settings/settings.hpp"
#include "host/textures/txlib.hpp"
#include "vxhost/orvexa2.h"
#include "vxhost/orvexareq.h"
#include "vxhost/txlib.h"

namespace fs = std::filesystem;
namespace gui = vxhost::gui;
namespace keys = vxhost::gui::keys;

namespace {

constexpr int kWidth = 1280, kHeight = 800;
constexpr int kMargin = 12, kGap = 24;
// The flat video plane behind the requesters; whatever differs from it is the requester.
constexpr uint32_t kPlane = vxhost::rgbaToYuva(0x0B, 0x0C, 0x0E, 255);
constexpr uint32_t kCanvas = kPlane;

struct Shot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// The composed screen cut to what differs from the plane, with a margin.
Shot capture() {
  const std::vector<uint32_t> screen = gui::composeScreen(false);
  int x0 = kWidth, y0 = kHeight, x1 = -1, y1 = -1;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (screen[size_t(y) * kWidth + size_t(x)] != kPlane) {
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
      }
  Shot s;
  if (x1 < 0)
    return s;
  x0 = std::max(0, x0 - kMargin), y0 = std::max(0, y0 - kMargin);
  x1 = std::min(kWidth - 1, x1 + kMargin), y1 = std::min(kHeight - 1, y1 + kMargin);
  s.width = x1 - x0 + 1;
  s.height = y1 - y0 + 1;
  for (int y = y0; y <= y1; ++y)
    s.pixels.insert(s.pixels.end(), screen.begin() + (size_t(y) * kWidth + size_t(x0)),
                    screen.begin() + (size_t(y) * kWidth + size_t(x1) + 1));
  return s;
}

using Step = std::function<void()>;

// Feeds `before`, takes the shot, then leaves with Escape.
void feed(std::vector<Step> before, Shot &shot) {
  auto steps = std::make_shared<std::deque<Step>>();
  steps->push_back([] { gui::pointerTo(0, 0); });
  for (Step &s : before)
    steps->push_back(std::move(s));
  steps->push_back([&shot] { shot = capture(); });
  steps->push_back([] { gui::pressKey(keys::kEscape); });
  gui::runInput([steps] {
    if (steps->empty())
      return false;
    const Step step = steps->front();
    steps->pop_front();
    step();
    return true;
  });
}

std::u16string tr(const std::string &language, const char16_t *english, const char16_t *german) {
  return language == "deutsch" ? german : english;
}
const xchar *x(const std::u16string &s) { return reinterpret_cast<const xchar *>(s.c_str()); }

// A fresh host with the gallery's home, scenes and screen, in `language`.
void setUp(const std::string &language, const fs::path &home) {
  vxhost::reset();
  vxhost::setHome(home);
  vxhost::setLanguage(language);
  vxhost::Screen screen;
  screen.width = kWidth;
  screen.height = kHeight;
  vxhost::setScreen(screen);
  std::fill(vxhost::overlayPlane().begin(), vxhost::overlayPlane().end(), kPlane);
  vxhost::Format format;
  vxhost::setFormat(format);
  const struct {
    int32_t id;
    const char *clip, *name;
    int length;
  } scenes[] = {{1, "pattern:bars", "Colour bars", 250},
                {2, "pattern:gradient", "Moving gradient", 1500},
                {5, "colour:#C8503C", "Red title card", 75},
                {8, "colour:#3C78C8", "Blue backdrop", 125},
                {12, "pattern:gradient", "Closing credits", 4500}};
  for (const auto &s : scenes)
    vxhost::setScene(s.id, vxhost::openPattern(s.clip, s.length, format), s.name);
}

std::vector<Shot> shots(const std::string &language, const fs::path &home) {
  std::vector<Shot> out;
  const auto add = [&](std::vector<Step> before, const std::function<void()> &run) {
    setUp(language, home);
    Shot shot;
    feed(std::move(before), shot);
    run();
    out.push_back(std::move(shot));
  };
  const std::u16string aboutTitle = tr(language, u"About", u"Info");
  const std::u16string aboutText = tr(language, u"tileron 1.1\nSplit-screen effect\n\nParts, masks and bars.",
                                      u"tileron 1.1\nSplit-Screen-Effekt\n\nTeile, Masken und Balken.");
  add({}, [&] {
    TextRequest t{x(aboutTitle), x(aboutText), {}, 1, 0, 0};
    creqTextRequest(&t);
  });
  const std::u16string askTitle = tr(language, u"Replace preset", u"Vorgabe ersetzen");
  const std::u16string askText = tr(language, u"A preset of this name exists already.\nDo you want to replace it?",
                                    u"Eine Vorgabe dieses Namens gibt es schon.\nSoll sie ersetzt werden?");
  add({}, [&] {
    TextRequest t{x(askTitle), x(askText), {}, 0x43, 0, 0};
    creqTextRequest(&t);
  });
  const std::u16string archiveTitle = tr(language, u"Archive", u"Archiv");
  add({}, [&] {
    ArchivesRequest a{x(archiveTitle), 0};
    creqArchivesRequest(&a);
  });
  // The save requester after a name that is refused.
  const std::u16string saveTitle = tr(language, u"Save preset", u"Vorgabe speichern");
  add({[] { gui::typeText(u"../Evening"); }, [] { gui::pressKey(keys::kReturn); }}, [&] {
    char name[2048] = "";
    FileRequest f{x(saveTitle), "/programs/tileron/archive/", 0, 2, name, 2047, 0, nullptr, 0, 0, 0};
    creqFileRequest(&f);
  });
  const std::u16string loadTitle = tr(language, u"Load preset", u"Vorgabe laden");
  add({[] { gui::pressKey(keys::kDown); }}, [&] {
    char name[2048] = "";
    FileRequest f{x(loadTitle), "/programs/tileron/archive/", 0, 1, name, 2047, 0, nullptr, 0, 0, 0};
    creqFileRequest(&f);
  });
  add({}, [&] {
    PaletteRequest p{0, 0, vxhost::rgbaToYuva(200, 80, 60, 200), 0x6400, 0};
    creqPaletteRequest(&p);
  });
  add({}, [] { mainSelectSceneRequesterExt(5, 1); });
  add({[] { gui::pressKey('s', true); }}, [] {
    TxRequest *request = txAllocRequest(0);
    txAddOptions(request, 0);
    const auto marble = vxhost::makeTxSettings("marble.png", 50, 230);
    if (marble)
      txSetPrefs(request, &*marble);
    txRequest(request, 0);
    txFreeRequest(request);
  });
  return out;
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"tileron-reqgallery: the host's requesters, English beside German"};
  std::string output = "docs/gui-requesters.png";
  app.add_option("-o,--output", output, "PNG file to write (default docs/gui-requesters.png)");
  CLI11_PARSE(app, argc, argv);
  std::string pattern = (fs::temp_directory_path() / "tileron-reqgallery-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::fprintf(stderr, "tileron-reqgallery: cannot make a temporary home\n");
    return 1;
  }
  const fs::path home = pattern;
  int status = 0;
  try {
    fs::create_directories(home / "programs/tileron/archive");
    for (const char *name : {"Evening", "Four corners", "Interview", "Sports split"})
      std::ofstream(home / "programs/tileron/archive" / (std::string(name) + ".prf")) << "preset";
    const std::vector<Shot> english = shots("english", home);
    const std::vector<Shot> german = shots("deutsch", home);
    // One row per requester, English left, German right.
    int columnWidth = 0, height = kGap;
    for (size_t i = 0; i < english.size(); ++i) {
      columnWidth = std::max({columnWidth, english[i].width, german[i].width});
      height += std::max(english[i].height, german[i].height) + kGap;
    }
    const int width = 2 * columnWidth + 3 * kGap;
    std::vector<uint32_t> canvas(size_t(width) * size_t(height), kCanvas);
    int top = kGap;
    for (size_t i = 0; i < english.size(); ++i) {
      for (int side = 0; side < 2; ++side) {
        const Shot &s = side ? german[i] : english[i];
        const int left = kGap + side * (columnWidth + kGap);
        for (int y = 0; y < s.height; ++y)
          std::copy_n(s.pixels.begin() + ptrdiff_t(y) * s.width, s.width,
                      canvas.begin() + (ptrdiff_t(top + y) * width + left));
      }
      top += std::max(english[i].height, german[i].height) + kGap;
    }
    std::vector<uint8_t> rgb;
    rgb.reserve(canvas.size() * 3);
    for (uint32_t word : canvas) {
      const vxhost::Rgba c = vxhost::yuvaToRgba(word);
      rgb.insert(rgb.end(), {c.r, c.g, c.b});
    }
    std::string error;
    if (!vxhost::writePng(output, width, height, 3, rgb.data(), rgb.size(), error)) {
      std::fprintf(stderr, "tileron-reqgallery: %s\n", error.c_str());
      status = 1;
    }
    vxhost::reset();
  } catch (const std::exception &e) {
    std::fprintf(stderr, "tileron-reqgallery: %s\n", e.what());
    status = 1;
  }
  std::error_code ignored;
  fs::remove_all(home, ignored);
  return status;
}
