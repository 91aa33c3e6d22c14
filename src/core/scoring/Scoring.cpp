// Each sheet is matched to its key version by its code, each answer turned
// into a set of boxes and compared with the key's sets; points, percent and
// grade are added to the entry in place.
#include "core/scoring/Scoring.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <map>

#include "core/results/RepeatedCodes.h"

namespace quorlen {
namespace {

bool IsBlank(const std::string& answer) { return answer.empty() || answer == " "; }

// Letters outside A..(A + 31) cannot be any key's box; they still count as
// marked, so they land in a bit no key uses.
uint32_t MarkedBoxes(const std::string& answer) {
    uint32_t set = 0;
    for (char c : answer) {
        if (c == ' ') continue;
        const int b = static_cast<unsigned char>(c) - 'A';
        set |= (b >= 0 && b < 31) ? 1u << b : 1u << 31;
    }
    return set;
}

double ScoreSet(uint32_t key, uint32_t marked, double points, TMultiMode mode, int answerCount) {
    switch (mode) {
        case TMultiMode::AllOrNothing:
            return marked == key ? points : 0;
        case TMultiMode::PerBox: {
            if (answerCount <= 0) return 0;
            const uint32_t boxes = answerCount >= 32 ? ~0u : (1u << answerCount) - 1;
            const int matching = answerCount - std::popcount((key ^ marked) & boxes);
            return points * matching / answerCount;
        }
        default: {
            const int nb = std::popcount(key);
            const int correct = std::popcount(marked & key);
            const int wrong = std::popcount(marked & ~key);
            return points * std::max(0.0, static_cast<double>(correct - wrong) / nb);
        }
    }
}

bool InRanges(const std::vector<TCodeRange>& ranges, int64_t value) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [&](const TCodeRange& r) { return value >= r.First && value <= r.Last; });
}

std::vector<std::string> Strings(const Json& array) {
    std::vector<std::string> out;
    if (!array.is_array()) return out;
    out.reserve(array.size());
    for (const Json& v : array) out.push_back(v.is_string() ? v.get_ref<const std::string&>() : std::string());
    return out;
}

}  // namespace

TSheetShape ShapeOf(const Json& document) { return {document.value("ACnt", 0), document.value("MultiChoice", false)}; }

double ScoreQuestion(const TKeyQuestion& question, double points, const std::string& answer, double wrongPoints,
                     TMultiMode mode, const TSheetShape& shape) {
    if (question.Annulled) return points;
    if (!shape.MultiChoice) {
        if (IsBlank(answer)) return 0;
        if (answer.size() == 1 && (question.AnyCorrect() & MarkedBoxes(answer)) != 0) return points;
        return wrongPoints;
    }
    const uint32_t marked = MarkedBoxes(answer);
    double best = 0;
    for (uint32_t alternative : question.Alternatives)
        best = std::max(best, ScoreSet(alternative, marked, points, mode, shape.AnswerCount));
    return best;
}

const TKeyVersion* VersionForCode(const TAnswerKey& key, const std::string& code) {
    if (key.Versions.empty() || code.empty() || code.size() > 18 ||
        code.find_first_not_of("0123456789") != std::string::npos)
        return nullptr;
    const int64_t value = std::stoll(code);
    for (const TKeyVersion& v : key.Versions)
        if (InRanges(v.Codes, value)) return &v;
    return nullptr;
}

int WholePercent(double percent) {
    // The tolerance keeps a share such as 59/200 (29.4999… in binary) on the
    // side a teacher computes by hand.
    return static_cast<int>(std::floor(percent + 0.5 + 1e-9));
}

double OneDecimal(double value) { return std::floor(value * 10 + 0.5 + 1e-9) / 10; }

double GradeFor(const std::vector<TGradeStep>& grades, double percent) {
    const int whole = WholePercent(std::max(0.0, percent));
    double grade = 1;
    for (const TGradeStep& g : grades)
        if (whole >= g.Percent) grade = g.Grade;
    return grade;
}

std::string GradeText(double grade) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", grade);
    return buffer;
}

