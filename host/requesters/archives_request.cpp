// creqArchivesRequest: what to do with presets (load, save or delete).
#include "host/gui/keys.hpp"
#include "host/gui/toolkit.hpp"
#include "host/requesters/modal.hpp"

using namespace vxhost::requesters;
namespace keys = vxhost::gui::keys;

namespace {

// The results the caller tests.
enum { kResultNone = 0, kResultLoad = 4, kResultSave = 5, kResultDelete = 6 };
constexpr int kWidth = 320;

} // namespace

extern "C" int32_t creqArchivesRequest(ArchivesRequest *request) {
  if (!request)
    return -1;
  request->result = kResultNone;
  const int ch = controlHeight();
  const int height = 4 * (ch + 8) + 8;
  ModalRequest r(kWidth, height, 0, vxhost::gui::xcharText(request->title));
  if (!r.open())
    return -1;
  struct Choice {
    int32_t result, string;
    std::u16string_view label, help;
    int32_t key;
  };
  const Choice choices[] = {
      {kResultLoad, kStrArchiveLoad, u"Load a preset\u2026", u"Replace the settings by a saved preset (key L)", 'l'},
      {kResultSave, kStrArchiveSave, u"Save as a preset\u2026", u"Keep the settings as a preset (key S)", 's'},
      {kResultDelete, kStrArchiveDelete, u"Delete a preset\u2026", u"Remove a saved preset (key D)", 'd'}};
  int32_t ids[3] = {};
  for (int i = 0; i < 3; ++i) {
    const Choice &c = choices[i];
    ids[i] = addButton(r.handle(), 0, i * (ch + 8), kWidth, text(c.string, c.label), c.key,
                       text(c.string + 3, c.help));
    if (ids[i] == 0)
      return -1;
  }
  const int32_t cancel = addButton(r.handle(), kWidth - 110, height - ch, 110,
                                   vxhost::gui::toolkitString(vxhost::gui::kStringCancel, u"Cancel"), keys::kEscape);
  if (cancel == 0)
    return -1;
  GuiMessage m{};
  while (r.next(m)) {
    if (m.id == cancel)
      break;
    for (int i = 0; i < 3; ++i)
      if (m.id == ids[i])
        request->result = choices[i].result;
    if (request->result != kResultNone)
      break;
  }
  return 0;
}
