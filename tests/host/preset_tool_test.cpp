// tileron-preset: readable descriptions in, settings files out and back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "program_fixture.hpp"

using nlohmann::json;
using testing::HasSubstr;

namespace {

class PresetToolTest : public ProgramTest {
protected:
  ProgramResult make(const std::string &description, const std::string &output = "made.prf") {
    media_fixture::writeFile(home_.path() / "desc.json", description);
    return run("tileron-preset make " + (home_.path() / "desc.json").string() + " -o " +
               (home_.path() / output).string());
  }
  ProgramResult show(const std::string &file = "made.prf") {
    return run("tileron-preset show " + (home_.path() / file).string());
  }
};

} // namespace

TEST_F(PresetToolTest, ShowGivesBackWhatMakeWasGiven) {
  const json description = json::parse(R"({
    "mask": "/programs/tileron/mask/grid_4.xml",
    "bar": {"width": 20, "mode": "gradient", "paletteIndex": 3,
            "palette": ["#FFFFFF", "#000000", "0x36A066FF", "0x6080A5FF", "0x795A65FF", "0x895A85FF"],
            "angle": 135, "from": "#000000", "to": "0xEB8080FF"},
    "parts": [
      {"scene": 4, "scale": 60, "anchor": 1, "offsetX": 10, "offsetY": -25, "opacity": 128},
      {"scene": 0, "scale": 200, "anchor": 9, "offsetX": -50, "offsetY": 50, "opacity": 0},
      {"scene": 32767, "scale": 10, "anchor": 5, "offsetX": 33, "offsetY": -1, "opacity": 255},
      {"scene": 2, "scale": 100, "anchor": 6, "offsetX": 0, "offsetY": 0, "opacity": 1}
    ]})");
  const ProgramResult made = make(description.dump());
  ASSERT_EQ(made.status, 0) << made.output;
  const ProgramResult shown = show();
  ASSERT_EQ(shown.status, 0) << shown.output;
  json back = json::parse(shown.output);
  back["bar"]["palette"] = description["bar"]["palette"]; // "#FFFFFF" and "0xEB8080FF" are one colour
  back["bar"]["to"] = description["bar"]["to"];
  EXPECT_EQ(back, description);

  // What show prints makes the same file again.
  media_fixture::writeFile(home_.path() / "shown.json", shown.output);
  ASSERT_EQ(make(shown.output, "again.prf").status, 0);
  EXPECT_EQ(media_fixture::readFile(home_.path() / "again.prf"), media_fixture::readFile(home_.path() / "made.prf"));
}

TEST_F(PresetToolTest, UnsetValuesTakeTheMasksOwnAndTheEditorsDefaults) {
  ASSERT_EQ(make(R"({"mask": "vertical_2", "parts": [{"scene": 7}]})").status, 0);
  const json shown = json::parse(show().output);
  EXPECT_EQ(shown["mask"], "/programs/tileron/mask/vertical_2.xml");
  EXPECT_EQ(shown["bar"]["width"], 6);
  EXPECT_EQ(shown["bar"]["mode"], "colour");
  EXPECT_EQ(shown["parts"][0], json::parse(R"({"scene": 7, "scale": 100, "anchor": 5, "offsetX": 0,
                                              "offsetY": 0, "opacity": 255})"));
  EXPECT_EQ(shown["parts"][1]["scene"], 0);
}

