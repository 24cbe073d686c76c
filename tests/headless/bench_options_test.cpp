// The command line: every option reaches its field in both spellings, and every bad command line
// is refused with a one-line reason and the usage status.
#include "headless/bench_options.h"

#include "headless/detail_settings.h"
#include "terrain/terrain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses a command line given without the program name.
Result<BenchOptions> Parse(const std::vector<const char*>& arguments) {
  std::vector<const char*> argv = {"quorvane-bench"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return ParseBenchOptions(static_cast<int>(argv.size()), argv.data());
}

BenchMethod Cabtt(int level, bool adaptive) { return {BenchMethod::Kind::kCabtt, level, adaptive}; }

TEST(BenchOptions, EveryOptionInBothSpellingsReachesItsField) {
  const Result<BenchOptions> parsed =
      Parse({"--terrain", "t.png", "--texture=tex.png", "--scale", "0.25", "--width=320", "--height", "200",
             "--flight", "orbit", "--frames", "12", "--methods", "brute,cabtt:2:uniform", "--quality-every", "0",
             "--threshold=20", "--no-raster", "--csv", "a.csv", "--svg=b.svg", "--write-flight", "f.csv",
             "--width", "321"});
  ASSERT_TRUE(parsed.ok()) << parsed.failure().message;
  const BenchOptions& options = parsed.value();
  EXPECT_EQ(options.terrain, "t.png");
  EXPECT_EQ(options.texture, "tex.png");
  EXPECT_FLOAT_EQ(options.verticalScale, 0.25f);
  EXPECT_EQ(options.width, 321);  // the last one given
  EXPECT_EQ(options.height, 200);
  EXPECT_EQ(options.flight, "orbit");
  EXPECT_EQ(options.frames, 12);
  EXPECT_EQ(options.methods, (std::vector<BenchMethod>{{BenchMethod::Kind::kBruteForce, 0, true}, Cabtt(2, false)}));
  EXPECT_EQ(options.qualityEvery, 0);
  EXPECT_EQ(options.threshold, 20);
  EXPECT_TRUE(options.rasterizerDiscard);
  EXPECT_EQ(options.csvPath, "a.csv");
  EXPECT_EQ(options.svgPath, "b.svg");
  EXPECT_EQ(options.writeFlightPath, "f.csv");
  EXPECT_FALSE(options.help);

  // A value may look like an option: it is taken as the value.
  const Result<BenchOptions> dashed = Parse({"--terrain", "--width", "-h"});
  ASSERT_TRUE(dashed.ok()) << dashed.failure().message;
  EXPECT_EQ(dashed.value().terrain, "--width");
  EXPECT_TRUE(dashed.value().help);
}

TEST(BenchOptions, NoArgumentsGiveTheDefaultComparison) {
  const Result<BenchOptions> parsed = Parse({});
  ASSERT_TRUE(parsed.ok());
  const BenchOptions& options = parsed.value();
  EXPECT_EQ(options.terrain, "def_hf.png");
  EXPECT_EQ(options.flight, "pass");
  EXPECT_EQ(options.frames, 0);
  EXPECT_EQ(options.width, 640);
  EXPECT_EQ(options.height, 480);
  EXPECT_EQ(options.qualityEvery, 30);
  EXPECT_EQ(options.threshold, 8);
  EXPECT_FALSE(options.rasterizerDiscard);
  EXPECT_FALSE(options.help);
  // Both drawing methods on the system-memory and the buffer-storage cache, then the reference.
  std::vector<BenchMethod> methods;
  for (const CacheKind cache : {CacheKind::kSystemMemory, CacheKind::kBufferStorage})
    methods.push_back({BenchMethod::Kind::kRoam, 0, true, cache});
  for (const int level : {3, 4, 5})
    for (const bool adaptive : {true, false})
      for (const CacheKind cache : {CacheKind::kSystemMemory, CacheKind::kBufferStorage})
        methods.push_back({BenchMethod::Kind::kCabtt, level, adaptive, cache});
  methods.push_back({BenchMethod::Kind::kBruteForce, 0, true});
  EXPECT_EQ(options.methods, methods);
  // The table and the CSV tell methods apart by name.
  for (size_t i = 0; i < methods.size(); ++i)
    for (size_t j = i + 1; j < methods.size(); ++j) EXPECT_NE(BenchMethodName(methods[i]), BenchMethodName(methods[j]));
}

TEST(BenchOptions, BadCommandLinesNameTheirFaultInOneLine) {
  const struct {
    std::vector<const char*> arguments;
    const char* expected;
  } cases[] = {
      {{"--foo"}, "unknown option --foo (see --help)"},
      {{"--foo=1"}, "unknown option --foo (see --help)"},
      {{"-x"}, "unknown option -x"},
      {{"--width", "5", "stray"}, "unexpected argument 'stray' (see --help)"},
      {{"--frames"}, "option --frames needs a value (see --help)"},
      {{"--frames", "0"}, "bad value '0' for --frames (1..1000000)"},
      {{"--frames", "1000001"}, "bad value '1000001' for --frames"},
      {{"--frames", "12x"}, "bad value '12x' for --frames"},
      {{"--frames", "99999999999999"}, "bad value '99999999999999' for --frames"},
      {{"--width", "-5"}, "bad value '-5' for --width (1..16384 pixels)"},
      {{"--height", "16385"}, "bad value '16385' for --height"},
      {{"--scale", "0"}, "bad value '0' for --scale (a positive number)"},
      {{"--scale", "nan"}, "bad value 'nan' for --scale"},
      {{"--scale", "1e7"}, "bad value '1e7' for --scale"},
      {{"--threshold", "256"}, "bad value '256' for --threshold (0..255)"},
      {{"--quality-every", "-1"}, "bad value '-1' for --quality-every"},
      {{"--no-raster=yes"}, "option --no-raster takes no value (see --help)"},
      {{"--no-raster=true"}, "option --no-raster takes no value"},
      {{"--no-raster="}, "option --no-raster takes no value"},
      {{"--help=please"}, "option --help takes no value"},
      {{"--csv="}, "bad value '' for --csv (a file name)"},
      {{"--terrain", ""}, "bad value '' for --terrain (a file name)"},
      {{"--flight="}, "bad value '' for --flight (a flight name or a CSV file)"},
      {{"--methods="}, "bad --methods: empty method list"},
      {{"--methods", "roam,,brute"}, "bad --methods: unknown method ''"},
      {{"--methods", "roam,ROAM"}, "unknown method 'ROAM'"},
      {{"--methods", "cabtt:15"}, "bad CABTT level '15' (0..14)"},
      {{"--methods", "cabtt:x"}, "bad CABTT level 'x'"},
      {{"--methods", "cabtt:3:fast"}, "bad CABTT builder 'fast' (adaptive or uniform)"},
      {{"--methods", "cabtt:3:uniform:1"}, "too many fields in a CABTT method"},
      {{"--methods", "cabtt,cabtt:4:adaptive"}, "method 'CABTT L4 adaptive' listed twice"},
      {{"--methods", "brute,roam,brute"}, "method 'Brute force' listed twice"},
      {{"--pixel-error="}, "bad --pixel-error: empty list"},
      {{"--pixel-error", "1,,2"}, "bad --pixel-error: empty value"},
      {{"--pixel-error", "2,-1"}, "'-1' is not a positive finite number"},
      {{"--weights", "0"}, "bad --weights: '0' is not a positive finite number"},
      {{"--weights", "nan"}, "'nan' is not a positive finite number"},
      {{"--weights", "1e999"}, "'1e999' is not a positive finite number"},
      {{"--weights", "600px"}, "'600px' is not a positive finite number"},
      {{"--weights", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17"}, "bad --weights: more than 16 values"},
      {{"--weights", "1e39"}, "bad --weights: weight 1e+39 gives a weight beyond a float's range"},
      {{"--pixel-error", "1e-40"}, "bad --pixel-error: pixel error 1e-40 gives a weight beyond"},
      {{"--pixel-error", "1", "--weights", "600"}, "--pixel-error and --weights cannot both be given"},
      {{"--methods", "roam@buffer,roam@buffer"}, "method 'ROAM @buffer' listed twice"},
      {{"--methods", "roam@"}, "unknown cache '' (system, video or buffer)"},
      {{"--methods", "cabtt:3@buffer@video"}, "unknown cache 'buffer@video'"},
      {{"--methods", "cabtt@3"}, "unknown cache '3'"},
      {{"--methods", "brute@system"}, "the brute force draws without a cache: 'brute@system'"},
  };
  for (const auto& c : cases) {
    const Result<BenchOptions> parsed = Parse(c.arguments);
    ASSERT_FALSE(parsed.ok()) << c.expected;
    EXPECT_NE(parsed.failure().message.find(c.expected), std::string::npos) << "got: " << parsed.failure().message;
    EXPECT_EQ(parsed.failure().message.find('\n'), std::string::npos) << parsed.failure().message;
    EXPECT_EQ(parsed.failure().exitStatus, 2) << c.expected;
  }
}

TEST(BenchOptions, MethodListDefaultsAndTerrainFit) {
  const Result<std::vector<BenchMethod>> methods =
      ParseBenchMethodList("cabtt,cabtt:0,cabtt:14:uniform,roam,roam@system,cabtt@video,cabtt:4:uniform@buffer");
  ASSERT_TRUE(methods.ok()) << methods.failure().message;
  const BenchMethod roam{BenchMethod::Kind::kRoam, 0, true};
  BenchMethod roamSystem = roam, cabttVideo = Cabtt(kDefaultBenchCabttLevel, true), uniformBuffer = Cabtt(4, false);
  roamSystem.cache = CacheKind::kSystemMemory;
  cabttVideo.cache = CacheKind::kVideoMemory;
  uniformBuffer.cache = CacheKind::kBufferStorage;
  EXPECT_EQ(methods.value(), (std::vector<BenchMethod>{Cabtt(kDefaultBenchCabttLevel, true), Cabtt(0, true),
                                                       Cabtt(14, false), roam, roamSystem, cabttVideo, uniformBuffer}));
  EXPECT_EQ(BenchMethodName(Cabtt(14, false)), "CABTT L14 uniform");
  EXPECT_EQ(BenchMethodName(uniformBuffer), "CABTT L4 uniform @buffer");

  // A level must fit the terrain's grid and keep its blocks within 16-bit indices.
  EXPECT_EQ(CheckMethodsFitTerrain({Cabtt(8, true), Cabtt(0, false), {}}, 8), "");
  EXPECT_EQ(CheckMethodsFitTerrain({Cabtt(3, true), Cabtt(7, false)}, 6),
            "CABTT level 7 is above the terrain's grid exponent 6");
  EXPECT_NE(CheckMethodsFitTerrain({Cabtt(9, true)}, 10).find("beyond 16-bit indices"), std::string::npos);
}

// The screen-space error of a weight: tau = (H / (2 tan 22.5 deg)) / w for the flown camera.
TEST(DetailSettings, PixelErrorAndWeightConvertBothWaysForThePictureHeight) {
  EXPECT_EQ(FlownFieldOfView(), 45.0);
  EXPECT_NEAR(PixelErrorForWeight(600, 480, 45.0), 0.9657, 1e-4);  // start-up: about a pixel
  EXPECT_EQ(StartupDetail(480).weight, kTerrainErrorWeight);
  EXPECT_EQ(StartupDetail(480).pixelError, PixelErrorForWeight(kTerrainErrorWeight, 480, 45.0));
  EXPECT_NEAR(PixelErrorForWeight(100, 200, 90.0), 1.0, 1e-12);  // a 90-degree view: (H / 2) / w
  for (const double weight : {1e-3, 600.0, 1e7}) {
    const double tau = PixelErrorForWeight(weight, 240, 45.0);
    EXPECT_NEAR(WeightForPixelError(tau, 240, 45.0), weight, weight * 1e-12);
    EXPECT_NEAR(PixelErrorForWeight(weight, 480, 45.0), 2 * tau, tau * 1e-12);  // twice the lines
  }

  // --pixel-error keeps its values in order, with the weight for --height wherever it stands.
  const std::vector<DetailSetting> pixels = Parse({"--pixel-error", "4,0.5", "--height", "240"}).value().details;
  ASSERT_EQ(pixels.size(), 2u);
  EXPECT_EQ(pixels[1].pixelError, 0.5);
  EXPECT_EQ(pixels[1].weight, static_cast<float>(WeightForPixelError(0.5, 240, 45.0)));
  EXPECT_EQ(Parse({"--weights=600"}).value().details, std::vector<DetailSetting>{StartupDetail(480)});
  EXPECT_EQ(Parse({"--weights", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16"}).value().details.size(), 16u);
}

}  // namespace
