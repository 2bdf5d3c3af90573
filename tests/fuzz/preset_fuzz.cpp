// The preset description reader (tileron-preset) over fuzzed JSON. Only a
// JsonFileError may come out of it, and a description that reads must come
// back unchanged from its own spelled-out form.
#include <string>

#include "fuzz_env.hpp"
#include "host/support/json_check.hpp"
#include "preset/description.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  tileron::preset::PresetDescription description;
  try {
    description = tileron::preset::parseDescription(text, "preset.json");
  } catch (const vxhost::JsonFileError &) {
    return 0;
  }
  const std::string spelled = tileron::preset::describe(description).dump();
  tileron::preset::PresetDescription again;
  try {
    again = tileron::preset::parseDescription(spelled, "again.json");
  } catch (const vxhost::JsonFileError &error) {
    std::fprintf(stderr, "%s\n%s\n", spelled.c_str(), error.what());
    fuzzing::fail("the spelled-out description does not read");
  }
  if (tileron::preset::describe(again).dump() != spelled)
    fuzzing::fail("the description changed on the way round");
  return 0;
}
