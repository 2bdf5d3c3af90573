// The toolkit's own texts (resource set "gui"), in the host's language.
#include "host/gui/toolkit.hpp"
#include "vxhost/orvexares.h"

namespace vxhost::gui {

std::u16string toolkitString(int32_t number, std::u16string_view fallback) {
  const ResHandle strings = resLoadStrings("gui");
  const xchar *text = resGetString(strings, number);
  std::u16string out = text ? xcharText(text) : std::u16string(fallback);
  resFreeStrings(strings);
  return out;
}

} // namespace vxhost::gui
