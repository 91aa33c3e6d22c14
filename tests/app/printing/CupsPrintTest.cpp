#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QPrinter>
#include <QPrinterInfo>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "PrintTestSupport.h"
#include "app/printing/PrintJob.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::printtest;

namespace {

const char* const kQueue = "Quorlen-PDF";

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// Where cups-pdf puts the jobs of this user: its "Out" setting with the
// user's home and name filled in (its default is ~/PDF).
std::filesystem::path CupsPdfFolder() {
    std::string out = "${HOME}/PDF";
    std::ifstream conf("/etc/cups/cups-pdf.conf");
    std::string line;
    std::smatch m;
    while (std::getline(conf, line))
        if (std::regex_match(line, m, std::regex(R"(\s*Out\s+(\S.*?)\s*)"))) out = m[1];
    const passwd* user = getpwuid(getuid());
    if (user) {
        out = Replace(out, "${HOME}", user->pw_dir);
        out = Replace(out, "${USER}", user->pw_name);
    }
    return out;
}

}  // namespace

// The print service itself: two sheets through the cups-pdf queue by name
// come out as a two-page document.
TEST(CupsPrint, TwoSheetsThroughTheQueueComeOutAsTwoPages) {
    std::string state;
    if (quorlen::testing::RunCommand("lpstat -r 2>&1", &state) != 0 || state.find("is running") == std::string::npos)
        GTEST_SKIP() << "the CUPS scheduler is not running (scripts/start-services.sh starts it)";
    if (QPrinterInfo::printerInfo(QString::fromLatin1(kQueue)).isNull())
        GTEST_SKIP() << "CUPS has no queue named " << kQueue << " (scripts/start-services.sh adds it)";

    // cups-pdf names its file after the document title, so a title of our own
    // finds this job's file among earlier ones.
    const std::string token = "QuorlenCupsTest" + std::to_string(getpid()) +
                              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000);
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(QString::fromLatin1(kQueue));
    ASSERT_EQ(printer.outputFormat(), QPrinter::NativeFormat);
    TProjectSettings project;
    project.QuestionCount = 30;
    project.AnswerCount = 4;
    const std::vector<std::string> codes{"31", "32"};
    ASSERT_EQ(PrintSheets(printer, project, QString::fromStdString(token), 1, &codes), 2);

    const std::filesystem::path folder = CupsPdfFolder();
    std::filesystem::path found;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (found.empty() && std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (entry.path().filename().string().find(token) != std::string::npos &&
                entry.path().extension() == ".pdf" && PdfPageCount(entry.path().string()) > 0)
                found = entry.path();
        if (found.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_FALSE(found.empty()) << "no PDF named after " << token << " appeared in " << folder;
    EXPECT_EQ(PdfPageCount(found.string()), 2);
    // What came out of the service reads back like our own PDF files do.
    EXPECT_EQ(ReadCodes(found.string()), codes);
    std::filesystem::remove(found);
}
