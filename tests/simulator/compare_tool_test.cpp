// zerin-simulator-compare as CI runs it: exit status, what it prints, the difference pictures.
#include <gtest/gtest.h>

#include <fstream>

#include "simulator_harness.h"

namespace {

using ZerinTest::Picture;

Picture picture(int width, int height, uint8_t value, int channels = 4) {
  return Picture{width, height, channels, std::vector<uint8_t>(size_t(width) * height * channels, value)};
}

struct CompareCase {
  const char* name;
  std::vector<std::pair<std::string, Picture>> golden, captured;  // by file name
  std::vector<std::string> extraArguments;
  int exitCode;
  const char* printed;                          // part of the standard output (refusals go to standard error)
  std::vector<std::string> differencePictures;  // written in --diff's folder
};

void PrintTo(const CompareCase& c, std::ostream* out) { *out << c.name; }

Picture withPixel(Picture p, size_t at, uint8_t value) {
  p.pixels[at] = value;
  return p;
}

class CompareTool : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareTool, ExitsAndPrintsByTheLargestDifference) {
  const CompareCase& c = GetParam();
  const std::string root = ZerinTest::freshFolder(std::string("compare-") + c.name);
  const std::string golden = ZerinTest::joinPath(root, "golden"), captured = ZerinTest::joinPath(root, "captured");
  const std::string diff = ZerinTest::joinPath(root, "diff");
  ZerinTest::freshFolder(std::string("compare-") + c.name + "/golden");
  ZerinTest::freshFolder(std::string("compare-") + c.name + "/captured");
  for (const auto& [file, p] : c.golden) ASSERT_TRUE(ZerinTest::writePicture(ZerinTest::joinPath(golden, file), p));
  for (const auto& [file, p] : c.captured) ASSERT_TRUE(ZerinTest::writePicture(ZerinTest::joinPath(captured, file), p));
  std::vector<std::string> arguments = {golden, captured, "--diff", diff};
  arguments.insert(arguments.end(), c.extraArguments.begin(), c.extraArguments.end());
  const auto result = ZerinTest::runProgram(ZerinTest::builtProgram("zerin-simulator-compare"), arguments);
  EXPECT_EQ(result.exitCode, c.exitCode) << result.text();
  EXPECT_NE(result.text().find(c.printed), std::string::npos) << result.text();
  EXPECT_EQ(ZerinTest::filesIn(diff), c.differencePictures);
}

const Picture kGrey = picture(3, 2, 100);
const Picture kGreyA = picture(3, 2, 100, 1);

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareTool,
    ::testing::Values(
        CompareCase{"Identical",
                    {{"a.png", kGrey}, {"b.png", kGreyA}},
                    {{"a.png", kGrey}, {"b.png", kGreyA}},
                    {},
                    0,
                    "2 of 2 pictures within tolerance 0",
                    {}},
        CompareCase{"WithinTolerance",
                    {{"a.png", kGrey}},
                    {{"a.png", withPixel(kGrey, 5, 103)}},
                    {"--tolerance", "3"},
                    0,
                    "a.png: ok, largest difference 3, mean 0.1250",
                    {}},
        CompareCase{"Beyond",
                    {{"a.png", kGrey}},
                    {{"a.png", withPixel(kGrey, 5, 104)}},
                    {"--tolerance", "3"},
                    1,
                    "a.png: MISMATCH, largest difference 4",
                    {"a-difference.png"}},
        CompareCase{"GreyBeyond",
                    {{"d.png", kGreyA}},
                    {{"d.png", withPixel(kGreyA, 0, 90)}},
                    {},
                    1,
                    "d.png: MISMATCH, largest difference 10",
                    {"d-difference.png"}},
        CompareCase{"SizeMismatch",
                    {{"a.png", kGrey}},
                    {{"a.png", picture(2, 3, 100)}},
                    {},
                    1,
                    "sizes differ: 3x2 golden, 2x3 captured",
                    {}},
        CompareCase{"MissingCapture",
                    {{"a.png", kGrey}, {"b.png", kGrey}},
                    {{"a.png", kGrey}},
                    {},
                    1,
                    "b.png: MISMATCH, missing from captured",
                    {}},
        CompareCase{"ExtraCapture",
                    {{"a.png", kGrey}},
                    {{"a.png", kGrey}, {"c.png", kGrey}},
                    {},
                    1,
                    "c.png: MISMATCH, missing from golden",
                    {}},
        CompareCase{"NothingToCompare", {}, {}, {}, 2, "", {}},
        CompareCase{"ToleranceOutOfRange", {{"a.png", kGrey}}, {{"a.png", kGrey}}, {"--tolerance", "256"}, 2, "", {}}),
    [](const ::testing::TestParamInfo<CompareCase>& info) { return std::string(info.param.name); });

TEST(CompareTool, NamesAFileItCannotRead) {
  const std::string root = ZerinTest::freshFolder("compare-unreadable");
  const std::string golden = ZerinTest::joinPath(root, "golden.png"),
                    captured = ZerinTest::joinPath(root, "captured.png");
  ASSERT_TRUE(ZerinTest::writePicture(golden, kGrey));
  { std::ofstream(captured) << "not a picture"; }
  const auto result = ZerinTest::runProgram(ZerinTest::builtProgram("zerin-simulator-compare"), {golden, captured});
  EXPECT_EQ(result.exitCode, 1) << result.text();
  EXPECT_NE(result.text().find("cannot read " + captured), std::string::npos) << result.text();
}

}  // namespace
