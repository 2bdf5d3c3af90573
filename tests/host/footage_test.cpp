// Real-looking footage through `tileron-host render`: scan types, colour
// tags, rates, ranges, editing and piping outputs, audio, fit and rotation,
// alpha and frame timing. Clips are made tiny with the ffmpeg program (so
// that the host's own writers play no part in them); each case asserts what
// ffprobe shows of the output, or its decoded bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <cstring>

extern "C" {
#include <libavutil/display.h>
}

#include "host/media/av.hpp"
#include "host/media/yuv.hpp"
#include "host/scenes/sources.hpp"
#include "program_fixture.hpp"

using namespace vxhost;
using media_fixture::Frame;
using testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

int shell(const std::string &command) { return std::system(command.c_str()); }

// The clips a case may use, each made on first use by an ffmpeg command
// (`%s` is the clip's path).
const std::map<std::string, std::string> &clipRecipes() {
  static const std::map<std::string, std::string> recipes = {
      // 1 s of 25 fps H.264 with AAC stereo.
      {"av.mp4", "-f lavfi -i testsrc=s=128x96:r=25:d=1 -f lavfi -i sine=f=440:r=48000:d=1 -ac 2 -c:v libx264 "
                 "-pix_fmt yuv420p -c:a aac -shortest %s"},
      // 2 s; the sound is silent for the first second, a tone after it.
      {"late_tone.mkv", "-f lavfi -i testsrc=s=128x96:r=25:d=2 -f lavfi "
                        "-i \"aevalsrc='if(gte(t,1),0.5*sin(2*PI*440*t),0)':s=48000:d=2\" -c:v mpeg4 -c:a pcm_s16le %s"},
      // 3 s of video and sound, cut short below.
      {"long.mkv", "-f lavfi -i testsrc=s=128x96:r=25:d=3 -f lavfi -i sine=r=48000:d=3 -c:v mpeg4 -q:v 2 "
                   "-c:a pcm_s16le %s"},
      // Portrait pictures: white; and red, green (#00FF00), blue thirds from the top.
      {"portrait.png", "-f lavfi -i color=c=white:s=48x96 -frames:v 1 %s"},
      {"thirds.png", "-f lavfi -i \"color=c=red:s=48x32,pad=48:64:0:0:0x00FF00,pad=48:96:0:0:blue\" -frames:v 1 %s"},
      // Landscape: left half white, right half black (rotated below).
      {"halves.mp4", "-f lavfi -i \"color=c=white:s=32x32:r=25:d=0.2,pad=64:32:0:0:black\" -c:v mpeg4 -q:v 2 %s"},
      // Red with its top half transparent, in four codecs that keep alpha.
      {"alpha.png", "-f lavfi -i \"color=c=red:s=128x96,format=rgba,geq=r=255:g=0:b=0:a='if(lt(Y,48),0,255)'\" "
                    "-frames:v 1 %s"},
      {"alpha4444.mov", "-f lavfi -i \"color=c=red:s=128x96:r=25:d=0.2,format=rgba,geq=r=255:g=0:b=0:"
                        "a='if(lt(Y,48),0,255)'\" -c:v prores_ks -profile:v 4444 -pix_fmt yuva444p10le %s"},
      {"alpha_rle.mov", "-f lavfi -i \"color=c=red:s=128x96:r=25:d=0.2,format=rgba,geq=r=255:g=0:b=0:"
                        "a='if(lt(Y,48),0,255)'\" -c:v qtrle -pix_fmt argb %s"},
      {"alpha_vp9.webm", "-f lavfi -i \"color=c=red:s=128x96:r=25:d=0.2,format=rgba,geq=r=255:g=0:b=0:"
                         "a='if(lt(Y,48),0,255)'\" -c:v libvpx-vp9 -pix_fmt yuva420p %s"},
      // 30 frames, luma 16 + 7 n: 15 at 30 fps, then 15 at 10 fps (2 s in all).
      {"vfr.mkv", "-f lavfi -i \"color=c=black:s=64x48:r=30:d=1,format=yuv420p,geq=lum='16+7*N':cb=128:cr=128,"
                  "setpts='if(lt(N,15),N/30,0.5+(N-15)/10)/TB'\" -fps_mode vfr -c:v ffv1 %s"},
  };
  return recipes;
}

