// Files held in memory for the harnesses whose readers open files by name
// (the XML reader, the mask loader, the settings file, the pack index and its
// deciphered copy). A harness names the paths that live in memory; the
// harness program is linked with --wrap for fopen, remove, rename and fsync
// (tests/fuzz/CMakeLists.txt), so that the readers' own code opens, writes,
// renames and removes those paths as files, and every other path reaches the
// real calls. No file is written per input.
//
// Pictures: txGetOpImageFile is wrapped too; a picture file read once is kept
// decoded and handed out as a new copy on every later call (the fixture
// pictures never change during a run; the PNG reader has its own harness).
#pragma once

#include <filesystem>
#include <string>

namespace fuzzing {

// Makes `path` (as the readers resolve it: below the harness's home) a memory
// path, initially missing. Its directory should exist, for the readers that
// look for it.
void keepInMemory(const std::filesystem::path &path);

// The memory file's bytes, or false when it does not exist.
bool readMemoryFile(const std::filesystem::path &path, std::string &bytes);

// Replaces the memory file's bytes (creating it).
void writeMemoryFile(const std::filesystem::path &path, const std::string &bytes);
void writeMemoryFile(const std::filesystem::path &path, const void *data, std::size_t size);

// Removes the memory file; nothing when it does not exist.
void removeMemoryFile(const std::filesystem::path &path);

bool memoryFileExists(const std::filesystem::path &path);

// Sends the host log (VXHOST_LOG) to a memory path whose writes are dropped.
void logToMemory();

} // namespace fuzzing
