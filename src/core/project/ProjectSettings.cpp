#include "core/project/ProjectSettings.h"

#include <algorithm>

#include "core/project/DM.h"

namespace quorlen {

int ClampQuestionCount(int value) {
    return std::clamp(value, TProjectSettings::MinQuestions, TProjectSettings::MaxQuestions);
}

int ClampAnswerCount(int value) {
    return std::clamp(value, TProjectSettings::MinAnswers, TProjectSettings::MaxAnswers);
}

void ApplyToDM(const TProjectSettings& settings) {
    TDM& dm = DM();
    dm.PrintLine2 = settings.PrintLine2;
    dm.PrintLine1 = settings.PrintLine1;
}

}  // namespace quorlen