// The video stream of `from` remuxed into `to` with a display matrix that
// shows it turned a quarter clockwise, as phones tag upright clips.
void remuxTurned(const fs::path &from, const fs::path &to) {
  AVFormatContext *raw = nullptr;
  ASSERT_GE(avformat_open_input(&raw, from.c_str(), nullptr, nullptr), 0);
  av::InputPtr input(raw);
  ASSERT_GE(avformat_find_stream_info(input.get(), nullptr), 0);
  AVFormatContext *rawOut = nullptr;
  ASSERT_GE(avformat_alloc_output_context2(&rawOut, nullptr, nullptr, to.c_str()), 0);
  av::OutputPtr output(rawOut);
  AVStream *stream = avformat_new_stream(output.get(), nullptr);
  avcodec_parameters_copy(stream->codecpar, input->streams[0]->codecpar);
  stream->codecpar->codec_tag = 0;
  stream->time_base = input->streams[0]->time_base;
  auto *matrix = reinterpret_cast<int32_t *>(
      av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
  av_display_rotation_set(matrix, 90); // shown turned a quarter clockwise
  ASSERT_GE(avio_open(&output->pb, to.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(avformat_write_header(output.get(), nullptr), 0);
  av::PacketPtr packet = av::makePacket();
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    av_packet_rescale_ts(packet.get(), input->streams[0]->time_base, stream->time_base);
    packet->pos = -1;
    av_interleaved_write_frame(output.get(), packet.get());
  }
  av_write_trailer(output.get());
}

// ffprobe's flat output of the streams and tags: "streams.stream.0.codec_name" → "h264".
std::map<std::string, std::string> probe(const fs::path &file) {
  const fs::path listing = file.string() + ".probe";
  shell("ffprobe -v error -of flat -show_entries stream=codec_type,codec_name,profile,pix_fmt,field_order,width,"
        "height,r_frame_rate,color_space,color_primaries,color_transfer,sample_rate,duration:stream_tags=timecode "
        "\"" + file.string() + "\" > \"" + listing.string() + "\"");
  // The first picture's own flags: H.264 says its field order there.
  shell("ffprobe -v error -of flat -select_streams v:0 -read_intervals %+#1 -show_entries "
        "frame=interlaced_frame,top_field_first \"" + file.string() + "\" >> \"" + listing.string() + "\"");
  std::map<std::string, std::string> values;
  std::istringstream lines(media_fixture::readFile(listing));
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos)
      continue;
    std::string value = line.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '"')
      value = value.substr(1, value.size() - 2);
    values[line.substr(0, equals)] = value;
  }
  return values;
}

// The output's sound as 8 kHz mono 16-bit samples.
std::vector<int16_t> decodedSound(const fs::path &file) {
  const fs::path raw = file.string() + ".s16";
  EXPECT_EQ(shell("ffmpeg -v error -y -i \"" + file.string() + "\" -ac 1 -ar 8000 -f s16le \"" + raw.string() + "\""),
            0);
  const std::string bytes = media_fixture::readFile(raw);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// Root mean square of samples [from, to) seconds at 8 kHz.
double loudness(const std::vector<int16_t> &samples, double from, double to) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = size_t(from * 8000); i < size_t(to * 8000) && i < samples.size(); ++i, ++n)
    sum += double(samples[i]) * samples[i];
  return n ? std::sqrt(sum / double(n)) : -1;
}

