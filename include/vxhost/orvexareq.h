/* orvexareq: requesters. Each record here holds pointers, so it keeps the
 * original field order with native pointers; PaletteRequest is integers only
 * and keeps its 20 bytes. */
#ifndef VXHOST_ORVEXAREQ_H
#define VXHOST_ORVEXAREQ_H

#include "orvexagui.h"

VX_EXTERN_C_BEGIN

/* Request flags. */
enum {
  CREQ_FULLSCREEN = 0x2000, /* covers the screen (the editor) */
  CREQ_ACCEPT = 0x2,        /* has an accept button; its id is written to acceptId */
  CREQ_CANCEL = 0x4         /* has a cancel button; its id is written to cancelId */
};

/* Request descriptor: filled by the caller, completed by the host. One layout
 * for every request; callers reserve the whole record zeroed. */
typedef struct RequestDescriptor {
  CgHandle handle;      /* out: the request */
  uint32_t reserved0;   /* 0 */
  int16_t width;
  int16_t height;
  uint32_t msgQ;        /* cgGetOutputMsgQ() or msgQCommandGet() */
  uint32_t flags;
  const xchar *title;   /* 0 = none */
  uint32_t reserved1[3];
  int16_t x, y, w, h;   /* out: the request's rectangle on the screen */
  uint32_t reserved2;
  int32_t acceptId;     /* out: element id of the accept button, 0 = none */
  int32_t cancelId;     /* out: element id of the cancel button, 0 = none */
} RequestDescriptor;

/* Opens the request the descriptor describes (centred, or full screen with
 * CREQ_FULLSCREEN) and makes it the target of element creation and of
 * cgMsgQReceive. Returns 0 and fills the out fields, or -1 on failure. */
int32_t creqCreateRequest(RequestDescriptor *request);
/* Removes the request with its panels and elements; the request below it
 * becomes current again. */
void creqDeleteRequest(RequestDescriptor *request);

/* Text requester: a message (style 1, one button) or a yes/no question (style 0x43). */
typedef struct TextRequest {
  const xchar *title;
  const xchar *text;    /* lines separated by character 10 */
  int32_t reserved0[3];
  int32_t style;
  int32_t reserved1;
  int32_t result;       /* out: 1 = yes / confirmed */
} TextRequest;
/* Shows the text requester and blocks until it is answered. Returns 0, -1 on failure. */
int32_t creqTextRequest(TextRequest *request);

/* File requester over one home-relative directory. */
typedef struct FileRequest {
  const xchar *title;
  const char *directory;  /* home-relative, ends in "/" */
  int32_t reserved0;
  int32_t mode;           /* 1 load, 2 save, 3 delete */
  char *name;             /* in: empty; out: home-relative path without extension */
  int16_t nameCapacity;   /* bytes usable in name, NUL excluded */
  int16_t reserved1;
  xchar *name16;          /* never read by the caller */
  int16_t name16Capacity;
  int16_t reserved2;
  int32_t result;         /* out: 1 = a name was confirmed */
} FileRequest;
/* Shows the file requester; blocks. Returns 0, -1 on failure. */
int32_t creqFileRequest(FileRequest *request);

/* Archives chooser: load, save or delete a preset. */
typedef struct ArchivesRequest {
  const xchar *title;
  int32_t result;         /* out: 4 load, 5 save, 6 delete, other = nothing */
} ArchivesRequest;
/* Shows the archives chooser; blocks. Returns 0, -1 on failure. */
int32_t creqArchivesRequest(ArchivesRequest *request);

/* Colour picker, 20 bytes. */
typedef struct PaletteRequest {
  int32_t reserved0;
  uint32_t result;        /* out: bit 0x10000 set when a colour was chosen */
  uint32_t colour;        /* in/out: YUVA */
  uint32_t option;        /* 0x6400 */
  int32_t reserved1;
} PaletteRequest;
VX_STATIC_ASSERT(sizeof(PaletteRequest) == 20, "PaletteRequest is 20 bytes");
/* Shows the colour picker; blocks. Returns 0 when it ran, -1 on failure. */
int32_t creqPaletteRequest(PaletteRequest *request);

VX_EXTERN_C_END

#endif
