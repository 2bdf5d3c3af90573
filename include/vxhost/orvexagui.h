/* orvexagui: the GUI toolkit (screen, pointer, panels, elements, drawing,
 * messages). Records that hold pointers keep the original field order with
 * native pointers; records of integers keep their exact layout. */
#ifndef VXHOST_ORVEXAGUI_H
#define VXHOST_ORVEXAGUI_H

#include "oplibcommon.h"
#include "orvexares.h"
#include "vxlstlib.h"

VX_EXTERN_C_BEGIN

/* ---- records ------------------------------------------------------------ */

/* GUI image. Kind 2 holds 32-bit YUVA pixels in the OpImage kind-1 layout,
 * rows without gaps, so it converts to and from an OpImage by copying
 * width x height x 4 bytes. */
typedef struct CImage {
  int32_t kind;
  int16_t width;
  int16_t height;
  int32_t reserved;
  uint8_t *pixels;
} CImage;

/* GUI image kinds. */
enum {
  CG_KIND_YUVA = 2 /* 32-bit YUVA words, the OpImage kind-1 layout */
};

/* The panel handle of the video monitor output (cgWriteImage), and what
 * cgGetConnectedMonitors returns when a video monitor is connected. */
enum {
  CG_PANEL_VIDEO_MONITOR = 1,
  CG_VIDEO_MONITOR_CONNECTED = 3
};

/* Message kinds. */
enum {
  GUI_MSG_POINTER_MOVED = 2,
  GUI_MSG_POINTER_BUTTON = 3,
  GUI_MSG_ELEMENT = 4,
  GUI_MSG_CLOSE = 7
};

/* Button codes of kind-3 messages; GUI_QUALIFIER_SHIFT is added to the code
 * (and set in `qualifier`) while Shift is held. */
enum {
  GUI_BUTTON_LEFT_PRESS = 1,
  GUI_BUTTON_RIGHT_PRESS = 2,
  GUI_BUTTON_LEFT_RELEASE = 4,
  GUI_QUALIFIER_SHIFT = 0x80
};

/* A GUI message, 44 bytes. */
typedef struct GuiMessage {
  int16_t kind;      /*  0: GUI_MSG_* */
  int16_t reserved0; /*  2 */
  int32_t x;         /*  4: pointer position on the screen (kinds 2 and 3) */
  int32_t y;         /*  8 */
  int32_t id;        /* 12: element id (kind 4) or button code (kind 3, low 16 bits) */
  int16_t phase;     /* 16: sliders: 3 = final event of a movement */
  int16_t reserved1; /* 18 */
  int32_t value;     /* 20: slider value, popup entry, grid cell; signed 32-bit */
  int32_t qualifier; /* 24: kind 3: GUI_QUALIFIER_SHIFT while Shift is held */
  int32_t key;       /* 28: key character that triggered the event, else 0 */
  int32_t reserved2[3]; /* 32..43 */
} GuiMessage;
VX_STATIC_ASSERT(sizeof(GuiMessage) == 44, "GuiMessage is 44 bytes");
VX_STATIC_ASSERT(offsetof(GuiMessage, id) == 12, "GuiMessage id at 12");
VX_STATIC_ASSERT(offsetof(GuiMessage, phase) == 16, "GuiMessage phase at 16");
VX_STATIC_ASSERT(offsetof(GuiMessage, value) == 20, "GuiMessage value at 20");
VX_STATIC_ASSERT(offsetof(GuiMessage, qualifier) == 24, "GuiMessage qualifier at 24");

struct GridItem;
/* Slider value text: writes the text for `value` into buffer (room for 32
 * xchars), returns its length. */
typedef int32_t (*CgSliderTextFn)(int32_t value, xchar *buffer);
/* Grid cell drawer: draws `item` into the inclusive rectangle; the drawing
 * calls inside take panel 0 (the cell being drawn). */