struct Case {
  const char *name;
  // The storyboard; "CLIP" stands for the clips folder.
  std::string storyboard;
  std::string options; // besides -o
  std::string output;  // in the test's folder
  // ffprobe values the output must show ("key=value"), or must not ("!key").
  std::vector<std::string> probed;
  // Further checks of the output (its path) and of what the program printed.
  std::function<void(const fs::path &, const std::string &)> check = nullptr;
  // Parts that let the input through where their picture is transparent:
  // the plug-in leaves the input out when every part is fully opaque and
  // covers its box, so these parts are a step short of opaque.
  bool seeThrough = false;
};

const char *const kOpaqueParts = R"({"mask": "vertical_2", "bar": {"width": 0},
    "parts": [{"scene": 1, "anchor": 1}, {"scene": 2, "anchor": 3}]})";
const char *const kSeeThroughParts = R"({"mask": "vertical_2", "bar": {"width": 0},
    "parts": [{"scene": 1, "anchor": 1, "opacity": 254}, {"scene": 2, "anchor": 3, "opacity": 254}]})";

constexpr int kWidth = 128, kHeight = 96;

// A storyboard of the format's size at 25 fps, four frames of a navy input,
// and scenes 1 and 2 both showing `scene` (with `sceneKeys` added).
std::string board(const std::string &scene, const std::string &formatKeys = "", const std::string &sceneKeys = "",
                  const std::string &input = "colour:#000080", int length = 4, const std::string &extra = "") {
  const std::string entry = "\"source\": \"" + scene + "\"" + sceneKeys;
  return R"({"format": {"width": 128, "height": 96, "rate": "25/1")" + formatKeys + R"(}, "input": ")" + input +
         R"(", "length": )" + std::to_string(length) + R"(, "scenes": [{"id": 1, )" + entry + R"(}, {"id": 2, )" +
         entry + "}]" + extra + "}";
}

class FootageTest : public ProgramTest {
protected:
  void SetUp() override {
    ProgramTest::SetUp();
    fs::create_directories(clips());
    // Both parts show their picture unmoved on the frame, no bar.
    makeSettings(kOpaqueParts);
  }

  fs::path clips() const { return home_.path() / "clips"; }

  // Makes every clip the text names that is not there yet.
  void makeClips(const std::string &text) {
    for (const auto &[name, recipe] : clipRecipes()) {
      if (text.find("clips/" + name) == std::string::npos || made_.count(name))
        continue;
      std::string command = recipe;
      command.replace(command.find("%s"), 2, "\"" + (clips() / name).string() + "\"");
      ASSERT_EQ(shell("ffmpeg -v error -y " + command), 0) << name;
      made_.insert(name);
    }
    if (text.find("clips/turned.mp4") != std::string::npos && !made_.count("turned.mp4")) {
      makeClips("clips/halves.mp4");
      remuxTurned(clips() / "halves.mp4", clips() / "turned.mp4");
      made_.insert("turned.mp4");
    }
    if (text.find("clips/interlaced.y4m") != std::string::npos && !made_.count("interlaced.y4m")) {
      // Half the format's height, top field lines white, bottom field lines black.
      Frame frame(size_t(kWidth) * kHeight / 2);
      for (int y = 0; y < kHeight / 2; ++y)
        std::fill_n(frame.begin() + y * kWidth, kWidth, y % 2 ? 0x108080FFu : 0xEB8080FFu);
      media_fixture::writeY4m(clips() / "interlaced.y4m", kWidth, kHeight / 2, {frame, frame});
      std::string bytes = media_fixture::readFile(clips() / "interlaced.y4m");
      bytes.replace(bytes.find(" Ip "), 4, " It ");
      media_fixture::writeFile(clips() / "interlaced.y4m", bytes);
      made_.insert("interlaced.y4m");
    }
    if (text.find("clips/50p.y4m") != std::string::npos && !made_.count("50p.y4m")) {
      std::vector<Frame> frames;
      for (int n = 0; n < 8; ++n)
        frames.push_back(media_fixture::numberedFrame(kWidth, kHeight, n));
      media_fixture::writeY4m(clips() / "50p.y4m", kWidth, kHeight, frames, "50:1");
      frames.resize(6);
      media_fixture::writeY4m(clips() / "25p.y4m", kWidth, kHeight, frames, "25:1");
      made_.insert("50p.y4m");
    }
  }

  ProgramResult render(const Case &c) {
    std::string text = c.storyboard;
    for (size_t at; (at = text.find("CLIP")) != std::string::npos;)
      text.replace(at, 4, "clips");
    makeClips(text);
    const fs::path story = home_.path() / "story.json";
    media_fixture::writeFile(story, text);
    return run("tileron-host render " + story.string() + " " + c.options + " -o " + out(c.output));
  }

  std::string out(const std::string &name) const {
    return name == "-" || name.empty() ? name : (home_.path() / name).string();
  }

  static Format format(int width = kWidth, int height = kHeight) {
    Format f;
    f.width = width;
    f.height = height;
    return f;
  }

  // The frames of a Y4M output, as the host reads them.
  static std::vector<Frame> frames(const fs::path &file, const Format &f = format()) {
    auto clip = openMediaFile(file, f);
    std::vector<Frame> result;
    for (int n = 0; n < clip->length(); ++n)
      result.emplace_back(clip->frame(n), clip->frame(n) + size_t(f.width) * f.height);
    return result;
  }

  // Renders each case and checks what it asks for.
  void runCases(const std::vector<Case> &cases) {
    for (const Case &each : cases) {
      const Case *c = &each;
      SCOPED_TRACE(c->name);
      if (std::string(c->name) == "Matroska with sound cut short") {
        makeClips("clips/long.mkv");
        const std::string bytes = media_fixture::readFile(clips() / "long.mkv");
        media_fixture::writeFile(clips() / "cut.mkv", bytes.substr(0, bytes.size() * 3 / 10));
      }
      if (c->output.empty()) {
        // Standard output: the program's own lines go to standard error.
        std::string text = c->storyboard;
        media_fixture::writeFile(home_.path() / "story.json", text);
        const fs::path piped = home_.path() / "piped.y4m";
        ASSERT_EQ(shell(std::string(TILERON_BINARY_DIR) + "/tileron-host render " +
                        (home_.path() / "story.json").string() + " --stats -o - 2>/dev/null > " + piped.string()),
                  0);
        EXPECT_EQ(media_fixture::readFile(piped).substr(0, 10), "YUV4MPEG2 ");
        EXPECT_EQ(frames(piped).size(), 4u);
        continue;
      }
      if (c->seeThrough)
        makeSettings(kSeeThroughParts);
      const ProgramResult result = render(*c);
      if (c->seeThrough)
        makeSettings(kOpaqueParts);
      const bool failing = c->name == std::string("a still needs one frame") ||
                           c->name == std::string("range past the end") ||
                           c->name == std::string("Matroska with sound cut short");
      EXPECT_EQ(result.status, failing ? 1 : 0) << result.output;
      if (!c->probed.empty()) {
        const auto values = probe(out(c->output));
        for (const std::string &expected : c->probed) {
          if (expected[0] == '!') {
            EXPECT_EQ(values.count(expected.substr(1)), 0u) << expected;
            continue;
          }
          const size_t equals = expected.find('=');
          const auto found = values.find(expected.substr(0, equals));
          ASSERT_NE(found, values.end()) << expected;
          EXPECT_EQ(found->second, expected.substr(equals + 1)) << expected;
        }
      }
      if (c->check)
        c->check(out(c->output), result.output);
    }
  }

  std::set<std::string> made_;
};

uint32_t luma(uint32_t word) { return word >> 24; }
uint32_t at(const Frame &frame, int x, int y) { return frame[size_t(y) * kWidth + x]; }
// The host's word of the navy input.
const uint32_t kNavy = rgbToYuva(0, 0, 0x80, Matrix::bt601);

// Lines of `from` with `parity` (0 top, 1 bottom) equal those of `to`.
void expectFieldFrom(const Frame &out, int parity, const Frame &clip, const std::string &what) {
  for (int y = parity; y < kHeight; y += 2)
    for (int x = 0; x < kWidth; ++x)
      if (x < 56 || x >= 72) { // away from the soft edge between the parts
        ASSERT_EQ(at(out, x, y), at(clip, x, y)) << what << " at " << x << "," << y;
      }
}

} // namespace

