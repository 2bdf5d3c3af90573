// What every program does with its command line: --version, usage errors
// with exit status 2, a misspelt command named, help that changes nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "program_fixture.hpp"

using testing::HasSubstr;

namespace {

class CommandLineTest : public ProgramTest {};

} // namespace

TEST_F(CommandLineTest, EveryProgramTellsItsVersion) {
  for (const char *program : {"tileron-host", "tileron-masks", "tileron-mask", "tileron-preset", "tileron-texgen",
                              "tileron-resgen", "tileron-ciphertable"}) {
    const ProgramResult result = run(std::string(program) + " --version");
    EXPECT_EQ(result.status, 0) << program;
    EXPECT_EQ(result.output, std::string(program) + " " + TILERON_VERSION + "\n");
  }
}

TEST_F(CommandLineTest, UsageErrorsExitTwoWithTheParsersMessage) {
  const std::string jpeg = (home_.path() / "sheet.jpg").string();
  const struct {
    std::string command, message;
  } cases[] = {
      {"tileron-host rendr story.json", "tileron-host: error: unknown command \"rendr\" (did you mean render?)"},
      {"tileron-host frobnicate", "unknown command \"frobnicate\" (commands: info, render, masks, edit, join, segments)"},
      {"tileron-host render", "storyboard is required"},
      {"tileron-host render s.json -o x.y4m --preset a --preset-description b.json", "excludes"},
      {"tileron-host render s.json -o x.y4m --speed 2", "--speed"},
      {"tileron-preset mak d.json", "unknown command \"mak\" (did you mean make?)"},
      {"tileron-preset make", "description is required"},
      {"tileron-masks lst", "(did you mean list?)"},
      {"tileron-masks list --language french",
       "\"french\" is not a language of the resource set (it has deutsch, english)"},
      {"tileron-host masks sheet -o " + jpeg, "sheet.jpg: the sheet is written as PNG"},
      {"tileron-masks sheet --columns 0 -o x.png", "--columns"},
      {"tileron-mask build", "required"},
      {"tileron-texgen --colours 3", "--colours"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.command);
    const ProgramResult result = run(c.command);
    EXPECT_EQ(result.status, 2) << result.output;
    EXPECT_THAT(result.output, HasSubstr(c.message));
  }
  EXPECT_FALSE(std::filesystem::exists(jpeg));
}

TEST_F(CommandLineTest, HelpOfMasksInstallsNothing) {
  const std::filesystem::path fresh = home_.path() / "fresh";
  const testing_support::ScopedEnv home("VXHOME", fresh.string());
  for (const char *command : {"tileron-host masks --help", "tileron-host masks list --help", "tileron-host masks"}) {
    SCOPED_TRACE(command);
    run(command);
    EXPECT_FALSE(std::filesystem::exists(fresh)) << "the home was set up";
  }
  const ProgramResult help = run("tileron-host masks list --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.output, HasSubstr("--language"));
  EXPECT_EQ(run("tileron-host masks").status, 2);
}
