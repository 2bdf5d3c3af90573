// File name checks of the file requester.
#include "host/requesters/file_names.hpp"

#include <algorithm>

#include "host/text/utf.hpp"

namespace vxhost::requesters {

namespace {

bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// True when `text` holds a surrogate without its partner (it has no UTF-8 form).
bool unpairedSurrogate(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      ++i;
    else if (c >= 0xD800 && c <= 0xDFFF)
      return true;
  }
  return false;
}

} // namespace

FileName checkFileName(std::u16string_view typed) {
  while (!typed.empty() && typed.front() == u' ')
    typed.remove_prefix(1);
  while (!typed.empty() && typed.back() == u' ')
    typed.remove_suffix(1);
  constexpr std::u16string_view extension = u".prf";
  if (typed.size() > extension.size() && typed.substr(typed.size() - extension.size()) == extension)
    typed.remove_suffix(extension.size());
  FileName out;
  out.utf16 = typed;
  if (typed.empty())
    out.problem = NameProblem::empty;
  else if (typed.find_first_of(u"/\\") != std::u16string_view::npos)
    out.problem = NameProblem::separator;
  else if (typed.find(u"..") != std::u16string_view::npos)
    out.problem = NameProblem::parent;
  else if (std::any_of(typed.begin(), typed.end(), isControl) || unpairedSurrogate(typed))
    out.problem = NameProblem::control;
  else if ((out.utf8 = utf16ToUtf8(typed)).size() > kMaxFileNameBytes)
    out.problem = NameProblem::tooLong;
  if (out.problem != NameProblem::none)
    out.utf8.clear();
  return out;
}

} // namespace vxhost::requesters
