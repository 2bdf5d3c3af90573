// The mask catalogue: every mask the installed packs list, with its display
// name, sorted by name. Packs live in the mask directory: an enciphered pack
// index (a name holding ".dat") and the mask files it lists. Built at load,
// released at unload; thumbnails exist only while the mask selector is open.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/handles.hpp"
#include "vxhost/vxlstlib.h"
#include "vxhost/xchar.h"

namespace tileron {

// The temporary file a pack index is deciphered into, home-relative. It
// exists only while one pack index is read.
inline constexpr const char *kPackIndexTemporary = "/programs/tileron/prefs/maskinfo.dec";

// One installed mask; a node of the catalogue's host list.
struct MaskInfo : VxNode {
  std::string path;         // home-relative: the mask directory + the index line
  std::vector<xchar> title; // NUL-terminated display name; empty = none
  CImagePtr thumbnail;      // the stamp picture between openMaskCatalogue and releaseThumbnails
  int32_t isCurrent = 0;    // 1 for the entry of the mask current when the selector opened
};

// The installed masks in ascending order of title (xcscmp); equal titles
// keep the order in which they were found. Destroying it releases every
// entry with its path, title and thumbnail.
struct MaskCatalogue {
  VxList list{};
  MaskCatalogue();
  ~MaskCatalogue();
  MaskCatalogue(const MaskCatalogue &) = delete;
  MaskCatalogue &operator=(const MaskCatalogue &) = delete;
};

// Walking the catalogue: the first entry or the one after `entry`; null at the end.
MaskInfo *firstMask(const MaskCatalogue &catalogue);
MaskInfo *nextMask(const MaskInfo &entry);

// One line of a pack index; a node of a PackIndex list.
struct PackIndexLine : VxNode {
  std::string text;
};

// The mask lines of one pack index, in file order; releases its nodes.
struct PackIndex {
  VxList list{};
  PackIndex();
  ~PackIndex();
  PackIndex(const PackIndex &) = delete;
  PackIndex &operator=(const PackIndex &) = delete;
};

// Builds the catalogue from every pack index in the mask directory (names
// not starting with "." and holding ".dat" anywhere, taken in byte order of
// their names). A pack that cannot be deciphered or read adds nothing; a
// listed mask that cannot be read, has no name element, does not hold
// exactly one splitscreen element, or whose line would leave the mask
// directory is left out; each is reported. Returns the new catalogue, or null
// (reported) when the mask directory cannot be read. Titles are read in
// `language` (a languageTag). Free with freeMaskCatalogue.
MaskCatalogue *buildMaskCatalogue(const std::string &language);

// Releases the catalogue and everything it holds; null is ignored.
void freeMaskCatalogue(MaskCatalogue *catalogue);

// Deciphers the pack index at the home-relative `packPath` into
// kPackIndexTemporary, reads its lines and removes the temporary file. The
// first line (the pack number) is skipped. Returns the mask lines, or null
// (reported) when the file cannot be deciphered or holds no line at all.
std::unique_ptr<PackIndex> readPackIndex(const std::string &packPath);

// Reads the next item of a deciphered pack index: at most 79 bytes of a line,
// cut at its first byte whose value as a signed 8-bit number is 15 or less
// (line end, any control character, every byte from 0x80 up). A longer line
// gives several items. False at the end of the file.
bool readPackIndexItem(std::FILE *file, std::string &item);

// Sets entry.title from the mask file at entry.path: the first name element's
// text in `language` (a languageTag); else (reported at level 6) its english text;
// else "No name". Returns 1, or 0 when the file cannot be read (reported),
// does not hold exactly one splitscreen element, or has no name element.
int readMaskTitle(MaskInfo &entry, const std::string &language);

// Sets entry.thumbnail to the stamp picture of the mask file's stamp map (the
// last stamp element with a file name wins; none leaves no thumbnail).
// Returns 1, or 0 (reported) when the file or a named stamp map cannot be read.
int readMaskStamp(MaskInfo &entry);

// Readies the catalogue for the mask selector: reads every entry's thumbnail,
// dropping for good (reported) the entries whose stamp map cannot be read,
// and marks the entry whose path equals currentMaskPath byte for byte.
// Returns the catalogue, or null (reported) when there is none.
MaskCatalogue *openMaskCatalogue(MaskCatalogue *catalogue, const std::string &currentMaskPath);

// Releases every entry's thumbnail; null is ignored.
void releaseThumbnails(MaskCatalogue *catalogue);

} // namespace tileron
