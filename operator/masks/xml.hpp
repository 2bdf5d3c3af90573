// XML element reader: finds the contents of plain elements "<tag>...</tag>"
// by byte search. Only those exact forms count (no attributes, no white space
// in the brackets, no empty-element tags); elements of one name do not nest;
// an element is found at any depth, inside comments too. Texts are 8-bit bytes,
// taken as they are (no entity decoding, no trimming).
#pragma once

#include <cstdint>
#include <memory>

namespace tileron {

// One file's whole contents, zero-terminated. The handle owns the text.
struct XmlDocument {
  char *text = nullptr; // the file's bytes followed by a zero byte
};

// Room for this many entries in one element list; a search stops there.
inline constexpr int kXmlMaxElements = 20;

// The result of one search: entries[0..count) are new zero-terminated copies
// of the found elements' contents, in document order. The list owns them.
struct XmlElementList {
  int32_t count = 0;                         // at least 1 in a list handed out
  char *entries[kXmlMaxElements] = {};
};

// Reads the whole file at the home-relative `path` (opened "r+b", so a file
// that cannot be opened for update counts as missing). Returns a new document,
// or null (logged at level 3) when the file cannot be opened, its buffer cannot
// be had or the read fails; an empty file fails too. Release with xmlFreeDocument.
XmlDocument *xmlReadFile(const char *path);

// Collects the contents of the elements named `tag` (bare name) in `text`, at
// most kXmlMaxElements. Returns a new list, or null: quietly for a null text or
// tag or when memory cannot be had, logged at level 3 when nothing is found.
// Release with xmlFreeElements.
XmlElementList *xmlGetElements(const char *text, const char *tag);

// Releases every entry and the list; null is ignored.
void xmlFreeElements(XmlElementList *list);

// Releases the text and the handle; null is ignored.
void xmlFreeDocument(XmlDocument *document);

struct XmlDocumentDeleter {
  void operator()(XmlDocument *document) const { xmlFreeDocument(document); }
};
struct XmlElementListDeleter {
  void operator()(XmlElementList *list) const { xmlFreeElements(list); }
};
// Owning handles: xmlReadFile / xmlGetElements results released on every path.
using XmlDocumentPtr = std::unique_ptr<XmlDocument, XmlDocumentDeleter>;
using XmlElementListPtr = std::unique_ptr<XmlElementList, XmlElementListDeleter>;

} // namespace tileron
