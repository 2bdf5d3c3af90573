// The host's requesters, driven as a user drives them: the text, file,
// archives and colour requesters, the scene requester and the texture
// requester. Each run's input is fed one step per wait of the requester.
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "host/gui/keys.hpp"
#include "host/gui/toolkit.hpp"
#include "host/requesters/file_names.hpp"
#include "host/media/png.hpp"
#include "host/text/utf.hpp"
#include "host/textures/txlib.hpp"
#include "host_fixture.hpp"
#include "vxhost/orvexa2.h"
#include "vxhost/orvexareq.h"
#include "vxhost/txlib.h"

namespace {

namespace fs = std::filesystem;
namespace gui = vxhost::gui;
namespace keys = vxhost::gui::keys;
using vxhost::requesters::checkFileName;
using vxhost::requesters::NameProblem;

const xchar *x(const std::u16string &s) { return reinterpret_cast<const xchar *>(s.c_str()); }

// One step of input, run when the requester waits with nothing queued.
using Step = std::function<void()>;

class Requesters : public HostTest {
protected:
  // Feeds `steps` in order, one whenever the program waits; after the last
  // the input ends (the toolkit then sends close requests).
  void feed(std::vector<Step> steps) {
    auto queue = std::make_shared<std::deque<Step>>(steps.begin(), steps.end());
    gui::runInput([queue] {
      if (queue->empty())
        return false;
      const Step step = queue->front();
      queue->pop_front();
      step();
      return true;
    });
  }
  static Step key(int32_t code, bool shift = false) {
    return [=] { gui::pressKey(code, shift); };
  }
  static Step type(std::u16string text) {
    return [=] { gui::typeText(text); };
  }
  // A click on the element of the top request that shows `label`.
  static Step clickOn(std::u16string label) {
    return [=] {
      const gui::Element *e = elementShowing(label);
      ASSERT_NE(e, nullptr) << "no element shows the text";
      gui::click(e->rect.x + e->rect.w / 2, e->rect.y + e->rect.h / 2);
    };
  }
  static Step check(std::function<void()> f) { return f; }

