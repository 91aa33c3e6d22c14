#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "app/shell/FormMain.h"
#include "core/exporter/ExporterTestSupport.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::InstallTestExporter;
using quorlen::testing::LogLines;
using quorlen::testing::TempDir;

namespace {

struct Box {
    QString Text, Caption;
    QMessageBox::Icon Icon;
};

// A window whose plug-in is searched in dir/data only, whose message boxes
// are recorded, and whose dialogs are played by the test as a person would.
struct SaveWindow {
    TempDir dir;
    std::unique_ptr<TFormMain> w = std::make_unique<TFormMain>();
    std::vector<Box> boxes;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    int deviceDialogs = 0;
    std::function<void(TfrmDeviceChoice&)> onDeviceChoice = [](TfrmDeviceChoice& d) {
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("btnWybierz")), Qt::LeftButton);
    };

    SaveWindow() {
        w->UseDemoFiles = false;
        w->SaveWyniki().Search = [this] { return TExporterSearch{Data(), ""}; };
        w->Ask = [this](const QString& text, const QString& caption, QMessageBox::Icon icon,
                        QMessageBox::StandardButtons, QMessageBox::StandardButton) {
            boxes.push_back({text, caption, icon});
            return answer;
        };
        w->SaveWyniki().ExecDeviceChoice = [this](TfrmDeviceChoice& d) {
            ++deviceDialogs;
            QTimer::singleShot(0, &d, [this, &d] { onDeviceChoice(d); });
            return d.exec();
        };
    }
    std::string Data() const { return dir.File("data"); }
    std::string Log() const { return dir.File("calls.log"); }
    // Plays the save dialog once it is up: the type by keys in its combo box,
    // the name put into its name field, Enter.
    void AnswerSaveDialog(const QString& name, int typeIndex) {
        w->ChooseResultsFile = [this, name, typeIndex] {
            QFileDialog* dialog = w->SaveWyniki().SaveDialog();
            QTimer::singleShot(0, dialog, [dialog, name, typeIndex] {
                auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                QTest::keyClick(types, Qt::Key_Home);
                for (int i = 0; i < typeIndex; ++i) QTest::keyClick(types, Qt::Key_Down);
                // Set whole, as a paste would: the completer's list, shown
                // while typing a path, would take the Return.
                auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                field->setText(name);
                QTest::keyClick(field, Qt::Key_Return);
            });
            return w->SaveWyniki().RunSaveDialog();
        };
    }
    bool Click() { return w->btnSaveWynikiClick(); }
};

const char* const kADB =
    R"([{"FilterName":"A","Filter":"*.a"},{"Virtual":true,"DeviceName":"D"},{"FilterName":"B","Filter":"*.b"}])";

TEST(SaveWynikiWindow, DeviceDialogOffersTheDiskFirstAndIsLaidOutAsDrawn) {
    SaveWindow s;
    InstallTestExporter(s.Data(), {{"types", kADB}}, s.Log());
    s.onDeviceChoice = [](TfrmDeviceChoice& d) {
        EXPECT_EQ(d.windowTitle(), "Zapisz wyniki");
        EXPECT_EQ(d.size(), QSize(410, 143));
        ASSERT_EQ(d.Choices().size(), 2u);
        EXPECT_EQ(d.Choices()[0]->text(), "Plik na dysku");
        EXPECT_TRUE(d.Choices()[0]->isChecked());
        EXPECT_EQ(d.Choices()[1]->text(), "D");
        EXPECT_EQ(d.Choices()[1]->geometry(), QRect(8, 28, 165, 17));
        auto* choose = d.findChild<QPushButton*>(QStringLiteral("btnWybierz"));
        EXPECT_EQ(choose->geometry(), QRect(212, 8, 185, 57));
        EXPECT_TRUE(choose->isDefault());
        EXPECT_EQ(d.findChild<QPushButton*>(QStringLiteral("btnAnuluj"))->geometry(), QRect(212, 110, 185, 25));
        QTest::keyClick(&d, Qt::Key_Escape);
    };
    EXPECT_FALSE(s.Click()) << "cancelled";
    EXPECT_EQ(s.deviceDialogs, 1);
    EXPECT_TRUE(s.boxes.empty());
    EXPECT_EQ(s.w->SaveWyniki().SaveDialog()->nameFilters(),
              QStringList({"Pliki JSON (*.json)", "A (*.a)", "B (*.b)"}));
}

TEST(SaveWynikiWindow, WybierzUntouchedGoesToTheFileAndTypeBSendsMethodTwo) {
    SaveWindow s;
    InstallTestExporter(s.Data(), {{"types", kADB}}, s.Log());
    s.AnswerSaveDialog(QString::fromStdString(s.dir.File("wyniki")), 2);
    EXPECT_TRUE(s.Click());
    const std::string last = LogLines(s.Log()).back();
    ASSERT_EQ(last.rfind("SaveToFile ", 0), 0u) << last;
    const Json sent = Json::parse(last.substr(11));
    EXPECT_EQ(sent["Method"], 2);
    EXPECT_EQ(sent["FileName"], s.dir.File("wyniki.b"));
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].Text, "Wyniki zostały zapisane do pliku\n" + QString::fromStdString(s.dir.File("wyniki.b")));
    EXPECT_EQ(s.boxes[0].Caption, "Informacja");
    EXPECT_EQ(s.boxes[0].Icon, QMessageBox::Information);
}

