#include "testing/ScoreReading.h"

#include <filesystem>
#include <map>

#include "core/recognition/ReadScan.h"

namespace quorlen::sim {

TReadingScore ScoreReading(const std::string& dir, const nlohmann::json& truth, int level) {
    TReadingScore score;
    for (const auto& file : truth["Files"]) {
        const std::string name = file["File"].get<std::string>();
        const std::string code = file["Code"].get<std::string>();
        const auto& marked = file["Answers"];
        ++score.Sheets;
        score.Questions += static_cast<int>(marked.size());

        // Empty questions must reach the answer request to be seen as empty.
        TReadOptions options;
        options.CheckEmpty = TSharedSwitch(true);
        options.AnswerPause = {};
        options.Level = level;
        options.FirstQuestionNo = file["FirstQuestion"].get<int>();
        std::map<int, std::string> asked;  // answer-line index → letters found
        int answersRead = 0;
        TScanHandlers handlers;
        handlers.OnGetOdp = [&](const TScanView&, TRect, int, std::string& answer, bool&) {
            asked[answersRead] = answer;
        };
        handlers.OnAnswerRead = [&](int read) { answersRead = read; };
        const TScanResult job = ReadScan((std::filesystem::path(dir) / name).string(), options, handlers);
        const int status = static_cast<int>(job.Status);
        if (status == -1 || status == 1) score.Faults.push_back(name + ": status " + std::to_string(status));

        bool whole = true;
        for (size_t i = 0; i < marked.size(); ++i) {
            const int index = static_cast<int>(i);
            std::string found;
            if (asked.count(index))
                found = asked[index];
            else
                found = job.Answers.Value(std::to_string(options.FirstQuestionNo + index));
            if (found == marked[i].get<std::string>()) {
                ++score.AnswersRight;
            } else {
                whole = false;
                score.Faults.push_back(name + ": question " + std::to_string(file["FirstQuestion"].get<int>() + index) +
                                       " read '" + found + "', marked '" + marked[i].get<std::string>() + "'");
            }
        }
        if (job.Code == code) {
            ++score.CodesRight;
        } else {
            whole = false;
            ++(job.Code.empty() ? score.CodesMissing : score.CodesWrong);
            score.Faults.push_back(name + ": code read '" + job.Code + "', printed '" + code + "'" +
                                   (job.Message.empty() ? "" : " (" + job.Message + ")"));
        }
        score.SheetsWhole += whole;
    }
    return score;
}

}  // namespace quorlen::sim