TEST_F(FootageTest, ScanTagsAndRates) {
  const std::string bars = "pattern:bars";
  runCases({
      // Scan types, tags and rates.
      {"tff H.264 (default)", board(bars), "", "tff.mp4",
       {"frames.frame.0.interlaced_frame=1", "frames.frame.0.top_field_first=1",
        "streams.stream.0.color_space=bt470bg", "!streams.stream.1.codec_type"}},
      {"bff H.264", board(bars, R"(, "scan": "bff")"), "", "bff.mp4",
       {"frames.frame.0.interlaced_frame=1", "frames.frame.0.top_field_first=0"}},
      {"progressive H.264", board(bars, R"(, "scan": "progressive")"), "", "p.mp4",
       {"streams.stream.0.field_order=progressive", "frames.frame.0.interlaced_frame=0"}},
      {"bff ProRes", board(bars, R"(, "scan": "bff")"), "", "bff.mov", {"streams.stream.0.field_order=bb"}},
      {"progressive FFV1", board(bars, R"(, "scan": "progressive")"), "", "p.mkv",
       {"streams.stream.0.field_order=progressive"}},
      {"480 lines are SMPTE 170M",
       R"({"format": {"width": 64, "height": 480, "rate": "29.97"}, "input": "pattern:bars", "length": 2, "scenes": []})",
       "", "ntsc.mp4",
       {"streams.stream.0.color_space=smpte170m", "streams.stream.0.color_primaries=smpte170m",
        "streams.stream.0.color_transfer=smpte170m", "streams.stream.0.r_frame_rate=30000/1001"}},
      {"Y4M flags bff", board(bars, R"(, "scan": "bff")"), "", "bff.y4m", {},
       [](const fs::path &file, const std::string &) {
         EXPECT_THAT(media_fixture::readFile(file).substr(0, 40), HasSubstr(" Ib "));
       }},
  });
}

