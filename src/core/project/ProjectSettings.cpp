// The limits a project's counts are held to, shared by the window's fields
// and the project file.
#include "core/project/ProjectSettings.h"

#include <algorithm>


namespace quorlen {

int ClampQuestionCount(int value) {
    return std::clamp(value, TProjectSettings::MinQuestions, TProjectSettings::MaxQuestions);
}

int ClampAnswerCount(int value) {
    return std::clamp(value, TProjectSettings::MinAnswers, TProjectSettings::MaxAnswers);
}

}  // namespace quorlen
