#include <unistd.h>
#include <xlsxwriter.h>

#include "Export.h"

namespace quorlen_exporter {

namespace {
void WriteResultsSheet(lxw_workbook* book, const Json& document) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Wyniki");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    int columns = 0;
    const std::vector<TRow> rows = RowsOf(document, columns);
    worksheet_write_string(sheet, 0, 0, "Lp", bold);
    worksheet_write_string(sheet, 0, 1, "ID", bold);
    worksheet_write_string(sheet, 0, 2, "Skan", bold);
    for (int q = 1; q <= columns; ++q)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(2 + q), std::to_string(q).c_str(), bold);
    worksheet_freeze_panes(sheet, 1, 0);
    lxw_row_t r = 1;
    for (const TRow& row : rows) {
        worksheet_write_number(sheet, r, 0, row.Lp, nullptr);
        // Text, so that a code such as 0042 keeps its zeros.
        worksheet_write_string(sheet, r, 1, row.Id.c_str(), nullptr);
        worksheet_write_string(sheet, r, 2, row.Scan.c_str(), nullptr);
        for (size_t q = 0; q < row.Answers.size(); ++q)
            if (!row.Answers[q].empty())
                worksheet_write_string(sheet, r, static_cast<lxw_col_t>(3 + q), row.Answers[q].c_str(), nullptr);
        ++r;
    }
}

void WriteProjectSheet(lxw_workbook* book, const Json& document) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Projekt");
    lxw_row_t r = 0;
    for (const char* key : {"Project", "QCnt", "ACnt", "MultiChoice", "Folder", "Date2"}) {
        worksheet_write_string(sheet, r, 0, key, nullptr);
        const Json value = document.is_object() && document.contains(key) ? document[key] : Json();
        if (value.is_string())
            worksheet_write_string(sheet, r, 1, value.get<std::string>().c_str(), nullptr);
        else if (value.is_boolean())
            worksheet_write_boolean(sheet, r, 1, value.get<bool>(), nullptr);
        else if (value.is_number())
            worksheet_write_number(sheet, r, 1, value.get<double>(), nullptr);
        ++r;
    }
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

void WriteXlsx(const std::string& fileName, const Json& document) {
    const std::string temporary = TemporaryBeside(fileName);
    lxw_workbook* book = workbook_new(temporary.c_str());
    if (!book) {
        ::unlink(temporary.c_str());
        FailFile(fileName, "nie można utworzyć skoroszytu");
    }
    WriteResultsSheet(book, document);
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
