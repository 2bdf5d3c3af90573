// Files below the host's home directory (VXHOME). Paths are 8-bit and begin
// with "/programs/tileron/"; a path that already holds the home value is used
// as it is.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tileron {

// The home-relative directories, made on every message.
inline constexpr const char *kDirRoot = "/programs/tileron";
inline constexpr const char *kDirPrefs = "/programs/tileron/prefs";
inline constexpr const char *kDirMask = "/programs/tileron/mask";
inline constexpr const char *kDirArchive = "/programs/tileron/archive";

// The path given to the C library: `path` unchanged when it contains the value
// of VXHOME anywhere, else VXHOME followed by `path` (no separator inserted).
std::string resolveHomePath(const std::string &path);

// Opens the resolved path with fopen(mode); null on failure. The caller closes it.
std::FILE *openHomeFile(const std::string &path, const char *mode);

// Makes the directory: 0 on success or when it exists as a directory, -1
// otherwise (errno set), a file of that name included.
int makeHomeDirectory(const std::string &path);

// Removes the file: 0 on success, -1 on failure.
int removeHomeFile(const std::string &path);

// Replaces the file at the home-relative `path` with `size` bytes of `data`:
// they go to a hidden temporary beside it ("." name ".tmp"), reach the disk,
// and the temporary is renamed over `path`, so a reader (or the next run after
// the process was killed) finds the old file or the new one, whole. 1 on
// success, else 0 with the old file untouched and the temporary removed (a
// write-protected file is refused). A temporary left by a killed write is
// hidden and is replaced by the next one.
int writeHomeFile(const std::string &path, const void *data, std::size_t size);

// Copies a whole file (both paths home-relative) with writeHomeFile: 1 on
// success (an empty source gives an empty copy; a file copied onto itself is
// left untouched), else 0 with the destination as it was.
int copyHomeFile(const std::string &source, const std::string &destination);

// Replaces `destination` by a copy of `source` (both home-relative): the copy
// is written to a hidden temporary beside it ("." name ".tmp") and renamed
// over it, so the destination is either replaced whole or left as it was (a
// write-protected one is replaced too). 1 on success, else 0 (the temporary
// file removed).
int replaceHomeFile(const std::string &source, const std::string &destination);

// Renames a file (both paths home-relative), replacing the destination:
// 0 on success, -1 on failure.
int renameHomeFile(const std::string &from, const std::string &to);

// True when `name`, joined to a home-relative directory, names something
// inside it: not absolute (no leading separator, no drive letter), no ".."
// segment, and no copy of the home directory (which would make the
// home-relative resolution take the path as it stands).
bool staysInsideDirectory(const std::string &name);

} // namespace tileron
