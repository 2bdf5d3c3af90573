// Small pieces every panel and requester of the operator shares: the row
// unit the layouts are measured in and an owning handle of the toolkit's
// element extension record.
#pragma once

#include <cstdint>
#include <memory>

#include "vxhost/orvexagui.h"
#include "vxhost/orvexareq.h"

namespace tileron {

struct ExtensionDeleter {
  void operator()(ElementExtension *ext) const { cgFreeGadExt(ext); }
};
using ExtensionPtr = std::unique_ptr<ElementExtension, ExtensionDeleter>;

// The row unit: the default monitor's font height plus the toolkit's added
// line height, in 16 bits, read anew at every use.
inline int16_t rowUnit() {
  return int16_t(cgGetFontHeightMonitor(cgGetDefaultMonitor()) + cgGetAddHeight());
}

// Text requester styles: a message with one button, a yes/no question.
inline constexpr int32_t kTextMessage = 1;
inline constexpr int32_t kTextQuestion = 0x43;

// Shows the host's text requester and blocks until it is answered. Returns
// its result (1 = yes for a question), 0 when it could not be shown.
inline int32_t showTextRequest(const xchar *title, const xchar *text, int32_t style) {
  TextRequest request{};
  request.title = title;
  request.text = text;
  request.style = style;
  return creqTextRequest(&request) == 0 ? request.result : 0;
}

} // namespace tileron
