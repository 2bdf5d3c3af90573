// Names shared by everything that reads mask files: the mask directory, the
// rule that keeps names read from files inside it, and the element name of
// the current GUI language.
#pragma once

#include <string>

namespace tileron {

// The mask directory, home-relative, with its closing separator.
inline constexpr const char *kMaskDirectory = "/programs/tileron/mask/";

// True when kMaskDirectory + `name` names a file inside the mask directory
// (staysInsideDirectory).
bool staysInMaskDirectory(const std::string &name);

// The current language's element name ("english", "deutsch"): resource
// string 20 of the operator's strings in 8-bit text; empty when the strings
// are not loaded.
std::string languageTag();

} // namespace tileron