TEntryScore ScoreAnswers(const TAnswerKey& key, const std::string& code, const std::vector<std::string>& answers,
                         const TSheetShape& shape) {
    TEntryScore s;
    const TKeyVersion* version = VersionForCode(key, code);
    const std::vector<TKeyQuestion>& questions = version ? version->Questions : key.Questions;
    const std::vector<double>& points = version && !version->Points.empty() ? version->Points : key.Points;
    if (version) s.Version = version->Name;
    const size_t n = std::min(answers.size(), questions.size());
    s.ItemPoints.reserve(n);
    s.ItemMax.reserve(n);
    for (size_t q = 0; q < n; ++q) {
        const double got = ScoreQuestion(questions[q], points[q], answers[q], key.WrongPoints, key.Multi, shape);
        s.ItemPoints.push_back(got);
        s.ItemMax.push_back(points[q]);
        s.Points += got;
        s.Max += points[q];
    }
    if (answers.size() != questions.size())
        s.Note = "Arkusz ma " + std::to_string(answers.size()) + " odpowiedzi, a klucz " +
                 std::to_string(questions.size()) + " pytań: ocenione wspólne pytania.";
    s.Percent = s.Max > 0 ? std::max(0.0, 100 * s.Points / s.Max) : 0;
    // From the percent as shown: a teacher who reads 29.5 % expects the grade of 30 %.
    s.Grade = GradeFor(key.Grades, OneDecimal(s.Percent));
    return s;
}

std::string UnfinishedNote(int status, const std::string& message) {
    std::string reason = message;
    // Messages break their lines with CR; a remark is one line.
    std::replace(reason.begin(), reason.end(), '\r', ' ');
    while (!reason.empty() && (reason.back() == ' ' || reason.back() == '.')) reason.pop_back();
    std::string note = "Bez oceny: odczyt arkusza nie został dokończony (status " + std::to_string(status);
    if (!reason.empty()) note += ": " + reason;
    return note + ").";
}

std::vector<TScoredEntry> ScoreEntries(const Json& document, const TAnswerKey& key) {
    CheckKeyFits(key, document.value("QCnt", 0), document.value("ACnt", 0));
    const TSheetShape shape = ShapeOf(document);
    std::vector<TScoredEntry> out;
    // By reference: a copy of a large class's list costs more than scoring it.
    static const Json none = Json::array();
    const auto list = document.find("Lista");
    const Json& lista = list != document.end() && list->is_array() ? *list : none;
    out.reserve(lista.size());
    for (const Json& e : lista) {
        TScoredEntry scored;
        scored.Student = e.value("Student", std::string());
        scored.FileName = e.value("FileName", std::string());
        if (const auto wyniki = e.find("Wyniki"); wyniki != e.end()) scored.Answers = Strings(*wyniki);
        if (const auto status = e.find("Status"); status != e.end() && status->is_number_integer())
            scored.Status = status->get<int>();
        scored.Message = e.value("Message", std::string());
        scored.Score = ScoreAnswers(key, scored.Student, scored.Answers, shape);
        scored.KeySheet = !key.Sheet.empty() && scored.FileName == key.Sheet;
        if (scored.Status != 0) {
            // The answers after the cut were never read: any figure would
            // count them as blanks.
            TEntryScore& s = scored.Score;
            s.Graded = false;
            s.Points = s.Percent = 0;
            // What the whole sheet was worth, not the part that was read.
            const TKeyVersion* version = VersionForCode(key, scored.Student);
            const std::vector<double>& points =
                version && !version->Points.empty() ? version->Points : key.Points;
            s.Max = 0;
            for (double p : points) s.Max += p;
            s.ItemPoints.clear();
            s.ItemMax.clear();
            s.Note = UnfinishedNote(scored.Status, scored.Message);
        } else if (scored.KeySheet) {
            scored.Score.Note = "Arkusz klucza: poza statystyką klasy.";
        }
        out.push_back(std::move(scored));
    }
    // Every sheet of a repeated code says so; the first one the class counts
    // stands for the student, the later ones stay out of the figures.
    const std::map<std::string, int> repeated = RepeatedCodes(document);
    std::map<std::string, bool> counted;
    for (TScoredEntry& e : out) {
        const auto r = repeated.find(e.Student);
        if (r == repeated.end()) continue;
        e.Score.Note = JoinNotes(e.Score.Note, RepeatedCodeNote(r->first, r->second));
        if (!e.Counted()) continue;
        bool& seen = counted[e.Student];
        e.Repeat = seen;
        seen = true;
    }
    return out;
}

void ScoreDocument(Json& document, const TAnswerKey& key) {
    const std::vector<TScoredEntry> scored = ScoreEntries(document, key);
    document["Klucz"] = AnswerKeyToJson(key);
    Json& lista = document["Lista"];
    for (size_t i = 0; i < scored.size(); ++i) {
        const TEntryScore& s = scored[i].Score;
        Json& e = lista[i];
        e["Punkty"] = s.Graded ? Json(s.Points) : Json();
        e["Max"] = s.Max;
        e["Procent"] = s.Graded ? Json(OneDecimal(s.Percent)) : Json();
        e["Ocena"] = s.Graded ? GradeToJson(s.Grade) : Json();
        e["Wersja"] = s.Version;
        // Scoring again with another key leaves no remark of the first.
        if (s.Note.empty()) e.erase("Uwagi");
        else e["Uwagi"] = s.Note;
    }
}

}  // namespace quorlen
