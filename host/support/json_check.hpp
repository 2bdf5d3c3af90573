// Checked reading of the JSON files users write (storyboards, preset
// descriptions): every error names the file, the key and what is wrong.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace vxhost {

// A JSON file that cannot be used. what() reads "FILE: KEY: what is wrong"
// (without the key when the file as a whole is at fault).
class JsonFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class JsonChecker {
public:
  explicit JsonChecker(std::string file) : file_(std::move(file)) {}

  [[noreturn]] void fail(const std::string &key, const std::string &what) const;
  // The parsed text; "not JSON: parse error at line L, column C: …" otherwise.
  nlohmann::json parse(const std::string &text) const;
  // Fails unless `object` is an object whose keys are all in `known`.
  void onlyKeys(const nlohmann::json &object, const std::string &key,
                std::initializer_list<const char *> known) const;
  // The member `name` of `object` (at `key`); fails when it is missing.
  const nlohmann::json &required(const nlohmann::json &object, const std::string &key, const char *name) const;
  // A whole number lo..hi.
  int64_t integer(const nlohmann::json &value, const std::string &key, int64_t lo, int64_t hi) const;
  // A non-empty string.
  std::string text(const nlohmann::json &value, const std::string &key) const;

  // "a.b", or "b" at the top.
  static std::string join(const std::string &key, const std::string &name) {
    return key.empty() ? name : key + "." + name;
  }

private:
  std::string file_;
};

} // namespace vxhost
