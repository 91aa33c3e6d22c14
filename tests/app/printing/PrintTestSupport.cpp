#include "PrintTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <regex>

#include "app/printing/PrintJob.h"
#include "core/recognition/ReadScan.h"
#include "support/TestSupport.h"

namespace quorlen::printtest {

using quorlen::testing::RunCommand;

int PdfPageCount(const std::string& pdf) {
    std::string out;
    if (RunCommand("pdfinfo '" + pdf + "' 2>/dev/null", &out) != 0) return -1;
    std::smatch m;
    if (!std::regex_search(out, m, std::regex(R"(Pages:\s+(\d+))"))) return -1;
    return std::stoi(m[1]);
}

std::string PdfTitle(const std::string& pdf) {
    std::string out;
    if (RunCommand("pdfinfo '" + pdf + "' 2>/dev/null", &out) != 0) return {};
    std::smatch m;
    return std::regex_search(out, m, std::regex(R"(Title:\s+([^\n]*))")) ? m[1].str() : std::string();
}

std::vector<std::string> Rasterise(const std::string& pdf, int dpi, const std::string& prefix, int first, int last) {
    std::string command = "pdftoppm -gray -png -r " + std::to_string(dpi) + " -f " + std::to_string(first);
    if (last > 0) command += " -l " + std::to_string(last);
    command += " '" + pdf + "' '" + prefix + "'";
    EXPECT_EQ(RunCommand(command), 0) << command;
    // pdftoppm numbers pages with as many digits as the last page needs.
    const std::filesystem::path base(prefix);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(base.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(base.filename().string() + "-", 0) == 0 && entry.path().extension() == ".png")
            files.push_back(entry.path().string());
    }
    auto pageOf = [&](const std::string& path) {
        const std::string stem = std::filesystem::path(path).stem().string();
        return std::stoi(stem.substr(stem.rfind('-') + 1));
    };
    std::sort(files.begin(), files.end(), [&](const auto& a, const auto& b) { return pageOf(a) < pageOf(b); });
    return files;
}

TScanResult ReadPage(const std::string& path, int firstQuestion, int expectedCount, std::string* status) {
    TReadOptions options;
    options.AnswerPause = {};
    options.Level = 44;
    options.FirstQuestionNo = firstQuestion;
    options.ExpectedCount = expectedCount;
    TScanResult result = ReadScan(path, options);
    if (status) *status = std::to_string(static_cast<int>(result.Status)) + " " + result.Message;
    return result;
}

std::vector<std::string> ReadCodes(const std::string& pdf, int dpi) {
    const std::string prefix = (std::filesystem::path(pdf).parent_path() / "codes").string();
    std::vector<std::string> codes;
    for (const std::string& page : Rasterise(pdf, dpi, prefix)) {
        codes.push_back(ReadPage(page, 1, 0).Code);
        std::filesystem::remove(page);
    }
    return codes;
}

void PointAtPdf(QPrinter& printer, const std::string& pdf) { SetPdfOutput(printer, QString::fromStdString(pdf)); }

}  // namespace quorlen::printtest

// Windows run on the offscreen platform and keep any settings file in a
// folder of their own, never in the user's.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data(QDir::tempPath() + QStringLiteral("/quorlen-print-tests-XXXXXX"));
    qputenv("QUORLEN_DATA_DIR", data.path().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
