// creqFileRequest: load, save or delete a file of one home-relative folder.
// The folder's ".prf" files are listed; the name the user confirms is handed
// back home-relative without its extension. A name that could leave the
// folder or is not a plain file name is refused inside the requester.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "host/gui/font.hpp"
#include "host/gui/keys.hpp"
#include "host/gui/toolkit.hpp"
#include "host/requesters/file_names.hpp"
#include "host/log/logger.hpp"
#include "host/requesters/modal.hpp"
#include "host/support/home_path.hpp"
#include "host/text/utf.hpp"
#include "vxhost/vxlstlib.h"

namespace fs = std::filesystem;

namespace vxhost::requesters {

namespace {

constexpr char kExtension[] = ".prf";
constexpr int kWidth = 480;
constexpr int kListRows = 10;
constexpr int kButtonWidth = 110;

enum Mode { kLoad = 1, kSave = 2, kDelete = 3 };

// The names (without extension) of the folder's ".prf" files that a user
// could also type, sorted.
std::vector<std::u16string> listNames(const fs::path &folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    const size_t n = std::strlen(kExtension);
    if (file.size() <= n || file.compare(file.size() - n, n, kExtension) != 0)
      continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError))
      continue;
    const std::string name = file.substr(0, file.size() - n);
    std::u16string wide;
    if (utf8ToUtf16(name, wide) && checkFileName(wide).problem == NameProblem::none)
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::u16string> out;
  for (const auto &name : names)
    out.push_back(utf8ToUtf16Lenient(name));
  return out;
}

std::u16string problemText(NameProblem p) {
  switch (p) {
  case NameProblem::none: return {};
  case NameProblem::empty: return text(kStrEmptyName, u"Enter a name.");
  case NameProblem::separator: return text(kStrSeparator, u"A name cannot contain / or \\.");
  case NameProblem::parent: return text(kStrParent, u"A name cannot contain \"..\".");
  case NameProblem::control: return text(kStrControl, u"A name cannot contain control characters.");
  case NameProblem::tooLong:
    return text(kStrTooLong, u"The name is too long (at most %1 bytes).", {number(kMaxFileNameBytes)});
  }
  return {};
}

// Copies `s` into a caller's buffer of `capacity` units plus the terminator.
template <typename C> void copyOut(C *buffer, int capacity, std::basic_string_view<C> s) {
  if (!buffer || capacity <= 0)
    return;
  const size_t n = std::min(s.size(), size_t(capacity));
  std::copy_n(s.data(), n, buffer);
  buffer[n] = 0;
}

} // namespace

} // namespace vxhost::requesters

using namespace vxhost::requesters;
namespace keys = vxhost::gui::keys;