TEST_F(FootageTest, EditingAndPipingOutputs) {
  const std::string bars = "pattern:bars";
  runCases({
      // Editing and piping outputs.
      {"ProRes 422 HQ", board(bars), "", "out.mov",
       {"streams.stream.0.codec_name=prores", "streams.stream.0.profile=HQ", "streams.stream.0.pix_fmt=yuv422p10le",
        "streams.stream.0.field_order=tt"}},
      {"DNxHR HQX",
       R"({"format": {"width": 256, "height": 128, "rate": "25"}, "input": "pattern:bars", "length": 2, "scenes": []})",
       "--codec dnxhr", "dnx.mov", {"streams.stream.0.codec_name=dnxhd", "streams.stream.0.profile=DNXHR HQX"}},
      {"Y4M to standard output", board(bars), "", "", {}},
      {"one still", board(bars), "--start 2f --duration 1f", "still.png",
       {"streams.stream.0.codec_name=png", "streams.stream.0.width=128"}},
      {"a still needs one frame", board(bars), "", "still2.png", {},
       [](const fs::path &file, const std::string &printed) {
         EXPECT_THAT(printed, HasSubstr("a .png file holds one frame"));
         EXPECT_FALSE(fs::exists(file));
       }},
      {"a new folder", board(bars), "", "new/", {},
       [](const fs::path &folder, const std::string &) {
         EXPECT_TRUE(fs::exists(folder / "00000.png"));
         EXPECT_TRUE(fs::exists(folder / "00003.png"));
       }},
  });
}

