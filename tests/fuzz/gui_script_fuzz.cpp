// The headless line script over fuzzed text, read and then run against a
// small screen holding one request with every element kind (button, check
// box, slider, popup, grid, palette, click gadget, text field). Screenshots
// are dropped from the run (no files are written). The request is made once:
// painting a new one per input took most of the time; each input starts from
// the same element states, no button held and the pointer at the corner.
// Checked: a rejected script says which line; an accepted one has its
// coordinates on the screen; while it runs, every element message names an
// element of the request and a slider's value stays in its range; the run
// ends with a close and leaves no message, request or panel behind.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "fuzz_env.hpp"
#include "host/gui/gui.hpp"
#include "host/gui/script.hpp"
#include "host/gui/toolkit.hpp"
#include "host/settings/settings.hpp"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexamsgq.h"
#include "vxhost/orvexareq.h"
#include "vxhost/vxlstlib.h"
#include "vxhost/xchar.h"

namespace gui = vxhost::gui;

namespace {

constexpr int kScreenWidth = 320, kScreenHeight = 200;
constexpr int kSliderLow = -5, kSliderHigh = 9, kSliderStart = 2;
// A script may queue many messages per line (a drag of 10000 steps); the run
// is cut after this many, which is still far beyond any meaningful script.
constexpr int kMessageLimit = 20000;

const xchar *x(const char16_t *s) { return reinterpret_cast<const xchar *>(s); }

struct Stage {
  RequestDescriptor request{};
  CgHandle panel = 0;
  std::set<int32_t> ids;
  int32_t slider = 0, check = 0, grid = 0, field = 0;
  std::vector<PopupEntry> popupEntries = std::vector<PopupEntry>(3);
  std::vector<GridItem> gridItems = std::vector<GridItem>(6);

  Stage() {
    request.width = 260;
    request.height = 120;
    request.msgQ = msgQCommandGet();
    request.flags = CREQ_ACCEPT | CREQ_CANCEL;
    request.title = x(u"Fuzz");
    if (creqCreateRequest(&request) != 0) fuzzing::fail("no request");
    ids = {request.acceptId, request.cancelId};
    panel = cgCreatePanel(request.handle, 130, 0, 130, 60, 64, 0, 0);
    add(cgAddTextButton(request.handle, 0, 0, 60, 20, x(u"Go"), 0, nullptr));
    check = cgAddCheckBox(request.handle, 64, 0, 24, 20, 1, 0, nullptr);
    add(check);
    cgChangeElement(request.handle, check, CG_ATTR_KEY, 'c', 0);
    slider = cgAddSlider(panel, 4, 4, 100, 20, kSliderLow, kSliderHigh, kSliderStart, nullptr, x(u"%"), 0x130000, nullptr);
    add(slider);
    cgChangeElement(panel, slider, CG_ATTR_KEY, 's', 0);
    add(cgAddPaletteButton(panel, 4, 30, 40, 20, 0x51F05AFFu, 0, nullptr));
    add(cgAddClickGadget(request.handle, 92, 0, 30, 30, 0x10000, 0));
    VxList entries;
    lstNewList(&entries);
    for (PopupEntry &entry : popupEntries) {
      entry.text = x(u"entry");
      entry.flags = 0x201;
      lstAppend(&entries, &entry.node);
    }
    add(cgAddPopup(request.handle, 0, 24, 100, 20, &entries, 1, 0, nullptr));
    VxList items;
    lstNewList(&items);
    for (GridItem &item : gridItems) {
      item.flags = 0x210;
      item.text = x(u"c");
      lstAppend(&items, &item.node);
    }
    grid = cgAddGridview(request.handle, 0, 48, 120, 60, 30, 24, &items, 0, 0x1910000, nullptr);
    add(grid);
    field = gui::addTextField(request.handle, 130, 64, 120, 20, u"", 12);
    add(field);
  }
  // Back to the states of a new request, nothing pressed, nothing queued.
  void restart() {
    gui::release(gui::Button::left, false);
    gui::release(gui::Button::right, false);
    gui::pointerTo(0, 0);
    cgChangeElement(panel, slider, CG_ATTR_SLIDER_VALUE, kSliderStart, 1);
    cgChangeElement(request.handle, check, CG_ATTR_CHECK_STATE, 0, 1);
    cgChangeElement(request.handle, grid, CG_ATTR_GRID_SELECT, 0, 1);
    gui::setFieldText(field, u"");
    gui::setFocus(field);
    GuiMessage m{};
    while (gui::queuedMessages() > 0) cgMsgQReceive(&m, 0);
  }
  void add(int32_t id) {
    if (id == 0) fuzzing::fail("an element was not made");
    ids.insert(id);
  }
};

Stage *stage = nullptr;
gui::LiveCounts madeOnce;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::quietLog();
  vxhost::reset();
  vxhost::Screen screen;
  screen.width = kScreenWidth;
  screen.height = kScreenHeight;
  vxhost::setScreen(screen);
  stage = new Stage;
  madeOnce = gui::liveCounts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Long scripts only repeat what short ones do.
  if (size > 2048) return 0;
  const std::string text(reinterpret_cast<const char *>(data), size);
  gui::Script script;
  try {
    script = gui::parseScript(text, "f", kScreenWidth, kScreenHeight);
  } catch (const gui::ScriptError &error) {
    if (std::string(error.what()).rfind("f:", 0) != 0) fuzzing::fail("a script error without its line");
    return 0;
  }
  for (const gui::ScriptCommand &c : script.commands) {
    if (c.x < 0 || c.x >= kScreenWidth || c.y < 0 || c.y >= kScreenHeight || c.x2 < 0 ||
        c.x2 >= kScreenWidth || c.y2 < 0 || c.y2 >= kScreenHeight)
      fuzzing::fail("a point off the screen was accepted");
  }
  script.commands.erase(std::remove_if(script.commands.begin(), script.commands.end(),
                                       [](const gui::ScriptCommand &c) {
                                         return c.type == gui::ScriptCommand::Type::screenshot ||
                                                c.type == gui::ScriptCommand::Type::monitor;
                                       }),
                        script.commands.end());
  {
    Stage &screen = *stage;
    screen.restart();
    gui::runScript(script);
    bool closed = false;
    for (int count = 0; count < kMessageLimit && !closed; ++count) {
      GuiMessage m{};
      if (cgMsgQReceive(&m, -1) != int32_t(sizeof m)) fuzzing::fail("no message while waiting");
      if (m.kind == GUI_MSG_CLOSE) closed = true;
      if (m.kind != GUI_MSG_ELEMENT) continue;
      if (screen.ids.count(m.id) == 0) fuzzing::fail("a message from an unknown element");
      if (m.id == screen.slider && (m.value < kSliderLow || m.value > kSliderHigh))
        fuzzing::fail("a slider value out of its range");
    }
    gui::closeBackend();
    GuiMessage rest{};
    while (gui::queuedMessages() > 0) cgMsgQReceive(&rest, 0);
  }
  if (gui::liveCounts() != madeOnce) fuzzing::fail("a request or panel outlived the input");
  return 0;
}
