#include "masks/catalogue.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/split_mask.hpp"
#include "masks/mask_paths.hpp"
#include "masks/pack_names.hpp"
#include "masks/xml.hpp"
#include "support/cipher.hpp"
#include "support/home_files.hpp"
#include "support/report.hpp"
#include "vxhost/qvsupport.h"

namespace tileron {

namespace {

// fgets reads at most this many bytes of a line, so a longer line gives
// several items.
constexpr int kIndexLineBytes = 79;
constexpr const char *kFallbackLanguage = "english";
constexpr const char *kNoName = "No name";

template <typename Node> void releaseNodes(VxList &list) {
  while (VxNode *node = lstFirst(&list)) {
    lstRemove(&list, node);
    delete static_cast<Node *>(node);
  }
}

// Pack paths are joined to the home directory as they are, without the
// substring rule of home-relative paths.
std::string underHome(const char *path) {
  const char *home = std::getenv("VXHOME");
  return std::string(home != nullptr ? home : "") + path;
}

void setTitle(MaskInfo &entry, const char *text) {
  entry.title.assign(std::strlen(text) + 1, 0);
  entry.title.resize(static_cast<std::size_t>(sxcpy(entry.title.data(), text)) + 1);
}

// Before the first entry whose title is greater, else at the end: equal
// titles stay in the order they came in.
void insertSorted(MaskCatalogue &catalogue, MaskInfo *entry) {
  for (MaskInfo *other = firstMask(catalogue); other != nullptr; other = nextMask(*other)) {
    if (xcscmp(entry->title.data(), other->title.data()) < 0) {
      lstInsert(&catalogue.list, lstPrev(other), entry);
      return;
    }
  }
  lstAppend(&catalogue.list, entry);
}

} // namespace

MaskCatalogue::MaskCatalogue() { lstNewList(&list); }
MaskCatalogue::~MaskCatalogue() { releaseNodes<MaskInfo>(list); }

PackIndex::PackIndex() { lstNewList(&list); }
PackIndex::~PackIndex() { releaseNodes<PackIndexLine>(list); }

MaskInfo *firstMask(const MaskCatalogue &catalogue) {
  return static_cast<MaskInfo *>(lstFirst(&catalogue.list));
}

MaskInfo *nextMask(const MaskInfo &entry) { return static_cast<MaskInfo *>(lstNext(&entry)); }

MaskCatalogue *buildMaskCatalogue(const std::string &language) {
  auto *catalogue = new (std::nothrow) MaskCatalogue;
  if (catalogue == nullptr) return nullptr;
  QvDir *dir = qvOpendir(resolveHomePath(kMaskDirectory).c_str());
  if (dir == nullptr) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    delete catalogue;
    return nullptr;
  }
  std::vector<std::string> packs;
  while (const QvDirEntry *file = qvReaddir(dir)) {
    if (isPackIndexName(file->name)) packs.push_back(kMaskDirectory + std::string(file->name));
  }
  qvClosedir(dir);
  // The directory's own order is arbitrary; name order makes the order of
  // equal titles the same on every machine.
  std::sort(packs.begin(), packs.end());

  for (const std::string &pack : packs) {
    const std::unique_ptr<PackIndex> index = readPackIndex(pack);
    if (!index) continue;
    for (VxNode *node = lstFirst(&index->list); node != nullptr; node = lstNext(node)) {
      const std::string &name = static_cast<PackIndexLine *>(node)->text;
      if (!staysInMaskDirectory(name)) {
        TILERON_REPORT(kLevelError, kSrcTileron);
        continue;
      }
      auto *entry = new (std::nothrow) MaskInfo();
      if (entry == nullptr) continue;
      entry->path = kMaskDirectory + name;
      if (!readMaskTitle(*entry, language)) {
        TILERON_REPORT(kLevelError, kSrcTileron);
        delete entry;
        continue;
      }
      insertSorted(*catalogue, entry);
    }
  }
  return catalogue;
}

void freeMaskCatalogue(MaskCatalogue *catalogue) { delete catalogue; }

bool readPackIndexItem(std::FILE *file, std::string &item) {
  char line[kIndexLineBytes + 1];
  if (std::fgets(line, sizeof line, file) == nullptr) return false;
  const char *begin = line;
  const char *end = std::find_if(begin, begin + std::strlen(line),
                                 [](char c) { return static_cast<signed char>(c) <= 15; });
  item.assign(begin, end);
  return true;
}

