/* The operator interface: the tag list a plug-in exports and the message the
 * host sends to its entry routine. */
#ifndef VXHOST_OPERATOR_H
#define VXHOST_OPERATOR_H

#include <stdio.h>

#include "vxdefs.h"

VX_EXTERN_C_BEGIN

/* Message types. */
enum {
  OP_MSG_SETUP = 1,
  OP_MSG_TEARDOWN = 2,
  OP_MSG_RENDER = 3,
  OP_MSG_EDIT = 4,
  OP_MSG_UNUSED5 = 5,
  OP_MSG_NOTHING = 6,
  OP_MSG_LOAD = 7,
  OP_MSG_UNLOAD = 8
};

/* Flag bits. */
enum {
  OP_FLAG_MONITOR_ASPECT = 1, /* set-up: take the pixel aspect from the GUI monitor */
  OP_FLAG_ODD_FIELD = 2       /* render: the field is an odd (lower) field */
};

/* The message, 16 bytes, owned by the host and valid for one call. */
typedef struct OperatorMessage {
  uint16_t type;        /* 0: OP_MSG_* */
  uint16_t reserved;    /* 2: not read */
  uint32_t flags;       /* 4: OP_FLAG_* */
  int32_t effectValue;  /* 8: the effect's length in fields */
  int32_t field;        /* 12: the field to compute */
} OperatorMessage;
VX_STATIC_ASSERT(sizeof(OperatorMessage) == 16, "OperatorMessage is 16 bytes");
VX_STATIC_ASSERT(offsetof(OperatorMessage, flags) == 4, "flags at 4");
VX_STATIC_ASSERT(offsetof(OperatorMessage, effectValue) == 8, "effect value at 8");
VX_STATIC_ASSERT(offsetof(OperatorMessage, field) == 12, "field at 12");

/* The entry routine: 0 success, -1 failure. */
typedef int32_t (*OperatorEntry)(const OperatorMessage *message);

/* One (tag, value) pair of the tag list. The original words are 32 bits;
 * here both are pointer-width so that values may be pointers. The list ends
 * with tag 0. */
typedef struct OperatorTag {
  uintptr_t tag;
  uintptr_t value;
} OperatorTag;

#define OPERATOR_TAG_BASE 0x4F504500u /* "OPE" followed by the tag number */
#define OPERATOR_TAG(n) (OPERATOR_TAG_BASE + (n))
enum {
  OP_TAG_KIND = 0x00,
  OP_TAG_CLASS = 0x01,
  OP_TAG_ENTRY = 0x03,    /* value: OperatorEntry */
  OP_TAG_INPUTS = 0x04,   /* value: const int16_t[6] */
  OP_TAG_FLAGS_A = 0x0A,
  OP_TAG_FLAGS_D = 0x0D,
  OP_TAG_FLAGS_E = 0x0E,
  OP_TAG_VERSION = 0x10   /* value: const char * version tag string */
};

/* Reads "major.minor" from a version tag string by the format
 * "$Id: %*s %lu.%lu" (as in "$Id: file.cpp,v 1.1 ..."): 1 with both numbers
 * stored when exactly two were read, else 0 with nothing stored (a null tag
 * too). The host and the plug-in read the tag alike through this one form. */
static inline int opParseVersionTag(const char *tag, unsigned long *major, unsigned long *minor) {
  unsigned long first = 0, second = 0;
  if (!tag || sscanf(tag, "$Id: %*s %lu.%lu", &first, &second) != 2)
    return 0;
  *major = first;
  *minor = second;
  return 1;
}

/* The plug-in's one export: the static tag list (never freed). */
typedef const OperatorTag *(*GetOperatorInfoFn)(void);

VX_EXTERN_C_END

#endif