TEST(SaveWynikiWindow, DeviceChoiceSendsSaveVirtualAndNamesTheDevice) {
    SaveWindow s;
    InstallTestExporter(s.Data(), {{"types", kADB}}, s.Log());
    s.onDeviceChoice = [](TfrmDeviceChoice& d) {
        QTest::mouseClick(d.Choices()[1], Qt::LeftButton, {}, QPoint(5, 8));
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("btnWybierz")), Qt::LeftButton);
    };
    EXPECT_TRUE(s.Click());
    EXPECT_EQ(LogLines(s.Log()).back().rfind("SaveVirtual {\"Method\":0,", 0), 0u) << LogLines(s.Log()).back();
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].Text, "Wyniki zostały zapisane do D");
}

TEST(SaveWynikiWindow, PluginErrorsAndBrokenLibrariesReachTheOperator) {
    {
        SaveWindow s;
        InstallTestExporter(s.Data(),
                            {{"types", R"([{"FilterName":"A","Filter":"*.a"}])"},
                             {"answer", R"({"Error":5,"ErrorStr":"Brak miejsca"})"}},
                            s.Log());
        s.AnswerSaveDialog(QString::fromStdString(s.dir.File("w")), 1);
        EXPECT_FALSE(s.Click());
        EXPECT_EQ(s.deviceDialogs, 0) << "only file types: no device dialog";
        ASSERT_EQ(s.boxes.size(), 1u);
        EXPECT_EQ(s.boxes[0].Text, "Brak miejsca");
        EXPECT_EQ(s.boxes[0].Caption, "Błąd");
        EXPECT_EQ(s.boxes[0].Icon, QMessageBox::Critical);
    }
    {
        SaveWindow s;
        std::filesystem::create_directories(s.Data());
        quorlen::testing::WriteFileBytes(s.Data() + "/QuorlenExporter.so", "not a library");
        s.AnswerSaveDialog(QString::fromStdString(s.dir.File("w")), 0);
        EXPECT_TRUE(s.Click()) << "the JSON file still saves";
        EXPECT_TRUE(std::filesystem::exists(s.dir.File("w.json")));
        ASSERT_EQ(s.boxes.size(), 1u);
        EXPECT_TRUE(s.boxes[0].Text.startsWith("Nie można załadować wtyczki eksportu " +
                                               QString::fromStdString(s.Data()) + "/QuorlenExporter.so"))
            << s.boxes[0].Text.toStdString();
        s.AnswerSaveDialog(QString::fromStdString(s.dir.File("w2")), 0);
        EXPECT_TRUE(s.Click());
        EXPECT_EQ(s.boxes.size(), 1u) << "told once";
        EXPECT_EQ(s.w->SaveWyniki().SaveDialog()->nameFilters(), QStringList({"Pliki JSON (*.json)"}));
    }
}

TEST(SaveWynikiWindow, ThePluginIsShutDownOnceWhenTheWindowGoes) {
    SaveWindow s;
    InstallTestExporter(s.Data(), {{"types", kADB}}, s.Log());
    s.onDeviceChoice = [](TfrmDeviceChoice& d) { QTest::keyClick(&d, Qt::Key_Escape); };
    s.Click();
    s.Click();
    std::vector<std::string> lines = LogLines(s.Log());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Create"), 1) << "loaded once";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Shutdown"), 0);
    s.w.reset();
    lines = LogLines(s.Log());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Shutdown"), 1);
    EXPECT_EQ(lines.back(), "Release");
}

#ifdef QUORLEN_SHIPPED_EXPORTER
// The shipped plug-in in the window's data folder and a run of two sheets:
// 0042 marks A B C A B, 7 marks C B A A B.
void RunTwoSheetsWithTheShippedPlugin(SaveWindow& s, const TempDir& scans) {
    std::filesystem::create_directories(s.Data());
    std::filesystem::copy_file(QUORLEN_SHIPPED_EXPORTER, s.Data() + "/QuorlenExporter.so");
    quorlen::testing::WriteMarkedScan(scans.File("a.png"), 5, 3, "0042", {{0}, {1}, {2}, {0}, {1}});
    quorlen::testing::WriteMarkedScan(scans.File("b.png"), 5, 3, "7", {{2}, {1}, {0}, {0}, {1}});
    s.w->ChooseScanFolder = [&] { return QString::fromStdString(scans.Path().string()); };
    s.w->edtScanFolderBrowse();
    s.w->Run().AnswerPause = {};
    s.w->btnExecuteClick();
    quorlen::testing::WaitForRunEnd(*s.w);
}

