// orvexares: resource sets, folders of string tables by language and PNG
// images by number (docs/resources.md).
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "host/media/yuv.hpp"
#include "host/resources/string_table.hpp"
#include "host/state.hpp"
#include "host/media/png.hpp"
#include "host/text/utf.hpp"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexares.h"

namespace vxhost {

namespace {

namespace fs = std::filesystem;

struct ImageEntry {
  ResImage image{};
  std::vector<uint32_t> pixels;
};
using ImageSet = std::map<int32_t, std::unique_ptr<ImageEntry>>;

struct Registry {
  ResHandle next = 1;
  std::map<ResHandle, StringTable> strings;
  std::map<ResHandle, ImageSet> images;

  ResHandle newHandle() {
    ResHandle h = next++;
    if (next == 0)
      next = 1;
    return h;
  }
};

Registry &registry() {
  static Registry r;
  return r;
}

// Set names and languages become folder and file names: plain names only.
bool isPlainName(const char *name) {
  if (!name || !*name || std::strlen(name) > 64)
    return false;
  for (const char *p = name; *p; ++p)
    if (!(std::isalnum(static_cast<unsigned char>(*p)) || *p == '_' || *p == '-'))
      return false;
  return true;
}

// The folder of set `name`, or empty (logged) when it is missing.
fs::path setFolder(const char *name) {
  if (!isPlainName(name)) {
    hostLog(3, __LINE__, "resource set name \"%s\" is not a plain name", name ? name : "(null)");
    return {};
  }
  const fs::path folder = resourceDir() / name;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    hostLog(3, __LINE__, "resource set \"%s\" not found: no folder %s", name, folder.c_str());
    return {};
  }
  return folder;
}

// A decimal number of 1 to 9 digits (no sign).
bool parseNumber(const std::string &s, int32_t &number) {
  if (s.empty() || s.size() > 9)
    return false;
  int32_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9')
      return false;
    n = n * 10 + (c - '0');
  }
  number = n;
  return true;
}

// "\n" is a line feed, "\t" a tab, "\\" a backslash; any other backslash
// stays as it is.
std::string unescape(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[i + 1];
      if (c == 'n' || c == 't' || c == '\\') {
        out.push_back(c == 'n' ? '\n' : c == 't' ? '\t' : '\\');
        ++i;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

} // namespace

void parseStringTable(std::string_view bytes, const std::string &source, StringTable &table) {
  std::istringstream in{std::string(bytes)};
  std::string line;
  StringTable file;
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
      line.erase(0, 3);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty() || line[0] == '#')
      continue;
    const size_t tab = line.find('\t');
    int32_t number = 0;
    std::u16string text;
    if (tab == std::string::npos || !parseNumber(line.substr(0, tab), number)) {
      hostLog(5, __LINE__, "%s:%d: not \"number<TAB>text\"; line skipped", source.c_str(), lineNumber);
      continue;
    }
    if (!utf8ToUtf16(unescape(line.substr(tab + 1)), text)) {
      hostLog(5, __LINE__, "%s:%d: text is not UTF-8; line skipped", source.c_str(), lineNumber);
      continue;
    }
    if (file.count(number)) {
      hostLog(5, __LINE__, "%s:%d: number %d given twice; line skipped", source.c_str(), lineNumber,
              number);
      continue;
    }
    file.emplace(number, std::move(text));
  }
  for (auto &[number, text] : file)
    table[number] = std::move(text);
}

namespace {

// Reads one string table file into `table` (see parseStringTable). Returns
// false when the file cannot be read.
bool readStringTable(const fs::path &path, StringTable &table) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  parseStringTable(std::string(std::istreambuf_iterator<char>(in), {}), path.string(), table);
  return true;
}

// Decodes one image file; null (logged) when it cannot be read.
std::unique_ptr<ImageEntry> readImage(const fs::path &path) {
  std::string error;
  const std::optional<RgbaImage> png = readPng(path, error);
  if (!png) {
    hostLog(5, __LINE__, "resource image skipped: %s", error.c_str());
    return nullptr;
  }
  const RgbaImage &picture = *png;
  auto entry = std::make_unique<ImageEntry>();
  entry->pixels.resize(size_t(picture.width) * size_t(picture.height));
  rgbaRowToYuva(picture.pixels.data(), entry->pixels.data(), entry->pixels.size());
  entry->image.width = static_cast<int16_t>(picture.width);
  entry->image.height = static_cast<int16_t>(picture.height);
  entry->image.pixels = entry->pixels.data();
  return entry;
}

} // namespace

} // namespace vxhost

using namespace vxhost;

extern "C" ResHandle resLoadStrings(const char *name) {
  try {
    const fs::path folder = setFolder(name);
    if (folder.empty())
      return 0;
    // English first, so that every number the language lacks falls back to it.
    const std::string &lang = language();
    StringTable table;
    const bool haveEnglish = readStringTable(folder / "english.txt", table);
    const bool haveLanguage = lang == "english" ? haveEnglish
                                                : readStringTable(folder / (lang + ".txt"), table);
    if (!haveEnglish && !haveLanguage) {
      hostLog(3, __LINE__, "resource set \"%s\": no string table for %s nor english", name,
              lang.c_str());
      return 0;
    }
    if (!haveLanguage)
      hostLog(5, __LINE__, "resource set \"%s\": no string table for %s; english used", name,
              lang.c_str());
    Registry &r = registry();
    const ResHandle handle = r.newHandle();
    r.strings.emplace(handle, std::move(table));
    return handle;
  } catch (...) {
    return 0;
  }
}

extern "C" ResHandle resLoadImages(const char *name) {
  try {
    const fs::path folder = setFolder(name);
    if (folder.empty())
      return 0;
    ImageSet set;
    std::error_code ec;
    for (fs::directory_iterator it(folder / "images", ec), end; !ec && it != end;
         it.increment(ec)) {
      const fs::path &path = it->path();
      int32_t number = 0;
      if (path.extension() != ".png" || !parseNumber(path.stem().string(), number))
        continue;
      if (auto entry = readImage(path))
        set[number] = std::move(entry);
    }
    Registry &r = registry();
    const ResHandle handle = r.newHandle();
    r.images.emplace(handle, std::move(set));
    return handle;
  } catch (...) {
    return 0;
  }
}

extern "C" const xchar *resGetString(ResHandle strings, int32_t number) {
  const Registry &r = registry();
  const auto table = r.strings.find(strings);
  if (table == r.strings.end())
    return nullptr;
  const auto it = table->second.find(number);
  return it == table->second.end() ? nullptr : reinterpret_cast<const xchar *>(it->second.c_str());
}

extern "C" const ResImage *resGetImage(ResHandle images, int32_t number) {
  const Registry &r = registry();
  const auto set = r.images.find(images);
  if (set == r.images.end())
    return nullptr;
  const auto it = set->second.find(number);
  return it == set->second.end() ? nullptr : &it->second->image;
}

extern "C" void resFreeStrings(ResHandle strings) { registry().strings.erase(strings); }

extern "C" void resFreeImages(ResHandle images) { registry().images.erase(images); }

extern "C" ResHandle cgGetGuiResource(void) {
  HostState &s = hostState();
  if (s.guiResource == 0)
    s.guiResource = resLoadImages("gui");
  return s.guiResource;
}

extern "C" CImage *cgConvertResImageToCImageAlpha(const ResImage *image, int32_t) {
  if (!image || !image->pixels)
    return nullptr;
  CImage *out = cgAllocImage(2, image->width, image->height);
  if (out)
    std::memcpy(out->pixels, image->pixels, size_t(image->width) * size_t(image->height) * 4);
  return out;
}
