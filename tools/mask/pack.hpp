// Pack index files: the plain index (a pack number, then one mask file name
// a line) and its enciphered form, the ".dat" file the operator reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tileron::masktool {

struct PlainIndex {
  unsigned long packNumber = 0;
  std::vector<std::string> masks; // file names relative to the mask directory
};

// Reads a plain index: the first line holding a number is the pack number,
// every further line one mask file name; blank lines and lines starting with
// '#' are skipped. Throws std::runtime_error("source:line: ...") for a name
// the operator could not read back: longer than 78 bytes,
// holding a byte below 0x20 or from 0x7F up, absolute, or with a ".."
// segment.
PlainIndex parsePlainIndex(const std::string &text, const std::string &source);

// The enciphered pack file. Its text is the pack number with as many leading
// zeros as make the whole a multiple of 8 bytes, then the names, each ended
// by a line feed.
std::vector<uint8_t> encipherIndex(const PlainIndex &index);

// The plain text of an enciphered pack file. Throws std::runtime_error for a
// length the cipher refuses.
std::string decipherIndex(std::vector<uint8_t> bytes);

} // namespace tileron::masktool
