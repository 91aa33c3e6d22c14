#pragma once

#include <string>

namespace quorlen {

// The current project: one test's title, its sheet shape and how its scans are read.
struct TProjectSettings {
    static constexpr int MinQuestions = 3, MaxQuestions = 200, DefaultQuestions = 50;
    static constexpr int MinAnswers = 2, MaxAnswers = 16, DefaultAnswers = 5;
    static constexpr int MinLevel = 5, MaxLevel = 100, DefaultLevel = 44;

    std::string ProjectName;
    int QuestionCount = DefaultQuestions;
    int AnswerCount = DefaultAnswers;
    bool MultipleChoice = false;
    bool CheckEmpty = true;
    std::string ScanFolder;
    int BlackLevel = DefaultLevel;
    bool AllScansAlike = false;
    std::string PrintLine1;
    std::string PrintLine2;

    bool operator==(const TProjectSettings&) const = default;
};

int ClampQuestionCount(int value);
int ClampAnswerCount(int value);

}  // namespace quorlen
