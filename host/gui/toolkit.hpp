// The toolkit's internal C++ interface: what host/gui's own files share and
// what the host's requesters (host/requesters) build on. Not part of the
// operator's C API and not for the program or tests (host/gui/gui.hpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/gui/gui_state.hpp"

namespace vxhost::gui {

// ---- requests -----------------------------------------------------------------------

// Opens a request on top of the others: full screen, or centred in the
// visible area with a title bar (when `title` is not empty) and a row for its
// standard buttons (flags CREQ_ACCEPT / CREQ_CANCEL of orvexareq.h). The
// content is width x height. Returns it, or null for a bad size.
Request *openRequest(int width, int height, uint32_t flags, std::u16string_view title);
// Removes a request with its panels and elements; unknown handles are ignored.
void closeRequest(CgHandle handle);
// Lets go of a dragged slider, focused field, open popup or hovered element
// that was removed.
void forgetRemovedElements();

// ---- drawing --------------------------------------------------------------------------

// Draws an element again (after a change of its state).
void drawElement(Element &e);
// Draws a panel's background, frame and title.
void drawPanel(const Panel &p);
// Repaints a screen rectangle of a request from what it still holds: its
// background, the panels and the elements that meet the rectangle.
void repaint(Request &r, const Rect &screenArea);
// The background a container shows (request or panel colour).
uint32_t backgroundOf(CgHandle container);
// The background shown at a screen point of a request: that of the panel on
// top there (an element of a panel may lie over a group panel inside it).
uint32_t backgroundAt(const Request &r, int x, int y);
// Draws text into the cell a grid's drawer is drawing (cgBoxText with panel 0).
void drawCellText(const std::u16string &text, int x, int y, int width, int height, int style);
// cgWriteImage for a panel, a request or panel 0 (the cell being drawn).
int32_t writeImageToPanel(CgHandle panel, const CImage *image, int32_t x, int32_t y);
// Marks a rectangle of a request's surface as drawn (frame coordinates).
void markUsed(Request &r, const Rect &surfaceArea);

// ---- elements -------------------------------------------------------------------------

// Adds an element of `kind` at (x, y) of the container; fills id, request and
// rect and draws it. Returns the new element, or null for an unknown
// container or a size below 1.
Element *addElement(CgHandle container, Kind kind, int x, int y, int width, int height);
// A one-line text entry field (host requesters): typed text goes to the field
// that has the focus (a press on it gives it the focus); Return in it sends
// its kind-4 event. At most maxLength UTF-16 units.
int32_t addTextField(CgHandle container, int x, int y, int width, int height, std::u16string_view text,
                     size_t maxLength);
std::u16string fieldText(int32_t id);
void setFieldText(int32_t id, std::u16string_view text);
void setFocus(int32_t id); // 0: no field has the focus
// A help text of the host's own for an element (instead of attributes 80/82).
void setHelpText(int32_t id, std::u16string_view text);

// ---- messages -------------------------------------------------------------------------

// Queues a message; x and y are filled with the pointer position.
void postMessage(GuiMessage message);
// An element's kind-4 message with value and phase.
void postElementEvent(const Element &e, int32_t value, int16_t phase, int32_t key = 0);
// Finds the element under the pointer again (after requests or panels changed).
void refreshHover();
// Waits like cgMsgQReceive (timeout ms, -1 none). Returns 44, 0 on timeout.
int32_t receive(GuiMessage &message, int32_t timeout);

// ---- toolkit strings ------------------------------------------------------------------

// String `number` of the toolkit's own table (resource set "gui") in the
// host's language, or `fallback` when it is missing.
std::u16string toolkitString(int32_t number, std::u16string_view fallback);
// Numbers of the toolkit's strings.
enum : int32_t { kStringAccept = 1, kStringCancel = 2 };

} // namespace vxhost::gui

namespace vxhost::gui {

// ---- grid views -------------------------------------------------------------------------

// Where a grid's cells lie: cells (cellWidth + 4) x (cellHeight + 4) apart
// from (4, 4) inside the grid, `columns` across, `rows` of them visible; a
// scroll bar at the right when there are more rows than fit.
struct GridLayout {
  int columns = 1, rows = 1, totalRows = 0;
  bool scrolls = false;
  Rect bar;   // scroll bar track on the screen (empty when none)
  Rect thumb; // its thumb
};
GridLayout gridLayout(const Element &grid);
// Cell `index` on the screen; empty when it is scrolled out of view.
Rect gridCell(const Element &grid, const GridLayout &layout, int index);
// Scrolls so that cell `index` is in view.
void scrollToCell(Element &grid, int index);

} // namespace vxhost::gui

namespace vxhost::gui {
// Composes the screen into `s` (resized to the screen).
void composeInto(Surface &s, bool withPointer);
} // namespace vxhost::gui
