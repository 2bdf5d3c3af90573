#include "install.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "masks/catalogue.hpp"
#include "masks/mask_paths.hpp"
#include "masks/xml.hpp"
#include "support/cipher.hpp"
#include "support/home_files.hpp"

namespace tileron::maskstool {

namespace {

namespace fs = std::filesystem;

struct Pack {
  fs::path index;
  std::string number;
  std::vector<std::string> masks;
  std::set<std::string> files; // relative to the folder, the index included
};

struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};

std::string readAll(const fs::path &path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The file names the mask text names: part shapes and stamp maps.
std::vector<std::string> maskImages(const char *screen) {
  std::vector<std::string> names;
  for (const char *holder : {"part", "stamp"}) {
    XmlElementListPtr elements(xmlGetElements(screen, holder));
    for (int i = 0; elements && i < elements->count; ++i)
      if (XmlElementListPtr file{xmlGetElements(elements->entries[i], "filename")})
        names.emplace_back(file->entries[0]);
  }
  return names;
}

// Reads the pack index at `index` the way the operator does and checks every
// file it leads to; problems are added to `problems`.
Pack planPack(const fs::path &folder, const fs::path &index, std::vector<std::string> &problems) {
  Pack pack;
  pack.index = index;
  pack.files.insert(index.filename().string());
  const std::string where = index.filename().string() + ": ";
  std::string bytes = readAll(index);
  if (cipherBuffer(reinterpret_cast<uint8_t *>(bytes.data()), bytes.size(), CipherDirection::Decipher,
                   true) != 0) {
    problems.push_back(where + "not a pack index (" + std::to_string(bytes.size()) +
                       " bytes is no whole number of cipher blocks)");
    return pack;
  }
  std::unique_ptr<std::FILE, FileCloser> text(fmemopen(bytes.data(), bytes.size(), "r"));
  if (!text || !readPackIndexItem(text.get(), pack.number)) {
    problems.push_back(where + "the index is empty");
    return pack;
  }
  auto need = [&](const std::string &name, const std::string &what) {
    if (!staysInMaskDirectory(name) || name.empty() || !fs::is_regular_file(folder / name)) {
      problems.push_back(where + what + " '" + name + "' is not in the folder");
      return false;
    }
    pack.files.insert(name);
    return true;
  };
  for (std::string name; readPackIndexItem(text.get(), name);) {
    if (!need(name, "mask file")) continue;
    pack.masks.push_back(name);
    const std::string xml = readAll(folder / name);
    XmlElementListPtr screens(xmlGetElements(xml.c_str(), "splitscreen"));
    if (!screens || screens->count != 1) {
      problems.push_back(where + "'" + name + "' is not a mask file (it needs exactly one splitscreen element)");
      continue;
    }
    for (const std::string &image : maskImages(screens->entries[0])) need(image, "image");
  }
  return pack;
}

bool sameContent(const fs::path &a, const fs::path &b) { return readAll(a) == readAll(b); }

} // namespace

void installPacks(const fs::path &directory, bool replace, std::ostream &out) {
  if (!fs::is_directory(directory)) throw std::runtime_error(directory.string() + " is not a folder");
  std::vector<fs::path> indexes;
  for (const fs::directory_entry &file : fs::directory_iterator(directory)) {
    const std::string name = file.path().filename().string();
    if (file.is_regular_file() && name[0] != '.' && name.find(".dat") != std::string::npos)
      indexes.push_back(file.path());
  }
  if (indexes.empty()) throw std::runtime_error(directory.string() + " holds no pack index (.dat)");
  std::sort(indexes.begin(), indexes.end());

  for (const char *dir : {kDirRoot, kDirPrefs, kDirMask, kDirArchive}) makeHomeDirectory(dir);
  const fs::path target = resolveHomePath(kMaskDirectory);
  std::vector<std::string> problems;
  std::vector<Pack> packs;
  for (const fs::path &index : indexes) packs.push_back(planPack(directory, index, problems));
  for (const Pack &pack : packs)
    for (const std::string &file : pack.files)
      if (!replace && fs::exists(target / file) && !sameContent(directory / file, target / file))
        problems.push_back(file + " would replace a different installed file (--replace allows it)");
  if (!problems.empty()) {
    std::string message = "nothing installed:";
    for (const std::string &problem : problems) message += "\n  " + problem;
    throw std::runtime_error(message);
  }

  // Each file is replaced whole (see writeHomeFile), the index last: a
  // catalogue read while the install runs, or after it was killed, finds
  // every file in its old or new form and no index naming a missing mask.
  auto install = [&](const std::string &file) {
    fs::create_directories((target / file).parent_path());
    const std::string bytes = readAll(directory / file);
    if (writeHomeFile((target / file).string(), bytes.data(), bytes.size()) != 1)
      throw std::runtime_error((target / file).string() + " cannot be written");
  };
  for (const Pack &pack : packs) {
    const std::string index = pack.index.filename().string();
    for (const std::string &file : pack.files)
      if (file != index) install(file);
    install(index);
    // The number is zero-padded to fill the index's last cipher block.
    const std::size_t digits = pack.number.find_first_not_of('0');
    const std::string number = digits == std::string::npos ? "0" : pack.number.substr(digits);
    out << "installed " << pack.index.filename().string() << " (pack " << number << "): "
        << pack.masks.size() << " masks, " << pack.files.size() << " files into " << target.string()
        << "\n";
  }
}

} // namespace tileron::maskstool
