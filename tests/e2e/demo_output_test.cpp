// What the demo makes of a run: its options, the scene the engine draws, the frame picture and
// the time plot.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "frame_picture.h"
#include "options.h"
#include "scene.h"
#include "time_plot.h"

#include <stb_image.h>

namespace {

using namespace ZerinDemo;

// ---- options ------------------------------------------------------------------------------

struct ParseCase {
  const char* name;
  std::vector<const char*> arguments;
  bool accepted;
  int64_t chosenFrame;  // when accepted
  const char* errorPart;  // when refused
};

void PrintTo(const ParseCase& param, std::ostream* out) { *out << param.name; }

class DemoOptions : public ::testing::TestWithParam<ParseCase> {};

TEST_P(DemoOptions, ChooseTheFrameWithinTheRun) {
  const ParseCase& param = GetParam();
  std::vector<char*> argv = {const_cast<char*>("zerin_demo")};
  for (const char* argument : param.arguments) argv.push_back(const_cast<char*>(argument));
  Options options;
  bool help = false;
  std::string error;
  ASSERT_EQ(parseOptions(static_cast<int>(argv.size()), argv.data(), options, help, error), param.accepted) << error;
  if (param.accepted) {
    EXPECT_EQ(options.chosenFrame(), param.chosenFrame);
  } else {
    EXPECT_NE(error.find(param.errorPart), std::string::npos) << error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DemoOptions,
    ::testing::Values(ParseCase{"MiddleOf270", {}, true, 135, ""},  // 3 s at 90 Hz
                      ParseCase{"MiddleOf3", {"--seconds", "1", "--fps", "3"}, true, 2, ""},
                      ParseCase{"First", {"--frame", "1"}, true, 1, ""},
                      ParseCase{"Last", {"--seconds", "1", "--frame", "90"}, true, 90, ""},
                      ParseCase{
                          "BeyondTheRun", {"--seconds", "1", "--frame", "91"}, false, 0, "beyond the run's 90 frames"},
                      ParseCase{"Zero", {"--frame", "0"}, false, 0, "--frame takes"},
                      ParseCase{"Fraction", {"--frame", "2.5"}, false, 0, "--frame takes"},
                      ParseCase{"NoValue", {"--frame"}, false, 0, "needs a value"},
                      ParseCase{"EmptyOutput", {"--output", ""}, false, 0, "--output needs"},
                      ParseCase{"LastOfTwo", {"--frame", "9", "--frame", "7"}, true, 7, ""},
                      ParseCase{"Layers5", {"--layers", "5"}, false, 0, "--layers takes 1, 2, 3 or 4"},
                      ParseCase{"FpsWord", {"--fps", "fast"}, false, 0, "--fps takes 1 to 1000"},
                      ParseCase{"Unknown", {"--bogus"}, false, 0, "unknown option --bogus"},
                      ParseCase{"StrayWord", {"3"}, false, 0, "unknown option 3"}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(DemoOptionsOutput, NamesTheDirectory) {
  char* argv[] = {const_cast<char*>("zerin_demo"), const_cast<char*>("--output"), const_cast<char*>("out/dir")};
  Options options;
  bool help = false;
  std::string error;
  ASSERT_TRUE(parseOptions(3, argv, options, help, error)) << error;
  EXPECT_EQ(options.outputDirectory, "out/dir");
  EXPECT_EQ(Options().outputDirectory, ".");
}

// The help lists every option with the kind of value it takes, and each is one the parser takes.
TEST(DemoOptionsHelp, ListsWhatTheParserTakes) {
  const std::string usage = usageText();
  const std::vector<std::vector<const char*>> listed = {{"--seconds", "N", "2"},  {"--fps", "N", "60"},
                                                        {"--layers", "N", "1"},   {"--frame", "N", "1"},
                                                        {"--output", "DIR", "x"}, {"--verbose"}};
  for (const auto& option : listed) {
    const std::string shown = option.size() > 1 ? std::string(option[0]) + " " + option[1] : option[0];
    EXPECT_NE(usage.find(shown), std::string::npos) << shown << " missing from:\n" << usage;
    std::vector<char*> argv = {const_cast<char*>("zerin_demo"), const_cast<char*>(option[0])};
    if (option.size() > 2) argv.push_back(const_cast<char*>(option[2]));
    Options options;
    bool help = true;
    std::string error;
    EXPECT_TRUE(parseOptions(static_cast<int>(argv.size()), argv.data(), options, help, error))
        << option[0] << ": " << error;
    EXPECT_FALSE(help);
  }
  char* argv[] = {const_cast<char*>("zerin_demo"), const_cast<char*>("--seconds"), const_cast<char*>("1"),
                  const_cast<char*>("-h")};
  Options options;
  bool help = false;
  std::string error;
  EXPECT_FALSE(parseOptions(4, argv, options, help, error));
  EXPECT_TRUE(help);
}

// The other programs: 0 after the help, 2 for a bad command line, and on otherwise.
TEST(ProgramCommandLine, ExitStatusOfHelpAndRefusal) {
  struct Case {
    std::vector<const char*> arguments;
    std::optional<int> status;
    uint32_t cycles;  // when it goes on
  };
  for (const Case& c : {Case{{"--cycles", "0x10"}, std::nullopt, 16}, Case{{"--help"}, 0, 0}, Case{{"--cycles"}, 2, 0},
                        Case{{"--cycles", "many"}, 2, 0}, Case{{"--cycle", "3"}, 2, 0}}) {
    uint32_t cycles = 30;
    ZerinCommandLine::App app("A soak.", "soak");
    app.add_option("--cycles", cycles, "how many");
    std::vector<char*> argv = {const_cast<char*>("soak")};
    for (const char* argument : c.arguments) argv.push_back(const_cast<char*>(argument));
    EXPECT_EQ(app.parseOrExit(static_cast<int>(argv.size()), argv.data()), c.status) << c.arguments[0];
    if (!c.status) EXPECT_EQ(cycles, c.cycles) << c.arguments[0];
  }
}

// ---- scene --------------------------------------------------------------------------------

TEST(DemoScene, FramesAndViewsDifferAndDepthIsExactInFloat) {
  const ViewImage image = renderView(7, 1, 64);
  ASSERT_EQ(image.colour.size(), 64u * 64u);
  ASSERT_EQ(image.depth.size(), 64u * 64u);
  EXPECT_EQ(renderView(7, 1, 64).colour, image.colour) << "the same frame draws the same";
  EXPECT_EQ(renderView(7 + kSceneFrames, 1, 64).depth, image.depth) << "the scene repeats";
  for (int64_t frame = 0; frame < kSceneFrames; ++frame)
    EXPECT_NE(renderView(frame + 1, 1, 64).depth, renderView(frame, 1, 64).depth) << "consecutive frames differ: " << frame;
  EXPECT_NE(renderView(8, 1, 64).colour, image.colour);
  EXPECT_NE(renderView(7, 2, 64).colour, image.colour) << "views differ";
  for (float depth : image.depth) {
    ASSERT_GE(depth, 0.0f);
    ASSERT_LE(depth, 1.0f);
    ASSERT_EQ(depth * 4096.0f, std::round(depth * 4096.0f)) << depth;
  }
  for (uint32_t pixel : image.colour) ASSERT_EQ(pixel >> 24, 0xFFu) << "opaque";
}

// ---- frame picture ------------------------------------------------------------------------

ReceivedView solidView(uint32_t size, uint32_t colour, float depth) {
  ReceivedView view;
  view.width = view.height = size;
  view.colour.assign(size_t(size) * size, colour);
  view.depth.assign(size_t(size) * size, depth);
  return view;
}

std::vector<uint8_t> pixelAt(const Picture& picture, uint32_t x, uint32_t y) {
  const uint8_t* p = &picture.rgb[(size_t(y) * picture.width + x) * 3];
  return {p[0], p[1], p[2]};
}

TEST(DemoPicture, DepthGreyRunsFromWhiteAtTheNearEndToBlackAtTheFar) {
  EXPECT_EQ(depthGrey(0.0f, 0, 1), 255);
  EXPECT_EQ(depthGrey(1.0f, 0, 1), 0);
  EXPECT_EQ(depthGrey(0.5f, 0, 1), 128);
  EXPECT_EQ(depthGrey(0.25f, 0.25, 0.75), 255) << "the submitted range, not 0 to 1";
  EXPECT_EQ(depthGrey(-3.0f, 0, 1), 255) << "clamped";
  EXPECT_EQ(depthGrey(7.0f, 0, 1), 0);
  EXPECT_EQ(depthGrey(NAN, 0, 1), 0);
  EXPECT_EQ(depthGrey(0.5f, 1, 1), 0) << "an empty range";
}

// Two layers of two 3x3 views: colour left, depth right, rows by layer, gaps between.
TEST(DemoPicture, LaysTheViewsOutByLayerWithColourLeftAndDepthRight) {
  const uint32_t size = 3;
  std::vector<ReceivedView> views = {solidView(size, 0xFF0000FF, 0.0f), solidView(size, 0xFF00FF00, 1.0f),
                                     solidView(size, 0xFFFF0000, 0.5f), solidView(size, 0xFF102030, 0.0f)};
  views[3].colour[size * size - 1] = 0xFF665544;  // the last view's bottom right pixel
  const Picture picture = composeFrame(views, 2, 2);
  const uint32_t half = 2 * (size + kGap);
  ASSERT_EQ(picture.width, kGap + half + kGap + half);
  ASSERT_EQ(picture.height, kGap + 2 * (size + kGap));
  ASSERT_EQ(picture.rgb.size(), size_t(picture.width) * picture.height * 3);

  const uint32_t row1 = kGap + size + kGap, column1 = kGap + size + kGap, depth0 = kGap + half + kGap;
  EXPECT_EQ(pixelAt(picture, kGap, kGap), (std::vector<uint8_t>{0xFF, 0, 0})) << "layer 0, view 0";
  EXPECT_EQ(pixelAt(picture, column1, kGap), (std::vector<uint8_t>{0, 0xFF, 0})) << "layer 0, view 1";
  EXPECT_EQ(pixelAt(picture, kGap, row1), (std::vector<uint8_t>{0, 0, 0xFF})) << "layer 1, view 0";
  EXPECT_EQ(pixelAt(picture, column1 + size - 1, row1 + size - 1), (std::vector<uint8_t>{0x44, 0x55, 0x66}));
  EXPECT_EQ(pixelAt(picture, column1, row1), (std::vector<uint8_t>{0x30, 0x20, 0x10}));
  EXPECT_EQ(pixelAt(picture, depth0, kGap), (std::vector<uint8_t>{255, 255, 255})) << "depth 0";
  EXPECT_EQ(pixelAt(picture, depth0 + size + kGap, kGap), (std::vector<uint8_t>{0, 0, 0})) << "depth 1";
  EXPECT_EQ(pixelAt(picture, depth0, row1), (std::vector<uint8_t>{128, 128, 128})) << "depth 0.5";
  const std::vector<uint8_t> gap = pixelAt(picture, 0, 0);
  EXPECT_EQ(pixelAt(picture, kGap + size, kGap), gap) << "between the colour tiles";
  EXPECT_EQ(pixelAt(picture, depth0 - 1, kGap), gap) << "between colour and depth";
  EXPECT_EQ(pixelAt(picture, kGap, kGap + size), gap) << "between the layers";
  EXPECT_EQ(pixelAt(picture, picture.width - 1, picture.height - 1), gap);

  EXPECT_EQ(composeFrame(views, 3, 2).width, 0u) << "views missing for the layout";
  EXPECT_EQ(composeFrame({}, 1, 1).width, 0u);
}

TEST(DemoPicture, PngDecodesToThePictureItWasMadeFrom) {
  std::vector<ReceivedView> views;
  for (int v = 0; v < 4; ++v) {
    const ViewImage image = renderView(3, v, 32);
    ReceivedView view;
    view.width = view.height = 32;
    view.colour = image.colour;
    view.depth = image.depth;
    views.push_back(view);
  }
  const Picture picture = composeFrame(views, 1, 4);
  const std::vector<uint8_t> png = encodePng(picture);
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));

  int width = 0, height = 0, channels = 0;
  stbi_uc* decoded = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 3);
  ASSERT_NE(decoded, nullptr) << stbi_failure_reason();
  EXPECT_EQ(width, static_cast<int>(picture.width));
  EXPECT_EQ(height, static_cast<int>(picture.height));
  EXPECT_EQ(channels, 3);
  EXPECT_EQ(std::vector<uint8_t>(decoded, decoded + picture.rgb.size()), picture.rgb);
  stbi_image_free(decoded);

  EXPECT_TRUE(encodePng(Picture{}).empty());
}

// ---- time plot ----------------------------------------------------------------------------

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The y of the first line of `cssClass`.
double lineY(const std::string& svg, const std::string& cssClass) {
  const size_t at = svg.find("class=\"" + cssClass + "\"/>");
  const size_t start = svg.rfind("<line", at);
  const size_t y = svg.find("y1=\"", start);
  return std::stod(svg.substr(y + 4));
}

TEST(DemoTimePlot, MarksTheMedianAndThe99thPercentileAtTheirHeights) {
  // 100 frames: 98 of 10 us, then 40 and 400 us. Median 10, 99th percentile 40; the scale
  // ends at 120 us (three times 40), so the frame of 400 us lies above it.
  std::vector<double> values(98, 10.0);
  values.push_back(40.0);
  values.push_back(400.0);
  const std::string svg = timePlotSvg("Title & <more>", {{"own code", values}});
  EXPECT_NE(svg.find("Title &amp; &lt;more&gt;"), std::string::npos);
  EXPECT_NE(svg.find("median 10 us"), std::string::npos);
  EXPECT_NE(svg.find("99th percentile 40 us"), std::string::npos);
  EXPECT_NE(svg.find("own code (1 frame above the scale, up to 400 us)"), std::string::npos);

  // The plot's top edge is 120 us and its bottom 0: the marks lie at 1/12 and 4/12 of it.
  const double bottom = 30 + 50 + 160, height = 160;  // first panel: top, title room, plot height
  EXPECT_NEAR(lineY(svg, "median"), bottom - height * 10 / 120, 0.1);
  EXPECT_NEAR(lineY(svg, "p99"), bottom - height * 40 / 120, 0.1);
  EXPECT_EQ(occurrences(svg, "<svg"), 1u);
  EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);
}

