// What the pointer does over the full-screen preview: its shape, picking a
// part (on the preview, or on the stamp view inside the main panel) and the
// modal drag that moves the current part's picture inside its box.
#pragma once

#include <cstdint>

namespace tileron {

struct EditorRun;
struct ModuleState;

// The drag modes: 0 moves through the endless virtual pointer, 1 (a press
// with Shift) follows the real pointer under the drag pointer picture.
inline constexpr int kDragVirtual = 0, kDragFollow = 1;

// True when screen point (x, y) lies in a non-empty entry of the panel table.
bool insidePanelArea(const ModuleState &module, int x, int y);

// Sets the pointer shape for screen point (x, y): the part pointer where the
// current part's picture can be grabbed, else the standard one.
void updatePointerShape(EditorRun &run, int x, int y);

// The part under the pointer, on the preview or on the main panel's stamp
// view, or -1.
int pickPartAtPointer(EditorRun &run);

// Moves the current part's picture with the pointer until the button is let
// go (or pressed again), cancelled with the right button (the offsets go
// back) or the host asks to close; then shows the preview with the monitor.
void dragPicture(EditorRun &run, int mode);

} // namespace tileron