TEST_F(FootageTest, Ranges) {
  const std::string bars = "pattern:bars";
  runCases({
      // Ranges.
      {"start and duration carry a timecode", board(bars), "--start 00:00:00:02 --duration 0.08", "tc.mov",
       {"streams.stream.0.tags.timecode=00:00:00:02"},
       [](const fs::path &file, const std::string &) {
         EXPECT_NEAR(std::stod(probe(file)["streams.stream.0.duration"]), 0.08, 0.001);
       }},
      {"fields widened to frames", board("CLIP/50p.y4m"), "--fields 3:6", "wide.y4m", {},
       [](const fs::path &file, const std::string &printed) {
         EXPECT_THAT(printed, HasSubstr("--fields 3:6 widened to 2:7"));
         EXPECT_EQ(frames(file).size(), 3u);
       }},
      {"range past the end", board(bars), "--start 3f --duration 2f", "late.y4m", {},
       [](const fs::path &file, const std::string &printed) {
         EXPECT_THAT(printed, HasSubstr("--duration 2f: the range runs past the storyboard's end"));
         EXPECT_FALSE(fs::exists(file));
       }},
  });
}

TEST_F(FootageTest, Sound) {
  const std::string bars = "pattern:bars";
  runCases({
      // Audio.
      {"input's AAC into MP4", board(bars, "", "", "CLIP/av.mp4", 25), "", "av.mp4",
       {"streams.stream.1.codec_type=audio", "streams.stream.1.codec_name=aac", "streams.stream.1.sample_rate=48000"},
       [](const fs::path &file, const std::string &) {
         const std::vector<int16_t> sound = decodedSound(file);
         EXPECT_NEAR(double(sound.size()) / 8000, 1.0, 0.03);
         EXPECT_GT(loudness(sound, 0.1, 0.9), 1000);
       }},
      {"PCM into Matroska", board(bars, "", "", "CLIP/av.mp4", 5), "", "av.mkv",
       {"streams.stream.1.codec_name=pcm_s16le"}},
      {"PCM into MOV", board(bars, "", "", "CLIP/av.mp4", 5), "", "av.mov",
       {"streams.stream.0.codec_name=prores", "streams.stream.1.codec_name=pcm_s16le"}},
      {"--audio none", board(bars, "", "", "CLIP/av.mp4", 5), "--audio none", "mute.mp4",
       {"!streams.stream.1.codec_type"}},
      {"asked for, a pattern gives silence", board(bars, "", "", bars, 5, R"(, "audio": "input")"), "", "quiet.mp4",
       {"streams.stream.1.codec_type=audio"},
       [](const fs::path &file, const std::string &) {
         const std::vector<int16_t> sound = decodedSound(file);
         EXPECT_NEAR(double(sound.size()) / 8000, 0.2, 0.03);
         EXPECT_LT(loudness(sound, 0, 0.2), 1);
       }},
      {"cut to the range, in sync", board(bars, "", "", "CLIP/late_tone.mkv", 50), "--start 0.8 --duration 0.4",
       "cut.mkv", {"streams.stream.1.codec_name=pcm_s16le"},
       [](const fs::path &file, const std::string &) {
         // The tone starts 1 s into the clip: 0.2 s into the output.
         const std::vector<int16_t> sound = decodedSound(file);
         EXPECT_NEAR(double(sound.size()) / 8000, 0.4, 0.01);
         EXPECT_LT(loudness(sound, 0, 0.19), 10);
         EXPECT_GT(loudness(sound, 0.21, 0.4), 5000);
       }},
      {"a scene's sound from its in-point", board("CLIP/late_tone.mkv", "", R"(, "start": 1)", bars, 10,
                                                    R"(, "audio": 2)"),
       "", "scene.mkv", {"streams.stream.1.codec_type=audio"},
       [](const fs::path &file, const std::string &) {
         EXPECT_GT(loudness(decodedSound(file), 0, 0.4), 5000);
       }},
      // Truncation is judged on the video.
      {"Matroska with sound cut short", board("CLIP/cut.mkv"), "", "cut.y4m", {},
       [](const fs::path &, const std::string &printed) {
         EXPECT_THAT(printed, HasSubstr("scenes[0].source: clips/cut.mkv: is damaged or truncated"));
       }},
  });
}

