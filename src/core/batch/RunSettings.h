#pragma once

#include <string>

#include "core/common/SharedSwitch.h"
#include "core/project/ProjectSettings.h"

namespace quorlen {

// The project settings a run reads when it starts. The check-empty switch is
// the owner's own: flipping it during a run takes effect at the next question.
struct TRunSettings {
    std::string ProjectName;
    std::string ScanFolder;
    int QuestionCount = 50;
    int AnswerCount = 5;
    bool MultiChoice = false;
    int BlackLevel = 44;
    bool AllScansAlike = false;
    TSharedSwitch CheckEmpty{true};
};

// The run settings of a project, with a switch of their own set as the project says.
TRunSettings FromProject(const TProjectSettings& project);

}  // namespace quorlen