  static gui::Element *elementShowing(const std::u16string &label) {
    gui::Request *top = gui::topRequest();
    for (auto &[id, e] : gui::guiState().elements)
      if (top && e.request == top->handle && e.text == label)
        return &e;
    return nullptr;
  }
  // The top request's elements of one kind, in creation order.
  static std::vector<gui::Element *> elementsOf(gui::Kind kind) {
    std::vector<gui::Element *> out;
    gui::Request *top = gui::topRequest();
    for (auto &[id, e] : gui::guiState().elements)
      if (top && e.request == top->handle && e.kind == kind)
        out.push_back(&e);
    return out;
  }
  // The message line of the file requester: the last box text.
  static std::u16string messageLine() {
    const auto texts = elementsOf(gui::Kind::boxText);
    return texts.empty() ? u"" : texts.back()->text;
  }
  // Whether the next message the caller would get is a close request.
  static bool closeQueuedForCaller() {
    if (gui::queuedMessages() == 0)
      return false;
    GuiMessage m{};
    cgMsgQReceive(&m, -1);
    return m.kind == GUI_MSG_CLOSE;
  }
};

// ---- text requester ---------------------------------------------------------------

struct TextCase {
  const char *what;
  int32_t style;
  std::vector<Step> steps;
  int32_t result;
};

TEST_F(Requesters, TextRequesterAnswersByButtonAndKey) {
  const std::u16string title = u"Title", body = u"First line\nSecond line";
  const TextCase cases[] = {
      {"message, Return", 1, {key(keys::kReturn)}, 1},
      {"message, OK clicked", 1, {clickOn(u"OK")}, 1},
      {"message, Escape closes it too", 1, {key(keys::kEscape)}, 1},
      {"question, Return is yes", 0x43, {key(keys::kReturn)}, 1},
      {"question, Yes clicked", 0x43, {clickOn(u"Yes")}, 1},
      {"question, Escape is no", 0x43, {key(keys::kEscape)}, 0},
      {"question, No clicked", 0x43, {clickOn(u"No")}, 0},
      {"question, other keys do nothing", 0x43, {key('y'), key('n'), key(keys::kReturn)}, 1},
  };
  for (const TextCase &c : cases) {
    SCOPED_TRACE(c.what);
    feed(c.steps);
    TextRequest t{x(title), x(body), {}, c.style, 0, -7};
    EXPECT_EQ(creqTextRequest(&t), 0);
    EXPECT_EQ(t.result, c.result);
    EXPECT_EQ(gui::liveCounts(), gui::LiveCounts{});
    EXPECT_FALSE(closeQueuedForCaller());
  }
}

TEST_F(Requesters, CloseEndsARequesterAndReachesTheCaller) {
  const std::u16string title = u"T", body = u"Replace it?";
  feed({[] { gui::requestClose(); }});
  TextRequest t{x(title), x(body), {}, 0x43, 0, 1};
  EXPECT_EQ(creqTextRequest(&t), 0);
  EXPECT_EQ(t.result, 0);
  // The close is the caller's too: its own loop ends on it.
  EXPECT_TRUE(closeQueuedForCaller());
  EXPECT_EQ(creqTextRequest(nullptr), -1);
}

TEST_F(Requesters, TextRequesterShowsEveryLineAndWrapsLongOnes) {
  const std::u16string words = u"Three " + std::u16string(40, u'w') + u" " + std::u16string(40, u'w') + u" " +
                               std::u16string(40, u'w');
  const std::u16string title = u"About", body = u"One\n\n" + words;
  std::vector<std::u16string> shown;
  feed({check([&] {
          for (const gui::Element *e : elementsOf(gui::Kind::boxText))
            shown.push_back(e->text);
        }),
        key(keys::kReturn)});
  TextRequest t{x(title), x(body), {}, 1, 0, 0};
  EXPECT_EQ(creqTextRequest(&t), 0);
  ASSERT_GE(shown.size(), 4u);
  EXPECT_EQ(shown[0], u"One");
  EXPECT_EQ(shown[1], u"");
  std::u16string joined;
  for (size_t i = 2; i < shown.size(); ++i) {
    EXPECT_LE(gui::font().width(shown[i]), 640);
    joined += (i > 2 ? u" " : u"") + shown[i];
  }
  EXPECT_EQ(joined, words);
}

// ---- file requester -------------------------------------------------------------------

TEST(FileNames, PlainNamesOnly) {
  struct Case {
    std::u16string typed;
    NameProblem problem;
    std::string utf8;
  };
  const Case cases[] = {
      {u"sunset", NameProblem::none, "sunset"},
      {u"  sunset 2  ", NameProblem::none, "sunset 2"},
      {u"sunset.prf", NameProblem::none, "sunset"},
      {u"Straße", NameProblem::none, "Stra\xC3\x9F" "e"},
      {u"", NameProblem::empty, ""},
      {u"   ", NameProblem::empty, ""},
      {u".prf.prf", NameProblem::none, ".prf"},
      {u"a/b", NameProblem::separator, ""},
      {u"a\\b", NameProblem::separator, ""},
      {u"/etc/passwd", NameProblem::separator, ""},
      {u"..", NameProblem::parent, ""},
      {u"a..b", NameProblem::parent, ""},
      {u"tab\there", NameProblem::control, ""},
      {u"nul" + std::u16string(1, u'\0'), NameProblem::control, ""},
      {u"del\x7F", NameProblem::control, ""},
      {u"c1\x85", NameProblem::control, ""},
      {u"half" + std::u16string(1, char16_t(0xD800)), NameProblem::control, ""},
      {std::u16string(200, u'a'), NameProblem::none, std::string(200, 'a')},
      {std::u16string(201, u'a'), NameProblem::tooLong, ""},
      // 100 two-byte characters are 200 bytes; one more is too many.
      {std::u16string(100, u'\u00E9'), NameProblem::none, ""},
      {std::u16string(101, u'\u00E9'), NameProblem::tooLong, ""},
  };
  for (const Case &c : cases) {
    const auto got = checkFileName(c.typed);
    EXPECT_EQ(got.problem, c.problem) << vxhost::utf16ToUtf8(c.typed);
    if (c.problem == NameProblem::none && !c.utf8.empty()) {
      EXPECT_EQ(got.utf8, c.utf8);
    }
    if (c.problem != NameProblem::none) {
      EXPECT_TRUE(got.utf8.empty());
    }
  }
}

class FileRequester : public Requesters {
protected:
  void SetUp() override {
    Requesters::SetUp();
    fs::create_directories(home_ / "/programs/tileron/archive");
  }
  void preset(const std::string &name) { std::ofstream(home_ / ("/programs/tileron/archive/" + name)) << "x"; }

