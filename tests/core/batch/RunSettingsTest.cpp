#include "core/batch/RunSettings.h"

#include <gtest/gtest.h>

using namespace quorlen;

TEST(RunSettings, FromProjectTakesEveryReadingSettingAndASwitchOfItsOwn) {
    for (const bool checkEmpty : {true, false}) {
        TProjectSettings p;
        p.ProjectName = "Sprawdzian 3b";
        p.ScanFolder = "/skany";
        p.QuestionCount = 120;
        p.AnswerCount = 7;
        p.MultipleChoice = !checkEmpty;
        p.BlackLevel = 61;
        p.AllScansAlike = checkEmpty;
        p.CheckEmpty = checkEmpty;
        const TRunSettings s = FromProject(p);
        EXPECT_EQ(s.ProjectName, "Sprawdzian 3b");
        EXPECT_EQ(s.ScanFolder, "/skany");
        EXPECT_EQ(s.QuestionCount, 120);
        EXPECT_EQ(s.AnswerCount, 7);
        EXPECT_EQ(s.MultiChoice, !checkEmpty);
        EXPECT_EQ(s.BlackLevel, 61);
        EXPECT_EQ(s.AllScansAlike, checkEmpty);
        EXPECT_EQ(s.CheckEmpty.On(), checkEmpty);

        // Two runs of one project do not share a switch; copies of one run's do.
        const TRunSettings other = FromProject(p);
        const TRunSettings copy = s;
        s.CheckEmpty.Set(!checkEmpty);
        EXPECT_EQ(other.CheckEmpty.On(), checkEmpty);
        EXPECT_EQ(copy.CheckEmpty.On(), !checkEmpty);
    }
}
