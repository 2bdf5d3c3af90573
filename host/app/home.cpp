#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <system_error>

#include "commands.hpp"
#include "host/settings/settings.hpp"
#include "host/support/user_home.hpp"

extern char **environ;

namespace vxhost::app {

namespace fs = std::filesystem;

fs::path setUpHome() {
  const fs::path home = userHome();
  setHome(home);
  installBundledMasks(home, "tileron-host");
  return home;
}

fs::path siblingProgram(const std::string &name) {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return (error ? fs::path(".") : self.parent_path()) / name;
}

namespace {

// Starts `program` with `arguments`, its standard output onto `outFd` and
// its standard error onto `errFd` (each -1: ours; errFd -2: /dev/null).
pid_t spawnProgram(const fs::path &program, const std::vector<std::string> &arguments, int outFd, int errFd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  if (errFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
  else if (errFd == -2)
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> copies{program.string()};
  copies.insert(copies.end(), arguments.begin(), arguments.end());
  std::vector<char *> argv;
  for (std::string &argument : copies)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t child = -1;
  const int spawned = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0)
    throw std::runtime_error("cannot run " + program.string() + ": " + std::strerror(spawned) +
                             " (it is built with tileron-host)");
  return child;
}

} // namespace

ProgramOutput::ProgramOutput(const fs::path &program, const std::vector<std::string> &arguments, bool quiet) {
  int pipeEnds[2] = {-1, -1};
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
    throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
  try {
    child_ = spawnProgram(program, arguments, pipeEnds[1], quiet ? -2 : -1);
  } catch (...) {
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    throw;
  }
  ::close(pipeEnds[1]);
  readEnd_ = pipeEnds[0];
}

ProgramOutput::~ProgramOutput() {
  if (child_ >= 0)
    finish(nullptr);
}

int ProgramOutput::finish(std::string *output) {
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(readEnd_, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      break;
    if (output)
      output->append(buffer, size_t(n));
  }
  ::close(readEnd_);
  const int status = waitProgram(child_);
  child_ = -1;
  return status;
}

int runProgram(const fs::path &program, const std::vector<std::string> &arguments, std::string *output,
               bool quiet) {
  return ProgramOutput(program, arguments, quiet).finish(output);
}

pid_t startProgram(const fs::path &program, const std::vector<std::string> &arguments, const fs::path &log) {
  const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    throw std::runtime_error("cannot make " + log.string() + ": " + std::strerror(errno));
  try {
    const pid_t child = spawnProgram(program, arguments, fd, fd);
    ::close(fd);
    return child;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

int waitProgram(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace vxhost::app
