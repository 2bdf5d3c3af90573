// Memory files behind the wrapped fopen, remove, rename and fsync, and the
// decoded picture cache behind the wrapped txGetOpImageFile (see
// memory_files.hpp). A memory stream is a fopencookie stream over the file's
// bytes: every write lands at once, so the file is whole as soon as the
// writer's last write returned, as with the kernel's page cache.
#include "memory_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "vxhost/oplibcommon.h"
#include "vxhost/txlib.h"

extern "C" {
std::FILE *__real_fopen(const char *path, const char *mode);
int __real_remove(const char *path);
int __real_rename(const char *from, const char *to);
int __real_fsync(int fd);
OpImage *__real_txGetOpImageFile(const char *path, int32_t mode);
}

namespace fuzzing {

namespace {

// Memory paths and their bytes; nullopt: the path is a memory path whose file
// does not exist.
std::map<std::string, std::optional<std::string>, std::less<>> &memoryFiles() {
  static std::map<std::string, std::optional<std::string>, std::less<>> files;
  return files;
}

// Paths are compared as the readers spell them (the home followed by the
// home-relative path), without normalising: every fopen of the run comes
// through here.
std::string key(const std::filesystem::path &path) { return path.string(); }

std::optional<std::string> *find(const char *path) {
  if (path == nullptr) return nullptr;
  auto &files = memoryFiles();
  const auto it = files.find(path);
  return it == files.end() ? nullptr : &it->second;
}

// Where the host log goes: a memory path whose writes are dropped.
// (its folder exists, for the logger that makes it when missing).
const char *const kLogPath = "/tmp/.tileron-fuzz-memory.log";

struct Stream {
  std::string *bytes; // null: writes are dropped
  size_t position = 0;
  bool append = false;
};

ssize_t readStream(void *cookie, char *buffer, size_t size) {
  auto *stream = static_cast<Stream *>(cookie);
  if (stream->bytes == nullptr) return 0;
  if (stream->position >= stream->bytes->size()) return 0;
  const size_t count = std::min(size, stream->bytes->size() - stream->position);
  std::memcpy(buffer, stream->bytes->data() + stream->position, count);
  stream->position += count;
  return ssize_t(count);
}

ssize_t writeStream(void *cookie, const char *buffer, size_t size) {
  auto *stream = static_cast<Stream *>(cookie);
  if (stream->bytes == nullptr) return ssize_t(size);
  if (stream->append) stream->position = stream->bytes->size();
  if (stream->bytes->size() < stream->position + size) stream->bytes->resize(stream->position + size);
  std::memcpy(stream->bytes->data() + stream->position, buffer, size);
  stream->position += size;
  return ssize_t(size);
}

int seekStream(void *cookie, off64_t *offset, int whence) {
  auto *stream = static_cast<Stream *>(cookie);
  if (stream->bytes == nullptr) return -1;
  const off64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? off64_t(stream->position)
                                            : off64_t(stream->bytes->size());
  if (base + *offset < 0) return -1;
  stream->position = size_t(base + *offset);
  *offset = off64_t(stream->position);
  return 0;
}

int closeStream(void *cookie) {
  delete static_cast<Stream *>(cookie);
  return 0;
}

struct Picture {
  int16_t width, height;
  int32_t kind;
  uint16_t pixelAspect;
  std::vector<uint8_t> pixels;
};

size_t pictureBytes(const OpImage &image) {
  const size_t perPixel = image.kind == OP_KIND_YUVA ? 4 : image.kind == OP_KIND_16 ? 2 : 1;
  return size_t(image.width) * size_t(image.height) * perPixel;
}

} // namespace

void keepInMemory(const std::filesystem::path &path) { memoryFiles()[key(path)]; }

bool readMemoryFile(const std::filesystem::path &path, std::string &bytes) {
  const auto it = memoryFiles().find(key(path));
  if (it == memoryFiles().end() || !it->second) return false;
  bytes = *it->second;
  return true;
}

void writeMemoryFile(const std::filesystem::path &path, const std::string &bytes) {
  memoryFiles()[key(path)] = bytes;
}

void writeMemoryFile(const std::filesystem::path &path, const void *data, std::size_t size) {
  memoryFiles()[key(path)] = std::string(static_cast<const char *>(data), size);
}

void removeMemoryFile(const std::filesystem::path &path) {
  const auto it = memoryFiles().find(key(path));
  if (it != memoryFiles().end()) it->second.reset();
}

void logToMemory() { setenv("VXHOST_LOG", kLogPath, 1); }

bool memoryFileExists(const std::filesystem::path &path) {
  const auto it = memoryFiles().find(key(path));
  return it != memoryFiles().end() && it->second.has_value();
}

} // namespace fuzzing

