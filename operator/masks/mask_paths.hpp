// What everything that reads mask files shares: the mask directory, the rule
// that keeps names read from files inside it, the element name of the current
// GUI language, the one splitscreen element and the stamp map's files.
#pragma once

#include <string>
#include <vector>

#include "masks/xml.hpp"
#include "support/handles.hpp"
#include "vxhost/orvexares.h"

namespace tileron {

// The mask directory, home-relative, with its closing separator.
inline constexpr const char *kMaskDirectory = "/programs/tileron/mask/";

// True when kMaskDirectory + `name` names a file inside the mask directory
// (staysInsideDirectory).
bool staysInMaskDirectory(const std::string &name);

// The current language's element name ("english", "deutsch"): resource
// string 20 of the operator's strings in 8-bit text; empty when the strings
// are not loaded.
std::string languageTag(ResHandle strings);

// The 8-bit image `name` of the mask directory (txGetOpImageFile mode 1), or
// null when the name leaves the directory or the file cannot be read.
OpImagePtr readMaskDirectoryImage(const std::string &name);

// The contents of the one splitscreen element of `document`, or null when
// there is none or more than one (a file the loader takes as an empty mask).
// `screens` holds the element list the result points into.
const char *onlyScreen(const XmlDocument &document, XmlElementListPtr &screens);

// The file names of the `stamp` elements of `screen` that have one, in file
// order: each is read, and the last one is the stamp map.
std::vector<std::string> stampFileNames(const char *screen);

} // namespace tileron
