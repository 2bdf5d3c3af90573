#include "masks/xml.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "support/home_files.hpp"
#include "support/report.hpp"

namespace tileron {

XmlDocument *xmlReadFile(const char *path) {
  auto *document = new (std::nothrow) XmlDocument;
  if (document == nullptr) return nullptr;
  // "r+b": the file must be open-able for update as well as for reading.
  std::FILE *file = path != nullptr ? openHomeFile(path, "r+b") : nullptr;
  if (file == nullptr) {
    TILERON_REPORT(kLevelError, kSrcXml);
    delete document;
    return nullptr;
  }
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    TILERON_REPORT(kLevelError, kSrcXml);
    delete document;
    return nullptr;
  }
  document->text = static_cast<char *>(std::malloc(static_cast<size_t>(size) + 1));
  if (document->text == nullptr) {
    std::fclose(file);
    TILERON_REPORT(kLevelError, kSrcXml);
    delete document;
    return nullptr;
  }
  // One item of the whole size: an empty file delivers no item and fails.
  if (std::fread(document->text, static_cast<size_t>(size), 1, file) != 1) {
    std::fclose(file);
    TILERON_REPORT(kLevelError, kSrcXml);
    xmlFreeDocument(document);
    return nullptr;
  }
  std::fclose(file);
  document->text[size] = '\0';
  return document;
}

XmlElementList *xmlGetElements(const char *text, const char *tag) {
  if (text == nullptr || tag == nullptr) return nullptr;
  auto *list = new (std::nothrow) XmlElementList;
  const size_t tagLength = std::strlen(tag);
  // Room for "</tag>" and its terminator; "<tag>" is one byte shorter.
  char *openTag = static_cast<char *>(std::malloc(tagLength + 4));
  char *closeTag = static_cast<char *>(std::malloc(tagLength + 4));
  if (list == nullptr || openTag == nullptr || closeTag == nullptr) {
    std::free(openTag);
    std::free(closeTag);
    delete list;
    return nullptr;
  }
  std::snprintf(openTag, tagLength + 4, "<%s>", tag);
  std::snprintf(closeTag, tagLength + 4, "</%s>", tag);
  const size_t openingLength = tagLength + 2;

  const char *position = text;
  while (*position != '\0' && list->count < kXmlMaxElements) {
    const char *opening = std::strstr(position, openTag);
    if (opening == nullptr) break;
    const char *content = opening + openingLength;
    // The first closing tag after the opening one ends the element, so
    // elements of one name never nest.
    const char *end = std::strstr(content, closeTag);
    if (end == nullptr) break;
    const size_t length = static_cast<size_t>(end - content);
    char *copy = static_cast<char *>(std::calloc(length + 1, 1));
    if (copy == nullptr) break;
    std::memcpy(copy, content, length);
    list->entries[list->count++] = copy;
    position = end;
  }
  std::free(openTag);
  std::free(closeTag);
  if (list->count == 0) {
    TILERON_REPORT(kLevelError, kSrcXml);
    delete list;
    return nullptr;
  }
  return list;
}

void xmlFreeElements(XmlElementList *list) {
  if (list == nullptr) return;
  for (int32_t i = 0; i < list->count; ++i) std::free(list->entries[i]);
  delete list;
}

void xmlFreeDocument(XmlDocument *document) {
  if (document == nullptr) return;
  std::free(document->text);
  delete document;
}

} // namespace tileron