extern "C" {

std::FILE *__wrap_fopen(const char *path, const char *mode) {
  const cookie_io_functions_t calls{fuzzing::readStream, fuzzing::writeStream, fuzzing::seekStream,
                                    fuzzing::closeStream};
  if (path != nullptr && std::strcmp(path, fuzzing::kLogPath) == 0)
    return fopencookie(new fuzzing::Stream{nullptr}, "w", calls);
  std::optional<std::string> *file = fuzzing::find(path);
  if (file == nullptr) return __real_fopen(path, mode);
  const bool plus = std::strchr(mode, '+') != nullptr;
  if (mode[0] == 'r' && !*file) {
    errno = ENOENT;
    return nullptr;
  }
  if (mode[0] == 'w' || !*file) file->emplace();
  auto *stream = new fuzzing::Stream{&**file, 0, mode[0] == 'a'};
  std::FILE *opened = fopencookie(stream, mode[0] == 'r' && !plus ? "r" : plus ? "r+" : "w", calls);
  if (opened == nullptr) delete stream;
  return opened;
}

int __wrap_remove(const char *path) {
  std::optional<std::string> *file = fuzzing::find(path);
  if (file == nullptr) return __real_remove(path);
  if (!*file) {
    errno = ENOENT;
    return -1;
  }
  file->reset();
  return 0;
}

int __wrap_rename(const char *from, const char *to) {
  std::optional<std::string> *source = fuzzing::find(from);
  std::optional<std::string> *target = fuzzing::find(to);
  if (source == nullptr && target == nullptr) return __real_rename(from, to);
  if (source == nullptr || target == nullptr || !*source) {
    errno = source == nullptr || target == nullptr ? EXDEV : ENOENT;
    return -1;
  }
  *target = std::move(*source);
  source->reset();
  return 0;
}

// A memory stream has no descriptor (fileno gives -1) and nothing to sync.
int __wrap_fsync(int fd) { return fd == -1 ? 0 : __real_fsync(fd); }

OpImage *__wrap_txGetOpImageFile(const char *path, int32_t mode) {
  // Only pictures that were read are kept: a fuzzed name that names nothing
  // is refused by the real call every time.
  static std::map<std::pair<std::string, int32_t>, fuzzing::Picture> pictures;
  const auto found = path != nullptr ? pictures.find({path, mode}) : pictures.end();
  if (found == pictures.end()) {
    OpImage *image = __real_txGetOpImageFile(path, mode);
    if (image != nullptr)
      pictures[{path, mode}] = fuzzing::Picture{
          image->width, image->height, image->kind, image->pixelAspect,
          std::vector<uint8_t>(image->pixels, image->pixels + fuzzing::pictureBytes(*image))};
    return image;
  }
  const fuzzing::Picture &picture = found->second;
  OpImage *copy = opAllocImage(picture.width, picture.height, picture.kind, 0);
  if (copy == nullptr) return nullptr;
  copy->pixelAspect = picture.pixelAspect;
  std::memcpy(copy->pixels, picture.pixels.data(), picture.pixels.size());
  return copy;
}

} // extern "C"
