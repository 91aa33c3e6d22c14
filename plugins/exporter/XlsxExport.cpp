#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "Export.h"

namespace quorlen_exporter {

namespace {
// An empty cell for a figure that is not there.
void WriteNumber(lxw_worksheet* sheet, lxw_row_t r, lxw_col_t c, const std::optional<double>& value,
                 lxw_format* format) {
    if (value) worksheet_write_number(sheet, r, c, *value, format);
}

void WriteResultsSheet(lxw_workbook* book, const TRequest& request) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Wyniki");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    const int columns = request.Columns();
    worksheet_write_string(sheet, 0, 0, "Lp", bold);
    worksheet_write_string(sheet, 0, 1, "ID", bold);
    worksheet_write_string(sheet, 0, 2, "Skan", bold);
    for (int q = 1; q <= columns; ++q)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(2 + q), std::to_string(q).c_str(), bold);
    const bool scored = IsScored(request.Document());
    const lxw_col_t scoreColumn = static_cast<lxw_col_t>(3 + columns);
    if (scored)
        for (lxw_col_t c = 0; c < 5; ++c) worksheet_write_string(sheet, 0, scoreColumn + c, ScoreTitles[c], bold);
    const lxw_col_t statusColumn = scoreColumn + (scored ? 5 : 0);
    for (lxw_col_t c = 0; c < 2; ++c) worksheet_write_string(sheet, 0, statusColumn + c, StatusTitles[c], bold);
    lxw_format* oneDecimal = workbook_add_format(book);
    format_set_num_format(oneDecimal, "0.0");
    worksheet_freeze_panes(sheet, 1, 0);
    lxw_row_t r = 1;
    request.ForEachRow([&](const TRow& row) {
        worksheet_write_number(sheet, r, 0, row.Lp, nullptr);
        // Text, so that a code such as 0042 keeps its zeros.
        worksheet_write_string(sheet, r, 1, row.Id.c_str(), nullptr);
        worksheet_write_string(sheet, r, 2, row.Scan.c_str(), nullptr);
        for (size_t q = 0; q < row.Answers.size(); ++q)
            if (!row.Answers[q].empty())
                worksheet_write_string(sheet, r, static_cast<lxw_col_t>(3 + q), row.Answers[q].c_str(), nullptr);
        if (scored) {
            worksheet_write_string(sheet, r, scoreColumn, row.Version.c_str(), nullptr);
            WriteNumber(sheet, r, scoreColumn + 1, row.Points, nullptr);
            WriteNumber(sheet, r, scoreColumn + 2, row.Max, nullptr);
            WriteNumber(sheet, r, scoreColumn + 3, row.Percent, oneDecimal);
            WriteNumber(sheet, r, scoreColumn + 4, row.Grade, nullptr);
        }
        worksheet_write_number(sheet, r, statusColumn, row.Status, nullptr);
        if (!row.Note.empty()) worksheet_write_string(sheet, r, statusColumn + 1, row.Note.c_str(), nullptr);
        ++r;
    });
}

// The per-question figures the host computed for a scored document, then the
// class summary below them.
void WriteAnalysisSheet(lxw_workbook* book, const Json& analysis) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Analiza");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format* twoDecimals = workbook_add_format(book);
    format_set_num_format(twoDecimals, "0.00");
    const Json none = Json::array();
    const Json& questions =
        analysis.contains("Questions") && analysis["Questions"].is_array() ? analysis["Questions"] : none;
    size_t letters = 0;
    for (const Json& q : questions)
        if (q.is_object() && q.contains("Letters") && q["Letters"].is_array())
            letters = std::max(letters, q["Letters"].size());

    std::vector<std::string> titles = {"Nr", "Klucz", "Pkt", "p", "D", "r"};
    for (size_t b = 0; b < letters; ++b) titles.push_back(std::string(1, static_cast<char>('A' + b)));
    for (const char* title : {"Puste", "Podw.", "Uwagi"}) titles.push_back(title);
    for (size_t c = 0; c < titles.size(); ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), titles[c].c_str(), bold);
    worksheet_freeze_panes(sheet, 1, 0);

    lxw_row_t r = 1;
    for (const Json& q : questions) {
        WriteNumber(sheet, r, 0, NumberOf(q, "Number"), nullptr);
        worksheet_write_string(sheet, r, 1, TextOf(q, "Key").c_str(), nullptr);
        WriteNumber(sheet, r, 2, NumberOf(q, "Points"), nullptr);
        WriteNumber(sheet, r, 3, NumberOf(q, "P"), twoDecimals);
        WriteNumber(sheet, r, 4, NumberOf(q, "D"), twoDecimals);
        WriteNumber(sheet, r, 5, NumberOf(q, "PointBiserial"), twoDecimals);
        lxw_col_t c = 6;
        for (size_t b = 0; b < letters; ++b, ++c) {
            const Json& counts = q.is_object() && q.contains("Letters") ? q["Letters"] : none;
            if (counts.is_array() && b < counts.size() && counts[b].is_number())
                worksheet_write_number(sheet, r, c, counts[b].get<double>(), nullptr);
        }
        WriteNumber(sheet, r, c++, NumberOf(q, "Blank"), nullptr);
        WriteNumber(sheet, r, c++, NumberOf(q, "Double"), nullptr);
        worksheet_write_string(sheet, r, c, TextOf(q, "Uwagi").c_str(), nullptr);
        ++r;
    }

    const std::pair<const char*, const char*> summary[] = {{"Liczba uczniów", "N"},
                                                           {"Średnia", "Mean"},
                                                           {"Średnia %", "MeanPercent"},
                                                           {"Mediana", "Median"},
                                                           {"Odchylenie standardowe", "StdDev"},
                                                           {"Najniższy wynik", "Min"},
                                                           {"Najwyższy wynik", "Max"},
                                                           {"Punkty do zdobycia", "MaxPoints"},
                                                           {"Rzetelność KR-20", "KR20"}};
    ++r;
    for (const auto& [title, key] : summary) {
        worksheet_write_string(sheet, r, 0, title, bold);
        WriteNumber(sheet, r, 1, NumberOf(analysis, key), nullptr);
        ++r;
    }
    // Which codes the figures count once though they stand on several sheets.
    if (const std::string remark = TextOf(analysis, "Uwagi"); !remark.empty()) {
        worksheet_write_string(sheet, r, 0, "Uwagi", bold);
        worksheet_write_string(sheet, r, 1, remark.c_str(), nullptr);
    }
}

