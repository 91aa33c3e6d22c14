// The page is written as one string of XHTML with inline SVG charts, all
// text escaped, and saved through the atomic writer; it needs nothing but a
// browser to show or print.
#include "core/scoring/ClassReport.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "core/common/AtomicFile.h"
#include "core/results/ResultsDocument.h"
#include "core/scoring/ClassAnalysisJson.h"
#include "core/scoring/ScoreTable.h"

namespace quorlen {
namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Codes in number order (9 before 12 before 101) when both are numbers.
bool CodeBefore(const std::string& a, const std::string& b) {
    auto digits = [](const std::string& s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (digits(a) && digits(b)) {
        const size_t za = std::min(a.find_first_not_of('0'), a.size() - 1);
        const size_t zb = std::min(b.find_first_not_of('0'), b.size() - 1);
        const std::string_view va(a.data() + za, a.size() - za), vb(b.data() + zb, b.size() - zb);
        if (va.size() != vb.size()) return va.size() < vb.size();
        if (va != vb) return va < vb;
    }
    return a < b;
}

// Messages break their lines with CR; a table cell wants one line.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

std::string Optional(const std::optional<double>& v, int decimals) {
    return v ? PolishNumber(*v, decimals, true) : "—";
}

const char* kStyle = R"(@page { size: A4; margin: 15mm; }
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 10pt; color: #222; margin: 0 auto; max-width: 180mm; }
h1 { font-size: 16pt; margin: 0 0 2mm 0; }
h2 { font-size: 12pt; margin: 6mm 0 2mm 0; border-bottom: 1px solid #999; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #bbb; padding: 1px 4px; text-align: right; }
th { background: #eee; }
td.t, th.t { text-align: left; }
tr { page-break-inside: avoid; }
tr.flag td { background: #fdecea; }
.charts { display: flex; gap: 6mm; }
.charts figure { margin: 0; flex: 1; }
figcaption { font-weight: bold; margin-bottom: 1mm; }
table.summary { width: auto; min-width: 90mm; }
.summary td:first-child { text-align: left; padding-right: 8mm; }
.small { color: #666; font-size: 8pt; }
)";

// A bar chart of counts with a label under each bar.
std::string Histogram(const std::vector<std::string>& labels, const std::vector<int>& counts) {
    const int width = 320, height = 170, left = 28, bottom = 22, top = 10;
    const int maxCount = std::max(1, *std::max_element(counts.begin(), counts.end()));
    const double slot = static_cast<double>(width - left - 4) / static_cast<double>(counts.size());
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << ' ' << height << "\" font-size=\"9\">";
    svg << "<line x1=\"" << left << "\" y1=\"" << height - bottom << "\" x2=\"" << width - 2 << "\" y2=\""
        << height - bottom << "\" stroke=\"#444\"/>";
    svg << "<text x=\"" << left - 4 << "\" y=\"" << top + 8 << "\" text-anchor=\"end\">" << maxCount << "</text>";
    svg << "<text x=\"" << left - 4 << "\" y=\"" << height - bottom << "\" text-anchor=\"end\">0</text>";
    const int plot = height - bottom - top;
    for (size_t i = 0; i < counts.size(); ++i) {
        const double x = left + 2 + slot * static_cast<double>(i);
        const double h = plot * static_cast<double>(counts[i]) / maxCount;
        svg << "<rect x=\"" << x + 2 << "\" y=\"" << height - bottom - h << "\" width=\"" << slot - 4 << "\" height=\""
            << h << "\" fill=\"#4a78b5\"/>";
        if (counts[i] > 0)
            svg << "<text x=\"" << x + slot / 2 << "\" y=\"" << height - bottom - h - 2 << "\" text-anchor=\"middle\">"
                << counts[i] << "</text>";
        svg << "<text x=\"" << x + slot / 2 << "\" y=\"" << height - bottom + 12 << "\" text-anchor=\"middle\">"
            << Escape(labels[i]) << "</text>";
    }
    svg << "</svg>";
    return svg.str();
}

// p as a small horizontal bar, 0 to 1.
std::string Bar(double p) {
    const double w = 60 * std::clamp(p, 0.0, 1.0);
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"62\" height=\"10\"><rect x=\"0.5\" y=\"0.5\" "
           "width=\"61\" height=\"9\" fill=\"none\" stroke=\"#999\"/><rect x=\"1\" y=\"1\" width=\""
        << w << "\" height=\"8\" fill=\"" << (p < TooHardBelow || p > TooEasyAbove ? "#c0392b" : "#4a78b5")
        << "\"/></svg>";
    return svg.str();
}

std::string Row(std::initializer_list<std::string> cells, const char* cls = nullptr) {
    std::string out = cls ? std::string("<tr class=\"") + cls + "\">" : "<tr>";
    for (const std::string& c : cells) out += "<td>" + c + "</td>";
    return out + "</tr>\n";
}

}  // namespace

std::string ClassReportHtml(const Json& document, const TAnswerKey& key, const std::vector<TScoredEntry>& entries,
                            const TClassStats& stats) {
    const std::string project = document.value("Project", std::string());
    std::ostringstream h;
    h << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"pl\">\n<head>\n"
      << "<meta charset=\"utf-8\"/>\n<title>Raport klasy – " << Escape(project) << "</title>\n<style>" << kStyle
      << "</style>\n</head>\n<body>\n";
    h << "<h1>Raport klasy: " << Escape(project) << "</h1>\n";
    // The run's start in the Polish form; a document without "Date" (made by
    // hand) shows its own text.
    const auto date = document.find("Date");
    const std::string when = date != document.end() && date->is_number_integer()
                                 ? FormatPolishDateTime(date->get<int64_t>())
                                 : document.value("Date2", std::string());
    h << "<p>Data odczytu: " << Escape(when) << ". Pytań: " << key.QuestionCount()
      << ", punktów do zdobycia: " << PolishNumber(stats.MaxPoints, 2) << ".</p>\n";

    h << "<h2>Podsumowanie</h2>\n<table class=\"summary\">\n";
    h << Row({"Liczba uczniów", std::to_string(stats.N)});
    if (const std::string repeated = RepeatedCodesRemark(stats); !repeated.empty())
        h << Row({"Powtórzone kody", Escape(repeated)}, "flag");
    h << Row(
        {"Średnia", PolishNumber(stats.Mean, 2, true) + " pkt (" + PolishNumber(stats.MeanPercent, 1, true) + " %)"});
    h << Row({"Mediana", PolishNumber(stats.Median, 2, true) + " pkt"});
    h << Row({"Odchylenie standardowe", PolishNumber(stats.StdDev, 2, true) + " pkt"});
    h << Row({"Najniższy wynik", PolishNumber(stats.Min, 2) + " pkt"});
    h << Row({"Najwyższy wynik", PolishNumber(stats.Max, 2) + " pkt"});
    h << Row({"Rzetelność KR-20", stats.KR20 ? PolishNumber(*stats.KR20, 2, true)
                                             : std::string("— (tylko gdy każde pytanie daje 0 lub 1 pkt)")});
    h << "</table>\n";

    std::vector<std::string> gradeLabels, binLabels;
    for (double g : stats.GradeValues) gradeLabels.push_back(PolishNumber(g, 2));
    for (int b = 0; b < 10; ++b)
        binLabels.push_back(std::to_string(b * 10) + "–" + std::to_string(b == 9 ? 100 : b * 10 + 9));
    h << "<div class=\"charts\">\n<figure><figcaption>Oceny</figcaption>" << Histogram(gradeLabels, stats.GradeCounts)
      << "</figure>\n<figure><figcaption>Wyniki procentowe</figcaption>" << Histogram(binLabels, stats.PercentBins)
      << "</figure>\n</div>\n";

    h << "<h2>Analiza pytań</h2>\n<table>\n<tr><th>Nr</th><th class=\"t\">Klucz</th><th>Pkt</th><th>p</th><th></th>"
         "<th>D</th><th>r</th>";
    const int letters = stats.Questions.empty() ? 0 : static_cast<int>(stats.Questions[0].LetterCounts.size());
    for (int b = 0; b < letters; ++b) h << "<th>" << static_cast<char>('A' + b) << "</th>";
    h << "<th>Puste</th><th>Podw.</th><th class=\"t\">Uwagi</th></tr>\n";
    for (const TQuestionStats& q : stats.Questions) {
        const size_t i = static_cast<size_t>(q.Number - 1);
        const std::string flags = Escape(QuestionRemarks(q));
        h << "<tr" << (q.TooHard || q.TooEasy || q.WeakItem ? " class=\"flag\"" : "") << "><td>" << q.Number
          << "</td><td class=\"t\">" << Escape(key.Answers[i]) << "</td><td>" << PolishNumber(key.Points[i], 2)
          << "</td><td>" << PolishNumber(q.P, 2, true) << "</td><td>" << Bar(q.P) << "</td><td>" << Optional(q.D, 2)
          << "</td><td>" << Optional(q.PointBiserial, 2) << "</td>";
        for (int c : q.LetterCounts) h << "<td>" << c << "</td>";
        h << "<td>" << q.Blank << "</td><td>" << q.Double << "</td><td class=\"t\">" << flags << "</td></tr>\n";
    }
    h << "</table>\n<p class=\"small\">p – odsetek pełnych punktów; D – p najlepszych 27 % minus p najsłabszych "
         "27 %; r – korelacja punktowo-dwuseryjna z wynikiem; Podw. – więcej niż jedna odpowiedź.</p>\n";

    std::vector<const TScoredEntry*> sorted;
    for (const TScoredEntry& e : entries) sorted.push_back(&e);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TScoredEntry* a, const TScoredEntry* b) { return CodeBefore(a->Student, b->Student); });
    h << "<h2>Uczniowie</h2>\n<table>\n<tr><th>Lp</th><th class=\"t\">ID</th><th class=\"t\">Skan</th>"
         "<th class=\"t\">Wersja</th><th>Punkty</th><th>Max</th><th>%</th><th>Ocena</th><th class=\"t\">Uwagi</th>"
         "</tr>\n";
    int lp = 0;
    for (const TScoredEntry* e : sorted) {
        const TEntryScore& s = e->Score;
        h << "<tr" << (s.Note.empty() ? "" : " class=\"flag\"") << "><td>" << ++lp << "</td><td class=\"t\">"
          << Escape(e->Student) << "</td><td class=\"t\">" << Escape(e->FileName) << "</td><td class=\"t\">"
          << Escape(s.Version) << "</td><td>" << (s.Graded ? PolishNumber(s.Points, 2) : "") << "</td><td>"
          << PolishNumber(s.Max, 2) << "</td><td>" << (s.Graded ? PolishNumber(OneDecimal(s.Percent), 1, true) : "")
          << "</td><td>" << (s.Graded ? PolishNumber(s.Grade, 2) : "") << "</td><td class=\"t\">" << Escape(s.Note)
          << "</td></tr>\n";
    }
    h << "</table>\n";
    // Scans that gave no entry are named, so that no sheet leaves the class silently.
    const Json skipped = document.value("Pominiete", Json::array());
    if (!skipped.empty()) {
        h << "<h2>Skany bez wyniku</h2>\n<table>\n<tr><th class=\"t\">Skan</th><th class=\"t\">Powód</th></tr>\n";
        for (const Json& p : skipped)
            h << "<tr><td class=\"t\">" << Escape(p.value("FileName", std::string())) << "</td><td class=\"t\">"
              << Escape(OneLine(p.value("Message", std::string()))) << "</td></tr>\n";
        h << "</table>\n";
    }
    h << "</body>\n</html>\n";
    return h.str();
}

void WriteClassReport(const std::string& path, const Json& document, const TAnswerKey& key) {
    const std::vector<TScoredEntry> entries = ScoreEntries(document, key);
    WriteFileAtomically(
        path, ClassReportHtml(document, key, entries, ComputeClassStatistics(entries, key, ShapeOf(document))));
}

}  // namespace quorlen
