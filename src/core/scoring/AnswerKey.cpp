// Every field is checked as it is parsed, and the first problem throws a
// TKeyError naming the field and the question; a key is written back as
// indented JSON through the atomic writer.
#include "core/scoring/AnswerKey.h"

#include <cmath>

#include "core/common/AtomicFile.h"

namespace quorlen {
namespace {

std::string Where(const std::string& field, size_t index) { return field + "[" + std::to_string(index + 1) + "]"; }

// Bounds far past any test's points, so that sums stay exact and finite (a
// point value of 1e308 summed to infinity) and a wrong answer never earns
// points; a version name is shown in every row and report.
constexpr double MaxPointsValue = 1000;
constexpr size_t MaxVersionNameCharacters = 200;

size_t Utf8Characters(const std::string& text) {
    size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

// "B", "AC", "B|C" or "*".
TKeyQuestion ParseQuestion(const std::string& text, const std::string& where) {
    TKeyQuestion q;
    if (text == "*") {
        q.Annulled = true;
        return q;
    }
    uint32_t set = 0;
    auto close = [&] {
        if (set == 0) throw TKeyError(where + ": pusta odpowiedź w \"" + text + "\" (litery A–P, \"|\" lub \"*\")");
        q.Alternatives.push_back(set);
        set = 0;
    };
    for (char c : text) {
        if (c == '|') {
            close();
            continue;
        }
        if (c < 'A' || c > 'P')
            throw TKeyError(where + ": niedozwolony znak w \"" + text + "\" (litery A–P, \"|\" lub \"*\")");
        const uint32_t bit = 1u << (c - 'A');
        if (set & bit) throw TKeyError(where + ": litera " + std::string(1, c) + " powtórzona w \"" + text + "\"");
        set |= bit;
    }
    close();
    return q;
}

std::vector<std::string> ReadAnswers(const Json& json, const std::string& field) {
    if (!json.is_array() || json.empty()) throw TKeyError(field + ": potrzebna niepusta lista odpowiedzi");
    std::vector<std::string> out;
    for (size_t i = 0; i < json.size(); ++i) {
        if (!json[i].is_string()) throw TKeyError(Where(field, i) + ": odpowiedź musi być tekstem");
        out.push_back(json[i].get<std::string>());
    }
    return out;
}

std::vector<double> ReadPoints(const Json& json, const std::string& field, size_t count) {
    if (!json.is_array()) throw TKeyError(field + ": potrzebna lista liczb");
    if (json.size() != count)
        throw TKeyError(field + ": " + std::to_string(json.size()) + " wartości, a pytań jest " +
                        std::to_string(count));
    std::vector<double> out;
    for (size_t i = 0; i < json.size(); ++i) {
        if (!json[i].is_number() || !std::isfinite(json[i].get<double>()) || json[i].get<double>() < 0)
            throw TKeyError(Where(field, i) + ": punkty muszą być liczbą nieujemną");
        if (json[i].get<double>() > MaxPointsValue)
            throw TKeyError(Where(field, i) + ": punkty muszą być liczbą od 0 do 1000");
        out.push_back(json[i].get<double>());
    }
    return out;
}

int64_t ReadCodeNumber(const std::string& digits, const std::string& text, const std::string& where) {
    if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
        throw TKeyError(where + ": \"" + text + "\" nie jest kodem arkusza ani zakresem kodów (np. \"200-299\")");
    return std::stoll(digits);
}

TCodeRange ParseCodeRange(const std::string& text, const std::string& where) {
    const size_t dash = text.find('-');
    if (dash == std::string::npos) {
        const int64_t code = ReadCodeNumber(text, text, where);
        return {code, code};
    }
    TCodeRange r{ReadCodeNumber(text.substr(0, dash), text, where), ReadCodeNumber(text.substr(dash + 1), text, where)};
    if (r.First > r.Last) throw TKeyError(where + ": zakres \"" + text + "\" kończy się przed początkiem");
    return r;
}

std::vector<TKeyQuestion> ParseQuestions(const std::vector<std::string>& answers, const std::string& field) {
    std::vector<TKeyQuestion> out;
    for (size_t i = 0; i < answers.size(); ++i) out.push_back(ParseQuestion(answers[i], Where(field, i)));
    return out;
}

}  // namespace

std::string CodeRangeText(const TCodeRange& r) {
    return r.First == r.Last ? std::to_string(r.First) : std::to_string(r.First) + "-" + std::to_string(r.Last);
}

uint32_t TKeyQuestion::AnyCorrect() const {
    uint32_t all = 0;
    for (uint32_t a : Alternatives) all |= a;
    return all;
}

Json GradeToJson(double grade) {
    if (grade == std::floor(grade) && std::fabs(grade) < 1e9) return static_cast<int64_t>(grade);
    return grade;
}

std::vector<TGradeStep> DefaultGrades() { return {{30, 2}, {50, 3}, {75, 4}, {90, 5}, {100, 6}}; }

const char* MultiModeName(TMultiMode mode) {
    switch (mode) {
        case TMultiMode::AllOrNothing:
            return "all-or-nothing";
        case TMultiMode::PerBox:
            return "per-box";
        default:
            return "proportional";
    }
}

TAnswerKey ParseAnswerKey(const Json& json) {
    if (!json.is_object()) throw TKeyError("klucz odpowiedzi musi być obiektem JSON");
    if (json.value("Version", Json()) != Json(1)) throw TKeyError("Version: obsługiwana jest tylko wersja 1");
    TAnswerKey key;
    key.Answers = ReadAnswers(json.value("Answers", Json()), "Answers");
    key.Questions = ParseQuestions(key.Answers, "Answers");
    key.Points = json.contains("Points") ? ReadPoints(json["Points"], "Points", key.Answers.size())
                                         : std::vector<double>(key.Answers.size(), 1.0);
    if (json.contains("WrongPoints")) {
        const Json& w = json["WrongPoints"];
        if (!w.is_number() || !std::isfinite(w.get<double>()))
            throw TKeyError("WrongPoints: potrzebna liczba (np. -0.25)");
        if (w.get<double>() > 0 || w.get<double>() < -MaxPointsValue)
            throw TKeyError("WrongPoints: punkty za złą odpowiedź muszą być liczbą od -1000 do 0");
        key.WrongPoints = w.get<double>();
    }
    if (json.contains("Multi")) {
        const Json& m = json["Multi"];
        if (m == "proportional")
            key.Multi = TMultiMode::Proportional;
        else if (m == "all-or-nothing")
            key.Multi = TMultiMode::AllOrNothing;
        else if (m == "per-box")
            key.Multi = TMultiMode::PerBox;
        else
            throw TKeyError("Multi: jedno z \"proportional\", \"all-or-nothing\", \"per-box\"");
    }
    if (json.contains("Grades")) {
        const Json& g = json["Grades"];
        if (!g.is_array()) throw TKeyError("Grades: potrzebna lista par [procent, ocena]");
        for (size_t i = 0; i < g.size(); ++i) {
            const Json& step = g[i];
            if (!step.is_array() || step.size() != 2 || !step[0].is_number_integer() || !step[1].is_number())
                throw TKeyError(Where("Grades", i) + ": potrzebna para [procent, ocena], procent całkowity");
            const int64_t percent = step[0].get<int64_t>();
            if (percent < 0 || percent > 100) throw TKeyError(Where("Grades", i) + ": procent poza 0–100");
            if (!key.Grades.empty() && percent <= key.Grades.back().Percent)
                throw TKeyError(Where("Grades", i) + ": progi muszą rosnąć");
            key.Grades.push_back({static_cast<int>(percent), step[1].get<double>()});
        }
    } else {
        key.Grades = DefaultGrades();
    }
    if (json.contains("Versions")) {
        const Json& vs = json["Versions"];
        if (!vs.is_array()) throw TKeyError("Versions: potrzebna lista wersji");
        for (size_t i = 0; i < vs.size(); ++i) {
            const std::string where = Where("Versions", i);
            const Json& v = vs[i];
            if (!v.is_object() || !v.value("Name", Json()).is_string() || v["Name"].get<std::string>().empty())
                throw TKeyError(where + ": wersja potrzebuje niepustej nazwy (Name)");
            TKeyVersion version;
            version.Name = v["Name"].get<std::string>();
            if (Utf8Characters(version.Name) > MaxVersionNameCharacters)
                throw TKeyError(where + ".Name: nazwa wersji może mieć najwyżej 200 znaków");
            const Json codes = v.value("Codes", Json());
            if (!codes.is_array() || codes.empty()) throw TKeyError(where + ".Codes: potrzebna lista kodów");
            for (size_t c = 0; c < codes.size(); ++c) {
                if (!codes[c].is_string()) throw TKeyError(Where(where + ".Codes", c) + ": kod musi być tekstem");
                version.Codes.push_back(ParseCodeRange(codes[c].get<std::string>(), Where(where + ".Codes", c)));
            }
            version.Answers = ReadAnswers(v.value("Answers", Json()), where + ".Answers");
            if (version.Answers.size() != key.Answers.size())
                throw TKeyError(where + ".Answers: " + std::to_string(version.Answers.size()) +
                                " odpowiedzi, a klucz główny ma " + std::to_string(key.Answers.size()));
            version.Questions = ParseQuestions(version.Answers, where + ".Answers");
            if (v.contains("Points")) version.Points = ReadPoints(v["Points"], where + ".Points", key.Answers.size());
            key.Versions.push_back(std::move(version));
        }
    }
    if (json.contains("Sheet")) {
        if (!json["Sheet"].is_string()) throw TKeyError("Sheet: potrzebna nazwa pliku skanu");
        key.Sheet = json["Sheet"].get<std::string>();
    }
    return key;
}

TAnswerKey ReadAnswerKeyFile(const std::string& path) {
    std::string why;
    const std::optional<Json> json = ParseJsonFile(path, &why);
    if (!json) throw TKeyError(why);
    try {
        return ParseAnswerKey(*json);
    } catch (const TKeyError& e) {
        throw TKeyError(path + ": " + e.what());
    }
}

Json AnswerKeyToJson(const TAnswerKey& key) {
    Json out = {{"Version", 1},
                {"Answers", key.Answers},
                {"Points", key.Points},
                {"WrongPoints", key.WrongPoints},
                {"Multi", MultiModeName(key.Multi)},
                {"Grades", Json::array()}};
    for (const TGradeStep& g : key.Grades) out["Grades"].push_back(Json::array({g.Percent, GradeToJson(g.Grade)}));
    if (!key.Versions.empty()) {
        out["Versions"] = Json::array();
        for (const TKeyVersion& v : key.Versions) {
            Json codes = Json::array();
            for (const TCodeRange& r : v.Codes) codes.push_back(CodeRangeText(r));
            Json jv = {{"Name", v.Name}, {"Codes", codes}, {"Answers", v.Answers}};
            if (!v.Points.empty()) jv["Points"] = v.Points;
            out["Versions"].push_back(std::move(jv));
        }
    }
    if (!key.Sheet.empty()) out["Sheet"] = key.Sheet;
    return out;
}

void WriteAnswerKeyFile(const std::string& path, const TAnswerKey& key) {
    WriteFileAtomically(path, DumpJsonIndented(AnswerKeyToJson(key)) + "\n");
}

void CheckKeyFits(const TAnswerKey& key, int questionCount, int answerCount) {
    if (key.QuestionCount() != questionCount)
        throw TKeyError("klucz ma " + std::to_string(key.QuestionCount()) + " pytań, a projekt " +
                        std::to_string(questionCount));
    const uint32_t allowed = answerCount >= 32 ? ~0u : (1u << answerCount) - 1;
    auto check = [&](const std::vector<TKeyQuestion>& questions, const std::vector<std::string>& answers,
                     const std::string& field) {
        for (size_t i = 0; i < questions.size(); ++i)
            if (questions[i].AnyCorrect() & ~allowed)
                throw TKeyError(Where(field, i) + ": \"" + answers[i] + "\" wskazuje pole poza " +
                                std::to_string(answerCount) + " polami odpowiedzi");
    };
    check(key.Questions, key.Answers, "Answers");
    for (size_t v = 0; v < key.Versions.size(); ++v)
        check(key.Versions[v].Questions, key.Versions[v].Answers, Where("Versions", v) + ".Answers");
}

TAnswerKey KeyFromSheet(const std::vector<std::string>& answers, const std::string& fileName) {
    Json json = {{"Version", 1}, {"Answers", Json::array()}, {"Sheet", fileName}};
    // A question the key sheet leaves blank (or unreadable) is annulled rather
    // than failing the whole key: the confirm dialog shows it as "*".
    for (const std::string& a : answers) {
        std::string letters;
        for (char c : a)
            if (c >= 'A' && c <= 'P' && letters.find(c) == std::string::npos) letters += c;
        json["Answers"].push_back(letters.empty() ? "*" : letters);
    }
    return ParseAnswerKey(json);
}

}  // namespace quorlen
