#include "host/support/json_check.hpp"

#include <algorithm>
#include <climits>

namespace vxhost {

using nlohmann::json;

void JsonChecker::fail(const std::string &key, const std::string &what) const {
  throw JsonFileError(file_ + ": " + (key.empty() ? "" : key + ": ") + what);
}

json JsonChecker::parse(const std::string &text) const {
  try {
    return json::parse(text);
  } catch (const json::exception &e) {
    // A syntax error (parse_error) or a number beyond a double, 1e400
    // (out_of_range). what() starts with "[json.exception.parse_error.101] ";
    // the rest says where or what.
    const std::string what = e.what();
    const size_t tag = what.find("] ");
    fail("", "not JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2)));
  }
}

void JsonChecker::onlyKeys(const json &object, const std::string &key,
                           std::initializer_list<const char *> known) const {
  if (!object.is_object())
    fail(key, "must be an object {…}");
  for (const auto &item : object.items()) {
    if (std::none_of(known.begin(), known.end(), [&](const char *k) { return item.key() == k; })) {
      std::string list;
      for (const char *k : known)
        list += std::string(list.empty() ? "" : ", ") + k;
      fail(join(key, item.key()), "unknown key (known here: " + list + ")");
    }
  }
}

const json &JsonChecker::required(const json &object, const std::string &key, const char *name) const {
  const auto found = object.find(name);
  if (found == object.end())
    fail(join(key, name), "missing");
  return *found;
}

int64_t JsonChecker::integer(const json &value, const std::string &key, int64_t lo, int64_t hi) const {
  if (!value.is_number_integer())
    fail(key, value.dump() + " is not a whole number");
  const int64_t n =
      value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(INT64_MAX) ? INT64_MAX : value.get<int64_t>();
  if (n < lo || n > hi)
    fail(key, std::to_string(n) + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
  return n;
}

std::string JsonChecker::text(const json &value, const std::string &key) const {
  if (!value.is_string() || value.get<std::string>().empty())
    fail(key, "must be a non-empty string");
  return value.get<std::string>();
}

} // namespace vxhost