  // Runs the requester in `mode` with `steps`; returns the result and
  // leaves the name in name_.
  int32_t run(int32_t mode, std::vector<Step> steps) {
    feed(std::move(steps));
    std::memset(name_, 0x55, sizeof name_);
    name16_[0] = 0;
    FileRequest f{};
    f.title = x(title_);
    f.directory = "/programs/tileron/archive/";
    f.mode = mode;
    f.name = name_;
    f.nameCapacity = 2047;
    f.name16 = name16_;
    f.name16Capacity = 2047;
    f.result = -1;
    EXPECT_EQ(creqFileRequest(&f), 0);
    return f.result;
  }

  std::u16string title_ = u"Save preset";
  char name_[2048];
  xchar name16_[2048];
};

TEST_F(FileRequester, SavesUnderATypedNameHomeRelativeWithoutExtension) {
  EXPECT_EQ(run(2, {type(u"Evening.prf"), key(keys::kReturn)}), 1);
  EXPECT_STREQ(name_, "/programs/tileron/archive/Evening");
  EXPECT_EQ(vxhost::utf16ToUtf8(reinterpret_cast<const char16_t *>(name16_)), "/programs/tileron/archive/Evening");
  // The Save button confirms as Return does.
  EXPECT_EQ(run(2, {type(u"Grün"), clickOn(u"Save")}), 1);
  EXPECT_STREQ(name_, "/programs/tileron/archive/Gr\xC3\xBCn");
}

TEST_F(FileRequester, RefusesNamesThatAreNotPlainFileNames) {
  struct Case {
    std::u16string typed;
    std::u16string message;
  };
  const Case cases[] = {
      {u"", u"Enter a name."},
      {u"../../evil", u"A name cannot contain / or \\."},
      {u"a\\b", u"A name cannot contain / or \\."},
      {u"..", u"A name cannot contain \"..\"."},
      {u"bell\a", u"A name cannot contain control characters."},
      {std::u16string(201, u'x'), u"The name is too long (at most 200 bytes)."},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(vxhost::utf16ToUtf8(c.typed));
    std::u16string shown;
    bool stillOpen = false;
    EXPECT_EQ(run(2, {type(c.typed), key(keys::kReturn), check([&] {
                        shown = messageLine();
                        stillOpen = gui::topRequest() != nullptr;
                      }),
                      key(keys::kEscape)}),
              0);
    EXPECT_EQ(shown, c.message);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(name_[0], '\0'); // nothing is handed back
  }
  // Once the name is mended, it is taken.
  EXPECT_EQ(run(2, {type(u"a/b"), key(keys::kReturn), key(keys::kBackspace), key(keys::kBackspace),
                    key(keys::kReturn)}),
            1);
  EXPECT_STREQ(name_, "/programs/tileron/archive/a");
}

TEST_F(FileRequester, ListsThePresetsAndLoadsTheOnePicked) {
  preset("b.prf");
  preset("a.prf");
  preset("c.txt");
  preset("bad\x01name.prf");
  fs::create_directories(home_ / "/programs/tileron/archive/dir.prf");
  std::vector<std::u16string> listed;
  std::u16string field;
  EXPECT_EQ(run(1, {check([&] {
                      const auto grids = elementsOf(gui::Kind::grid);
                      ASSERT_EQ(grids.size(), 1u);
                      for (const GridItem &item : grids[0]->items)
                        listed.push_back(gui::xcharText(item.text));
                      field = elementsOf(gui::Kind::textField)[0]->text;
                    }),
                    key(keys::kDown), key(keys::kReturn)}),
            1);
  EXPECT_EQ(listed, (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(field, u"a"); // load starts on the first preset
  EXPECT_STREQ(name_, "/programs/tileron/archive/b");
  // A click on a cell picks its name.
  EXPECT_EQ(run(3, {[] {
                      const gui::Element *grid = elementsOf(gui::Kind::grid)[0];
                      const gui::Rect cell = gui::gridCell(*grid, gui::gridLayout(*grid), 1);
                      gui::click(cell.x + 5, cell.y + 5);
                    },
                    clickOn(u"Delete")}),
            1);
  EXPECT_STREQ(name_, "/programs/tileron/archive/b");
}

TEST_F(FileRequester, LoadAndDeleteRefuseNamesThatDoNotExist) {
  preset("a.prf");
  for (int32_t mode : {1, 3}) {
    std::u16string shown;
    EXPECT_EQ(run(mode, {key(keys::kBackspace), type(u"zz"), key(keys::kReturn), check([&] { shown = messageLine(); }),
                         key(keys::kEscape)}),
              0);
    EXPECT_EQ(shown, u"There is no file named \u201Czz\u201D.");
    EXPECT_EQ(name_[0], '\0');
  }
  // An empty folder says so.
  fs::remove(home_ / "/programs/tileron/archive/a.prf");
  std::u16string shown;
  EXPECT_EQ(run(1, {check([&] { shown = messageLine(); }), key(keys::kEscape)}), 0);
  EXPECT_EQ(shown, u"This folder holds no files yet.");
}

TEST_F(FileRequester, ScriptsDriveItAndGermanTextsAreShown) {
  gui::runScript(gui::parseScript("type Abend\nkey return\n", "s", 1920, 1080));
  FileRequest f{};
  f.title = x(title_);
  f.directory = "/programs/tileron/archive/";
  f.mode = 2;
  f.name = name_;
  f.nameCapacity = 2047;
  EXPECT_EQ(creqFileRequest(&f), 0);
  EXPECT_EQ(f.result, 1);
  EXPECT_STREQ(name_, "/programs/tileron/archive/Abend");
  vxhost::setLanguage("deutsch");
  std::u16string shown, button;
  EXPECT_EQ(run(2, {type(u"x/y"), key(keys::kReturn), check([&] {
                      shown = messageLine();
                      button = elementsOf(gui::Kind::textButton)[0]->text;
                    }),
                    key(keys::kEscape)}),
            0);
  EXPECT_EQ(shown, u"Ein Name darf weder / noch \\ enthalten.");
  EXPECT_EQ(button, u"Speichern");
}

TEST_F(FileRequester, BadRecordsAndFoldersFail) {
  FileRequest f{};
  EXPECT_EQ(creqFileRequest(nullptr), -1);
  EXPECT_EQ(creqFileRequest(&f), -1); // no name buffer
  char name[16] = "";
  f.name = name;
  f.nameCapacity = 15;
  f.mode = 2;
  for (const char *folder : {"programs/x/", "/programs/../../x/", ""}) {
    f.directory = folder;
    EXPECT_EQ(creqFileRequest(&f), -1) << folder;
  }
  // A buffer too small for the path refuses the name in the requester.
  f.directory = "/programs/tileron/archive/";
  std::u16string shown;
  feed({type(u"abc"), key(keys::kReturn), check([&] { shown = messageLine(); }), key(keys::kEscape)});
  EXPECT_EQ(creqFileRequest(&f), 0);
  EXPECT_EQ(f.result, 0);
  EXPECT_EQ(shown, u"The name is too long for this folder.");
}

// ---- archives chooser ---------------------------------------------------------------

TEST_F(Requesters, ArchivesChooserGivesFourFiveSix) {
  const std::u16string title = u"Archive";
  struct Case {
    std::vector<Step> steps;
    int32_t result;
  };
  const Case cases[] = {
      {{key('l')}, 4},
      {{key('s')}, 5},
      {{key('d')}, 6},
      {{clickOn(u"Save as a preset\u2026")}, 5},
      {{clickOn(u"Delete a preset\u2026")}, 6},
      {{key(keys::kEscape)}, 0},
      {{clickOn(u"Cancel")}, 0},
      {{[] { gui::requestClose(); }}, 0},
  };
  for (const Case &c : cases) {
    feed(c.steps);
    ArchivesRequest a{x(title), -1};
    EXPECT_EQ(creqArchivesRequest(&a), 0);
    EXPECT_EQ(a.result, c.result);
    while (gui::queuedMessages() > 0)
      closeQueuedForCaller();
  }
  EXPECT_EQ(creqArchivesRequest(nullptr), -1);
}

// ---- colour picker ------------------------------------------------------------------

TEST_F(Requesters, ColourPickerSetsYuvaAndKeepsTheColourOnCancel) {
  const auto run = [&](std::vector<Step> steps, uint32_t colour, uint32_t &result) {
    feed(std::move(steps));
    PaletteRequest p{0, 0xDEAD, colour, 0x6400, 0};
    EXPECT_EQ(creqPaletteRequest(&p), 0);
    result = p.result;
    return p.colour;
  };
  uint32_t result = 0;
  // Keys step Y, U, V and alpha (Shift steps back); Return accepts.
  EXPECT_EQ(run({key('y'), key('u', true), key('v'), key('v'), key('a', true), key(keys::kReturn)}, 0x80404080u, result),
            0x813F4280u - 1);
  EXPECT_EQ(result, 0x10000u);
  // Cancel keeps the colour whatever was changed.
  EXPECT_EQ(run({key('y'), key('y'), key(keys::kEscape)}, 0x10203040u, result), 0x10203040u);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(run({[] { gui::requestClose(); }}, 0x10203040u, result), 0x10203040u);
  EXPECT_EQ(result, 0u);
  EXPECT_TRUE(closeQueuedForCaller());
  // A click on the colour plane picks U (across) and V (upwards); Y and alpha stay.
  EXPECT_EQ(run({[] {
                   const gui::Element *plane = elementsOf(gui::Kind::stampButton)[0];
                   gui::click(plane->rect.x + 3 + 159, plane->rect.y + 3 + 159); // bottom right: U 255, V 0
                 },
                 key(keys::kReturn)},
                0x70808011u, result),
            0x70FF0011u);
  // The swatch of the colour handed in takes it back.
  EXPECT_EQ(run({key('y'), key('a'),
                 [] {
                   const gui::Element *before = elementsOf(gui::Kind::paletteButton)[0];
                   gui::click(before->rect.x + 5, before->rect.y + 5);
                 },
                 check([] { EXPECT_EQ(elementsOf(gui::Kind::paletteButton)[1]->colour, 0x12345678u); }),
                 key(keys::kReturn)},
                0x12345678u, result),
            0x12345678u);
  EXPECT_EQ(result, 0x10000u);
  EXPECT_EQ(creqPaletteRequest(nullptr), -1);
}

// ---- scene requester --------------------------------------------------------------------

class SceneRequester : public Requesters {
protected:
  void SetUp() override {
    Requesters::SetUp();
    vxhost::Format f;
    f.width = 64;
    f.height = 36;
    vxhost::setFormat(f);
    for (int32_t id : {3, 7, 12}) {
      std::vector<std::vector<uint32_t>> frames(size_t(id), std::vector<uint32_t>(64 * 36, 0x51F05AFFu));
      vxhost::setScene(id, vxhost::memorySource(frames), "clip " + std::to_string(id));
    }
  }
};

TEST_F(SceneRequester, OpensOnTheSceneGivenAndReturnsTheChoice) {
  struct Case {
    const char *what;
    int16_t current;
    std::vector<Step> steps;
    int32_t chosen;
  };
  const Case cases[] = {
      {"accept at once", 7, {key(keys::kReturn)}, 7},
      {"next cell", 7, {key(keys::kRight), key(keys::kReturn)}, 12},
      {"previous cell", 7, {key(keys::kRight, true), clickOn(u"OK")}, 3},
      {"unknown scene opens on the first", 99, {key(keys::kReturn)}, 3},
      {"cancel", 3, {key(keys::kEscape)}, 0},
      {"close", 3, {[] { gui::requestClose(); }}, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    feed(c.steps);
    EXPECT_EQ(mainSelectSceneRequesterExt(c.current, 1), c.chosen);
    EXPECT_EQ(vxhost::liveImageCount(), 0);
    EXPECT_EQ(gui::liveCounts(), gui::LiveCounts{});
    while (gui::queuedMessages() > 0)
      closeQueuedForCaller();
  }
}

TEST_F(SceneRequester, CellsShowThumbnailIdNameAndLength) {
  std::vector<std::u16string> texts;
  std::vector<int> widths;
  int32_t selected = -1;
  feed({check([&] {
          const gui::Element *grid = elementsOf(gui::Kind::grid)[0];
          for (const GridItem &item : grid->items) {
            texts.push_back(gui::xcharText(item.text));
            widths.push_back(item.picture ? item.picture->width : 0);
          }
          selected = grid->value;
        }),
        // A click on a cell selects it; OK takes it.
        [] {
          const gui::Element *grid = elementsOf(gui::Kind::grid)[0];
          const gui::Rect cell = gui::gridCell(*grid, gui::gridLayout(*grid), 0);
          gui::click(cell.x + 10, cell.y + 10);
        },
        key(keys::kReturn)});
  EXPECT_EQ(mainSelectSceneRequesterExt(12, 1), 3);
  // 25 frames a second: 3 frames last 0:00, 12 frames too.
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"3  clip 3\n3 frames \u00B7 0:00", u"7  clip 7\n7 frames \u00B7 0:00",
                                                u"12  clip 12\n12 frames \u00B7 0:00"}));
  EXPECT_EQ(widths, (std::vector<int>{152, 152, 152}));
  EXPECT_EQ(selected, 2);
}

TEST_F(SceneRequester, NoScenesSaysSoAndChoosesNothing) {
  vxhost::clearScenes();
  std::u16string shown;
  feed({check([&] { shown = elementsOf(gui::Kind::boxText)[0]->text; }), key(keys::kReturn)});
  EXPECT_EQ(mainSelectSceneRequesterExt(1, 1), 0);
  EXPECT_EQ(shown, u"The storyboard has no scenes.");
}

// ---- texture requester ------------------------------------------------------------------

class TextureRequester : public Requesters {
protected:
  void SetUp() override {
    Requesters::SetUp();
    fs::create_directories(home_ / "/library");
    vxhost::setTextureDir(home_ / "/library");
    texture("red.png", 255, 0, 0);
    texture("blue.png", 0, 0, 255);
  }
  void TearDown() override {
    vxhost::setTextureDir({});
    Requesters::TearDown();
  }
  void texture(const std::string &name, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 16 * 16; ++i)
      rgb.insert(rgb.end(), {r, g, b});
    std::string error;
    ASSERT_TRUE(vxhost::writePng(home_ / ("/library/" + name), 16, 16, 3, rgb.data(), rgb.size(), error)) << error;
  }
  // Runs the requester holding `in` (none when nullopt); returns the status
  // and leaves the settings it then holds in out_ (zero when none).
  int32_t run(std::vector<Step> steps, const std::optional<TxSettings> &in, int32_t &ran) {
    feed(std::move(steps));
    TxRequest *request = txAllocRequest(0);
    txAddOptions(request, 0);
    if (in) {
      EXPECT_EQ(txSetPrefs(request, &*in), 1);
    }
    ran = txRequest(request, 0);
    const int32_t status = txGetStatus(request);
    out_ = TxSettings{};
    txGetPrefs(request, &out_, sizeof out_);
    txFreeRequest(request);
    return status;
  }
  TxSettings out_{};
};

