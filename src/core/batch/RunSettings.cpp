// A run copies the project's settings once at its start; only the
// check-empty switch is shared, so that the operator's click reaches it.
#include "core/batch/RunSettings.h"

namespace quorlen {

TRunSettings FromProject(const TProjectSettings& project) {
    TRunSettings settings;
    settings.ProjectName = project.ProjectName;
    settings.ScanFolder = project.ScanFolder;
    settings.QuestionCount = project.QuestionCount;
    settings.AnswerCount = project.AnswerCount;
    settings.MultiChoice = project.MultipleChoice;
    settings.BlackLevel = project.BlackLevel;
    settings.AllScansAlike = project.AllScansAlike;
    settings.CheckEmpty.Set(project.CheckEmpty);
    return settings;
}

}  // namespace quorlen
