// The progress bar on a clock the test moves by hand: silent for short runs, then one line
// redrawn in place at most ten times a second, blanked again at the end.
#include "app/platform/progress_bar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

class ProgressBarTest : public ::testing::Test {
 protected:
  ProgressBarTest() : out_(std::tmpfile()), bar_(out_, 1.0, [this] { return now_; }) {}
  ~ProgressBarTest() override { std::fclose(out_); }

  std::string Output() {
    std::fflush(out_);
    std::rewind(out_);
    std::string text;
    for (int c; (c = std::fgetc(out_)) != EOF;) text += static_cast<char>(c);
    return text;
  }
  // The lines drawn so far, one per '\r'.
  std::vector<std::string> Draws() {
    const std::string text = Output();
    std::vector<std::string> draws;
    for (size_t at = text.find('\r'); at != std::string::npos;) {
      const size_t next = text.find('\r', at + 1);
      draws.push_back(text.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1));
      at = next;
    }
    return draws;
  }

  double now_ = 100.0;
  std::FILE* out_;
  ProgressBar bar_;
};

TEST_F(ProgressBarTest, ShortRunsPrintNothing) {
  for (int done = 0; done <= 50; ++done) {
    now_ = 100.0 + done * 0.019;
    bar_.Update("ROAM", done, 50);
  }
  bar_.Finish();
  EXPECT_EQ(Output(), "");
  EXPECT_FALSE(bar_.drawn());
}

TEST_F(ProgressBarTest, DrawsLabelBarPercentCountAndTimeLeftAtMostTenTimesASecond) {
  now_ = 110.0;  // ten seconds for the first half
  bar_.Update("CABTT L4 adaptive", 500, 1000);
  std::vector<std::string> draws = Draws();
  ASSERT_EQ(draws.size(), 1u);
  const std::string line = draws[0];
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(line.rfind("CABTT L4 adaptive", 0), 0u) << line;
  EXPECT_NE(line.find(" 50% 500/1000 0:10 left"), std::string::npos) << line;
  const size_t open = line.find('['), close = line.find(']');
  ASSERT_TRUE(open != std::string::npos && close != std::string::npos);
  const std::string bar = line.substr(open + 1, close - open - 1);
  EXPECT_EQ(std::count(bar.begin(), bar.end(), '#') * 2, static_cast<long>(bar.size())) << bar;
  EXPECT_TRUE(bar_.drawn());

  // One more second of updates every millisecond: one draw per tenth of a second.
  for (int done = 501; done < 1501; ++done) {
    now_ += 0.001;
    bar_.Update("CABTT L4 adaptive", std::min(done, 1000), 1000);
  }
  draws = Draws();
  EXPECT_GE(draws.size(), 10u);
  EXPECT_LE(draws.size(), 12u);
  EXPECT_NE(draws.back().find(" 100% 1000/1000 0:00 left"), std::string::npos) << draws.back();
}

TEST_F(ProgressBarTest, ShorterLinesBlankTheRestAndFinishClearsTheLine) {
  now_ = 102.0;
  bar_.Update("a long method name that is cut \xc3\xa9\xc3\xa9\xc3\xa9", 1, 3);
  now_ = 103.0;
  bar_.Update("x", 2, 3);
  const std::vector<std::string> draws = Draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_NE(draws[0].find("..."), std::string::npos) << draws[0];
  EXPECT_GE(draws[1].size(), draws[0].size());

  bar_.Finish();
  const std::string text = Output();
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.back(), '\r');
  std::string blank = text.substr(0, text.size() - 1);
  blank = blank.substr(blank.rfind('\r') + 1);
  EXPECT_GE(blank.size(), draws[1].find_last_not_of(' ') + 1);
  EXPECT_EQ(blank.find_first_not_of(' '), std::string::npos);
  EXPECT_FALSE(bar_.drawn());
  bar_.Finish();  // nothing left to clear
  EXPECT_EQ(Output(), text);
}

TEST(FormatDurationTest, MinutesSecondsHoursAndUnknown) {
  EXPECT_EQ(FormatDuration(0), "0:00");
  EXPECT_EQ(FormatDuration(65.4), "1:05");
  EXPECT_EQ(FormatDuration(3599.6), "1:00:00");
  EXPECT_EQ(FormatDuration(3725), "1:02:05");
  EXPECT_EQ(FormatDuration(-1), "--:--");
  EXPECT_EQ(FormatDuration(std::numeric_limits<double>::infinity()), "--:--");
  EXPECT_EQ(FormatDuration(std::numeric_limits<double>::quiet_NaN()), "--:--");
}

}  // namespace
