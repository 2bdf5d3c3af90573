// The requesters' shared pieces: the modal request, buttons and texts.
#include "host/requesters/modal.hpp"

#include "host/gui/gui.hpp"
#include "host/gui/toolkit.hpp"
#include "vxhost/orvexamsgq.h"

namespace vxhost::requesters {

namespace {

const xchar *xc(const std::u16string &s) { return reinterpret_cast<const xchar *>(s.c_str()); }

} // namespace

ModalRequest::ModalRequest(int width, int height, uint32_t flags, std::u16string_view title) : title_(title) {
  descriptor_.width = int16_t(width);
  descriptor_.height = int16_t(height);
  descriptor_.msgQ = msgQCommandGet();
  descriptor_.flags = flags;
  descriptor_.title = title_.empty() ? nullptr : xc(title_);
  open_ = width > 0 && height > 0 && width <= 32767 && height <= 32767 && creqCreateRequest(&descriptor_) == 0;
}

ModalRequest::~ModalRequest() {
  if (open_)
    creqDeleteRequest(&descriptor_);
  if (closed_)
    gui::requestClose();
}

bool ModalRequest::next(GuiMessage &message) {
  while (open_ && !closed_) {
    // -1 only for a missing record; the toolkit answers every other wait
    // with a whole message (a close request once the input has ended).
    if (cgMsgQReceive(&message, -1) != int32_t(sizeof(GuiMessage))) {
      closed_ = true;
      break;
    }
    if (message.kind == GUI_MSG_CLOSE)
      closed_ = true;
    else if (message.kind == GUI_MSG_ELEMENT)
      return true;
  }
  return false;
}

int rowUnit() { return gui::rowUnit(); }
int controlHeight() { return gui::rowUnit() + 4; }
int textWidth(std::u16string_view text) { return gui::font().width(text); }
int lineHeight() { return gui::font().lineHeight(); }

int32_t addButton(CgHandle container, int x, int y, int width, std::u16string_view label, int32_t key,
                  std::u16string_view help) {
  const std::u16string owned(label);
  const int32_t id = cgAddTextButton(container, x, y, width, controlHeight(), xc(owned), 0, nullptr);
  if (id != 0 && key != 0)
    cgChangeElement(container, id, CG_ATTR_KEY, key, 0);
  if (id != 0 && !help.empty())
    gui::setHelpText(id, help);
  return id;
}

int32_t addText(CgHandle container, int x, int y, int width, std::u16string_view line, int32_t style) {
  const std::u16string owned(line);
  return cgBoxText(container, xc(owned), x, y, width, lineHeight() + 2, style);
}

void setText(int32_t id, std::u16string_view line) {
  if (gui::Element *e = gui::findElement(id)) {
    e->text = line;
    gui::drawElement(*e);
  }
}

std::u16string shownText(int32_t id) {
  const gui::Element *e = gui::findElement(id);
  return e ? e->text : std::u16string();
}

std::u16string text(int32_t n, std::u16string_view fallback, std::initializer_list<std::u16string_view> values) {
  std::u16string s = gui::toolkitString(n, fallback);
  std::u16string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const size_t k = i + 1 < s.size() ? size_t(s[i + 1] - u'1') : values.size();
    if (s[i] == u'%' && k < values.size()) {
      out += values.begin()[k];
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::u16string number(long long value) {
  std::u16string out;
  for (char c : std::to_string(value))
    out += char16_t(c);
  return out;
}

} // namespace vxhost::requesters
