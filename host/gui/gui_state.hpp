// The GUI toolkit's state: requests, panels, elements, the message queue,
// the pointer and the backend. Owned by the toolkit (host/gui) and reached
// only from its files; host/requesters uses host/gui/toolkit.hpp.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/gui/backend.hpp"
#include "host/gui/font.hpp"
#include "host/gui/gui.hpp"
#include "host/gui/surface.hpp"
#include "vxhost/orvexagui.h"

namespace vxhost::gui {

enum class Kind {
  textButton,
  imageButton,
  checkBox,
  clickGadget,
  stampButton,
  slider,
  paletteButton,
  popup,
  grid,
  boxText,
  textField // host-side only (requesters): one line of text entry
};

// A picture an element keeps for itself (copied from a CImage or ResImage).
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  bool empty() const { return pixels.empty(); }
};

struct Element {
  int32_t id = 0;
  Kind kind = Kind::textButton;
  CgHandle container = 0; // the panel or request it was added to
  CgHandle request = 0;   // the request that holds it
  Rect rect;              // on the screen
  uint32_t flags = 0;
  bool enabled = true;
  bool active = false;    // shown as selected (cgActivateElement)
  int32_t key = 0;        // attribute 57; 0 = none
  ResHandle helpTable = 0;
  int32_t helpNumber = 0;
  std::u16string helpText; // the host's own (requesters); else the table's
  std::u16string text;    // button text, box text, field text
  std::u16string label;   // extension label, drawn left of the element
  int32_t style = 0;      // box text style (17 left, 18 centred)
  Picture picture;        // image and stamp buttons
  // sliders
  int32_t lowest = 0, highest = 0, value = 0;
  std::u16string text1, text2;
  CgSliderTextFn sliderText = nullptr;
  // palette buttons
  uint32_t colour = 0;
  int16_t extKind = 0;
  // popups
  std::vector<std::u16string> entries;
  // grid views: copies of the items (links cleared), cell size, scroll row
  std::vector<GridItem> items;
  int cellWidth = 0, cellHeight = 0;
  CgGridDrawFn drawCell = nullptr;
  int scrollRow = 0;
  // text fields
  size_t maxLength = 0;
};

struct Panel {
  CgHandle handle = 0;
  CgHandle parent = 0;  // a request or a panel
  CgHandle request = 0;
  Rect rect;            // on the screen
  uint32_t flags = 0, flags2 = 0;
  bool nested = false;  // inside another panel (a group)
  std::u16string title;
};

struct Request {
  CgHandle handle = 0;
  uint32_t flags = 0;
  bool fullScreen = false;
  Rect frame;           // the whole request on the screen (title bar and buttons included)
  int originX = 0, originY = 0; // screen position of the content's (0, 0)
  Rect content;         // the content area on the screen
  Rect clip;            // cgSetClipRect, on the screen; empty = none set
  std::u16string title;
  int32_t acceptId = 0, cancelId = 0;
  Surface surface;      // frame-sized: what the request shows
  Rect used;            // surface part drawn since it was made (frame coordinates)
};

// The drawing target of panel 0 while a grid calls its cell drawer.
struct CellTarget {
  bool active = false;
  CgHandle container = 0;
  Rect clip; // the cell on the screen
};

struct PopupMenu {
  int32_t element = 0; // 0 = closed
  Rect rect;           // the open list on the screen
  int rowHeight = 0;
  int hovered = -1;
};

enum class PointerShape { standard, busy, custom };

struct PointerState {
  int x = 0, y = 0;
  PointerShape shape = PointerShape::standard;
  Picture custom;
  int hotX = 0, hotY = 0;
  bool virtualOn = false;
};

struct GuiState {
  CgHandle nextHandle = 2; // 0 = none, 1 = the video monitor
  int32_t nextElementId = 1;
  std::map<CgHandle, Request> requests;
  std::vector<CgHandle> stack; // requests bottom to top; the top one takes input
  std::map<CgHandle, Panel> panels;
  std::map<int32_t, Element> elements; // ascending id = creation order = drawing order
  std::deque<GuiMessage> queue;
  PointerState pointer;
  bool shiftHeld = false;
  uint32_t drawColour = 0xEB8080FFu; // cgSetColor2YUV
  Rect repaintArea; // while a repaint runs: panels and elements draw only here (screen)
  CellTarget cell;
  PopupMenu menu;
  int32_t capture = 0; // the slider being dragged
  int32_t focus = 0;   // the text field that takes typed text
  int32_t hover = 0;   // the element under the pointer
  int extensions = 0;  // live cgAllocGadExt records
  std::unique_ptr<Backend> backend;
  bool sourceEnded = false;
  bool endNoted = false;      // the close sent at the input's end was reported
  bool pressOnElement = false; // the left button went down on an element
  std::string scriptFailure;
  PreviewSetup preview;
  int previewFields = 0;
  bool previewing = false;  // a preview plays in the window: input stops it
  bool previewStop = false;
  Surface previewFrame;     // what the window shows while it plays
  uint64_t version = 1; // grows with every visible change
  std::unique_ptr<Font> font;
  int fontForHeight = 0;
};

// The toolkit's one state. The host is driven from one thread.
GuiState &guiState();

// ---- lookups ---------------------------------------------------------------------

Request *findRequest(CgHandle handle);
Panel *findPanel(CgHandle handle);
Element *findElement(int32_t id);
// The element `id` when it lies in `container` or below it; the toolkit takes
// element ids as unique, so only the id must match.
Element *findElement(CgHandle container, int32_t id);
Request *topRequest();
// The request that holds a panel or request handle; null for an unknown one.
Request *requestOf(CgHandle container);
// Screen position of (0, 0) of a panel or request, and its drawing clip on the screen.
bool containerOrigin(CgHandle container, int &x, int &y, Rect &clip);

// The toolkit font at the screen's font height (made on first use).
Font &font();
// The row unit: font height + added height.
int rowUnit();

// Marks the screen as changed (backends present it again).
inline void touch() { ++guiState().version; }

} // namespace vxhost::gui