extern "C" int32_t creqFileRequest(FileRequest *request) {
  if (!request || !request->name || request->nameCapacity <= 0 || request->mode < kLoad ||
      request->mode > kDelete)
    return -1;
  request->result = 0;
  request->name[0] = '\0';
  const std::string directory = request->directory ? request->directory : "";
  const std::optional<fs::path> folder = vxhost::homeFolder(directory);
  if (!folder) {
    vxhost::hostLog(vxhost::kLogError, __LINE__, "creqFileRequest: \"%s\" is not a home-relative folder", directory.c_str());
    return -1;
  }
  const int mode = request->mode;
  const std::vector<std::u16string> names = listNames(*folder);

  const int ch = controlHeight(), pitch = lineHeight() + 2;
  const int cellHeight = ch;
  const int gridHeight = kListRows * (cellHeight + 4) + 4;
  const int listTop = pitch + 6;
  const int nameTop = listTop + gridHeight + 10;
  const int messageTop = nameTop + ch + 8;
  const int buttonTop = messageTop + pitch + 10;
  const int height = buttonTop + ch;
  ModalRequest r(kWidth, height, 0, vxhost::gui::xcharText(request->title));
  if (!r.open())
    return -1;
  const CgHandle h = r.handle();

  addText(h, 0, 0, kWidth, text(kStrFolder, u"Folder: %1", {vxhost::utf8ToUtf16Lenient(directory)}), 17);
  // The list: a grid of one column, one name per cell.
  std::vector<GridItem> items(names.size());
  VxList list{};
  lstNewList(&list);
  for (size_t i = 0; i < names.size(); ++i) {
    items[i].flags = 0x210;
    items[i].text = reinterpret_cast<const xchar *>(names[i].c_str());
    lstAppend(&list, &items[i].node);
  }
  const int32_t grid = cgAddGridview(h, 0, listTop, kWidth, gridHeight, kWidth - 30, cellHeight, &list, 0, 0, nullptr);
  if (grid == 0)
    return -1;
  cgChangeElement(h, grid, CG_ATTR_KEY, keys::kDown, 0);
  vxhost::gui::setHelpText(grid, text(kStrListHelp, u"Pick a name; the Down key steps through the list"));
  const std::u16string nameLabel = text(kStrName, u"Name");
  const int labelWidth = textWidth(nameLabel) + 12;
  addText(h, 0, nameTop + (ch - pitch) / 2, labelWidth, nameLabel, 17);
  // Room for the longest name the requester accepts, in UTF-16 units.
  const int32_t field = vxhost::gui::addTextField(h, labelWidth, nameTop, kWidth - labelWidth, ch, u"",
                                                  kMaxFileNameBytes + 1);
  if (field == 0)
    return -1;
  vxhost::gui::setHelpText(field, text(kStrNameHelp, u"The name, without folder or extension; Return confirms"));
  const int32_t message =
      addText(h, 0, messageTop, kWidth, names.empty() && mode != kSave ? text(kStrNoFiles, u"This folder holds no files yet.") : u"", 17);
  const int32_t action = addButton(h, kWidth - 2 * kButtonWidth - 8, buttonTop, kButtonWidth,
                                   mode == kLoad   ? text(kStrLoad, u"Load")
                                   : mode == kSave ? text(kStrSave, u"Save")
                                                   : text(kStrDelete, u"Delete"),
                                   keys::kReturn);
  const int32_t cancel = addButton(h, kWidth - kButtonWidth, buttonTop, kButtonWidth,
                                   vxhost::gui::toolkitString(vxhost::gui::kStringCancel, u"Cancel"), keys::kEscape);
  if (message == 0 || action == 0 || cancel == 0)
    return -1;
  // Load and delete start on the first name, as the list shows it selected;
  // save starts with nothing selected.
  if (mode != kSave && !names.empty())
    vxhost::gui::setFieldText(field, names.front());
  if (vxhost::gui::Element *list = vxhost::gui::findElement(grid); list && mode == kSave) {
    list->value = -1;
    vxhost::gui::drawElement(*list);
  }
  vxhost::gui::setFocus(field);

  GuiMessage m{};
  while (r.next(m)) {
    if (m.id == cancel)
      break;
    if (m.id == grid && m.value >= 0 && size_t(m.value) < names.size()) {
      vxhost::gui::setFieldText(field, names[size_t(m.value)]);
      setText(message, u"");
      continue;
    }
    if (m.id != action && m.id != field)
      continue;
    const FileName checked = checkFileName(vxhost::gui::fieldText(field));
    if (checked.problem != NameProblem::none) {
      setText(message, problemText(checked.problem));
      continue;
    }
    const std::string path = directory + checked.utf8;
    if (mode != kSave) {
      std::error_code ec;
      if (!fs::is_regular_file(*folder / (checked.utf8 + kExtension), ec)) {
        setText(message, text(kStrNoSuchFile, u"There is no file named \u201C%1\u201D.", {checked.utf16}));
        continue;
      }
    }
    if (path.size() > size_t(request->nameCapacity)) {
      setText(message, text(kStrPathTooLong, u"The name is too long for this folder."));
      continue;
    }
    copyOut(request->name, request->nameCapacity, std::string_view(path));
    const std::u16string wide = vxhost::utf8ToUtf16Lenient(path);
    copyOut(request->name16, request->name16Capacity,
            std::basic_string_view<xchar>(reinterpret_cast<const xchar *>(wide.data()), wide.size()));
    request->result = 1;
    break;
  }
  return 0;
}