std::unique_ptr<PackIndex> readPackIndex(const std::string &packPath) {
  std::unique_ptr<PackIndex> index(new (std::nothrow) PackIndex);
  if (!index) return nullptr;
  const std::string temporary = underHome(kPackIndexTemporary);
  auto failed = [&] {
    index.reset();
    std::remove(temporary.c_str());
    TILERON_REPORT(kLevelError, kSrcTileron);
    return nullptr;
  };
  if (decipherFile(underHome(packPath.c_str()).c_str(), temporary.c_str()) != 0) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return failed();
  }
  std::FILE *file = std::fopen(temporary.c_str(), "r");
  if (file == nullptr) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return failed();
  }
  std::string item;
  if (!readPackIndexItem(file, item)) { // the pack number
    TILERON_REPORT(kLevelError, kSrcTileron);
    std::fclose(file);
    return failed();
  }
  while (readPackIndexItem(file, item)) {
    auto *line = new (std::nothrow) PackIndexLine();
    if (line == nullptr) break;
    line->text = item;
    lstAppend(&index->list, line);
  }
  std::fclose(file);
  std::remove(temporary.c_str());
  return index;
}

namespace {

// The mask file of `entry`, read whole; null (reported) when it cannot be read.
XmlDocumentPtr readMaskDocument(const MaskInfo &entry) {
  XmlDocumentPtr document(xmlReadFile(entry.path.c_str()));
  if (!document) TILERON_REPORT(kLevelError, kSrcTileron);
  return document;
}

} // namespace

int readMaskTitle(MaskInfo &entry, const std::string &language) {
  const XmlDocumentPtr document = readMaskDocument(entry);
  if (!document) return 0;
  // Not exactly one mask in the file: the loader would load it as an empty
  // mask, so it is no choice to offer.
  XmlElementListPtr screens;
  const char *screen = onlyScreen(*document, screens);
  if (screen == nullptr) return 0;
  XmlElementListPtr names(xmlGetElements(screen, "name"));
  if (!names) return 0;

  const char *name = names->entries[0];
  XmlElementListPtr text;
  if (!language.empty()) text.reset(xmlGetElements(name, language.c_str()));
  if (!text) {
    TILERON_REPORT(kLevelTitleMissing, kSrcTileron);
    text.reset(xmlGetElements(name, kFallbackLanguage));
  }
  setTitle(entry, text ? text->entries[0] : kNoName);
  return 1;
}

int readMaskStamp(MaskInfo &entry) {
  const XmlDocumentPtr document = readMaskDocument(entry);
  if (!document) return 0;
  XmlElementListPtr screens;
  const char *screen = onlyScreen(*document, screens);
  if (screen == nullptr) return 1;
  for (const std::string &name : stampFileNames(screen)) {
    const OpImagePtr map = readMaskDirectoryImage(name);
    if (!map) {
      TILERON_REPORT(kLevelError, kSrcTileron);
      return 0;
    }
    entry.thumbnail.reset(makeStampPicture(map.get(), -1));
  }
  return 1;
}

MaskCatalogue *openMaskCatalogue(MaskCatalogue *catalogue, const std::string &currentMaskPath) {
  if (catalogue == nullptr) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return nullptr;
  }
  MaskInfo *entry = firstMask(*catalogue);
  while (entry != nullptr) {
    MaskInfo *next = nextMask(*entry);
    if (!entry->path.empty() && !readMaskStamp(*entry)) {
      TILERON_REPORT(kLevelError, kSrcTileron);
      lstRemove(&catalogue->list, entry);
      delete entry;
    }
    entry = next;
  }
  for (entry = firstMask(*catalogue); entry != nullptr; entry = nextMask(*entry))
    entry->isCurrent = entry->path == currentMaskPath ? 1 : 0;
  return catalogue;
}

void releaseThumbnails(MaskCatalogue *catalogue) {
  if (catalogue == nullptr) return;
  for (MaskInfo *entry = firstMask(*catalogue); entry != nullptr; entry = nextMask(*entry))
    entry->thumbnail.reset();
}

} // namespace tileron
