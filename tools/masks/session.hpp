// The operator's catalogue, built the way the plug-in builds it: through its
// own load message (resources and mask catalogue) and released through its
// unload message.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "masks/catalogue.hpp"

namespace tileron::maskstool {

class OperatorSession {
public:
  // Sends the load message. Throws std::runtime_error when it fails (the
  // reasons are in the host log).
  OperatorSession();
  // Sends the unload message.
  ~OperatorSession();
  OperatorSession(const OperatorSession &) = delete;
  OperatorSession &operator=(const OperatorSession &) = delete;

  // The catalogue the load message built (owned by the operator).
  MaskCatalogue &catalogue() const;
};

// The number of parts of the mask file at the home-relative `path` as the
// mask loader counts them (part elements with a file name, at most 10); 0
// when the file cannot be read.
int countParts(const std::string &path);

// The name a preset description gives the mask at the home-relative
// `path`: its path below the mask folder without ".xml" ("grid_4").
std::string shortName(const std::string &path);

// Where the mask at the home-relative `path` puts each part's marker on its
// stamp map, as the mask loader reads it; an x of 0 marks none. Empty when
// the mask cannot be loaded.
std::vector<std::pair<int, int>> partMarkers(const std::string &path);

// A title as UTF-8.
std::string titleText(const MaskInfo &entry);

} // namespace tileron::maskstool
