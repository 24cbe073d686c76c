#include "app/startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "app/camera.h"

namespace {

// argv as main receives it.
struct Arguments {
  explicit Arguments(std::vector<const char*> words) : text(std::move(words)) {
    for (const char* word : text) argv.push_back(const_cast<char*>(word));
    argv.push_back(nullptr);
    argc = static_cast<int>(text.size());
  }
  std::vector<const char*> text;
  std::vector<char*> argv;
  int argc;
};

TEST(ParseArgumentsTest, NoArgumentsGiveTheDefaultTerrainScaleAndClearance) {
  Arguments args({"quorvane"});
  const int cursor = ParseArguments(args.argc, args.argv.data());
  EXPECT_EQ(HeightFieldPath, "def_hf.png");
  EXPECT_EQ(TexturePath, nullptr);
  EXPECT_EQ(VerticalScale, 0.1f);
  EXPECT_EQ(cursor, 0);
  EXPECT_EQ(args.argc, 1);
  ResetViewState();
  EXPECT_FLOAT_EQ(Flight.clearance, 0.02f);
}

TEST(ParseArgumentsTest, OneArgumentIsTheHeightField) {
  Arguments args({"quorvane", "hills.png"});
  const int cursor = ParseArguments(args.argc, args.argv.data());
  EXPECT_EQ(HeightFieldPath, "hills.png");
  EXPECT_EQ(TexturePath, nullptr);
  EXPECT_EQ(cursor, 1);
  EXPECT_EQ(args.argc, 1);
}

TEST(ParseArgumentsTest, ScaleThatIsNotAPositiveFloatIsLeftForGlut) {
  for (const char* scale : {"0", "-2", "steep", "inf", "nan", "1e40", "1e-50"}) {
    Arguments args({"quorvane", "hills.png", "rock.png", scale, "-geometry"});
    const int cursor = ParseArguments(args.argc, args.argv.data());
    EXPECT_STREQ(TexturePath, "rock.png");
    EXPECT_EQ(VerticalScale, 0.1f) << scale;
    // GLUT gets the texture path as its program name, then the unconsumed words.
    EXPECT_EQ(cursor, 2);
    EXPECT_EQ(args.argc, 3);
    EXPECT_STREQ(args.argv[cursor + 1], scale);
  }
}

TEST(ParseArgumentsTest, PositiveScaleIsTakenAndSetsTheClearance) {
  Arguments args({"quorvane", "hills.png", "rock.png", "0.5"});
  const int cursor = ParseArguments(args.argc, args.argv.data());
  EXPECT_EQ(VerticalScale, 0.5f);
  EXPECT_EQ(cursor, 3);
  EXPECT_EQ(args.argc, 1);
  ResetViewState();
  EXPECT_FLOAT_EQ(Flight.clearance, 0.1f);
  VerticalScale = 0.1f;
  ResetViewState();
}

// Answers the prompt with the given standard input.
int Answer(const char* input) {
  FILE* answers = std::tmpfile();
  std::fputs(input, answers);
  std::rewind(answers);
  const int savedStdin = dup(0);
  dup2(fileno(answers), 0);
  std::clearerr(stdin);
  const int result = AssertionPrompt("grid.cpp", 12, "n >= 0");
  dup2(savedStdin, 0);
  close(savedStdin);
  std::clearerr(stdin);
  std::fclose(answers);
  return result;
}

TEST(AssertionPromptTest, AnswersSkipAlwaysSkipAndBreak) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(Answer("s\n"), 1);
  EXPECT_EQ(Answer("  A\n"), 2);
  EXPECT_EQ(Answer("b\n"), 0);
  EXPECT_EQ(Answer("x\n"), 0);
  const std::string prompt = testing::internal::GetCapturedStderr();
  const std::string once =
      "Assertion failed: file: grid.cpp line: 12\nexpression: n >= 0\nB>reak, S>kip, A>lways skip, or Q>uit? ";
  EXPECT_EQ(prompt, once + once + once + once);
}

TEST(AssertionPromptDeathTest, QuitAndEndOfInputExitWithStatusTwo) {
  EXPECT_EXIT(Answer("q\n"), testing::ExitedWithCode(2), "Q>uit");
  EXPECT_EXIT(Answer(""), testing::ExitedWithCode(2), "Q>uit");
}

}  // namespace