// After a real run: the workbook through the save dialog's XLSX type, then
// the rows through the database device, each with its message.
TEST(SaveWynikiWindow, ARunSavedAsWorkbookAndIntoTheDatabase) {
    SaveWindow s;
    TempDir scans;
    RunTwoSheetsWithTheShippedPlugin(s, scans);
    ASSERT_EQ(s.w->LastResults()["Lista"].size(), 2u);

    const std::string book = s.dir.File("wyniki.xlsx");
    s.AnswerSaveDialog(QString::fromStdString(s.dir.File("wyniki")), 2);
    QTest::mouseClick(s.w->findChild<QPushButton*>(QStringLiteral("btnSaveWyniki")), Qt::LeftButton);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].Text, "Wyniki zostały zapisane do pliku\n" + QString::fromStdString(book));
    EXPECT_EQ(s.boxes[0].Caption, "Informacja");
    std::string out;
    ASSERT_EQ(
        quorlen::testing::RunCommand("/usr/bin/python3 -c \"import openpyxl; ws = openpyxl.load_workbook('" + book +
                                         "')['Wyniki']; print(sorted(r[1] for r in ws.iter_rows(min_row=2, "
                                         "values_only=True)))\"",
                                     &out),
        0);
    EXPECT_EQ(out, "['0042', '7']\n");

    s.onDeviceChoice = [](TfrmDeviceChoice& d) {
        QTest::mouseClick(d.Choices()[1], Qt::LeftButton, {}, QPoint(5, 8));
        QTest::keyClick(&d, Qt::Key_Return);
    };
    QTest::mouseClick(s.w->findChild<QPushButton*>(QStringLiteral("btnSaveWyniki")), Qt::LeftButton);
    ASSERT_EQ(s.boxes.size(), 2u);
    const std::string database = qEnvironmentVariable("QUORLEN_DATA_DIR").toStdString() + "/wyniki.sqlite";
    // The database the teacher never chose is named, to be found again.
    EXPECT_EQ(s.boxes[1].Text, "Wyniki zostały zapisane do Baza wyników (SQLite):\n" + QString::fromStdString(database));
    EXPECT_EQ(s.boxes[1].Icon, QMessageBox::Information);
    ASSERT_EQ(quorlen::testing::RunCommand("sqlite3 '" + database +
                                               "' 'SELECT code FROM sheets WHERE run_id = "
                                               "(SELECT max(id) FROM runs) ORDER BY code'",
                                           &out),
              0);
    EXPECT_EQ(out, "0042\n7\n");
}
// Scored with a key taken from sheet 0042 ("Użyj jako klucza"), the run's
// workbook carries the scores and the class figures, which leave the key's
// own sheet out: 7 has 3 of 5 (A B C A B against C B A A B).
TEST(SaveWynikiWindow, AScoredRunSavesItsScoresAndTheAnalysis) {
    SaveWindow s;
    // A key fits a project of the sheets' own counts.
    for (auto [name, text] : {std::pair{"edtIlePyt", "5"}, std::pair{"edtIleOdp", "3"}}) {
        auto* field = s.w->findChild<QLineEdit*>(QString::fromLatin1(name));
        field->clear();
        QTest::keyClicks(field, QString::fromLatin1(text));
        emit field->editingFinished();
    }
    TempDir scans;
    RunTwoSheetsWithTheShippedPlugin(s, scans);
    const Json& lista = s.w->LastResults()["Lista"];
    ASSERT_EQ(lista.size(), 2u);
    const int keyRow = lista[0]["Student"] == "0042" ? 0 : 1;
    s.answer = QMessageBox::Yes;
    s.w->UseRowAsKey(keyRow);
    s.answer = QMessageBox::Ok;
    ASSERT_TRUE(s.w->LastResults().contains("Klucz"));
    s.boxes.clear();

    const std::string book = s.dir.File("ocenione.xlsx");
    s.AnswerSaveDialog(QString::fromStdString(s.dir.File("ocenione")), 2);
    QTest::mouseClick(s.w->findChild<QPushButton*>(QStringLiteral("btnSaveWyniki")), Qt::LeftButton);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].Caption, "Informacja");
    std::string out;
    ASSERT_EQ(quorlen::testing::RunCommand(
                  "/usr/bin/python3 -c \"import openpyxl; wb = openpyxl.load_workbook('" + book +
                      "'); print(wb.sheetnames); print(sorted(r[1:2] + r[8:] for r in wb['Wyniki'].iter_rows("
                      "min_row=2, values_only=True))); print([r[:2] for r in wb['Analiza'].iter_rows("
                      "values_only=True) if r[0] == 'Liczba uczniów'])\"",
                  &out),
              0);
    EXPECT_EQ(out,
              "['Wyniki', 'Analiza', 'Projekt', 'Pominiete']\n"
              "[('0042', None, 5, 5, 100, 6, 0, 'Arkusz klucza: poza statystyką klasy.'), ('7', None, 3, 5, 60, 3, 0, "
              "None)]\n"
              "[('Liczba uczniów', 1)]\n");
}
#endif

}  // namespace
