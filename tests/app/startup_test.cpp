// The window program's start-up arguments, its assertion prompt and its way out.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell_doubles.h"

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

TEST(ParseArgumentsTest, PositionalArgumentsAreTerrainTextureAndScale) {
  Shell shell;
  Arguments none({"quorvane"});
  EXPECT_EQ(ParseArguments(shell, none.argc, none.argv.data()), 0);
  EXPECT_EQ(shell.heightFieldPath, "def_hf.png");
  EXPECT_EQ(shell.texturePath, nullptr);
  EXPECT_EQ(shell.verticalScale, 0.1f);
  EXPECT_EQ(none.argc, 1);

  Arguments one({"quorvane", "hills.png"});
  EXPECT_EQ(ParseArguments(shell, one.argc, one.argv.data()), 1);
  EXPECT_EQ(shell.heightFieldPath, "hills.png");
  EXPECT_EQ(shell.texturePath, nullptr);
  EXPECT_EQ(one.argc, 1);

  Arguments all({"quorvane", "hills.png", "rock.png", "0.5"});
  EXPECT_EQ(ParseArguments(shell, all.argc, all.argv.data()), 3);
  EXPECT_STREQ(shell.texturePath, "rock.png");
  EXPECT_EQ(shell.verticalScale, 0.5f);
  EXPECT_EQ(all.argc, 1);
  // The clearance follows the scale.
  EXPECT_FLOAT_EQ(StartViewState(shell.verticalScale).flight.clearance, 0.1f);

  // A second parse starts from the defaults again.
  EXPECT_EQ(ParseArguments(shell, one.argc, one.argv.data()), 0);
  EXPECT_EQ(shell.texturePath, nullptr);
  EXPECT_EQ(shell.verticalScale, 0.1f);
}

TEST(ParseArgumentsTest, ScaleThatIsNotAPositiveFloatIsLeftForGlut) {
  for (const char* scale : {"0", "-2", "steep", "inf", "nan", "1e40", "1e-50"}) {
    Shell shell;
    Arguments args({"quorvane", "hills.png", "rock.png", scale, "-geometry"});
    const int cursor = ParseArguments(shell, args.argc, args.argv.data());
    EXPECT_STREQ(shell.texturePath, "rock.png");
    EXPECT_EQ(shell.verticalScale, 0.1f) << scale;
    // GLUT gets the texture path as its program name, then the unconsumed words.
    EXPECT_EQ(cursor, 2);
    EXPECT_EQ(args.argc, 3);
    EXPECT_STREQ(args.argv[cursor + 1], scale);
  }
}

// The prompt for one failed assertion answered with the given input; the prompt's text in *shown.
AssertionAnswer Answer(const std::string& input, std::string* shown) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* prompt = open_memstream(&text, &size);
  std::FILE* answers = std::tmpfile();
  std::fputs(input.c_str(), answers);
  std::rewind(answers);
  const AssertionAnswer answer = AskAssertion(answers, prompt, "grid.cpp", 12, "n >= 0");
  std::fclose(answers);
  std::fclose(prompt);
  *shown = std::string(text, size);
  std::free(text);
  return answer;
}

TEST(AssertionPromptTest, AnswersAndTheirPrompt) {
  std::string shown;
  EXPECT_EQ(Answer("s\n", &shown), AssertionAnswer::kSkip);
  EXPECT_EQ(shown,
            "Assertion failed: file: grid.cpp line: 12\nexpression: n >= 0\nB>reak, S>kip, A>lways skip, or Q>uit? ");
  EXPECT_EQ(Answer("  A\n", &shown), AssertionAnswer::kAlwaysSkip);
  EXPECT_EQ(Answer("b\n", &shown), AssertionAnswer::kBreak);
  EXPECT_EQ(Answer("x\n", &shown), AssertionAnswer::kBreak);
  EXPECT_EQ(Answer("q\n", &shown), AssertionAnswer::kQuit);
  EXPECT_EQ(Answer("Q", &shown), AssertionAnswer::kQuit);
  // No answer at all quits rather than act on an unread one.
  EXPECT_EQ(Answer("", &shown), AssertionAnswer::kQuit);
  EXPECT_EQ(Answer(" \n\n", &shown), AssertionAnswer::kQuit);
  // The hook's return values are the answers'.
  EXPECT_EQ(static_cast<int>(AssertionAnswer::kSkip), 1);
  EXPECT_EQ(static_cast<int>(AssertionAnswer::kAlwaysSkip), 2);
}

// The one way out of the program: the failure's line, then the current method deactivated when the
// failure asks for the orderly way out (the quit keys, an internal inconsistency), then its status.
TEST(EndProgramDeathTest, OrderlyFailuresDeactivateTheCurrentMethodFirst) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TestShell test;
  StubMethod& method = test.AddMethod("A");
  method.announceDeactivation = true;
  ASSERT_TRUE(SetDrawMethod(test.shell, 0).ok());
  EXPECT_EXIT(EndProgram(test.shell, {"tree broken\n", Channel::kErrorAndLog, 3, true}),
              ::testing::ExitedWithCode(3), "^tree broken\n-A$");
  EXPECT_EXIT(EndProgram(test.shell, {"cache full\n", Channel::kErrorAndLog, 1, false}),
              ::testing::ExitedWithCode(1), "^cache full\n$");
  EXPECT_EXIT(EndProgram(test.shell, QuitRequest()), ::testing::ExitedWithCode(0), "^-A$");
}

}  // namespace
