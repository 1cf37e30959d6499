// Which reported texts a typed text names, cut texts included.
#include "trimhost/settings/text_match.h"

#include <gtest/gtest.h>

namespace {

using Positions = std::vector<std::size_t>;

TEST(TextMatch, ExactTextsMatchIgnoringCaseAndBeatCutOnes) {
  EXPECT_EQ(textsNamedBy("Mute", {"unmute", "mute"}), Positions{1});
  EXPECT_EQ(textsNamedBy(" level stereo 1 ", {"level stereo 1", "level stereo 2"}), Positions{0});
  EXPECT_EQ(textsNamedBy("pass th", {"pass th", "pass thru"}), Positions{0});
  EXPECT_EQ(textsNamedBy("gain", {"gain", "gain"}), (Positions{0, 1}));
}

TEST(TextMatch, OnlyTextsOfACutLengthMatchByTheirStart) {
  const std::vector<std::string> shown{"mute al", "pass th"};
  EXPECT_EQ(textsNamedBy("pass through all busses", shown), Positions{1});
  EXPECT_EQ(textsNamedBy("PASS THROUGH", shown), Positions{1});
  EXPECT_EQ(textsNamedBy("pass", shown), Positions{});
  EXPECT_EQ(textsNamedBy("level stereo", {"level"}), Positions{});
  EXPECT_EQ(textsNamedBy("a rather long parameter name, cut", {"a rather long parameter name, "}),
            Positions{});
  EXPECT_EQ(textsNamedBy("a rather long parameter name, cut", {"a rather long parameter name, c"}),
            Positions{0});
}

TEST(TextMatch, TextsCutAlikeAreAmbiguous) {
  EXPECT_EQ(textsNamedBy("pass through all", {"pass th", "Pass th"}), (Positions{0, 1}));
}

}  // namespace
