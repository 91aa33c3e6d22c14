#include "testing/ScoreReading.h"

#include <filesystem>
#include <map>

#include "core/batch/Item.h"
#include "core/project/DM.h"
#include "core/recognition/SkanItem.h"

namespace quorlen::sim {

TReadingScore ScoreReading(const std::string& dir, const nlohmann::json& truth, int level) {
    TReadingScore score;
    // Empty questions must reach the answer request to be seen as empty.
    const bool checkEmpty = DM().CheckEmpty.exchange(true);
    for (const auto& file : truth["Files"]) {
        const std::string name = file["File"].get<std::string>();
        const std::string code = file["Code"].get<std::string>();
        const auto& marked = file["Answers"];
        ++score.Sheets;
        score.Questions += static_cast<int>(marked.size());

        TItem item;
        item.FileName = (std::filesystem::path(dir) / name).string();
        TSkanItem job(item);
        job.AnswerPause = {};
        job.Geometry.Level = level;
        job.FirstQuestionNo = file["FirstQuestion"].get<int>();
        std::map<int, std::string> asked;  // answer-line index → letters found
        job.SetHandlers(nullptr,
                        [&](TSkanItem&, TRect, int, std::string& answer, bool&) { asked[item.AnswersRead] = answer; });
        job.Run();
        if (job.Status == -1 || job.Status == 1)
            score.Faults.push_back(name + ": status " + std::to_string(job.Status));

        bool whole = true;
        for (size_t i = 0; i < marked.size(); ++i) {
            const int index = static_cast<int>(i);
            std::string found;
            if (asked.count(index))
                found = asked[index];
            else
                found = item.Answers.Value(std::to_string(job.FirstQuestionNo + index));
            if (found == marked[i].get<std::string>()) {
                ++score.AnswersRight;
            } else {
                whole = false;
                score.Faults.push_back(name + ": question " + std::to_string(file["FirstQuestion"].get<int>() + index) +
                                       " read '" + found + "', marked '" + marked[i].get<std::string>() + "'");
            }
        }
        if (item.Code == code) {
            ++score.CodesRight;
        } else {
            whole = false;
            ++(item.Code.empty() ? score.CodesMissing : score.CodesWrong);
            score.Faults.push_back(name + ": code read '" + item.Code + "', printed '" + code + "'" +
                                   (job.Message.empty() ? "" : " (" + job.Message + ")"));
        }
        score.SheetsWhole += whole;
    }
    DM().CheckEmpty = checkEmpty;
    return score;
}

}  // namespace quorlen::sim
