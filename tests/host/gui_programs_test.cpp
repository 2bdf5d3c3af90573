// The host preview (opPreview) against the render command, `tileron-host
// edit` as a user runs it, and the SDL window under Xvfb.
#include <SDL.h>
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(TILERON_SANITIZED)
#include <sanitizer/lsan_interface.h>
#endif

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "host/scenes/storyboard.hpp"
#include "host/media/png.hpp"
#include "program_fixture.hpp"
#include "vxhost/oplib.h"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexareq.h"

using testing::HasSubstr;
namespace gui = vxhost::gui;

namespace {

std::string readFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class GuiProgramTest : public ProgramTest {
protected:
  void SetUp() override {
    ProgramTest::SetUp();
    makeSettings(R"({"mask": "diagonal_down_2", "parts": [{"scene": 1}, {"scene": 2}]})");
    storyboard_ = (home_.path() / "story.json").string();
    media_fixture::writeFile(storyboard_, R"({"format": {"width": 96, "height": 64, "rate": "25/1"},
        "input": "colour:#202020", "length": 3,
        "scenes": [{"id": 1, "source": "pattern:gradient"}, {"id": 2, "source": "pattern:bars"}]})");
  }
  std::string storyboard_;
};

TEST_F(GuiProgramTest, PreviewRendersEveryFieldAsTheRenderCommandDoes) {
  const std::string rendered = (home_.path() / "render.y4m").string();
  const ProgramResult render = run("tileron-host render " + storyboard_ + " -o " + rendered);
  ASSERT_EQ(render.status, 0) << render.output;

  const vxhost::Storyboard board = vxhost::loadStoryboard(storyboard_);
  vxhost::StoryboardClips clips = vxhost::openClips(board);
  vxhost::applyStoryboard(board, clips);
  void *module = dlopen(TILERON_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  const auto info = reinterpret_cast<GetOperatorInfoFn>(dlsym(module, "GetOperatorInfo"));
  OperatorEntry entry = nullptr;
  for (const OperatorTag *t = info(); t->tag != 0; ++t)
    if (t->tag == OPERATOR_TAG(OP_TAG_ENTRY))
      entry = reinterpret_cast<OperatorEntry>(t->value);
  ASSERT_NE(entry, nullptr);
  OperatorMessage load{};
  load.type = OP_MSG_LOAD;
  ASSERT_EQ(entry(&load), 0);

  EXPECT_EQ(opPreview(0), -1); // no preview set up
  const std::filesystem::path previewed = home_.path() / "preview.y4m";
  gui::setPreviewSetup({entry, 2 * board.length, previewed.string()});
  EXPECT_EQ(opPreview(0), 0);
  EXPECT_EQ(gui::lastPreviewFields(), 6);
  EXPECT_EQ(readFile(previewed), readFile(rendered));
  // The sink of whoever called is back in place.
  int delivered = 0;
  vxhost::setFieldSink([&delivered](OpImage *image) {
    ++delivered;
    opFreeImage(image);
  });
  gui::setPreviewSetup({entry, 2 * board.length, ""});
  EXPECT_EQ(opPreview(0), 0);
  OperatorMessage one{};
  one.type = OP_MSG_SETUP;
  ASSERT_EQ(entry(&one), 0);
  one.type = OP_MSG_RENDER;
  one.effectValue = 6;
  EXPECT_EQ(entry(&one), 0);
  EXPECT_EQ(delivered, 1);
  one.type = OP_MSG_TEARDOWN;
  entry(&one);
  vxhost::setFieldSink(nullptr);
  OperatorMessage unload{};
  unload.type = OP_MSG_UNLOAD;
  entry(&unload);
  gui::setPreviewSetup({});
  dlclose(module);
}

TEST_F(GuiProgramTest, EditChecksItsOptions) {
  const std::string script = (home_.path() / "script.txt").string();
  media_fixture::writeFile(script, "click 10 10\n");
  const struct {
    std::string arguments;
    int status;
    const char *message;
  } cases[] = {
      {"--script " + script, 0, "settings: "},
      {"--script " + script + " --screen 100x100", 1, "the screen must be 640x400 to 8192x8192"},
      {"--script " + script + " --screen big", 1, "write the size as WIDTHxHEIGHT"},
      {"--script " + script + " --safe-margin 50", 1, "0 to 20 per cent"},
      {"--script " + script + " --language klingon!", 1, "not a plain name"},
      {"--script " + script + " --preview-out x.avi", 1, "x.avi"},
      {"--script " + (home_.path() / "missing.txt").string(), 1, "cannot read the script"},
  };
  for (const auto &c : cases) {
    const ProgramResult r = run("tileron-host edit " + storyboard_ + " " + c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.output;
    EXPECT_THAT(r.output, HasSubstr(c.message)) << c.arguments;
  }
  media_fixture::writeFile(script, "click 10 10\nbounce\n");
  ProgramResult r = run("tileron-host edit " + storyboard_ + " --script " + script);
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.output, HasSubstr(script + ":2: unknown command \"bounce\""));
  // Without a display and without a script the editor cannot open.
  {
    testing_support::ScopedEnv noX("DISPLAY", std::nullopt), noWayland("WAYLAND_DISPLAY", std::nullopt);
    r = run("tileron-host edit " + storyboard_);
  }
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.output, HasSubstr("there is no display"));
  EXPECT_THAT(r.output, HasSubstr("--script"));
}

