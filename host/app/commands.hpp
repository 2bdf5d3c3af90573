// The tileron-host program's subcommands and what they share. Each subcommand
// lives in its own file and is added to the program by one line in main.cpp.
#pragma once

#include <filesystem>
#include <sys/types.h>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace vxhost::app {

// Options every subcommand can read.
struct HostContext {
  std::string pluginOption; // --plugin; empty = $TILERON_PLUGIN, else the built module
};

// Sets VXHOME for the plug-in: the environment's VXHOME when set and not
// empty, else vxhost::defaultHome(); made when missing. A home without mask
// packs gets the bundled library (vxhost::installBundledMasks). Returns the
// home. Throws std::runtime_error when it cannot be made or written.
std::filesystem::path setUpHome();

// The program `name` of the build that sits beside this one.
std::filesystem::path siblingProgram(const std::string &name);

// Runs `program` with `arguments` and waits for it: its standard output
// goes to `output` when given, else it is dropped; its standard error is
// ours unless `quiet`. Returns its exit status (-1 when it did not exit
// normally). Throws std::runtime_error when it cannot be started.
int runProgram(const std::filesystem::path &program, const std::vector<std::string> &arguments,
               std::string *output = nullptr, bool quiet = false);
// A program started with its standard output into a pipe, read when asked
// for: the caller goes on while it runs (its output must fit the pipe's
// 64 KB, or it waits for finish()). Its standard error is ours unless
// `quiet`. Throws std::runtime_error when it cannot be started.
class ProgramOutput {
public:
  ProgramOutput(const std::filesystem::path &program, const std::vector<std::string> &arguments, bool quiet);
  ~ProgramOutput(); // waits for it, its output dropped, unless finished
  ProgramOutput(const ProgramOutput &) = delete;
  ProgramOutput &operator=(const ProgramOutput &) = delete;
  // Reads the rest of its output into `output` (dropped when null), waits
  // for it and returns its exit status (-1 when it did not exit normally).
  // Call once.
  int finish(std::string *output);

private:
  pid_t child_ = -1;
  int readEnd_ = -1;
};
// Starts `program` with `arguments` without waiting, its standard output
// and error into the file `log`. Throws std::runtime_error when it cannot be started.
pid_t startProgram(const std::filesystem::path &program, const std::vector<std::string> &arguments,
                   const std::filesystem::path &log);
// Waits for a started program; its exit status, -1 when it did not exit normally.
int waitProgram(pid_t child);

// `masks`: runs tileron-masks (list, sheet, install) with the arguments that follow.
void addMasksCommand(CLI::App &app, HostContext &context);

// `edit`: opens the plug-in's editor on a storyboard (window or --script).
void addEditCommand(CLI::App &app, HostContext &context);

// `join`: joins rendered segments into one output without encoding them again.
void addJoinCommand(CLI::App &app, HostContext &context);

// `segments`: prints the field ranges render --jobs N cuts a storyboard into.
void addSegmentsCommand(CLI::App &app, HostContext &context);

// `info`: loads the plug-in and prints its tag list, its version and the
// results of a load/unload message pair.
void addInfoCommand(CLI::App &app, HostContext &context);

} // namespace vxhost::app
