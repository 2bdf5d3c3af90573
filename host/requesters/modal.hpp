// What the host's requesters share: a request held open for one modal run,
// the wait for its element events, buttons with keys and help texts, and the
// requesters' strings from the toolkit's resource set.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "vxhost/orvexareq.h"

namespace vxhost::requesters {

// A request open for the life of the object. The run ends with the first
// close request (kind 7) or the end of the input; the close request is then
// queued again when the request goes, so the caller's own loop ends too.
class ModalRequest {
public:
  // A centred request of width x height content pixels with `title` (empty:
  // no title bar) and the request flags of orvexareq.h.
  ModalRequest(int width, int height, uint32_t flags, std::u16string_view title);
  ~ModalRequest();
  ModalRequest(const ModalRequest &) = delete;
  ModalRequest &operator=(const ModalRequest &) = delete;

  bool open() const { return open_; }
  CgHandle handle() const { return descriptor_.handle; }
  const RequestDescriptor &descriptor() const { return descriptor_; }
  // Waits for this request's next element event (kind 4) into `message`.
  // False once a close request or the end of the input has ended the run.
  bool next(GuiMessage &message);

private:
  RequestDescriptor descriptor_{};
  std::u16string title_;
  bool open_ = false;
  bool closed_ = false;
};

// The row unit R: every requester is laid out in it.
int rowUnit();
// Height of a button or a one-line field: R + 4.
int controlHeight();
// Pixel width of one line of text in the toolkit's font.
int textWidth(std::u16string_view text);
// Height of one line of text.
int lineHeight();

// A text button with its key (attribute 57 code, 0 none) and help text.
// Returns its id, 0 on failure.
int32_t addButton(CgHandle container, int x, int y, int width, std::u16string_view text, int32_t key,
                  std::u16string_view help = {});
// A line of text (box text style 17 left, 18 centred); returns its id.
int32_t addText(CgHandle container, int x, int y, int width, std::u16string_view text, int32_t style);
// Replaces the text a box text shows.
void setText(int32_t id, std::u16string_view text);
// The text a box text or text field shows now.
std::u16string shownText(int32_t id);

// Requester string `number` of the toolkit's set "gui" in the host's
// language (the English `fallback` when missing), with %1, %2, ... replaced
// by `values` in order.
std::u16string text(int32_t number, std::u16string_view fallback,
                    std::initializer_list<std::u16string_view> values = {});
// A number as UTF-16 digits.
std::u16string number(long long value);

// String numbers of the requesters in the set "gui" (docs/gui.md).
enum : int32_t {
  kStrYes = 100,
  kStrNo = 101,
  kStrLoad = 110,
  kStrSave = 111,
  kStrDelete = 112,
  kStrName = 113,
  kStrFolder = 114,
  kStrNoFiles = 115,
  kStrEmptyName = 116,
  kStrSeparator = 117,
  kStrParent = 118,
  kStrControl = 119,
  kStrTooLong = 120,
  kStrNoSuchFile = 121,
  kStrPathTooLong = 122,
  kStrListHelp = 123,
  kStrNameHelp = 124,
  kStrArchiveLoad = 130,
  kStrArchiveSave = 131,
  kStrArchiveDelete = 132,
  kStrArchiveLoadHelp = 133,
  kStrArchiveSaveHelp = 134,
  kStrArchiveDeleteHelp = 135,
  kStrColourTitle = 140,
  kStrLuma = 141,
  kStrBlueDiff = 142,
  kStrRedDiff = 143,
  kStrOpacity = 144,
  kStrFieldHelp = 145,
  kStrNewColour = 147,
  kStrOldColourHelp = 148,
  kStrSceneTitle = 150,
  kStrSceneName = 151,
  kStrSceneLength = 152,
  kStrSceneUnusable = 153,
  kStrNoScenes = 154,
  kStrTextureTitle = 160,
  kStrTile = 161,
  kStrScale = 162,
  kStrTextureOpacity = 163,
  kStrNoTextures = 164,
  kStrTextureFailed = 165,
  kStrTileHelp = 166
};

} // namespace vxhost::requesters