// An X server of its own for the test, stopped at the end.
class Xvfb {
public:
  Xvfb() {
    display_ = ":" + std::to_string(90 + getpid() % 100);
    pid_ = fork();
    if (pid_ == 0) {
      execlp("Xvfb", "Xvfb", display_.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", (char *)nullptr);
      _exit(127);
    }
    const std::string socket = "/tmp/.X11-unix/X" + display_.substr(1);
    for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ready_ = std::filesystem::exists(socket);
  }
  ~Xvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ready() const { return ready_; }
  const std::string &display() const { return display_; }

private:
  pid_t pid_ = -1;
  std::string display_;
  bool ready_ = false;
};

using GuiWindowTest = HostTest;

#if defined(TILERON_SANITIZED)
// SDL keeps D-Bus and X client blocks until the process ends, some inside
// libraries it unloads again, so no suppression can name them: LeakSanitizer
// ignores what is allocated while this lives (the window's whole life).
struct SystemLibraryAllocations {
  SystemLibraryAllocations() { __lsan_disable(); }
  ~SystemLibraryAllocations() { __lsan_enable(); }
};
#else
struct SystemLibraryAllocations {
  SystemLibraryAllocations() {}
};
#endif

TEST_F(GuiWindowTest, WindowShowsTheScreenAndTurnsAClickIntoAMessage) {
  Xvfb x;
  ASSERT_TRUE(x.ready()) << "Xvfb did not start (scripts/deps.sh installs xvfb)";
  testing_support::ScopedEnv display("DISPLAY", x.display());
  vxhost::Screen s;
  s.width = 640;
  s.height = 400;
  vxhost::setScreen(s);
  std::string error;
  // The toolkit's own objects are counted by the fixture at the end.
  const SystemLibraryAllocations sdl;
  ASSERT_TRUE(gui::openWindow(error)) << error;
  RequestDescriptor d{};
  d.width = 200;
  d.height = 60;
  d.flags = CREQ_ACCEPT | CREQ_CANCEL;
  ASSERT_EQ(creqCreateRequest(&d), 0);
  const std::u16string text = u"Press";
  const int32_t button =
      cgAddTextButton(d.handle, 10, 10, 100, 24, reinterpret_cast<const xchar *>(text.c_str()), 0, nullptr);
  // A click at the button's centre, as the window system gives it.
  const int cx = d.x + 8 + 60, cy = d.y + 8 + 22;
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = cx;
  e.motion.y = cy;
  SDL_PushEvent(&e);
  e = SDL_Event{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.state = SDL_PRESSED;
  e.button.x = cx;
  e.button.y = cy;
  SDL_PushEvent(&e);
  GuiMessage m{};
  do
    ASSERT_EQ(cgMsgQReceive(&m, 5000), 44);
  while (m.kind == GUI_MSG_POINTER_MOVED);
  EXPECT_EQ(m.kind, GUI_MSG_ELEMENT);
  EXPECT_EQ(m.id, button);
  const std::filesystem::path shot = home_.path() / "window.png";
  ASSERT_TRUE(gui::writeScreenshot(shot, error)) << error;
  const std::optional<vxhost::RgbaImage> picture = vxhost::readPng(shot, error);
  ASSERT_TRUE(picture) << error;
  EXPECT_EQ(picture->width, 640);
  EXPECT_EQ(picture->height, 400);
  // Closing the window asks to close.
  e = SDL_Event{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
  do
    ASSERT_EQ(cgMsgQReceive(&m, 5000), 44);
  while (m.kind != GUI_MSG_CLOSE);
  creqDeleteRequest(&d);
  gui::closeBackend();
}

} // namespace