TEST_F(FootageTest, Timing) {
  const std::string bars = "pattern:bars";
  runCases({
      // Timing: field-rate clips, in-points, variable rate.
      {"50p in 25i tff", board("CLIP/50p.y4m"), "", "50i.y4m", {},
       [](const fs::path &file, const std::string &) {
         const std::vector<Frame> out = frames(file);
         ASSERT_EQ(out.size(), 4u);
         for (int k = 0; k < 4; ++k) {
           expectFieldFrom(out[k], 0, media_fixture::numberedFrame(kWidth, kHeight, 2 * k), "top field");
           expectFieldFrom(out[k], 1, media_fixture::numberedFrame(kWidth, kHeight, 2 * k + 1), "bottom field");
         }
       }},
      {"50p in 25i bff", board("CLIP/50p.y4m", R"(, "scan": "bff")"), "", "50b.y4m", {},
       [](const fs::path &file, const std::string &) {
         const std::vector<Frame> out = frames(file);
         ASSERT_EQ(out.size(), 4u);
         expectFieldFrom(out[1], 1, media_fixture::numberedFrame(kWidth, kHeight, 2), "first (bottom) field");
         expectFieldFrom(out[1], 0, media_fixture::numberedFrame(kWidth, kHeight, 3), "second (top) field");
       }},
      {"interlaced clip scaled per field", board("CLIP/interlaced.y4m", "", "", bars, 2), "", "fields.y4m", {},
       [](const fs::path &file, const std::string &) {
         const Frame frame = frames(file)[0];
         for (const int y : {10, 50, 90}) {
           EXPECT_NEAR(double(luma(at(frame, 30, y))), 235, 2) << "top field, line " << y;
           EXPECT_NEAR(double(luma(at(frame, 30, y + 1))), 16, 2) << "bottom field, line " << y + 1;
         }
       }},
      {"in-point in seconds", board("CLIP/25p.y4m", "", R"(, "start": "0.08")"), "", "in.y4m", {},
       [](const fs::path &file, const std::string &) {
         const std::vector<Frame> out = frames(file);
         ASSERT_EQ(out.size(), 4u);
         expectFieldFrom(out[0], 0, media_fixture::numberedFrame(kWidth, kHeight, 2), "frame 0");
         expectFieldFrom(out[3], 1, media_fixture::numberedFrame(kWidth, kHeight, 5), "frame 3");
       }},
      {"in-point as timecode", board("CLIP/25p.y4m", "", R"(, "start": "00:00:00:03")", bars, 2), "", "tc.y4m", {},
       [](const fs::path &file, const std::string &) {
         expectFieldFrom(frames(file)[0], 0, media_fixture::numberedFrame(kWidth, kHeight, 3), "frame 0");
       }},
      {"variable rate stays in sync", board("CLIP/vfr.mkv", "", "", bars, 50), "", "vfr.y4m", {},
       [](const fs::path &file, const std::string &) {
         const std::vector<Frame> out = frames(file);
         ASSERT_EQ(out.size(), 50u);
         // Output frame t (t / 25 s) shows clip frame n: n = 30 t / 25 up to
         // 0.5 s, then 15 + 10 (t / 25 - 0.5).
         for (const auto &[t, n] : std::vector<std::pair<int, int>>{{5, 6}, {12, 14}, {13, 15}, {40, 26}, {49, 29}})
           EXPECT_NEAR(double(luma(at(out[t], 30, 40))), 16 + 7 * n, 2) << "output frame " << t;
       }},
  });
}

