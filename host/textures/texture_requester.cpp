// The texture requester: the library's textures as a grid of thumbnails,
// a preview of the one selected (tiled or scaled to the preview, at its
// scale and opacity) and, with the options, sliders for scale and opacity.
#include "host/textures/texture_requester.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/settings/settings.hpp"
#include "host/gui/keys.hpp"
#include "host/gui/toolkit.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/images/images.hpp"
#include "host/images/scale.hpp"
#include "host/requesters/modal.hpp"
#include "host/text/utf.hpp"
#include "host/textures/txlib.hpp"
#include "vxhost/orvexareq.h"
#include "vxhost/vxlstlib.h"

namespace fs = std::filesystem;

namespace vxhost {

namespace {

using namespace requesters;

constexpr int kThumb = 96;
constexpr int kCellWidth = kThumb + 8;
constexpr int kCellGap = 4, kScrollRoom = 18;
constexpr int kColumns = 4, kRows = 3;
constexpr int kPreviewWidth = 200, kPreviewHeight = 150;
constexpr int kPreviewBorder = 3;
constexpr int kDefaultScale = 100;

// A record naming a library texture, without the measured colour (enough
// for txGetOpImage).
TxSettings nameRecord(const std::string &name, int scale) {
  TxSettings s{};
  s.magic = TX_SETTINGS_MAGIC;
  s.version = TX_SETTINGS_VERSION;
  s.scale = uint16_t(scale);
  std::memcpy(s.name, name.data(), std::min(name.size(), sizeof s.name - 1));
  return s;
}

// The library's PNG files that a record can name, sorted.
std::vector<std::string> libraryNames() {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(textureDir(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    std::error_code typeError;
    if (file.size() > 4 && file.compare(file.size() - 4, 4, ".png") == 0 && it->is_regular_file(typeError) &&
        file.size() < sizeof TxSettings{}.name && validTxSettings(nameRecord(file, 0)))
      names.push_back(file);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// `texture` scaled into a new w x h GUI image.
CImageHandle scaledCopy(const OpImage &texture, int w, int h) {
  CImageHandle image(cgAllocImage(CG_KIND_YUVA, w, h));
  if (image)
    scalePicture(texture.pixels, ptrdiff_t(rowBytes(&texture)), texture.width, texture.height, image->pixels,
                 ptrdiff_t(w) * 4, w, h, 4);
  return image;
}

// Draws the preview of texture `name` into `preview`: repeated from the
// top-left corner at `scale` when `tile`, else scaled to the whole preview;
// its alpha is the opacity. An unreadable texture leaves it cleared.
void paintPreview(CImage &preview, const std::string &name, int scale, bool tile, uint8_t opacity) {
  auto *out = reinterpret_cast<uint32_t *>(preview.pixels);
  const size_t count = size_t(preview.width) * size_t(preview.height);
  std::fill(out, out + count, 0u);
  const TxSettings record = nameRecord(name, scale);
  const OpImageHandle texture(txGetOpImage(&record, 1, 0));
  if (!texture)
    return;
  if (tile) {
    const auto *in = reinterpret_cast<const uint32_t *>(texture->pixels);
    for (int y = 0; y < preview.height; ++y)
      for (int x = 0; x < preview.width; ++x)
        out[size_t(y) * size_t(preview.width) + size_t(x)] =
            in[size_t(y % texture->height) * size_t(texture->width) + size_t(x % texture->width)];
  } else {
    scalePicture(texture->pixels, ptrdiff_t(rowBytes(texture.get())), texture->width, texture->height, preview.pixels,
                 ptrdiff_t(preview.width) * 4, preview.width, preview.height, 4);
  }
  for (size_t i = 0; i < count; ++i)
    out[i] = (out[i] & 0xFFFFFF00u) | opacity;
}

void showMessage(const std::u16string &title, const std::u16string &message) {
  TextRequest t{};
  t.title = reinterpret_cast<const xchar *>(title.c_str());
  t.text = reinterpret_cast<const xchar *>(message.c_str());
  t.style = 1;
  creqTextRequest(&t);
}

// Percent of an alpha byte, rounded half up, and back.
int alphaPercent(int alpha) { return (alpha * 100 + 127) / 255; }
uint8_t percentAlpha(int percent) { return uint8_t((percent * 255 + 50) / 100); }

} // namespace

int runTextureRequester(TxSettings &settings, bool options) {
  const std::u16string title = text(kStrTextureTitle, u"Choose a texture");
  const std::vector<std::string> names = libraryNames();
  if (names.empty()) {
    showMessage(title, text(kStrNoTextures, u"The texture library %1 holds no textures.",
                            {utf8ToUtf16Lenient(textureDir().string())}));
    return 2;
  }
  const bool had = validTxSettings(settings);
  int scale = had && settings.scale != 0 ? settings.scale : kDefaultScale;
  uint8_t opacity = had ? uint8_t(settings.colour & 0xFF) : 0xFF;
  bool tile = true;

  // Thumbnails and cell texts (the file name without ".png").
  std::vector<CImageHandle> thumbs;
  std::vector<std::u16string> labels;
  for (const auto &name : names) {
    const TxSettings record = nameRecord(name, 0);
    const OpImageHandle texture(txGetOpImage(&record, 1, 0));
    thumbs.push_back(texture ? scaledCopy(*texture, kThumb, kThumb) : nullptr);
    labels.push_back(utf8ToUtf16Lenient(name.substr(0, name.size() - 4)));
  }
  std::vector<GridItem> items(names.size());
  VxList list{};
  lstNewList(&list);
  for (size_t i = 0; i < names.size(); ++i) {
    items[i].flags = 0x210;
    items[i].picture = thumbs[i].get();
    items[i].text = reinterpret_cast<const xchar *>(labels[i].c_str());
    lstAppend(&list, &items[i].node);
  }
  const CImageHandle preview(cgAllocImage(CG_KIND_YUVA, kPreviewWidth, kPreviewHeight));
  if (!preview)
    return -1;

  const int ch = controlHeight(), pitch = ch + 8;
  const int cellHeight = kThumb + 8 + lineHeight() + 2 + 4;
  const int gridWidth = kColumns * (kCellWidth + kCellGap) + kCellGap + kScrollRoom;
  const int gridHeight = kRows * (cellHeight + kCellGap) + kCellGap;
  const int sideX = gridWidth + 16;
  const int sideWidth = kPreviewWidth + 2 * kPreviewBorder;
  const int width = sideX + sideWidth;
  const int height = std::max(gridHeight, kPreviewHeight + 2 * kPreviewBorder + (options ? 3 * pitch + 8 : 0));
  ModalRequest r(width, height, CREQ_ACCEPT | CREQ_CANCEL, title);
  if (!r.open())
    return -1;
  const CgHandle h = r.handle();
  const int32_t grid = cgAddGridview(h, 0, 0, gridWidth, gridHeight, kCellWidth, cellHeight, &list, 0, 0, nullptr);
  const int32_t previewButton =
      cgAddStampButton(h, sideX, 0, sideWidth, kPreviewHeight + 2 * kPreviewBorder, preview.get(), 0, 0, 0);
  if (grid == 0 || previewButton == 0)
    return -1;
  cgChangeElement(h, grid, CG_ATTR_KEY, gui::keys::kRight, 0);
  size_t selected = 0;
  if (had)
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == settings.name)
        selected = i;
  cgChangeElement(h, grid, CG_ATTR_GRID_SELECT, int32_t(selected), 1);

  int32_t tileBox = 0, scaleSlider = 0, opacitySlider = 0;
  if (options) {
    const std::u16string tileLabel = text(kStrTile, u"Tile preview");
    const std::u16string scaleLabel = text(kStrScale, u"Scale");
    const std::u16string opacityLabel = text(kStrTextureOpacity, u"Opacity");
    const int labelWidth = std::max({textWidth(tileLabel), textWidth(scaleLabel), textWidth(opacityLabel)}) + 6;
    const int top = kPreviewHeight + 2 * kPreviewBorder + 8;
    const int x = sideX + labelWidth, w = sideWidth - labelWidth;
    ElementExtension *ext = cgAllocGadExt();
    if (!ext)
      return -1;
    ext->label = reinterpret_cast<const xchar *>(tileLabel.c_str());
    tileBox = cgAddCheckBox(h, x, top, ch, ch, 1, 0, ext);
    cgFreeGadExt(ext);
    static const std::u16string percent = u"%";
    scaleSlider = cgAddSlider(h, x, top + pitch, w, ch, kTxMinScale, kTxMaxScale, scale,
                              reinterpret_cast<const xchar *>(scaleLabel.c_str()),
                              reinterpret_cast<const xchar *>(percent.c_str()), 0, nullptr);
    opacitySlider = cgAddSlider(h, x, top + 2 * pitch, w, ch, 0, 100, alphaPercent(opacity),
                                reinterpret_cast<const xchar *>(opacityLabel.c_str()),
                                reinterpret_cast<const xchar *>(percent.c_str()), 0, nullptr);
    if (tileBox == 0 || scaleSlider == 0 || opacitySlider == 0)
      return -1;
    cgChangeElement(h, tileBox, CG_ATTR_CHECK_STATE, tile, 1);
    cgChangeElement(h, tileBox, CG_ATTR_KEY, 't', 0);
    cgChangeElement(h, scaleSlider, CG_ATTR_KEY, 's', 0);
    cgChangeElement(h, opacitySlider, CG_ATTR_KEY, 'o', 0);
    gui::setHelpText(tileBox, text(kStrTileHelp, u"Show the texture repeated at its scale, as a tiled bar shows it"));
  }
  const auto refresh = [&] {
    paintPreview(*preview, names[selected], scale, tile, opacity);
    cgChangeElement(h, previewButton, CG_ATTR_STAMP_PICTURE, reinterpret_cast<intptr_t>(preview.get()), 1);
  };
  refresh();

  GuiMessage m{};
  while (r.next(m)) {
    if (m.id == r.descriptor().cancelId)
      return 0;
    if (m.id == r.descriptor().acceptId) {
      const std::optional<TxSettings> chosen = makeTxSettings(names[selected], scale, opacity);
      if (!chosen) {
        showMessage(title, text(kStrTextureFailed, u"The texture %1 cannot be read.", {utf8ToUtf16Lenient(names[selected])}));
        return 2;
      }
      settings = *chosen;
      return 1;
    }
    if (m.id == grid && m.value >= 0 && size_t(m.value) < names.size())
      selected = size_t(m.value);
    else if (m.id == tileBox)
      tile = m.value != 0;
    else if (m.id == scaleSlider)
      scale = std::clamp(m.value, kTxMinScale, kTxMaxScale);
    else if (m.id == opacitySlider)
      opacity = percentAlpha(std::clamp(m.value, 0, 100));
    else
      continue;
    refresh();
  }
  return 0;
}

} // namespace vxhost

extern "C" int32_t txRequest(TxRequest *request, int32_t) {
  if (request == nullptr) return -1;
  TxSettings settings = request->settings;
  const int status = vxhost::runTextureRequester(settings, request->options);
  if (status < 0) {
    request->status = 2;
    return -1;
  }
  request->status = status;
  if (status == 1) request->settings = settings;
  return 0;
}
