// The GUI toolkit: requests, panels, elements and the messages each gesture
// gives, keys, help line, enable/disable, removal, pointer, screenshots.
#include <fstream>
#include <string>
#include <vector>

#include "host/gui/toolkit.hpp"
#include "host/media/png.hpp"
#include "host_fixture.hpp"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexamsgq.h"
#include "vxhost/orvexareq.h"
#include "vxhost/orvexares.h"
#include "vxhost/vxlstlib.h"
#include "vxhost/xchar.h"

namespace {

using vxhost::gui::Button;
namespace gui = vxhost::gui;

const xchar *x(const std::u16string &s) { return reinterpret_cast<const xchar *>(s.c_str()); }

class GuiTest : public HostTest {
protected:
  // A centred request of w x h with accept and cancel buttons.
  RequestDescriptor open(int w, int h, uint32_t flags = CREQ_ACCEPT | CREQ_CANCEL | 0x18) {
    RequestDescriptor d{};
    d.width = int16_t(w);
    d.height = int16_t(h);
    d.msgQ = msgQCommandGet();
    d.flags = flags;
    d.title = x(title_);
    EXPECT_EQ(creqCreateRequest(&d), 0);
    return d;
  }
  // The editor's kind of request: the whole screen, no standard buttons.
  RequestDescriptor openFullScreen() {
    RequestDescriptor d{};
    d.width = int16_t(cgGetScreenWidth());
    d.height = int16_t(cgGetScreenHeight());
    d.msgQ = cgGetOutputMsgQ();
    d.flags = 0x21C0;
    EXPECT_EQ(creqCreateRequest(&d), 0);
    return d;
  }
  // The one message queued now (fails when there is none or more).
  GuiMessage only() {
    EXPECT_EQ(gui::queuedMessages(), 1u);
    return next();
  }
  // The next message that is not a pointer motion.
  GuiMessage nextNotMoved() {
    GuiMessage m = next();
    while (m.kind == GUI_MSG_POINTER_MOVED)
      m = next();
    return m;
  }
  GuiMessage next() {
    GuiMessage m{};
    EXPECT_EQ(cgMsgQReceive(&m, -1), 44);
    return m;
  }
  // A click whose pointer motion (kind 2) is taken off the queue first.
  void clickAt(int px, int py, Button button = Button::left, bool shift = false) {
    gui::pointerTo(px, py);
    drain();
    gui::press(button, shift);
    gui::release(button, shift);
  }
  std::vector<GuiMessage> drain() {
    std::vector<GuiMessage> all;
    while (gui::queuedMessages() > 0)
      all.push_back(next());
    return all;
  }
  // Screen position of content point (px, py) of request d.
  int sx(const RequestDescriptor &d, int px) { return d.x + 8 + px; }
  int sy(const RequestDescriptor &d, int py) { return d.y + vxhost::screen().fontHeight + vxhost::screen().addHeight + 16 + py; }

