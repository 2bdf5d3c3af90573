// creqTextRequest: a message with one button, or a yes/no question.
#include <algorithm>
#include <vector>

#include "host/gui/font.hpp"
#include "host/gui/keys.hpp"
#include "host/gui/toolkit.hpp"
#include "host/requesters/modal.hpp"

namespace vxhost::requesters {

namespace {

// Style bit of a question (0x43): Yes and No instead of one OK button.
constexpr int32_t kStyleQuestion = 0x40;
// Lines are wrapped at this width; a message never grows wider.
constexpr int kMaxTextWidth = 640;
constexpr int kMinWidth = 300;
constexpr int kButtonWidth = 110;

// The text's lines (split at character 10), each wrapped at spaces to
// `maxWidth` pixels; a word wider than that stands on a line of its own and
// is cut when drawn.
std::vector<std::u16string> wrapLines(const std::u16string &text, int maxWidth) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos)
      end = text.size();
    std::u16string_view rest(text.data() + start, end - start);
    do {
      size_t cut = rest.size();
      while (cut > 0 && textWidth(rest.substr(0, cut)) > maxWidth) {
        const size_t space = rest.substr(0, cut).find_last_of(u' ');
        if (space == std::u16string_view::npos || space == 0)
          break;
        cut = space;
      }
      lines.emplace_back(rest.substr(0, cut));
      rest.remove_prefix(std::min(rest.size(), cut + 1));
    } while (!rest.empty());
    start = end + 1;
  }
  return lines;
}

} // namespace

} // namespace vxhost::requesters

using namespace vxhost::requesters;
namespace keys = vxhost::gui::keys;

extern "C" int32_t creqTextRequest(TextRequest *request) {
  if (!request)
    return -1;
  request->result = 0;
  const bool question = (request->style & kStyleQuestion) != 0;
  std::vector<std::u16string> lines = wrapLines(vxhost::gui::xcharText(request->text), kMaxTextWidth);
  // A text taller than the screen is cut; its last line says so.
  int left, top, right, bottom;
  cgGetVisibleArea(&left, &top, &right, &bottom);
  const int pitch = lineHeight() + 2;
  const size_t maxLines = size_t(std::max(1, (bottom - top + 1 - 6 * controlHeight()) / pitch));
  if (lines.size() > maxLines) {
    lines.resize(maxLines);
    lines.back().assign(1, u'\u2026');
  }
  int width = question ? 2 * kButtonWidth + 8 : kButtonWidth;
  for (const auto &line : lines)
    width = std::max(width, std::min(kMaxTextWidth, textWidth(line)) + 8);
  width = std::max(width, kMinWidth) + 16;
  const int textHeight = int(lines.size()) * pitch;
  const int height = 8 + textHeight + 16 + controlHeight();
  ModalRequest r(width, height, 0, vxhost::gui::xcharText(request->title));
  if (!r.open())
    return -1;
  for (size_t i = 0; i < lines.size(); ++i)
    addText(r.handle(), 8, 8 + int(i) * pitch, width - 16, lines[i], 18);
  const int by = height - controlHeight();
  int32_t yes = 0, no = 0;
  if (question) {
    yes = addButton(r.handle(), width - 2 * kButtonWidth - 8, by, kButtonWidth, text(kStrYes, u"Yes"), keys::kReturn);
    no = addButton(r.handle(), width - kButtonWidth, by, kButtonWidth, text(kStrNo, u"No"), keys::kEscape);
  } else {
    yes = addButton(r.handle(), (width - kButtonWidth) / 2, by, kButtonWidth,
                    vxhost::gui::toolkitString(vxhost::gui::kStringAccept, u"OK"), keys::kReturn);
    // Escape closes a message too: an invisible one-pixel element carries the key.
    no = cgAddClickGadget(r.handle(), 0, 0, 1, 1, 0, 0);
    cgChangeElement(r.handle(), no, CG_ATTR_KEY, keys::kEscape, 0);
  }
  if (yes == 0 || no == 0)
    return -1;
  GuiMessage m{};
  while (r.next(m)) {
    if (m.id == yes || m.id == no) {
      // Escape closes a message as OK does; a question takes it as no.
      request->result = m.id == yes || !question ? 1 : 0;
      break;
    }
  }
  return 0;
}