TEST_F(TextureRequester, ChoosesFromTheLibraryWithScaleAndOpacity) {
  int32_t ran = -1;
  // Sorted: blue, red. Opened on nothing: the first; the Right key steps on.
  EXPECT_EQ(run({key(keys::kRight), key('s'), key('s'), key(keys::kReturn)}, std::nullopt, ran), 1);
  EXPECT_EQ(ran, 0);
  const auto red = vxhost::makeTxSettings("red.png", 102, 255);
  ASSERT_TRUE(red);
  EXPECT_EQ(std::memcmp(&out_, &*red, sizeof out_), 0);
  // Opened on the texture held, with its scale and opacity; the opacity
  // slider is in percent (50 % is alpha 128).
  const auto held = vxhost::makeTxSettings("red.png", 300, 77);
  std::vector<std::u16string> values;
  EXPECT_EQ(run({check([&] {
                   const auto sliders = elementsOf(gui::Kind::slider);
                   ASSERT_EQ(sliders.size(), 2u);
                   EXPECT_EQ(sliders[0]->value, 300);
                   EXPECT_EQ(sliders[1]->value, 30);
                   EXPECT_EQ(elementsOf(gui::Kind::grid)[0]->value, 1);
                 }),
                 key(keys::kReturn)},
                held, ran),
            1);
  EXPECT_EQ(std::memcmp(&out_, &*held, sizeof out_), 0); // untouched opacity keeps its exact alpha
  EXPECT_EQ(run({key('o', true), key(keys::kReturn)}, held, ran), 1);
  EXPECT_EQ(out_.colour & 0xFF, 74u); // 29 % -> (29 x 255 + 50) / 100
}

