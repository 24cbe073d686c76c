#include "headless/bench_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

// Parses a command line given without the program name.
bool Parse(std::initializer_list<const char*> arguments, BenchOptions* options, std::string* error) {
  std::vector<const char*> argv = {"quorvane-bench"};
  argv.insert(argv.end(), arguments);
  return ParseBenchOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

BenchMethod Cabtt(int level, bool adaptive) { return {BenchMethod::Kind::kCabtt, level, adaptive}; }

TEST(BenchOptions, EveryOptionInBothSpellingsReachesItsField) {
  BenchOptions options;
  std::string error;
  ASSERT_TRUE(Parse({"--terrain", "t.png", "--texture=tex.png", "--scale", "0.25", "--width=320", "--height", "200",
                     "--flight", "orbit", "--frames", "12", "--methods", "brute,cabtt:2:uniform", "--quality-every",
                     "0", "--threshold=20", "--no-raster", "--csv", "a.csv", "--svg", "b.svg", "--write-flight",
                     "f.csv"},
                    &options, &error))
      << error;
  EXPECT_EQ(options.terrain, "t.png");
  EXPECT_EQ(options.texture, "tex.png");
  EXPECT_FLOAT_EQ(options.verticalScale, 0.25f);
  EXPECT_EQ(options.width, 320);
  EXPECT_EQ(options.height, 200);
  EXPECT_EQ(options.flight, "orbit");
  EXPECT_EQ(options.frames, 12);
  const std::vector<BenchMethod> methods = {{BenchMethod::Kind::kBruteForce, 0, true}, Cabtt(2, false)};
  EXPECT_EQ(options.methods, methods);
  EXPECT_EQ(options.qualityEvery, 0);
  EXPECT_EQ(options.threshold, 20);
  EXPECT_TRUE(options.rasterizerDiscard);
  EXPECT_EQ(options.csvPath, "a.csv");
  EXPECT_EQ(options.svgPath, "b.svg");
  EXPECT_EQ(options.writeFlightPath, "f.csv");
  EXPECT_FALSE(options.help);
}

TEST(BenchOptions, NoArgumentsGiveTheDefaultComparison) {
  BenchOptions options;
  std::string error;
  ASSERT_TRUE(Parse({}, &options, &error));
  EXPECT_EQ(options.terrain, "def_hf.png");
  EXPECT_EQ(options.width, 640);
  EXPECT_EQ(options.height, 480);
  EXPECT_EQ(options.threshold, 8);
  EXPECT_FALSE(options.rasterizerDiscard);
  const std::vector<BenchMethod> methods = {{BenchMethod::Kind::kRoam, 0, true},
                                            Cabtt(3, true), Cabtt(3, false), Cabtt(4, true), Cabtt(4, false),
                                            Cabtt(5, true), Cabtt(5, false), {BenchMethod::Kind::kBruteForce, 0, true}};
  EXPECT_EQ(options.methods, methods);
}

TEST(BenchOptions, BadCommandLinesNameTheirFault) {
  const struct {
    std::vector<const char*> arguments;
    const char* expected;
  } cases[] = {
      {{"--foo"}, "unknown option --foo (see --help)"},
      {{"stray"}, "unexpected argument 'stray'"},
      {{"--frames"}, "option --frames needs a value"},
      {{"--frames", "0"}, "bad value '0' for --frames"},
      {{"--frames", "12x"}, "bad value '12x' for --frames"},
      {{"--frames", "99999999999999"}, "bad value"},
      {{"--width", "-5"}, "bad value '-5' for --width"},
      {{"--scale", "0"}, "bad value '0' for --scale"},
      {{"--scale", "nan"}, "bad value 'nan' for --scale"},
      {{"--threshold", "256"}, "bad value '256' for --threshold"},
      {{"--quality-every", "-1"}, "bad value '-1' for --quality-every"},
      {{"--no-raster=yes"}, "option --no-raster takes no value"},
      {{"--csv="}, "bad value '' for --csv"},
      {{"--methods", "roam,,brute"}, "unknown method ''"},
      {{"--methods", ""}, "empty method list"},
      {{"--methods", "roam,ROAM"}, "unknown method 'ROAM'"},
      {{"--methods", "cabtt:15"}, "bad CABTT level '15'"},
      {{"--methods", "cabtt:x"}, "bad CABTT level 'x'"},
      {{"--methods", "cabtt:3:fast"}, "bad CABTT builder 'fast'"},
      {{"--methods", "cabtt:3:uniform:1"}, "too many fields"},
      {{"--methods", "cabtt,cabtt:4:adaptive"}, "listed twice"},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv = {"quorvane-bench"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    BenchOptions options;
    std::string error;
    EXPECT_FALSE(ParseBenchOptions(static_cast<int>(argv.size()), argv.data(), &options, &error)) << c.expected;
    EXPECT_NE(error.find(c.expected), std::string::npos) << "got: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST(BenchMethodList, CabttFieldsDefaultAndNamesAreDistinct) {
  std::vector<BenchMethod> methods;
  std::string error;
  ASSERT_TRUE(ParseBenchMethodList("cabtt,cabtt:0,cabtt:7:uniform,roam", &methods, &error)) << error;
  ASSERT_EQ(methods.size(), 4u);
  EXPECT_EQ(methods[0], Cabtt(kDefaultBenchCabttLevel, true));
  EXPECT_EQ(methods[1], Cabtt(0, true));
  EXPECT_EQ(methods[2], Cabtt(7, false));
  EXPECT_EQ(BenchMethodName(methods[2]), "CABTT L7 uniform");
  EXPECT_EQ(BenchMethodName(methods[3]), "ROAM");
  // The table and CSV tell methods apart by name.
  std::vector<std::string> names;
  for (const BenchMethod& m : DefaultBenchMethods()) names.push_back(BenchMethodName(m));
  for (size_t i = 0; i < names.size(); ++i)
    for (size_t j = i + 1; j < names.size(); ++j) EXPECT_NE(names[i], names[j]);
}

}  // namespace
