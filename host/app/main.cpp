// tileron-host: the reference host program. Loads the operator plug-in and
// drives it; each subcommand is defined in its own file.
#include <cstdio>
#include <exception>

#include "commands.hpp"
#include "render_command.hpp"

int main(int argc, char **argv) {
  CLI::App app{"tileron-host: the reference host of the tileron split-screen operator"};
  app.require_subcommand(1);
  app.fallthrough(); // --plugin may also follow the subcommand
  vxhost::app::HostContext context;
  app.add_option("--plugin", context.pluginOption,
                 "Plug-in module to load (default: $TILERON_PLUGIN, else the built one)");

  // One line per subcommand.
  vxhost::app::addInfoCommand(app, context);
  vxhost::app::addRenderCommand(app, context);
  vxhost::app::addMasksCommand(app, context);
  vxhost::app::addEditCommand(app, context);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &error) {
    return app.exit(error);
  } catch (const std::exception &error) {
    std::fflush(stdout);
    std::fprintf(stderr, "tileron-host: error: %s\n", error.what());
    return 1;
  }
  return 0;
}
