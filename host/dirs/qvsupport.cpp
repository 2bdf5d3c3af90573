// qvsupportlib: reading directories in the order the file system lists them.
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <new>

#include "vxhost/qvsupport.h"

struct QvDir {
  DIR *dir;
  QvDirEntry entry;
};

extern "C" QvDir *qvOpendir(const char *path) {
  if (!path || !*path)
    return nullptr;
  DIR *dir = ::opendir(path);
  if (!dir)
    return nullptr;
  auto *handle = new (std::nothrow) QvDir{dir, {}};
  if (!handle)
    ::closedir(dir);
  return handle;
}

extern "C" QvDirEntry *qvReaddir(QvDir *handle) {
  if (!handle)
    return nullptr;
  const dirent *entry = ::readdir(handle->dir);
  if (!entry)
    return nullptr;
  // File names are at most 255 bytes on every file system this runs on.
  const size_t length = std::min(std::strlen(entry->d_name), sizeof handle->entry.name - 1);
  std::memcpy(handle->entry.name, entry->d_name, length);
  handle->entry.name[length] = '\0';
  return &handle->entry;
}

extern "C" int32_t qvClosedir(QvDir *handle) {
  if (handle) {
    ::closedir(handle->dir);
    delete handle;
  }
  return 0;
}
