// The rule that makes a file of the mask directory a pack index: a visible
// file whose name holds ".dat". The catalogue, the mask tools and the host
// (which installs the bundled library into a home without packs) all decide
// by it. Header only, standard library only, so the host can use it
// without the operator.
#pragma once

#include <string_view>

namespace tileron {

inline bool isPackIndexName(std::string_view name) {
  return !name.empty() && name[0] != '.' && name.find(".dat") != std::string_view::npos;
}

} // namespace tileron