TEST(DemoTimePlot, UnmeasuredFramesBreakTheLineAndAnEmptyPanelSaysSo) {
  const std::string svg = timePlotSvg("t", {{"device", {5, 6, NAN, 7, 8}}, {"nothing", {NAN, NAN}}});
  const size_t path = svg.find("<path d=\"");
  ASSERT_NE(path, std::string::npos);
  const std::string d = svg.substr(path, svg.find('"', path + 9) - path);
  EXPECT_EQ(occurrences(d, "M"), 2u) << d;
  EXPECT_EQ(occurrences(d, "L"), 2u) << d;
  EXPECT_NE(svg.find("nothing (not measured)"), std::string::npos);
  EXPECT_EQ(occurrences(svg, "<path"), 1u) << "nothing drawn for the empty panel";
  EXPECT_EQ(occurrences(svg, "class=\"median\"/>"), 1u);
}

TEST(DemoTimePlot, LongRunsAreDrawnAsOneRangePerPixelColumn) {
  std::vector<double> values(100000);
  for (size_t i = 0; i < values.size(); ++i) values[i] = 10.0 + static_cast<double>(i % 7);
  const std::string svg = timePlotSvg("t", {{"long", values}});
  const size_t path = svg.find("<path d=\"");
  const std::string d = svg.substr(path, svg.find('"', path + 9) - path);
  EXPECT_EQ(occurrences(d, "L"), 0u);
  EXPECT_EQ(occurrences(d, "V"), occurrences(d, "M"));
  EXPECT_LE(occurrences(d, "V"), 700u) << "no more ranges than the plot is wide";
  EXPECT_LT(svg.size(), 100000u);
}

}  // namespace
