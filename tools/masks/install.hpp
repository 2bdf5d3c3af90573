// Installing a user's mask pack: its enciphered index and every file the
// index names (mask files and the images they name) are copied into the mask
// directory, all or nothing.
#pragma once

#include <filesystem>
#include <ostream>

namespace tileron::maskstool {

// Installs every pack (".dat" file) of `directory` into the mask directory
// of $VXHOME. Refuses, before copying anything, a folder without a pack, a
// pack that does not decipher, an index naming a file the folder does not
// hold (or a name leaving it), a listed file that is no mask (not exactly one
// splitscreen element), and, unless `replace`, a file that would overwrite a
// different one already installed. Reports each installed pack on `out`.
// Throws std::runtime_error listing every problem.
void installPacks(const std::filesystem::path &directory, bool replace, std::ostream &out);

} // namespace tileron::maskstool