typedef void (*CgGridDrawFn)(struct GridItem *item, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

/* Element extension record (cgAllocGadExt, zeroed). The toolkit copies what it
 * needs at element creation: the caller may reuse or free it right after. */
typedef struct ElementExtension {
  void *reserved0;
  const xchar *label;   /* shown beside an image button or check box */
  union {
    CgSliderTextFn sliderText;
    CgGridDrawFn drawCell;
    void *any;
  } callback;
  int16_t kind;         /* 1 text or image button, 2 palette button, 0 other */
  int16_t reserved1;
  int32_t reserved2;
} ElementExtension;

/* Grid view item: a list node read by the toolkit (zeroed, then filled). */
typedef struct GridItem {
  VxNode node;
  uint32_t flags;       /* 0x210 */
  CImage *picture;      /* may be null */
  uint32_t reserved0[4];
  const xchar *text;
  uint32_t reserved1;
} GridItem;

/* Popup entry: a list node; the text follows the flags. */
typedef struct PopupEntry {
  VxNode node;
  uint32_t flags;       /* 0x201 */
  const xchar *text;
} PopupEntry;

/* Element attributes for cgChangeElement / cgGetElementInfo. */
enum {
  CG_ATTR_PALETTE_COLOUR = 5,
  CG_ATTR_GRID_SELECT = 6,
  CG_ATTR_GRID_SELECTED = 18,
  CG_ATTR_SLIDER_VALUE_GET = 25,
  CG_ATTR_SLIDER_MAX = 39,
  CG_ATTR_SLIDER_VALUE = 40,
  CG_ATTR_STAMP_PICTURE = 48,
  CG_ATTR_KEY = 57,
  CG_ATTR_CHECK_STATE = 60,
  CG_ATTR_IMAGE_PICTURE = 74,
  CG_ATTR_HELP_TABLE = 80,
  CG_ATTR_HELP_NUMBER = 82
};

/* cgSetPointerAttrs tags; the list is pointer-width words (tag, value), ended by tag 0. */
enum {
  CG_PTR_TAG_BEGIN = 1,   /* value 1, always first */
  CG_PTR_TAG_SHAPE = 3,   /* 1 standard, 3 custom image */
  CG_PTR_TAG_IMAGE = 7,   /* const ResImage * */
  CG_PTR_TAG_HOT_X = 8,
  CG_PTR_TAG_HOT_Y = 9
};

/* ---- screen and layout ---------------------------------------------------- */

/* Fills the inclusive visible rectangle of the screen (it may be inset from the
 * screen by the host's safe margin). */
void cgGetVisibleArea(int32_t *left, int32_t *top, int32_t *right, int32_t *bottom);
/* The screen's size in pixels. */
int32_t cgGetScreenWidth(void);
int32_t cgGetScreenHeight(void);
/* The GUI screen's pixel aspect in per mille (`which` is 4). */
int32_t cgGetPixelAspect(int32_t which);
/* CG_VIDEO_MONITOR_CONNECTED when a video monitor is connected, 0 otherwise. */
int32_t cgGetConnectedMonitors(void);
/* The id of the default monitor, only passed on. */
int32_t cgGetDefaultMonitor(void);
/* The font height in pixels on `monitor`. */
int32_t cgGetFontHeightMonitor(int32_t monitor);
/* The height added to the font height per text row. */
int32_t cgGetAddHeight(void);
/* The handle of the toolkit's own image set (for resGetImage); never released. */
ResHandle cgGetGuiResource(void);
/* The message queue a full-screen request reports to. */
uint32_t cgGetOutputMsgQ(void);

/* ---- pointer ---------------------------------------------------------------- */

void cgBusyPointer(void);      /* shows the busy pointer */
void cgStandardPointer(void);  /* restores the standard pointer */
/* Sets the pointer shape from (tag, value) pairs ended by tag 0. Returns 1, 0 for a bad list. */
int32_t cgSetPointerAttrs(const intptr_t *tags);
/* Writes the pointer's screen position. */
void cgGetPointerPos(int32_t *x, int32_t *y);
/* Warps the pointer to (x, y). */
void cgMovePointer(int32_t x, int32_t y);
/* Relative (endless) pointer mode on / off; `flags` is 0. */
void cgVirtualPointerOn(int32_t flags);
void cgVirtualPointerOff(int32_t flags);
/* Places the virtual pointer at (x, y) (re-centring during an endless drag). */
void cgMoveVirtualPointer(int32_t x, int32_t y);

/* ---- messages ----------------------------------------------------------------- */

/* Waits for the next GUI message of the current request (timeout -1: without
 * limit) and copies it into *message. Returns sizeof(GuiMessage) (44) for a
 * whole message, 0 when the timeout ran out, -1 when the event source ended. */
int32_t cgMsgQReceive(GuiMessage *message, int32_t timeout);

/* ---- images and drawing -------------------------------------------------------- */

/* Returns a new GUI image of `kind` CG_KIND_YUVA, cleared to 0, or null.
 * Released with cgFreeImage. */
CImage *cgAllocImage(int32_t kind, int32_t width, int32_t height);
/* Releases a GUI image; null is ignored. */
void cgFreeImage(CImage *image);
/* Returns a new kind-2 GUI image of a resource image with its alpha, or null. */
CImage *cgConvertResImageToCImageAlpha(const ResImage *image, int32_t flags);
/* Draws `image` with alpha at (x, y) of `panel` (1 = the video monitor output,
 * 0 = the cell being drawn inside a draw callback). Returns 1, 0 when nothing was drawn. */
int32_t cgWriteImage(CgHandle panel, const CImage *image, int32_t x, int32_t y);
/* Draws a resource image with alpha at (x, y) of `panel`. */
int32_t cgWriteResImage(CgHandle panel, const ResImage *image, int32_t x, int32_t y);
/* Copies a YUVA rectangle (pixels at `pixels`, `bytesPerRow` apart) onto the
 * screen's video plane at (x, y); `flags` is 0. */
void cgmxYUVAtoOvl(const void *pixels, int32_t flags, int32_t bytesPerRow, int32_t x, int32_t y,
                   int32_t width, int32_t height);
/* Fills the inclusive rectangle with the colour of cgSetColor2YUV. */
void cgRectFill(CgHandle panel, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
/* Clears the inclusive rectangle to the panel background. */
void cgFillBackground(CgHandle panel, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                      int32_t flags1, int32_t flags2);
/* Sets the drawing colour (YUVA word) of the following drawing calls. */
void cgSetColor2YUV(uint32_t colour);
/* The GUI colour number `n` as a YUVA word. */
uint32_t cgGetNewGuiColorYUV(int32_t n);
/* Draws a frame around the inclusive rectangle; `style` 4 sunken, 11 raised. */
void cgDrawBoxNew(CgHandle panel, int32_t left, int32_t top, int32_t right, int32_t bottom,
                  int32_t style, int32_t width, int32_t flags1, int32_t flags2);
/* Draws a group panel's title. */
void cgDrawPanelTitle(CgHandle panel, const xchar *title);
/* Draws `text` in the box (style 17 left aligned label, 18 centred) and
 * returns its element id (a text element), 0 on failure. With panel 0 inside
 * a draw callback it only draws and returns 1. */
int32_t cgBoxText(CgHandle panel, const xchar *text, int32_t x, int32_t y, int32_t width,
                  int32_t height, int32_t style);
/* Clips the request's drawing to the inclusive rectangle. */
void cgSetClipRect(CgHandle request, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
/* Switches the host's colour bar back on after a full-screen editor. */
void cgColorBarOn(void);

/* ---- panels ----------------------------------------------------------------------- */

/* Creates a panel inside `parent` (a request or a panel) at (x, y) relative to
 * it. Returns its handle, 0 on failure. */
CgHandle cgCreatePanel(CgHandle parent, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint32_t flags, uint32_t flags2, int32_t reserved);
/* Removes a panel with its child panels and elements. */
void cgRemovePanel(CgHandle panel);

/* ---- elements: each returns the new element's id, 0 on failure ------------------- */

int32_t cgAddTextButton(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                        const xchar *text, uint32_t flags, const ElementExtension *ext);
int32_t cgAddImageButton(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                         const ResImage *image, uint32_t flags, const ElementExtension *ext);
/* `content` is 1; the label comes from ext->label. */
int32_t cgAddCheckBox(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                      int32_t content, uint32_t flags, const ElementExtension *ext);
/* An invisible area that reports presses. */
int32_t cgAddClickGadget(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                         uint32_t flags, int32_t reserved);
/* A button showing a GUI image (copied at creation). */
int32_t cgAddStampButton(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                         const CImage *image, int32_t reserved1, int32_t reserved2, int32_t reserved3);
/* A slider from lowest to highest; text1 (left, may be null) and text2 (right
 * label); ext->callback.sliderText, when set, writes the value text. */
int32_t cgAddSlider(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                    int32_t lowest, int32_t highest, int32_t value, const xchar *text1,
                    const xchar *text2, uint32_t flags, const ElementExtension *ext);
/* A button showing `colour` (YUVA). */
int32_t cgAddPaletteButton(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                           uint32_t colour, uint32_t flags, const ElementExtension *ext);
/* A popup choosing one of the PopupEntry nodes of `entries` (copied at creation). */
int32_t cgAddPopup(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                   const VxList *entries, int32_t value, uint32_t flags, const ElementExtension *ext);
/* A scrolling grid of GridItem cells (cellWidth x cellHeight) inside the
 * gridWidth x gridHeight box; ext->callback.drawCell draws each cell (it is
 * given the toolkit's copy of the item). The items are copied at creation, so
 * the list may be released right after the call; the pictures and texts they
 * point to must live as long as the element. */
int32_t cgAddGridview(CgHandle request, int32_t x, int32_t y, int32_t gridWidth, int32_t gridHeight,
                      int32_t cellWidth, int32_t cellHeight, const VxList *items, int32_t reserved,
                      uint32_t flags, const ElementExtension *ext);

/* Returns a new zeroed extension record, or null. Released with cgFreeGadExt. */
ElementExtension *cgAllocGadExt(void);
void cgFreeGadExt(ElementExtension *ext);

/* Changes `attribute` (CG_ATTR_*) of an element to `value` (an integer or a
 * pointer); redraw 1 redraws it now. Returns 1, 0 for an unknown element. */
int32_t cgChangeElement(CgHandle panel, int32_t element, int32_t attribute, intptr_t value,
                        int32_t redraw);
/* Reads `attribute` of an element into *value and also returns it (0 for an
 * unknown element; *value is then left alone). */
int32_t cgGetElementInfo(CgHandle panel, int32_t element, int32_t attribute, int32_t *value);
void cgEnableElement(CgHandle panel, int32_t element);
void cgDisableElement(CgHandle panel, int32_t element);
void cgActivateElement(CgHandle panel, int32_t element);   /* shows a button as selected */
void cgInactivateElement(CgHandle panel, int32_t element); /* shows it as not selected */

VX_EXTERN_C_END

#endif
