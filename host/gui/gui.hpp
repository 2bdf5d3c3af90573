// The GUI toolkit's C++ API for the host program, the tools and the tests:
// input as a backend gives it, the composed screen, live object counts and
// the two backends (SDL window, headless script). The operator never
// includes this file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/gui/script.hpp"
#include "vxhost/operator.h"

namespace vxhost::gui {

// ---- live objects ---------------------------------------------------------------------

struct LiveCounts {
  int images = 0;     // CImages (cgAllocImage, cgConvertResImageToCImageAlpha)
  int panels = 0;
  int requests = 0;
  int extensions = 0; // cgAllocGadExt records
  bool operator==(const LiveCounts &) const = default;
};
LiveCounts liveCounts();

// Removes every request, panel and element, empties the queue, drops the
// backend and the preview set-up, and puts the pointer back (part of
// vxhost::reset(), which also resets the screen state: orvexagui.hpp).
void resetGui();

// ---- input (what a backend delivers; tests call these directly) ---------------------

enum class Button { left, right };
void pointerTo(int x, int y);   // absolute screen position
void pointerBy(int dx, int dy); // relative motion (the virtual pointer's when on)
void press(Button button, bool shift = false);
void release(Button button, bool shift = false);
void click(int x, int y, Button button = Button::left, bool shift = false);
// A key by its code (docs/gui.md, key codes): acts as a click on the element
// that carries it, or edits the focused field.
void pressKey(int32_t code, bool shift = false);
void typeText(std::u16string_view text); // characters into the focused field
void wheel(int rows);                    // scrolls the grid under the pointer
void requestClose();                     // the window's close button: kind 7

// ---- state as a user sees it -------------------------------------------------------

size_t queuedMessages();
void pointerPosition(int &x, int &y);
bool virtualPointerOn();
// "standard", "busy" or "custom".
std::string pointerShapeName();
// The help text shown now (the element under the pointer), empty for none.
std::u16string helpLine();
// Element ids of the top request's accept and cancel buttons (0 = none).
int32_t topAcceptId();
int32_t topCancelId();

// ---- screen ---------------------------------------------------------------------------

// The composed screen: video plane, requests with their panels, open popup,
// help line and pointer (with `withPointer`), as YUVA words.
std::vector<uint32_t> composeScreen(bool withPointer = true);
// Writes the composed screen / the video monitor picture as an RGB PNG.
// Return false with a message in `error`.
bool writeScreenshot(const std::filesystem::path &path, std::string &error);
bool writeMonitorPicture(const std::filesystem::path &path, std::string &error);

// ---- backends ----------------------------------------------------------------------

// Headless: the script feeds input whenever the program waits for a message.
void runScript(Script script);
// Headless with input from `next`: called whenever the program waits for a
// message and none is queued, it gives input through the calls above and
// returns false once the input has ended. Tests and tools drive modal
// requesters with it.
void runInput(std::function<bool()> next);
// The script's first error at run time (a screenshot that could not be
// written), empty when none.
std::string scriptFailure();
// True once the input has ended (script done, window closed).
bool inputEnded();
// Opens the SDL window (resizable, the screen scaled to fit). Returns false
// with a message in `error` when there is no display or SDL cannot start.
bool openWindow(std::string &error);
void closeBackend();

// ---- host preview (opPreview) -------------------------------------------------------

struct PreviewSetup {
  OperatorEntry entry = nullptr; // the plug-in's entry routine
  int32_t effectLength = 0;      // fields, as message 4 gave it
  std::string output;            // headless: a render output name (see render), empty = none
};
void setPreviewSetup(const PreviewSetup &setup);
// Plays (in the window) or renders (headless) the preview set up: what
// opPreview does. Returns 0, or -1 without a set-up or when a field fails.
int32_t runPreview();
// Fields the last preview rendered.
int lastPreviewFields();

} // namespace vxhost::gui