// The run's start as a Polish reader writes it, "10.12.2026 14:03" in local
// time, whatever the machine's locale; a document without "Date" shows its
// own "Date2".
std::string PolishDate(const Json& document) {
    const auto date = NumberOf(document, "Date");
    if (!date) return TextOf(document, "Date2");
    const std::time_t seconds = static_cast<std::time_t>(*date / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d", local.tm_mday, local.tm_mon + 1,
                  local.tm_year + 1900, local.tm_hour, local.tm_min);
    return text;
}

// Each key of the document's root, its name in Polish beside it, its value.
void WriteProjectSheet(lxw_workbook* book, const Json& document) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Projekt");
    const std::pair<const char*, const char*> rows[] = {{"Project", "Nazwa projektu"},   {"QCnt", "Liczba pytań"},
                                                        {"ACnt", "Liczba odpowiedzi"},  {"MultiChoice", "Wielokrotny wybór"},
                                                        {"Folder", "Folder skanów"},    {"Date", "Data odczytu"}};
    lxw_row_t r = 0;
    for (const auto& [key, name] : rows) {
        worksheet_write_string(sheet, r, 0, key, nullptr);
        worksheet_write_string(sheet, r, 1, name, nullptr);
        const Json value = document.is_object() && document.contains(key) ? document[key] : Json();
        if (std::string(key) == "Date")
            worksheet_write_string(sheet, r, 2, PolishDate(document).c_str(), nullptr);
        else if (value.is_string())
            worksheet_write_string(sheet, r, 2, value.get<std::string>().c_str(), nullptr);
        else if (value.is_boolean())
            worksheet_write_boolean(sheet, r, 2, value.get<bool>(), nullptr);
        else if (value.is_number())
            worksheet_write_number(sheet, r, 2, value.get<double>(), nullptr);
        ++r;
    }
    worksheet_set_column(sheet, 1, 1, 20, nullptr);
}
// Scans that gave no entry stay visible beside the results.
void WriteSkippedSheet(lxw_workbook* book, const Json& document) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Pominiete");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_col_t c = 0;
    for (const char* title : {"Lp", "Skan", "Status", "Komunikat"}) worksheet_write_string(sheet, 0, c++, title, bold);
    worksheet_freeze_panes(sheet, 1, 0);
    int lp = 0;
    for (const TSkipped& skipped : SkippedOf(document)) {
        const lxw_row_t r = static_cast<lxw_row_t>(++lp);
        worksheet_write_number(sheet, r, 0, lp, nullptr);
        worksheet_write_string(sheet, r, 1, skipped.Scan.c_str(), nullptr);
        worksheet_write_number(sheet, r, 2, skipped.Status, nullptr);
        worksheet_write_string(sheet, r, 3, skipped.Message.c_str(), nullptr);
    }
}
}  // namespace

void WriteXlsx(const std::string& fileName, const TRequest& request) {
    const Json& document = request.Document();
    const std::string temporary = TemporaryBeside(fileName);
    lxw_workbook* book = workbook_new(temporary.c_str());
    if (!book) {
        ::unlink(temporary.c_str());
        FailFile(fileName, "nie można utworzyć skoroszytu");
    }
    WriteResultsSheet(book, request);
    if (IsScored(document) && document.contains("Analiza") && document["Analiza"].is_object())
        WriteAnalysisSheet(book, document["Analiza"]);
    WriteProjectSheet(book, document);
    WriteSkippedSheet(book, document);
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR) {
        ::unlink(temporary.c_str());
        FailFile(fileName, lxw_strerror(error));
    }
    Commit(temporary, fileName);
}

}  // namespace quorlen_exporter
