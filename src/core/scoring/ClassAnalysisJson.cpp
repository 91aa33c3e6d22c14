// The class statistics turned into JSON as they are; figures the statistics
// could not compute are written as null rather than as a made-up zero.
#include "core/scoring/ClassAnalysisJson.h"

namespace quorlen {
namespace {

Json OrNull(const std::optional<double>& value) { return value ? Json(*value) : Json(); }

}  // namespace

std::string QuestionRemarks(const TQuestionStats& question) {
    std::string out;
    const auto add = [&](bool on, const char* text) {
        if (on) out += (out.empty() ? "" : "; ") + std::string(text);
    };
    add(question.Annulled, "unieważnione");
    add(question.TooHard, "za trudne (p < 0,2)");
    add(question.TooEasy, "za łatwe (p > 0,9)");
    add(question.WeakItem, "słabo różnicuje (D < 0,2)");
    return out;
}

Json ClassAnalysisJson(const TClassStats& stats, const TAnswerKey& key) {
    Json questions = Json::array();
    for (const TQuestionStats& q : stats.Questions) {
        const size_t i = static_cast<size_t>(q.Number - 1);
        questions.push_back({{"Number", q.Number},
                             {"Key", key.Answers[i]},
                             {"Points", key.Points[i]},
                             {"Annulled", q.Annulled},
                             {"Answered", q.Answered},
                             {"P", q.P},
                             {"D", OrNull(q.D)},
                             {"PointBiserial", OrNull(q.PointBiserial)},
                             {"Letters", q.LetterCounts},
                             {"Blank", q.Blank},
                             {"Double", q.Double},
                             {"TooHard", q.TooHard},
                             {"TooEasy", q.TooEasy},
                             {"WeakItem", q.WeakItem},
                             {"Uwagi", QuestionRemarks(q)}});
    }
    return {{"N", stats.N},
            {"Mean", stats.Mean},
            {"Median", stats.Median},
            {"StdDev", stats.StdDev},
            {"Min", stats.Min},
            {"Max", stats.Max},
            {"MeanPercent", stats.MeanPercent},
            {"MaxPoints", stats.MaxPoints},
            {"KR20", OrNull(stats.KR20)},
            {"Uwagi", RepeatedCodesRemark(stats)},
            {"Questions", std::move(questions)}};
}

bool AddClassAnalysis(Json& document) {
    if (!document.is_object() || !document.contains("Klucz")) return false;
    try {
        const TAnswerKey key = ParseAnswerKey(document["Klucz"]);
        const std::vector<TScoredEntry> entries = ScoreEntries(document, key);
        document["Analiza"] = ClassAnalysisJson(ComputeClassStatistics(entries, key, ShapeOf(document)), key);
        return true;
    } catch (const TKeyError&) {
        return false;
    } catch (const Json::exception&) {
        // A hand-edited document with entries of the wrong shape.
        return false;
    }
}

}  // namespace quorlen
