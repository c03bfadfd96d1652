#include <gtest/gtest.h>

#include "settings/ErrorReport.h"
#include "settings/MessageSink.h"
#include "settings/Texts.h"

namespace {

struct ErrorReportFixture : ::testing::Test {
  void SetUp() override { Texts::setLanguageOffset(Texts::kEnglishOffset); }
};

TEST_F(ErrorReportFixture, ShortFormCarriesTheMessageNumberInTheTitle) {
  const ErrorReport r = composeErrorReport(2000, 2011, "\n\nCOM3", "Recorder.cpp", 12, "Vorlog", "/usr/bin/vorlog");
  EXPECT_FALSE(r.fullForm);
  EXPECT_EQ(r.title, "Serial communication device error occurred [2011]");
  EXPECT_TRUE(r.text.startsWith("The requested COM port cannot be initialized."));
  EXPECT_TRUE(r.text.endsWith("manager.\n\n\nCOM3"));
}

TEST_F(ErrorReportFixture, MissingTitleAndMissingMessage) {
  ErrorReport r = composeErrorReport(0, 3001, "", "f.cpp", 1, "Vorlog", "/p");
  EXPECT_EQ(r.title, "No title available [3001]");
  r = composeErrorReport(999999, 3002, "", "f.cpp", 1, "Vorlog", "/p");
  EXPECT_EQ(r.title, "No title available [3002]");

  // No message text: the full form with where it happened.
  r = composeErrorReport(3000, 888888, "disk on fire", "/src/recording/Recorder.cpp", 77, "Vorlog", "/opt/vorlog");
  EXPECT_TRUE(r.fullForm);
  EXPECT_EQ(r.title, Texts::text(21));
  EXPECT_FALSE(r.title.isEmpty());
  for (const char* part : {"disk on fire", "/opt/vorlog", "Recorder.cpp", "77", "Vorlog"})
    EXPECT_TRUE(r.text.contains(part)) << part;
  EXPECT_TRUE(r.text.contains(Texts::text(22)));
  EXPECT_FALSE(Texts::text(22).isEmpty());
}

TEST(MessageButtons, SetsAndResults) {
  auto results = [](ButtonSet set) {
    std::vector<std::pair<int, int>> out;  // slot, result
    for (const MessageButton& b : buttonsOf(set)) out.emplace_back(b.slot, b.result);
    return out;
  };
  EXPECT_EQ(results(ButtonSet::Ok), (std::vector<std::pair<int, int>>{{2, 1}}));
  EXPECT_EQ(results(ButtonSet::YesNoCancel), (std::vector<std::pair<int, int>>{{1, 6}, {2, 7}, {3, 2}}));
  // Yes/No: the left button says yes (6), the right one no (7).
  EXPECT_EQ(results(ButtonSet::YesNo), (std::vector<std::pair<int, int>>{{1, 6}, {3, 7}}));
  EXPECT_EQ(results(ButtonSet(7)), (std::vector<std::pair<int, int>>{{2, -1}}));
  EXPECT_EQ(safeAnswer(ButtonSet::YesNo), ResultNo);
  EXPECT_EQ(safeAnswer(ButtonSet::YesNoCancel), ResultCancel);
  EXPECT_EQ(safeAnswer(ButtonSet::Ok), ResultOk);
  for (ButtonSet set : {ButtonSet::Ok, ButtonSet::YesNoCancel, ButtonSet::YesNo})
    for (const MessageButton& b : buttonsOf(set)) EXPECT_FALSE(Texts::text(b.captionText).isEmpty()) << b.captionText;
}

}  // namespace
