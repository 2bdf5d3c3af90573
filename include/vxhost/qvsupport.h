/* qvsupportlib: reading directories.
 * The original names are opendir/readdir/closedir; on this platform they
 * would take the place of the C library's own functions in every process
 * that loads the host, so they carry the library's prefix here. */
#ifndef VXHOST_QVSUPPORT_H
#define VXHOST_QVSUPPORT_H

#include "vxdefs.h"

VX_EXTERN_C_BEGIN

typedef struct QvDir QvDir;

/* One directory entry; the name starts at byte 16. */
typedef struct QvDirEntry {
  uint32_t reserved[4];
  char name[256]; /* NUL-terminated */
} QvDirEntry;
VX_STATIC_ASSERT(offsetof(QvDirEntry, name) == 16, "entry name at byte 16");

/* Opens the directory at `path` (a resolved path, not home-relative).
 * Returns a handle to pass to qvReaddir/qvClosedir, or null. */
QvDir *qvOpendir(const char *path);

/* Returns the next entry (owned by the handle, valid until the next call), or
 * null at the end. Entries come in the order the file system lists them,
 * "." and ".." included. */
QvDirEntry *qvReaddir(QvDir *dir);

/* Closes the handle; null is ignored. Returns 0. */
int32_t qvClosedir(QvDir *dir);

VX_EXTERN_C_END

#endif
