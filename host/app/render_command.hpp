// `render`: renders a storyboard through the plug-in into a video file.
#pragma once

#include <CLI/CLI.hpp>

#include "commands.hpp"

namespace vxhost::app {

// Adds `render STORYBOARD -o OUTPUT [--fields A:B] [--preset NAME | --preset-description FILE.json]
// [--stats]`.
void addRenderCommand(CLI::App &app, HostContext &context);

} // namespace vxhost::app
