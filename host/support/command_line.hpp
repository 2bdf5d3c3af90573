// What every program of the project does with its command line: --version,
// usage errors with the parser's message and exit status 2, a misspelt
// command named together with the nearest known one, and other failures as
// "<program>: error: …" with exit status 1. Header-only: CLI11 is a header
// library the programs include themselves.
#pragma once

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#ifndef TILERON_VERSION
#define TILERON_VERSION "unknown"
#endif

namespace vxhost {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The number of single-character insertions, deletions, replacements and
// swaps of neighbours that turn `a` into `b`.
inline int editDistance(const std::string &a, const std::string &b) {
  std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = int(i);
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = int(j);
  for (size_t i = 1; i <= a.size(); ++i)
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

// The names of the commands of `app` (option groups have none).
inline std::vector<std::string> commandNames(const CLI::App &app) {
  std::vector<std::string> names;
  for (const CLI::App *command : app.get_subcommands([](const CLI::App *c) { return !c->get_name().empty(); }))
    names.push_back(command->get_name());
  return names;
}

// The command of `app` nearest to `name`, empty when none is within two
// edits (one for a name of up to five letters).
inline std::string nearestCommand(const CLI::App &app, const std::string &name) {
  std::string best;
  int bestDistance = name.size() <= 5 ? 1 : 2;
  for (const std::string &command : commandNames(app))
    if (const int distance = editDistance(name, command); distance < bestDistance || (distance == bestDistance && best.empty())) {
      best = command;
      bestDistance = distance;
    }
  return best;
}

// Parses the command line into `app` (whose name is the program's) and runs
// `run` after it; subcommand callbacks run inside the parse. Returns the exit
// status: 0 on success and after --help or --version, 2 for a usage error
// (the parser's message, or "unknown command X (did you mean Y?)"), 1 with
// "<program>: error: …" on standard error for any other failure.
inline int runCommandLine(CLI::App &app, int argc, char **argv, const std::function<void()> &run = {}) {
  const std::string program = app.get_name();
  app.set_version_flag("--version", program + " " + TILERON_VERSION);
  try {
    app.parse(argc, argv);
    if (run) run();
  } catch (const CLI::ParseError &error) {
    // With no command chosen, the first stray word is a misspelt command.
    const std::vector<std::string> names = commandNames(app), extras = app.remaining();
    if (error.get_exit_code() != 0 && app.get_subcommands().empty() && !names.empty() && !extras.empty() &&
        extras.front().rfind('-', 0) != 0) {
      const std::string nearest = nearestCommand(app, extras.front());
      std::string known;
      for (const std::string &name : names) known += (known.empty() ? "" : ", ") + name;
      std::fprintf(stderr, "%s: error: unknown command \"%s\" (%s)\nRun with --help for more information.\n",
                   program.c_str(), extras.front().c_str(),
                   (nearest.empty() ? "commands: " + known : "did you mean " + nearest + "?").c_str());
      return kExitUsage;
    }
    return app.exit(error) == 0 ? 0 : kExitUsage;
  } catch (const std::exception &error) {
    std::cout.flush();
    std::fflush(stdout);
    std::fprintf(stderr, "%s: error: %s\n", program.c_str(), error.what());
    return kExitFailure;
  }
  return 0;
}

// runCommandLine for a program that goes on after its parse: -1 when it
// should, else the exit status to return at once.
inline int parseCommandLine(CLI::App &app, int argc, char **argv) {
  bool parsed = false;
  const int status = runCommandLine(app, argc, argv, [&parsed] { parsed = true; });
  return parsed && status == 0 ? -1 : status;
}

} // namespace vxhost
