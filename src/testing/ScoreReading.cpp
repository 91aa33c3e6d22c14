#include "testing/ScoreReading.h"

#include <filesystem>
#include <map>

#include "core/project/DM.h"
#include "core/recognition/LoadScan.h"
#include "core/recognition/Quorlen.h"

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

        TMonoBitmap raster;
        std::string detail;
        if (!LoadScan((std::filesystem::path(dir) / name).string(), raster, &detail)) {
            score.Faults.push_back(name + ": not loaded, " + detail);
            ++score.CodesMissing;
            continue;
        }
        TQuorlen reader(raster, file["FirstQuestion"].get<int>(), TScanGeometry{0, 0, 0, 0, 0, level});
        std::map<int, std::string> asked;  // answer-line index → letters found
        reader.OnGetOdp = [&](TQuorlen& self, TRect, int, std::string& answer, bool&) {
            asked[self.Answers.Count()] = answer;
        };
        try {
            reader.Run();
        } catch (const std::exception& e) {
            score.Faults.push_back(name + ": " + e.what());
        }

        bool whole = true;
        for (size_t i = 0; i < marked.size(); ++i) {
            const int index = static_cast<int>(i);
            std::string found;
            if (asked.count(index))
                found = asked[index];
            else if (index < reader.Answers.Count())
                found = reader.Answers.Value(std::to_string(file["FirstQuestion"].get<int>() + index));
            if (found == marked[i].get<std::string>()) {
                ++score.AnswersRight;
            } else {
                whole = false;
                score.Faults.push_back(name + ": question " + std::to_string(file["FirstQuestion"].get<int>() + index) +
                                       " read '" + found + "', marked '" + marked[i].get<std::string>() + "'");
            }
        }
        if (reader.Code == code) {
            ++score.CodesRight;
        } else {
            whole = false;
            ++(reader.Code.empty() ? score.CodesMissing : score.CodesWrong);
            score.Faults.push_back(name + ": code read '" + reader.Code + "', printed '" + code + "'");
        }
        score.SheetsWhole += whole;
    }
    DM().CheckEmpty = checkEmpty;
    return score;
}

}  // namespace quorlen::sim
