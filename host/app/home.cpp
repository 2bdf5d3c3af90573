#include <cstdlib>

#include "commands.hpp"
#include "host/settings/settings.hpp"

namespace vxhost::app {

std::filesystem::path setUpHome() {
  const char *env = std::getenv("VXHOME");
  const std::filesystem::path home = env && *env ? std::filesystem::path(env) : defaultHome();
  setHome(home);
  installBundledMasks(home);
  return home;
}

} // namespace vxhost::app
