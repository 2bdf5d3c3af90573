#include "support/home_files.hpp"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include "support/handles.hpp"

namespace tileron {

namespace {

// Closes a C stream when the holder goes out of scope.

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

int copyHomeFile(const std::string &source, const std::string &destination) {
  const std::string from = resolveHomePath(source);
  const std::string to = resolveHomePath(destination);
  // Read-only is enough for the source: a preset must copy even when its file
  // is write-protected.
  FilePtr in(std::fopen(from.c_str(), "rb"));
  if (!in) return 0;
  // Opening the destination truncates it; when it is the source itself that
  // would destroy the file, and the copy is already in place.
  std::error_code error;
  if (std::filesystem::equivalent(from, to, error)) return 1;
  std::FILE *out = std::fopen(to.c_str(), "w+b");
  if (!out) return 0;

  bool copied = false;
  if (std::fseek(in.get(), 0, SEEK_END) == 0) {
    const long length = std::ftell(in.get());
    if (length >= 0 && std::fseek(in.get(), 0, SEEK_SET) == 0) {
      if (length == 0) {
        copied = true; // an empty source gives an empty copy
      } else {
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<std::size_t>(length)]);
        const std::size_t size = static_cast<std::size_t>(length);
        copied = buffer && std::fread(buffer.get(), size, 1, in.get()) == 1 &&
                 std::fwrite(buffer.get(), size, 1, out) == 1;
      }
    }
  }
  // The written bytes reach the file only when the stream closes cleanly.
  const bool closed = std::fclose(out) == 0;
  return copied && closed ? 1 : 0;
}

int replaceHomeFile(const std::string &source, const std::string &destination) {
  const std::string temporary = destination + ".tmp";
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