TEST_F(TextureRequester, LeavingKeepsTheSettingsAndFailuresSayTwo) {
  int32_t ran = -1;
  const auto held = vxhost::makeTxSettings("blue.png", 100, 255);
  EXPECT_EQ(run({key(keys::kRight), key(keys::kEscape)}, held, ran), 0);
  EXPECT_EQ(std::memcmp(&out_, &*held, sizeof out_), 0);
  EXPECT_EQ(run({[] { gui::requestClose(); }}, held, ran), 0);
  closeQueuedForCaller();
  // A texture that cannot be read when taken: status 2, after a message.
  std::u16string shown;
  EXPECT_EQ(run({[this] { std::ofstream(home_ / "/library/blue.png") << "damaged"; }, key(keys::kReturn),
                 check([&] { shown = elementsOf(gui::Kind::boxText)[0]->text; }), key(keys::kReturn)},
                std::nullopt, ran),
            2);
  EXPECT_EQ(shown, u"The texture blue.png cannot be read.");
  // An empty library: status 2.
  fs::remove(home_ / "/library/blue.png");
  fs::remove(home_ / "/library/red.png");
  EXPECT_EQ(run({key(keys::kReturn)}, std::nullopt, ran), 2);
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(txRequest(nullptr, 0), -1);
}

} // namespace
