#include "pack.hpp"

#include <charconv>
#include <sstream>
#include <stdexcept>

#include "support/cipher.hpp"

namespace tileron::masktool {

namespace {

// The operator reads index lines 79 bytes at a time, the line feed
// included: a longer name would come back as two names.
constexpr std::size_t kMaxName = 78;

std::string trimmed(const std::string &line) {
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// Why the operator could not use `name` as a mask file name; empty when it can.
std::string nameProblem(const std::string &name) {
  if (name.size() > kMaxName) return "longer than 78 bytes";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) return "holds a byte the operator cannot read (plain ASCII only)";
  }
  if (name.front() == '/' || name.front() == '\\') return "is absolute";
  std::istringstream segments(name);
  for (std::string segment; std::getline(segments, segment, '/');)
    if (segment == "..") return "leaves the mask directory";
  return {};
}

} // namespace

PlainIndex parsePlainIndex(const std::string &text, const std::string &source) {
  PlainIndex index;
  bool haveNumber = false;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    const std::string item = trimmed(line);
    if (item.empty() || item.front() == '#') continue;
    const std::string where = source + ":" + std::to_string(number) + ": ";
    if (!haveNumber) {
      const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), index.packNumber);
      if (error != std::errc() || end != item.data() + item.size() || item.size() > 18)
        throw std::runtime_error(where + "the first line must be the pack number");
      haveNumber = true;
      continue;
    }
    if (const std::string problem = nameProblem(item); !problem.empty())
      throw std::runtime_error(where + "'" + item + "' " + problem);
    index.masks.push_back(item);
  }
  if (!haveNumber) throw std::runtime_error(source + ": no pack number");
  return index;
}

std::vector<uint8_t> encipherIndex(const PlainIndex &index) {
  std::string names;
  for (const std::string &mask : index.masks) names += mask + "\n";
  std::string number = std::to_string(index.packNumber);
  // The cipher works on whole 8-byte blocks: leading zeros of the pack
  // number fill the last one (the number reads the same).
  const std::size_t length = number.size() + 1 + names.size();
  number.insert(0, (8 - length % 8) % 8, '0');
  const std::string text = number + "\n" + names;
  std::vector<uint8_t> bytes(text.begin(), text.end());
  if (cipherBuffer(bytes.data(), bytes.size(), CipherDirection::Encipher, true) != 0)
    throw std::runtime_error("the index could not be enciphered");
  return bytes;
}

std::string decipherIndex(std::vector<uint8_t> bytes) {
  if (cipherBuffer(bytes.data(), bytes.size(), CipherDirection::Decipher, true) != 0)
    throw std::runtime_error("not a pack index: " + std::to_string(bytes.size()) +
                             " bytes is no whole number of cipher blocks");
  return std::string(bytes.begin(), bytes.end());
}

} // namespace tileron::masktool
