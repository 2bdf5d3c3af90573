// The message queue's receiving end: cgMsgQReceive waits on the backend.
#include <cstdio>

#include "host/gui/toolkit.hpp"
#include "host/msgq/msgq.hpp"

namespace vxhost::gui {

int32_t receive(GuiMessage &message, int32_t timeout) {
  GuiState &g = guiState();
  if (g.queue.empty() && g.backend && !g.sourceEnded) {
    g.backend->present();
    if (!g.backend->pump(timeout))
      g.sourceEnded = true;
  }
  if (g.queue.empty()) {
    if (g.backend && !g.sourceEnded)
      return 0; // the time limit ran out
    // The input has ended (or there never was any): every wait from here on
    // gets a close request, so that every loop of the plug-in comes to an end.
    if (g.backend && !g.endNoted)
      std::fprintf(stderr, "tileron-host: the input ended while the plug-in waits for a message: "
                           "sending a close request\n");
    g.endNoted = true;
    requestClose();
  }
  message = g.queue.front();
  g.queue.pop_front();
  return int32_t(sizeof(GuiMessage));
}

bool inputEnded() { return guiState().sourceEnded; }

} // namespace vxhost::gui

extern "C" int32_t cgMsgQReceive(GuiMessage *message, int32_t timeout) {
  if (!message)
    return -1;
  return vxhost::gui::receive(*message, timeout);
}

extern "C" uint32_t cgGetOutputMsgQ(void) { return vxhost::msgq::kOutputQueue; }
