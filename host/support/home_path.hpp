// Home-relative paths as the host resolves them: below the folder VXHOME names.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vxhost {

// A home-relative path as the operator's files use it: a path holding the
// value of VXHOME is used as it is, any other is appended to it.
std::filesystem::path resolveHomePath(const std::string &path);

// The folder a home-relative folder name stands for ("/programs/x/", which
// begins with '/'), or nullopt for a name that does not begin with '/',
// holds a ".." part or a control character, or when VXHOME is not set.
std::optional<std::filesystem::path> homeFolder(const std::string &folder);

} // namespace vxhost
