// tileron-host: the reference host program. Loads the operator plug-in and
// drives it; each subcommand is defined in its own file.
#include "commands.hpp"
#include "host/support/command_line.hpp"
#include "render_command.hpp"

int main(int argc, char **argv) {
  CLI::App app{"tileron-host: the reference host of the tileron split-screen operator", "tileron-host"};
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
  vxhost::app::addJoinCommand(app, context);
  vxhost::app::addSegmentsCommand(app, context);

  return vxhost::runCommandLine(app, argc, argv);
}
