#include "support/home_files.hpp"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include <unistd.h>

#include "support/handles.hpp"

namespace tileron {

namespace {

// The hidden name a whole-file write goes to before it is renamed over
// `path`: "." name ".tmp" beside it, which no catalogue or list picks up.
std::string hiddenTemporaryOf(const std::string &path) {
  const std::filesystem::path target(path);
  return (target.parent_path() / ("." + target.filename().string() + ".tmp")).string();
}

} // namespace

std::string resolveHomePath(const std::string &path) {
  const char *env = std::getenv("VXHOME");
  const std::string home = env ? env : "";
  // A plain substring test: every path contains the empty string, so an
  // empty home leaves every path as it is.
  if (path.find(home) != std::string::npos) return path;
  return home + path;
}

std::FILE *openHomeFile(const std::string &path, const char *mode) {
  return std::fopen(resolveHomePath(path).c_str(), mode);
}

int makeHomeDirectory(const std::string &path) {
  std::error_code error;
  std::filesystem::create_directory(resolveHomePath(path), error);
  if (!error) return 0; // made, or already a directory
  // A file standing where the directory should be is a failure, not "exists".
  errno = error.category() == std::generic_category() ? error.value() : EIO;
  return -1;
}

int removeHomeFile(const std::string &path) {
  return std::remove(resolveHomePath(path).c_str()) == 0 ? 0 : -1;
}

int writeHomeFile(const std::string &path, const void *data, std::size_t size) {
  const std::filesystem::path target = resolveHomePath(path);
  const std::string temporary = hiddenTemporaryOf(target.string());
  // A write-protected file stays protected, as when it was opened for writing.
  std::error_code error;
  if (std::filesystem::exists(target, error) && ::access(target.c_str(), W_OK) != 0) return 0;
  std::FILE *out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr) return 0;
  bool written = size == 0 || std::fwrite(data, size, 1, out) == 1;
  // fsync (POSIX, the one call here beyond the C library): without it a
  // crash of the machine could leave the renamed file empty.
  written = std::fflush(out) == 0 && written && ::fsync(::fileno(out)) == 0;
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::remove(temporary.c_str());
    return 0;
  }
  return 1;
}

int copyHomeFile(const std::string &source, const std::string &destination) {
  const std::string from = resolveHomePath(source);
  // Read-only is enough for the source: a preset must copy even when its file
  // is write-protected.
  FilePtr in(std::fopen(from.c_str(), "rb"));
  if (!in) return 0;
  // A file copied onto itself is already in place.
  std::error_code error;
  if (std::filesystem::equivalent(from, resolveHomePath(destination), error)) return 1;
  if (std::fseek(in.get(), 0, SEEK_END) != 0) return 0;
  const long length = std::ftell(in.get());
  if (length < 0 || std::fseek(in.get(), 0, SEEK_SET) != 0) return 0;
  const std::size_t size = static_cast<std::size_t>(length);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[size == 0 ? 1 : size]);
  if (!buffer || (size != 0 && std::fread(buffer.get(), size, 1, in.get()) != 1)) return 0;
  return writeHomeFile(destination, buffer.get(), size);
}

int replaceHomeFile(const std::string &source, const std::string &destination) {
  // Hidden: a kill between the copy and the rename leaves nothing that a
  // preset list would show.
  const std::string temporary = hiddenTemporaryOf(destination);
  if (copyHomeFile(source, temporary) == 1 && renameHomeFile(temporary, destination) == 0)
    return 1;
  removeHomeFile(temporary);
  return 0;
}

int renameHomeFile(const std::string &from, const std::string &to) {
  return std::rename(resolveHomePath(from).c_str(), resolveHomePath(to).c_str()) == 0 ? 0 : -1;
}

bool staysInsideDirectory(const std::string &name) {
  if (!name.empty() && (name[0] == '/' || name[0] == '\\')) return false;
  if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':')
    return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  const char *home = std::getenv("VXHOME");
  return home == nullptr || *home == '\0' || name.find(home) == std::string::npos;
}

} // namespace tileron