TEST_F(FootageTest, Shapes) {
  const std::string bars = "pattern:bars";
  runCases({
      // Shapes: fit, crop, rotation.
      {"portrait fitted", board("CLIP/portrait.png", "", R"(, "fit": "fit")"), "", "fit.y4m", {},
       [](const fs::path &file, const std::string &) {
         const Frame frame = frames(file)[0];
         EXPECT_EQ(at(frame, 10, 48), kNavy) << "left border shows the input";
         EXPECT_EQ(at(frame, 120, 48), kNavy) << "right border shows the input";
         EXPECT_NEAR(double(luma(at(frame, 44, 48))), 235, 1);
         EXPECT_NEAR(double(luma(at(frame, 84, 48))), 235, 1);
       },
       true},
      {"portrait cropped", board("CLIP/thirds.png", "", R"(, "fit": "crop")"), "", "crop.y4m", {},
       [](const fs::path &file, const std::string &) {
         // The middle third (green) fills the frame.
         const Frame frame = frames(file)[0];
         for (const int y : {16, 48, 80})
           EXPECT_NEAR(double(luma(at(frame, 30, y))), 145, 4) << "line " << y;
       }},
      {"portrait filled", board("CLIP/thirds.png"), "", "fill.y4m", {},
       [](const fs::path &file, const std::string &) {
         const Frame frame = frames(file)[0];
         EXPECT_NEAR(double(luma(at(frame, 30, 4))), 82, 4) << "red on top";
       }},
      {"rotation honoured", board("CLIP/turned.mp4", "", "", bars, 2), "", "turned.y4m", {},
       [](const fs::path &file, const std::string &) {
         // Turned clockwise, the left (white) half is on top.
         const Frame frame = frames(file)[0];
         EXPECT_GT(luma(at(frame, 20, 10)), 200u);
         EXPECT_GT(luma(at(frame, 100, 10)), 200u);
         EXPECT_LT(luma(at(frame, 20, 86)), 40u);
       }},
  });
}

// The transparent top half shows the input; the opaque bottom half is red.
TEST_F(FootageTest, AlphaOfScenePictures) {
  std::vector<Case> cases;
  for (const char *clip : {"alpha.png", "alpha4444.mov", "alpha_rle.mov", "alpha_vp9.webm"})
    cases.push_back({clip, board(std::string("CLIP/") + clip), "", std::string(clip) + ".y4m", {},
                     [](const fs::path &file, const std::string &) {
                       const Frame frame = frames(file)[0];
                       for (const int x : {20, 100}) {
                         EXPECT_EQ(at(frame, x, 20), kNavy) << x << ": the input";
                         EXPECT_NEAR(double(luma(at(frame, x, 70))), 82, 3) << x << ": red";
                       }
                     },
                     true});
  runCases(cases);
}

// Times as users write them: seconds, timecode, frames.
TEST(TimeSpellings, SecondsTimecodeAndFrames) {
  Format ntsc;
  ntsc.rateNum = 30000;
  ntsc.rateDen = 1001;
  Format pal;
  const struct {
    const char *text;
    const Format &format;
    int64_t floorFrame, ceilFrame;
  } good[] = {
      {"2", pal, 50, 50},         {"0.5", pal, 12, 13},     {"123f", pal, 123, 123},
      {"00:00:01:05", pal, 30, 30}, {"00:01:00:00", ntsc, 1800, 1800}, {"1", ntsc, 29, 30},
      {"10.01", ntsc, 300, 300},
  };
  for (const auto &c : good) {
    const std::optional<FrameTime> t = parseTime(c.text, c.format);
    ASSERT_TRUE(t) << c.text;
    EXPECT_EQ(t->floorFrame(), c.floorFrame) << c.text;
    EXPECT_EQ(t->ceilFrame(), c.ceilFrame) << c.text;
  }
  for (const char *bad : {"", "-1", "1.2.3", "00:00:00:25", "00:60:00:00", "12x", "f", "1e3", "00:00:01"})
    EXPECT_FALSE(parseTime(bad, pal)) << bad;
  EXPECT_EQ(timecodeOf(90, pal), "00:00:03:15");
  EXPECT_EQ(timecodeOf(108000, ntsc), "01:00:00:00");
}
