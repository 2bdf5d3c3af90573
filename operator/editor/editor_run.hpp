// The editor run: what operator message 4 opens. A modal, full-screen run
// on the host's screen over an editor instance of SplitMask, with the main
// panel over the preview and a message loop of its own, until the user
// leaves with the exit button or the host asks it to close. Every way out
// stores the settings (destroying the editor instance does); that file is
// the run's whole result.
#pragma once

#include <cstdint>
#include <memory>

#include "vxhost/operator.h"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexareq.h"

namespace tileron {

struct ModuleState;
struct EditorPanel;

// A pointer picture of the operator's image set (owned by the set) and its
// hot spot, the picture's centre.
struct PointerImage {
  const ResImage *image = nullptr;
  int16_t hotX = 0, hotY = 0;
};

// The state of one editor run. Made when the run starts; its destruction is
// the end of the run on every path: the pointer records go, the effect state
// is destroyed (which stores the settings after a successful set-up) and the
// request is deleted.
struct EditorRun {
  EditorRun(ModuleState &module, const OperatorMessage &message);
  ~EditorRun();
  EditorRun(const EditorRun &) = delete;
  EditorRun &operator=(const EditorRun &) = delete;

  // Makes partPointer (image 100) and dragPointer (image 101) of the
  // module's image set; false when a record cannot be allocated.
  bool makePointers();

  // The request every panel of the editor is created under (0 until made).
  CgHandle editorRequest() const { return requestMade ? request.handle : 0; }

  ModuleState &module;
  const OperatorMessage &message;
  RequestDescriptor request{};
  bool requestMade = false;
  std::unique_ptr<PointerImage> partPointer, dragPointer;
  // Set by a close request in any wait; every loop ends when it is 1.
  int32_t quitRequested = 0;
  // The main panel while the event loop runs, else null.
  EditorPanel *panel = nullptr;
  // The pointer position the loop read before it waited for the message
  // being handled.
  int32_t pointerX = 0, pointerY = 0;
};

// Runs the editor for the edit message (only its effect value is read);
// returns when the user has left it.
void runEditor(ModuleState &module, const OperatorMessage &message);

// The start of a run, up to its loop: the pointer records, the cleared panel
// table, the full-screen request and the editor instance set up from the
// settings file (the module's holder must be empty). False, reported, when
// one of them cannot be made; the run's end releases what was.
bool startEditor(EditorRun &run);

// One panel lifetime of the event loop. Returns 1 when the run ended
// normally (exit button, close request, a failed replacement of the effect
// state), 0 when the panel cannot be built.
int runEventLoop(EditorRun &run);

// Runs the handler of the main panel's element that sent `message` (kind 4);
// false when the loop is to end (the exit button, a failed rebuild of the
// panel or of the effect state).
bool handleElementEvent(EditorRun &run, const GuiMessage &message);

// Points the stamp gadget's help text at the marker of the part under
// screen point (x, y); nothing where the stamp map names no part.
void updateStampHelp(const EditorRun &run, int x, int y);

// Waits without limit for the next GUI message: true for a whole one. A
// short result is reported; when the host's event source has ended no
// message can come any more, so that counts as a close request.
bool receiveMessage(EditorRun &run, GuiMessage &message);

// Replaces the effect state by a new editor instance set up from the
// settings file (and `maskPath` when given), destroying the old one first
// (which stores its settings). False, reported, when it cannot be made or set
// up; the half-made state then stays in the holder to be destroyed at the end
// of the run, which stores nothing for it.
bool replaceEffect(EditorRun &run, const char *maskPath);

// The modal wait of a requester the editor opened: returns the element id of
// the next element event (kind 4), or 0 once quitRequested is set (at once
// when it already is; a close request sets it). Other messages are passed
// over.
int32_t waitForElementEvent(EditorRun &run);

} // namespace tileron