  std::u16string title_ = u"Test";
};

TEST_F(GuiTest, RequestsAreCentredAndReportTheirStandardButtons) {
  RequestDescriptor d = open(400, 200);
  EXPECT_NE(d.handle, 0u);
  // 16 wider (frame) and title bar (R + 16) plus button row (R + 24) higher.
  EXPECT_EQ(d.w, 416);
  EXPECT_EQ(d.h, 200 + 36 + 44);
  EXPECT_EQ(d.x, (1920 - 416) / 2);
  EXPECT_EQ(d.y, (1080 - 280) / 2);
  EXPECT_NE(d.acceptId, 0);
  EXPECT_NE(d.cancelId, 0);
  EXPECT_EQ(gui::liveCounts().requests, 1);
  // The accept button reacts to a click, the cancel button to Escape.
  EXPECT_EQ(gui::topAcceptId(), d.acceptId);
  gui::pressKey(0x1B002);
  GuiMessage m = only();
  EXPECT_EQ(m.kind, GUI_MSG_ELEMENT);
  EXPECT_EQ(m.id, d.cancelId);

  RequestDescriptor full = openFullScreen();
  EXPECT_EQ(full.x, 0);
  EXPECT_EQ(full.w, 1920);
  EXPECT_EQ(full.acceptId, 0);
  EXPECT_EQ(full.cancelId, 0);
  creqDeleteRequest(&full);
  creqDeleteRequest(&d);
  EXPECT_EQ(gui::liveCounts().requests, 0);

  RequestDescriptor bad{};
  EXPECT_EQ(creqCreateRequest(&bad), -1); // no size
}

TEST_F(GuiTest, EachElementKindSendsItsMessage) {
  RequestDescriptor d = open(600, 300);
  const std::u16string text = u"Press", label = u"Label";
  ElementExtension *ext = cgAllocGadExt();
  ext->label = x(label);
  const int32_t button = cgAddTextButton(d.handle, 10, 10, 100, 24, x(text), 0, nullptr);
  const int32_t check = cgAddCheckBox(d.handle, 200, 10, 32, 24, 1, 0, ext);
  const int32_t gadget = cgAddClickGadget(d.handle, 300, 10, 50, 50, 0x10000, 0);
  const int32_t palette = cgAddPaletteButton(d.handle, 400, 10, 66, 24, 0x51F05AFFu, 0, ext);
  cgFreeGadExt(ext);
  ASSERT_TRUE(button && check && gadget && palette);

  struct Case {
    int32_t id;
    int px, py;
    int32_t value;
  } cases[] = {{button, 50, 20, 0}, {check, 216, 20, 1}, {check, 216, 20, 0}, {gadget, 320, 30, 0},
               {palette, 430, 20, 0}};
  for (const Case &c : cases) {
    clickAt(sx(d, c.px), sy(d, c.py));
    const GuiMessage m = only();
    EXPECT_EQ(m.kind, GUI_MSG_ELEMENT);
    EXPECT_EQ(m.id, c.id);
    EXPECT_EQ(m.value, c.value);
    EXPECT_EQ(m.x, sx(d, c.px));
  }
  int32_t state = -1;
  EXPECT_EQ(cgGetElementInfo(d.handle, check, CG_ATTR_CHECK_STATE, &state), 0);
  cgChangeElement(d.handle, check, CG_ATTR_CHECK_STATE, 1, 1);
  EXPECT_EQ(cgGetElementInfo(d.handle, check, CG_ATTR_CHECK_STATE, &state), 1);
  EXPECT_EQ(state, 1);
  creqDeleteRequest(&d);
}

TEST_F(GuiTest, PressesOutsideElementsGiveButtonCodesWithShift) {
  RequestDescriptor full = openFullScreen();
  struct Case {
    Button button;
    bool shift;
    bool isPress;
    int32_t code, qualifier;
  } cases[] = {{Button::left, false, true, 1, 0},      {Button::left, false, false, 4, 0},
               {Button::right, false, true, 2, 0},     {Button::left, true, true, 0x81, 0x80},
               {Button::left, true, false, 0x84, 0x80}, {Button::right, true, true, 0x82, 0x80}};
  gui::pointerTo(500, 400);
  EXPECT_EQ(only().kind, GUI_MSG_POINTER_MOVED);
  for (const Case &c : cases) {
    if (c.isPress)
      gui::press(c.button, c.shift);
    else
      gui::release(c.button, c.shift);
    const GuiMessage m = only();
    EXPECT_EQ(m.kind, GUI_MSG_POINTER_BUTTON);
    EXPECT_EQ(m.id, c.code);
    EXPECT_EQ(m.qualifier, c.qualifier);
    EXPECT_EQ(m.x, 500);
    EXPECT_EQ(m.y, 400);
  }
  gui::release(Button::right); // a right release reports nothing
  EXPECT_EQ(gui::queuedMessages(), 0u);
  gui::requestClose();
  EXPECT_EQ(only().kind, GUI_MSG_CLOSE);
  creqDeleteRequest(&full);
}

TEST_F(GuiTest, SlidersReportDragPhasesAndStepByKey) {
  RequestDescriptor d = open(400, 100);
  const std::u16string unit = u"%";
  const int32_t slider = cgAddSlider(d.handle, 100, 10, 102, 24, 0, 100, 15, nullptr, x(unit), 0x130000, nullptr);
  ASSERT_NE(slider, 0);
  cgChangeElement(d.handle, slider, CG_ATTR_KEY, 'b', 0);
  // The inner track is 100 pixels: x 101 is the lowest, x 200 the highest value.
  gui::pointerTo(sx(d, 151), sy(d, 20));
  drain();
  gui::press(Button::left);
  GuiMessage m = only();
  EXPECT_EQ(m.kind, GUI_MSG_ELEMENT);
  EXPECT_EQ(m.id, slider);
  EXPECT_NE(m.phase, 3);
  EXPECT_EQ(m.value, 51);
  gui::pointerTo(sx(d, 400), sy(d, 20)); // beyond the end: the highest value
  m = only();
  EXPECT_NE(m.phase, 3);
  EXPECT_EQ(m.value, 100);
  gui::pointerTo(sx(d, 101), sy(d, 60));
  EXPECT_EQ(only().value, 0);
  gui::release(Button::left);
  m = only();
  EXPECT_EQ(m.phase, 3);
  EXPECT_EQ(m.value, 0);
  int32_t v = -1;
  EXPECT_EQ(cgGetElementInfo(d.handle, slider, CG_ATTR_SLIDER_VALUE_GET, &v), 0);

  // A key steps by one (Shift back) and sends a final event; it wraps at the ends.
  cgChangeElement(d.handle, slider, CG_ATTR_SLIDER_VALUE, 99, 1);
  const int32_t steps[][2] = {{0, 100}, {0, 0}, {1, 100}, {1, 99}};
  for (const auto &step : steps) {
    gui::pressKey('b', step[0] != 0);
    m = only();
    EXPECT_EQ(m.phase, 3);
    EXPECT_EQ(m.value, step[1]);
    EXPECT_EQ(m.key, 'b');
  }
  // Attribute 39 lowers the maximum and the value with it.
  cgChangeElement(d.handle, slider, CG_ATTR_SLIDER_MAX, 50, 1);
  EXPECT_EQ(cgGetElementInfo(d.handle, slider, CG_ATTR_SLIDER_VALUE_GET, &v), 50);
  creqDeleteRequest(&d);
}

TEST_F(GuiTest, PopupsAndGridsReportTheChosenIndex) {
  RequestDescriptor d = open(700, 400);
  VxList entries;
  lstNewList(&entries);
  const std::u16string names[] = {u"Scaled", u"Tiled", u"Mirrored"};
  PopupEntry nodes[3] = {};
  for (int i = 0; i < 3; ++i) {
    nodes[i].flags = 0x201;
    nodes[i].text = x(names[i]);
    lstAppend(&entries, &nodes[i].node);
  }
  const int32_t popup = cgAddPopup(d.handle, 10, 10, 186, 24, &entries, 1, 0, nullptr);
  ASSERT_NE(popup, 0);
  cgChangeElement(d.handle, popup, CG_ATTR_KEY, 'm', 0);
  // A press opens the list; a press on its third row chooses it.
  clickAt(sx(d, 50), sy(d, 20));
  EXPECT_EQ(gui::queuedMessages(), 0u);
  const int row = vxhost::screen().fontHeight + vxhost::screen().addHeight + 2;
  clickAt(sx(d, 50), sy(d, 10 + 24 + 2 + 3 + 2 * row + row / 2));
  GuiMessage m = only();
  EXPECT_EQ(m.id, popup);
  EXPECT_EQ(m.value, 2);
  gui::pressKey('m');
  EXPECT_EQ(only().value, 0); // wraps to the first entry

  // Grid items are copied: the list may go right after the call.
  std::vector<GridItem> items(30);
  VxList list;
  lstNewList(&list);
  for (GridItem &item : items) {
    item.flags = 0x210;
    lstAppend(&list, &item.node);
  }
  const int32_t grid = cgAddGridview(d.handle, 10, 50, 3 * 104 + 30, 2 * 64 + 8, 100, 60, &list, 0, 0x1910000, nullptr);
  ASSERT_NE(grid, 0);
  items.clear();
  int32_t selected = -1;
  EXPECT_EQ(cgGetElementInfo(d.handle, grid, CG_ATTR_GRID_SELECTED, &selected), 0);
  // Row 2, column 2 (counted from 1) is cell 4.
  clickAt(sx(d, 10 + 4 + 104 + 50), sy(d, 50 + 4 + 64 + 30));
  m = only();
  EXPECT_EQ(m.id, grid);
  EXPECT_EQ(m.value, 4);
  // Selecting cell 29 scrolls it into view: it is then in the bottom row.
  cgChangeElement(d.handle, grid, CG_ATTR_GRID_SELECT, 29, 1);
  EXPECT_EQ(cgGetElementInfo(d.handle, grid, CG_ATTR_GRID_SELECTED, &selected), 29);
  clickAt(sx(d, 10 + 4 + 50), sy(d, 50 + 4 + 64 + 30));
  EXPECT_EQ(only().value, 27);
  creqDeleteRequest(&d);
}

TEST_F(GuiTest, KeysActAsClicksOnlyOnEnabledElementsOfTheTopRequest) {
  RequestDescriptor d = open(400, 100);
  const std::u16string text = u"Go";
  const int32_t go = cgAddTextButton(d.handle, 10, 10, 100, 24, x(text), 0, nullptr);
  const int32_t del = cgAddTextButton(d.handle, 120, 10, 100, 24, x(text), 0, nullptr);
  cgChangeElement(d.handle, go, CG_ATTR_KEY, 'g', 0);
  cgChangeElement(d.handle, del, CG_ATTR_KEY, 0x2E002, 0);
  gui::pressKey('g');
  EXPECT_EQ(only().id, go);
  gui::pressKey(0x2E002);
  EXPECT_EQ(only().id, del);
  cgDisableElement(d.handle, go);
  gui::pressKey('g');
  clickAt(sx(d, 50), sy(d, 20));
  EXPECT_EQ(gui::queuedMessages(), 0u);
  cgEnableElement(d.handle, go);
  clickAt(sx(d, 50), sy(d, 20));
  EXPECT_EQ(only().id, go);

  // A second request takes the keys; the one below gets none.
  RequestDescriptor above = open(200, 50);
  gui::pressKey('g');
  EXPECT_EQ(gui::queuedMessages(), 0u);
  creqDeleteRequest(&above);
  gui::pressKey('g');
  EXPECT_EQ(only().id, go);
  creqDeleteRequest(&d);
}

TEST_F(GuiTest, HelpLineShowsTheTextOfTheElementUnderThePointer) {
  RequestDescriptor d = open(400, 100);
  const ResHandle strings = resLoadStrings("tileron");
  ASSERT_NE(strings, 0u);
  const std::u16string text = u"Exit";
  const int32_t exit = cgAddTextButton(d.handle, 10, 10, 100, 24, x(text), 0, nullptr);
  cgChangeElement(d.handle, exit, CG_ATTR_HELP_TABLE, intptr_t(strings), 0);
  cgChangeElement(d.handle, exit, CG_ATTR_HELP_NUMBER, 5011, 0);
  gui::pointerTo(sx(d, 50), sy(d, 20));
  EXPECT_EQ(gui::helpLine(), u"Close the editor; the settings are kept");
  const std::vector<uint32_t> with = gui::composeScreen(false);
  gui::pointerTo(sx(d, 300), sy(d, 20));
  EXPECT_EQ(gui::helpLine(), u"");
  const std::vector<uint32_t> without = gui::composeScreen(false);
  EXPECT_NE(with, without); // the help line is drawn
  // The number changes while the pointer stays.
  gui::pointerTo(sx(d, 50), sy(d, 20));
  cgChangeElement(d.handle, exit, CG_ATTR_HELP_NUMBER, 5010, 0);
  EXPECT_EQ(gui::helpLine(), u"Remove the scene from this part");
  drain();
  resFreeStrings(strings);
  creqDeleteRequest(&d);
}

TEST_F(GuiTest, RemovingAPanelRemovesItsPanelsAndElements) {
  RequestDescriptor full = openFullScreen();
  const CgHandle main = cgCreatePanel(full.handle, 360, 950, 1200, 130, 256, 2048, 0);
  const CgHandle group = cgCreatePanel(main, 66, 26, 388, 96, 64, 0, 0);
  const CgHandle inner = cgCreatePanel(group, 4, 4, 50, 50, 64, 0, 0);
  ASSERT_TRUE(main && group && inner);
  const std::u16string text = u"B";
  const int32_t onMain = cgAddTextButton(main, 10, 10, 30, 24, x(text), 0, nullptr);
  const int32_t onInner = cgAddTextButton(inner, 5, 5, 30, 24, x(text), 0, nullptr);
  const CgHandle other = cgCreatePanel(full.handle, 0, 0, 100, 100, 256, 0, 0);
  const int32_t onOther = cgAddTextButton(other, 10, 10, 30, 24, x(text), 0, nullptr);
  EXPECT_EQ(gui::liveCounts().panels, 4);
  const std::vector<uint32_t> before = gui::composeScreen(false);

  cgRemovePanel(main);
  EXPECT_EQ(gui::liveCounts().panels, 1);
  EXPECT_EQ(cgChangeElement(main, onMain, CG_ATTR_KEY, 'a', 0), 0);
  EXPECT_EQ(cgChangeElement(inner, onInner, CG_ATTR_KEY, 'a', 0), 0);
  EXPECT_EQ(cgChangeElement(other, onOther, CG_ATTR_KEY, 'a', 0), 1);
  clickAt(360 + 66 + 4 + 10, 950 + 26 + 4 + 10);
  EXPECT_EQ(next().id, GUI_BUTTON_LEFT_PRESS); // nothing there now
  drain();
  // Where the panel was the video plane shows again.
  const std::vector<uint32_t> after = gui::composeScreen(false);
  const size_t inside = size_t(1000) * 1920 + 700;
  EXPECT_NE(before[inside], after[inside]);
  ASSERT_EQ(vxhost::overlayPlane()[inside], 0u);
  EXPECT_EQ(after[inside], 0x108080FFu); // a plane never written shows black
  EXPECT_EQ(cgCreatePanel(12345, 0, 0, 10, 10, 0, 0, 0), 0u);
  creqDeleteRequest(&full); // takes the other panel with it
  EXPECT_EQ(gui::liveCounts().panels, 0);
}

TEST_F(GuiTest, ActivatedAndDisabledElementsLookDifferent) {
  RequestDescriptor d = open(300, 60);
  const std::u16string text = u"Colour";
  const int32_t b = cgAddTextButton(d.handle, 10, 10, 100, 24, x(text), 0, nullptr);
  const size_t at = size_t(sy(d, 12)) * 1920 + size_t(sx(d, 14));
  const uint32_t plain = gui::composeScreen(false)[at];
  cgActivateElement(d.handle, b);
  const uint32_t active = gui::composeScreen(false)[at];
  cgInactivateElement(d.handle, b);
  cgDisableElement(d.handle, b);
  const uint32_t disabled = gui::composeScreen(false)[at];
  EXPECT_NE(plain, active);
  EXPECT_NE(plain, disabled);
  EXPECT_NE(active, disabled);
  creqDeleteRequest(&d);
}

TEST_F(GuiTest, PointerShapesAndTheVirtualPointer) {
  EXPECT_EQ(gui::pointerShapeName(), "standard");
  cgBusyPointer();
  EXPECT_EQ(gui::pointerShapeName(), "busy");
  const ResHandle images = resLoadImages("tileron");
  const ResImage *cross = resGetImage(images, 100);
  ASSERT_NE(cross, nullptr);
  const intptr_t custom[] = {1, 1, 7, intptr_t(cross), 8, 16, 9, 16, 3, 3, 0};
  EXPECT_EQ(cgSetPointerAttrs(custom), 1);
  EXPECT_EQ(gui::pointerShapeName(), "custom");
  const intptr_t standard[] = {1, 1, 3, 1, 0};
  EXPECT_EQ(cgSetPointerAttrs(standard), 1);
  EXPECT_EQ(gui::pointerShapeName(), "standard");
  const intptr_t noImage[] = {1, 1, 3, 3, 0};
  const intptr_t unknown[] = {1, 1, 42, 0, 0};
  EXPECT_EQ(cgSetPointerAttrs(noImage), 0);
  EXPECT_EQ(cgSetPointerAttrs(unknown), 0);
  resFreeImages(images);

  cgMovePointer(100, 200);
  int32_t px = 0, py = 0;
  cgGetPointerPos(&px, &py);
  EXPECT_EQ(px, 100);
  EXPECT_EQ(py, 200);
  cgMovePointer(5000, -3); // held to the screen
  cgGetPointerPos(&px, &py);
  EXPECT_EQ(px, 1919);
  EXPECT_EQ(py, 0);

  // Relative motion moves the virtual pointer past the screen's edge.
  cgVirtualPointerOn(0);
  cgMoveVirtualPointer(960, 540);
  gui::pointerBy(-2000, 10);
  EXPECT_EQ(only().kind, GUI_MSG_POINTER_MOVED);
  cgGetPointerPos(&px, &py);
  EXPECT_EQ(px, -1040);
  EXPECT_EQ(py, 550);
  cgMoveVirtualPointer(300, 400);
  cgVirtualPointerOff(0);
  cgGetPointerPos(&px, &py);
  EXPECT_EQ(px, 300);
  EXPECT_EQ(py, 400);
  EXPECT_FALSE(gui::virtualPointerOn());
}

TEST_F(GuiTest, ScriptsFeedOneCommandPerWaitAndCloseAtTheEnd) {
  RequestDescriptor full = openFullScreen();
  const std::filesystem::path shot = home_.path() / "shot.png";
  gui::runScript(gui::parseScript("# a comment\n"
                                  "click 10 20 right shift\n"
                                  "screenshot " + shot.string() + "\n"
                                  "drag 100 100 110 90 steps 2\n"
                                  "close\n",
                                  "test.txt", 1920, 1080));
  const int32_t expected[][3] = {{GUI_MSG_POINTER_MOVED, 0, 0},    {GUI_MSG_POINTER_BUTTON, 0x82, 0x80},
                                 {GUI_MSG_POINTER_MOVED, 0, 0},    {GUI_MSG_POINTER_BUTTON, 1, 0},
                                 {GUI_MSG_POINTER_MOVED, 0, 0},    {GUI_MSG_POINTER_MOVED, 0, 0},
                                 {GUI_MSG_POINTER_BUTTON, 4, 0},   {GUI_MSG_CLOSE, 0, 0},
                                 {GUI_MSG_CLOSE, 0, 0}};
  for (const auto &e : expected) {
    const GuiMessage m = next();
    EXPECT_EQ(m.kind, e[0]);
    if (m.kind == GUI_MSG_POINTER_BUTTON) {
      EXPECT_EQ(m.id, e[1]);
      EXPECT_EQ(m.qualifier, e[2]);
    }
    // The screenshot is taken once the click's messages were all received.
    if (m.kind == GUI_MSG_POINTER_MOVED && m.x == 100) {
      EXPECT_TRUE(std::filesystem::exists(shot));
    }
  }
  EXPECT_TRUE(gui::inputEnded());
  std::string error;
  const std::optional<vxhost::RgbaImage> picture = vxhost::readPng(shot, error);
  ASSERT_TRUE(picture) << error;
  EXPECT_EQ(picture->width, 1920);
  EXPECT_EQ(picture->height, 1080);
  gui::closeBackend();
  creqDeleteRequest(&full);
}

TEST_F(GuiTest, ScriptMovesAreRelativeWhileTheVirtualPointerIsOn) {
  gui::runScript(gui::parseScript("move 100 100\nmove 130 90\nmove 130 95\n", "s", 1920, 1080));
  GuiMessage m = next();
  cgVirtualPointerOn(0);
  cgMoveVirtualPointer(960, 540);
  m = next();
  EXPECT_EQ(m.x, 990);
  EXPECT_EQ(m.y, 530);
  cgMoveVirtualPointer(960, 540);
  m = next();
  EXPECT_EQ(m.x, 960);
  EXPECT_EQ(m.y, 545);
  cgVirtualPointerOff(0);
  gui::closeBackend();
}

TEST_F(GuiTest, ScriptErrorsNameTheLine) {
  const struct {
    const char *text;
    const char *message;
  } cases[] = {
      {"move 10\n", "s:1: missing y"},
      {"\n\nclick 10 2000\n", "s:3: y 2000 is outside 0..1079"},
      {"jump 1 2\n", "s:1: unknown command \"jump\""},
      {"key nothing\n", "s:1: \"nothing\" names no key"},
      {"screenshot out.jpg\n", "s:1: \"out.jpg\" is not a .png file name"},
      {"drag 1 1 2 2 steps 0\n", "s:1: steps 0 is outside 1..10000"},
      {"close now\n", "s:1: unexpected \"now\""},
  };
  for (const auto &c : cases) {
    try {
      gui::parseScript(c.text, "s", 1920, 1080);
      ADD_FAILURE() << c.text;
    } catch (const gui::ScriptError &e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
  int32_t code = 0;
  const struct {
    const char *word;
    int32_t code;
  } keys[] = {{"e", 'e'}, {"Z", 'z'}, {"7", '7'}, {"0x100065", 0x100065}, {"delete", 0x2E002},
              {"escape", 0x1B002}, {"ctrl+e", 0x100065}, {"f1", 0x70002}, {"return", 0xD002}};
  for (const auto &k : keys) {
    ASSERT_TRUE(gui::parseKeyCode(k.word, code)) << k.word;
    EXPECT_EQ(code, k.code) << k.word;
  }
}

TEST_F(GuiTest, TextFieldsTakeTypedTextWhenFocused) {
  RequestDescriptor d = open(400, 100);
  const std::u16string label = u"Save";
  const int32_t save = cgAddTextButton(d.handle, 10, 50, 100, 24, x(label), 0, nullptr);
  cgChangeElement(d.handle, save, CG_ATTR_KEY, 's', 0);
  const int32_t field = gui::addTextField(d.handle, 10, 10, 300, 24, u"", 8);
  ASSERT_NE(field, 0);
  gui::runScript(gui::parseScript("key s\nclick " + std::to_string(sx(d, 100)) + " " + std::to_string(sy(d, 20)) +
                                      "\ntype Süd s#1 and more\nkey backspace\nkey s\nkey return\n",
                                  "s", 1920, 1080));
  // Before the field has the focus, 's' is the button's key.
  EXPECT_EQ(next().id, save);
  // Then the characters go to the field (at most 8), Return sends its event.
  const GuiMessage m = nextNotMoved();
  EXPECT_EQ(m.kind, GUI_MSG_ELEMENT);
  EXPECT_EQ(m.id, field);
  EXPECT_EQ(gui::fieldText(field), u"Süd s#1s");
  EXPECT_EQ(next().kind, GUI_MSG_CLOSE);
  EXPECT_EQ(gui::scriptFailure(), "");
  gui::closeBackend();

  // Typing with no field focused is a script error naming the line.
  gui::setFocus(0);
  gui::runScript(gui::parseScript("\ntype abc\n", "t", 1920, 1080));
  EXPECT_EQ(next().kind, GUI_MSG_CLOSE);
  EXPECT_EQ(gui::scriptFailure(), "t:2: type: no text field has the focus");
  gui::closeBackend();
  creqDeleteRequest(&d);
}

} // namespace
