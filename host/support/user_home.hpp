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

} // namespace vxhost