TEST_F(PresetToolTest, BadDescriptionsNameTheKey) {
  const struct {
    std::string description, message;
  } cases[] = {
      {R"({"mask": "vertical_2", "parts": [{"scene": 1, "zoom": 3}]})", "parts[0].zoom: unknown key"},
      {R"({"mask": "vertical_2", "parts": [{"anchor": 10}]})", "parts[0].anchor: 10 is outside 1..9"},
      {R"({"mask": "vertical_2", "parts": [{}, {"offsetX": 51}]})", "parts[1].offsetX: 51 is outside -50..50"},
      {R"({"mask": "vertical_2", "parts": [{"scale": 5}]})", "parts[0].scale: 5 is outside 10..200"},
      {R"({"mask": "vertical_2", "bar": {"width": 101}})", "bar.width: 101 is outside 0..100"},
      {R"({"mask": "vertical_2", "bar": {"colour": "red"}})", "bar.colour: \"red\" is not a colour"},
      {R"({"mask": "vertical_2", "bar": {"mode": "texture"}})", "bar.texture: missing"},
      {R"({"bar": {}})", "mask: missing"},
      {R"({"mask": "../../etc/passwd"})", "mask: \"../../etc/passwd\" is neither a mask name"},
      {R"({"mask": "no_such_mask"})", "mask: there is no mask file " + (home_.path() / "programs/tileron/mask/no_such_mask.xml").string()},
      {R"({"mask": "vertical_2", "bar": {"mode": "texture", "texture": {"name": "velvet.png"}}})",
       "bar.texture.name: \"velvet.png\" is not an installed texture (installed: brushed_metal.png, fabric.png, "
       "marble.png, paper.png, stone.png, wood.png)"},
      {R"({"mask": "vertical_2", "bar": {"colour": "#FF0000", "color": "#FF0000"}})", "bar.color: give either"},
      {R"({"mask": "vertical_2", "parts": [{}, {}, {}]})", "parts: the mask /programs/tileron/mask/vertical_2.xml has 2 parts"},
      {"{\"mask\": ", "not JSON"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.description);
    const ProgramResult result = make(c.description);
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.output, HasSubstr("desc.json: "));
    EXPECT_THAT(result.output, HasSubstr(c.message));
    // The operator's records are for the log, not for the user.
    EXPECT_THAT(result.output, testing::Not(HasSubstr("report:")));
  }
  EXPECT_FALSE(std::filesystem::exists(home_.path() / "made.prf"));
  EXPECT_THAT(media_fixture::readFile(home_.path() / "log/vxhost.log"), HasSubstr("src\\xml"))
      << "the records of the mask that did not load stay in the user's log";
}

TEST_F(PresetToolTest, SpellingsAndExtensionsAreTakenOnce) {
  ASSERT_EQ(make(R"({"mask": "grid_4", "bar": {"mode": "colour", "colour": "#FF2000"}})", "uk.prf").status, 0);
  for (const char *description : {R"({"mask": "grid_4.xml", "bar": {"mode": "colour", "colour": "#FF2000"}})",
                                  R"({"mask": "grid_4", "bar": {"mode": "color", "color": "#FF2000"}})"}) {
    SCOPED_TRACE(description);
    const ProgramResult result = make(description, "us.prf");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(media_fixture::readFile(home_.path() / "us.prf"), media_fixture::readFile(home_.path() / "uk.prf"));
  }
}

TEST_F(PresetToolTest, NewOnAnEmptyHomeInstallsTheMasksAndWritesTheSettingsFile) {
  const std::filesystem::path fresh = home_.path() / "fresh";
  const testing_support::ScopedEnv home("VXHOME", fresh.string());
  const ProgramResult made = run("tileron-preset new grid_4");
  ASSERT_EQ(made.status, 0) << made.output;
  EXPECT_THAT(made.output, HasSubstr("installed the bundled mask library (3 packs"));
  const std::filesystem::path settings = fresh / "programs/tileron/prefs/tileron.prf";
  ASSERT_TRUE(std::filesystem::exists(settings)) << made.output;
  const ProgramResult shown = run("tileron-preset show " + settings.string());
  ASSERT_EQ(shown.status, 0) << shown.output;
  const json description = json::parse(shown.output);
  EXPECT_EQ(description["mask"], "/programs/tileron/mask/grid_4.xml");
  ASSERT_EQ(description["parts"].size(), 4u);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(description["parts"][i]["scene"], i + 1) << "part " << i + 1 << " shows scene " << i + 1;

  // -o writes elsewhere; the same mask gives the same file.
  ASSERT_EQ(run("tileron-preset new grid_4.xml -o " + (home_.path() / "again.prf").string()).status, 0);
  EXPECT_EQ(media_fixture::readFile(home_.path() / "again.prf"), media_fixture::readFile(settings));
  const ProgramResult missing = run("tileron-preset new grid_5 -o " + (home_.path() / "no.prf").string());
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.output, HasSubstr("new grid_5: mask: there is no mask file"));
  EXPECT_FALSE(std::filesystem::exists(home_.path() / "no.prf"));
}

TEST_F(PresetToolTest, TexturesListsTheLibrary) {
  const ProgramResult listed = run("tileron-preset textures");
  ASSERT_EQ(listed.status, 0) << listed.output;
  EXPECT_EQ(listed.output, "brushed_metal.png\nfabric.png\nmarble.png\npaper.png\nstone.png\nwood.png\n");
}

TEST_F(PresetToolTest, ShowRefusesWhatIsNotASettingsFile) {
  media_fixture::writeFile(home_.path() / "notes.prf", "hello");
  const ProgramResult result = show("notes.prf");
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.output, HasSubstr("not a settings or preset file"));
}
