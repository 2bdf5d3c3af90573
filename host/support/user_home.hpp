// The user's home as the programs find it, and the bundled mask library a
// first run installs there.
#pragma once

#include <filesystem>
#include <string>

namespace vxhost {

// $VXHOME when set and not empty, else defaultHome(); nothing is made.
std::filesystem::path userHome();

// Installs the bundled mask library (data/masks) into the mask folder of
// `home` when it holds no pack index yet, making the folders and keeping
// files already there, and says so on standard error as "`program`:
// installed …". Returns the number of packs installed (0 when the home has
// one already). Throws std::filesystem::filesystem_error when a folder or
// file cannot be made.
int installBundledMasks(const std::filesystem::path &home, const std::string &program);

// Makes a home of its own in the temporary folder, named `prefix`-XXXXXX:
// empty prefs and archive folders, and a mask folder that is a link to the
// one of `home`, so that the plug-in sees the user's masks but never writes
// the user's settings. Returns its path; the caller removes it. Throws
// std::runtime_error when it cannot be made.
std::filesystem::path makeLinkedHome(const std::filesystem::path &home, const std::string &prefix);

} // namespace vxhost
