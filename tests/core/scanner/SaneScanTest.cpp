// Scanning through the real SANE library and its virtual backends: `test`
// (a feeder of 10 pages, and any failure status on request through its
// read-return-value option) and `pnm` (a file scanned as a page).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include <pthread.h>

#include "core/common/Json.h"
#include "core/recognition/ReadScan.h"
#include "core/scanner/SaneSession.h"
#include "core/scanner/ScanBatch.h"
#include "core/scanner/ScanFiles.h"
#include "core/scanner/ScannerDevice.h"
#include "core/scanner/ScannerError.h"
#include "support/SaneTestConfig.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::ReadPngImage;
using quorlen::testing::ReadPnmImage;
using quorlen::testing::RunCommand;
using quorlen::testing::TempDir;
using quorlen::testing::TImage;
using quorlen::testing::TSaneTestConfig;

namespace {

TScanSettings Settings(const std::string& device, const std::string& source = "ADF", const std::string& mode = "Gray",
                       std::vector<std::pair<std::string, std::string>> options = {}) {
    TScanSettings s;
    s.Device = device;
    s.Source = source;
    s.Mode = mode;
    s.Options = std::move(options);
    return s;
}

// What a batch told its handlers.
struct TRecorder {
    std::vector<int> Started, Saved;
    std::atomic<bool> Cancel{false};
    TScannerHandlers Handlers() {
        TScannerHandlers h;
        h.PageStarted = [this](int page) { Started.push_back(page); };
        h.PageSaved = [this](int page, const std::string& file) {
            Saved.push_back(page);
            EXPECT_TRUE(std::filesystem::exists(file));
        };
        h.Cancel = &Cancel;
        return h;
    }
};

// Every file of the folder is a finished page: no temporary is left behind.
void ExpectOnlyPages(const TempDir& dir, size_t count) {
    const std::vector<std::string> names = quorlen::testing::FileNames(dir.Path().string());
    EXPECT_EQ(names.size(), count);
    for (const std::string& name : names) {
        EXPECT_EQ(name.rfind("Skan_", 0), 0u) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".png") << name;
    }
}

}  // namespace

TEST(SaneScan, TheVirtualDevicesAreListed) {
    TSaneTestConfig sane;
    std::map<std::string, std::string> labels;
    for (const TScannerInfo& d : ListScanners()) labels[d.Name] = d.Label();
    EXPECT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels["test:0"], "Noname frontend-tester");
    EXPECT_EQ(labels["pnm:1"], "Noname PNM file reader");
}

TEST(SaneScan, AFeederBatchSavesEveryPageAndEndsWhenTheFeederIsEmpty) {
    TSaneTestConfig sane;
    TempDir folder;
    TRecorder recorder;
    const TScanOutcome outcome = ScanToFolder(Settings("test:0"), folder.Path().string(), recorder.Handlers());
    EXPECT_EQ(outcome.End, TScanEnd::Done) << outcome.Message;
    ASSERT_EQ(outcome.Files.size(), 10u);
    EXPECT_EQ(recorder.Saved, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(recorder.Started.size(), 11u) << "the eleventh start finds the feeder empty";
    ExpectOnlyPages(folder, 10);
    const std::string stem = std::filesystem::path(outcome.Files[0]).filename().string().substr(0, 20);
    for (size_t i = 0; i < outcome.Files.size(); ++i) {
        EXPECT_EQ(std::filesystem::path(outcome.Files[i]).filename().string(), ScanFileName(stem, int(i) + 1));
        const TImage page = ReadPngImage(outcome.Files[i]);
        // 80 × 100 mm at 200 dpi, 8-bit grey, the resolution recorded.
        EXPECT_EQ(page.Width, 629);
        EXPECT_EQ(page.Height, 787);
        EXPECT_EQ(page.Channels, 1);
        EXPECT_EQ(page.BitDepth, 8);
        EXPECT_EQ(page.DotsPerInch, 200);
    }
}

TEST(SaneScan, CancellingAfterThreePagesKeepsThree) {
    TSaneTestConfig sane;
    TempDir folder;
    TRecorder recorder;
    TScannerHandlers handlers = recorder.Handlers();
    handlers.PageSaved = [&](int page, const std::string&) {
        if (page == 3) recorder.Cancel = true;
    };
    const TScanOutcome outcome = ScanToFolder(Settings("test:0"), folder.Path().string(), handlers);
    EXPECT_EQ(outcome.End, TScanEnd::Cancelled);
    EXPECT_EQ(outcome.Files.size(), 3u);
    ExpectOnlyPages(folder, 3);

    // Raised in the middle of a page (the backend sends each 32 KB after a
    // pause of 0.2 s): that page is dropped, nothing half-written stays.
    TempDir second;
    TRecorder midPage;
    TScannerHandlers slow = midPage.Handlers();
    std::thread canceller;
    slow.PageStarted = [&](int page) {
        if (page == 2)
            canceller = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                midPage.Cancel = true;
            });
    };
    const auto started = std::chrono::steady_clock::now();
    const TScanOutcome dropped = ScanToFolder(
        Settings("test:0", "ADF", "Gray",
                 {{"br-x", "40"}, {"br-y", "40"}, {"read-delay", "yes"}, {"read-delay-duration", "200000"}}),
        second.Path().string(), slow);
    canceller.join();
    EXPECT_EQ(dropped.End, TScanEnd::Cancelled);
    ExpectOnlyPages(second, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST(SaneScan, ADeviceFailingInTheMiddleOfABatchKeepsThePagesBefore) {
    // The statuses a real feeder reports; the test backend returns any of
    // them from sane_read once told so, here after the third page.
    for (const auto& [status, name] :
         std::vector<std::pair<int, const char*>>{{SANE_STATUS_JAMMED, "SANE_STATUS_JAMMED"},
                                                  {SANE_STATUS_COVER_OPEN, "SANE_STATUS_COVER_OPEN"},
                                                  {SANE_STATUS_DEVICE_BUSY, "SANE_STATUS_DEVICE_BUSY"},
                                                  {SANE_STATUS_IO_ERROR, "SANE_STATUS_IO_ERROR"}}) {
        TSaneTestConfig sane;
        TempDir folder;
        TSaneSession session;
        TScannerDevice device(session, "test:0");
        const TAppliedScan applied = device.Apply(Settings("test:0"));
        TScannerHandlers handlers;
        handlers.PageSaved = [&, name = name](int page, const std::string&) {
            if (page == 3) device.SetOption("read-return-value", name);
        };
        const TScanOutcome outcome = ScanPages(device, applied, folder.Path().string(), handlers);
        EXPECT_EQ(outcome.End, TScanEnd::Failed) << name;
        EXPECT_EQ(outcome.Status, status) << name;
        EXPECT_EQ(outcome.Message, ScannerStatusMessage(status));
        EXPECT_EQ(outcome.Files.size(), 3u) << name;
        EXPECT_EQ(KeptPagesNote(outcome),
                  "Strony zeskanowane przed błędem zostały zapisane w folderze skanów (liczba stron: 3).");
        ExpectOnlyPages(folder, 3);
    }
}

TEST(SaneScan, FailuresBeforeThePagesSayWhatIsWrongAndLeaveNothing) {
    TSaneTestConfig sane;
    TempDir pnm;
    quorlen::testing::WritePgm(pnm.File("page.pgm"), 4, 4, std::string(16, '\x80'));
    const std::string pgm = pnm.File("page.pgm");
    const struct {
        TScanSettings Settings;
        int Status;
        std::string Message;
    } cases[] = {
        {Settings("nosuch:0"), SANE_STATUS_INVAL, "Nie znaleziono skanera „nosuch:0”."},
        {Settings("test:7"), SANE_STATUS_INVAL, "Nie znaleziono skanera „test:7”."},
        {Settings(""), SANE_STATUS_INVAL, "Nie znaleziono skanera „”."},
        {Settings("test:0", "ADF", "Gray", {{"read-return-value", "SANE_STATUS_JAMMED"}}), SANE_STATUS_JAMMED,
         ScannerStatusMessage(SANE_STATUS_JAMMED)},
        {Settings("test:0", "ADF", "Gray", {{"read-return-value", "SANE_STATUS_NO_DOCS"}}), SANE_STATUS_NO_DOCS,
         ScannerStatusMessage(SANE_STATUS_NO_DOCS)},
        {Settings("test:0", "Transparency"), SANE_STATUS_INVAL,
         "Skaner „test:0” nie oferuje źródła „Transparency”. Dostępne: Flatbed, Automatic Document Feeder."},
        {Settings("test:0", "ADF", "Sepia"), SANE_STATUS_INVAL,
         "Skaner „test:0” nie oferuje trybu „Sepia”. Dostępne: Gray, Color."},
        {Settings("test:0", "ADF", "Gray", {{"nosuch", "1"}}), SANE_STATUS_INVAL,
         "Skaner „test:0” nie ma opcji „nosuch”."},
        {Settings("test:0", "ADF", "Gray", {{"test-picture", "plaid"}}), SANE_STATUS_INVAL,
         "Zła wartość opcji „test-picture”: „plaid” (dozwolone: Solid black, Solid white, Color pattern, Grid)."},
        {Settings("test:0", "ADF", "Gray", {{"three-pass", "yes"}}), SANE_STATUS_INVAL,
         "Opcja „three-pass” jest teraz nieaktywna: zależy od innych ustawień skanera."},
        {Settings("pnm:0", "ADF", "Gray", {{"filename", pgm}}), SANE_STATUS_INVAL,
         "Skaner „pnm:0” nie ma podajnika dokumentów. Wybierz szybę skanera (Flatbed)."},
        {Settings("pnm:0", "", "Lineart", {{"filename", pgm}}), SANE_STATUS_INVAL,
         "Skaner „pnm:0” nie oferuje trybu „Lineart”."},
        {Settings("pnm:0", "", "Gray", {{"filename", pnm.File("missing.pgm")}}), SANE_STATUS_INVAL,
         ScannerStatusMessage(SANE_STATUS_INVAL)},
    };
    for (const auto& c : cases) {
        TempDir folder;
        const TScanOutcome outcome = ScanToFolder(c.Settings, folder.Path().string(), {});
        EXPECT_EQ(outcome.End, TScanEnd::Failed) << c.Message;
        EXPECT_EQ(outcome.Status, c.Status) << c.Message;
        EXPECT_EQ(outcome.Message, c.Message);
        EXPECT_TRUE(outcome.Files.empty());
        EXPECT_EQ(KeptPagesNote(outcome), "");
        ExpectOnlyPages(folder, 0);
    }
    const TScanOutcome noFolder = ScanToFolder(Settings("test:0"), pnm.File("nowhere"), {});
    EXPECT_EQ(noFolder.Message, "Folder skanów „" + pnm.File("nowhere") + "” nie istnieje.");
}

// The test backend cancels its reader thread the moment a jam is reported,
// while the thread may still be allocating its buffers; cancelled at an
// arbitrary instruction it died holding a malloc lock and the join in
// sane_cancel waited forever, one run in fifteen. Many jams in a row would
// hang here (and fail on the test's time limit) if asynchronous cancellation
// came back.
TEST(SaneScan, AJammedFeederIsCancelledWithoutHangingOverAndOver) {
    TSaneTestConfig sane;
    for (int i = 0; i < 60; ++i) {
        TempDir folder;
        const TScanOutcome outcome = ScanToFolder(
            Settings("test:0", "ADF", "Gray", {{"read-return-value", "SANE_STATUS_JAMMED"}}), folder.Path().string(), {});
        ASSERT_EQ(outcome.Status, SANE_STATUS_JAMMED) << "round " << i;
    }
    int asked = -1, kept = -1;
    std::thread([&] {
        pthread_setcanceltype(PTHREAD_CANCEL_ASYNCHRONOUS, nullptr);
        pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, &asked);
        pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, &kept);
    }).join();
    EXPECT_EQ(asked, PTHREAD_CANCEL_DEFERRED);
    EXPECT_EQ(kept, PTHREAD_CANCEL_DEFERRED);
}

// Every kind of frame the device sends is saved with the pixels scanimage
// writes for the same settings, read back by independent decoders.
TEST(SaneScan, PagesHoldThePixelsScanimageGetsFromTheSameDevice) {
    TSaneTestConfig sane;
    const struct {
        const char* Mode;
        std::vector<std::pair<std::string, std::string>> Options;
        const char* ScanimageOptions;
        int Channels, BitDepth;
    } cases[] = {
        {"Gray", {}, "--mode Gray", 1, 8},
        {"Gray", {{"depth", "16"}}, "--mode Gray --depth 16", 1, 8},
        {"Lineart", {}, "--mode Gray --depth 1", 1, 1},
        {"Color", {}, "--mode Color", 3, 8},
        {"Color", {{"depth", "16"}}, "--mode Color --depth 16", 3, 8},
        {"Color", {{"three-pass", "yes"}}, "--mode Color --three-pass=yes", 3, 8},
        {"Color", {{"three-pass", "yes"}, {"three-pass-order", "BGR"}}, "--mode Color --three-pass=yes", 3, 8},
        {"Gray", {{"hand-scanner", "yes"}}, "--mode Gray --hand-scanner=yes", 1, 8},
        {"Gray", {{"read-limit", "yes"}, {"read-limit-size", "777"}}, "--mode Gray", 1, 8},
    };
    for (const auto& c : cases) {
        TempDir folder;
        std::vector<std::pair<std::string, std::string>> options = c.Options;
        options.emplace_back("test-picture", "Color pattern");
        TScanSettings s = Settings("test:0", "Flatbed", c.Mode, options);
        s.Resolution = 75;
        const TScanOutcome outcome = ScanToFolder(s, folder.Path().string(), {});
        ASSERT_EQ(outcome.Files.size(), 1u) << c.ScanimageOptions << ": " << outcome.Message;
        const std::string pnm = folder.File("scanimage.pnm");
        ASSERT_EQ(RunCommand(sane.Environment() + "scanimage -d test:0 --source Flatbed --resolution 75 " +
                             "--test-picture 'Color pattern' --format=pnm " + c.ScanimageOptions + " -o " + pnm +
                             " 2>/dev/null"),
                  0)
            << c.ScanimageOptions;
        const TImage ours = ReadPngImage(outcome.Files[0]);
        const TImage theirs = ReadPnmImage(pnm);
        EXPECT_EQ(ours.Channels, c.Channels) << c.ScanimageOptions;
        EXPECT_EQ(ours.BitDepth, c.BitDepth) << c.ScanimageOptions;
        EXPECT_EQ(ours.Width, theirs.Width) << c.ScanimageOptions;
        EXPECT_EQ(ours.Height, theirs.Height) << c.ScanimageOptions;
        EXPECT_TRUE(ours.Samples == theirs.Samples) << c.ScanimageOptions;
    }
}

TEST(SaneScan, ColourBecomesGreyUnlessColourIsAsked) {
    TSaneTestConfig sane;
    TempDir dir;
    quorlen::testing::WriteFileBytes(dir.File("rgb.ppm"),
                                     std::string("P6\n2 1\n255\n") + std::string("\xff\x00\x00\x00\x00\xff", 6));
    for (const auto& [mode, expected] : std::vector<std::pair<const char*, std::string>>{
             {"Gray", std::string("\x4c\x1d", 2)}, {"Color", std::string("\xff\x00\x00\x00\x00\xff", 6)}}) {
        TempDir folder;
        const TScanOutcome outcome =
            ScanToFolder(Settings("pnm:0", "", mode, {{"filename", dir.File("rgb.ppm")}}), folder.Path().string(), {});
        ASSERT_EQ(outcome.Files.size(), 1u) << outcome.Message;
        EXPECT_EQ(ReadPngImage(outcome.Files[0]).Samples, expected) << mode;
    }
}

TEST(SaneScan, TheResolutionIsTheNearestTheDeviceOffers) {
    TSaneTestConfig sane;
    TempDir dir;
    quorlen::testing::WritePgm(dir.File("page.pgm"), 8, 8, std::string(64, '\xff'));
    // pnm offers 75 … 300 in steps of 15; test any whole number up to 1200.
    const struct {
        const char* Device;
        int Wanted, Recorded;
    } cases[] = {{"pnm:0", 200, 200}, {"pnm:0", 250, 255}, {"pnm:0", 600, 300}, {"test:0", 333, 333}};
    for (const auto& c : cases) {
        TempDir folder;
        TScanSettings s = Settings(c.Device, "Flatbed", "Gray", {});
        if (std::string(c.Device) == "pnm:0") s = Settings(c.Device, "", "Gray", {{"filename", dir.File("page.pgm")}});
        s.Resolution = c.Wanted;
        const TScanOutcome outcome = ScanToFolder(s, folder.Path().string(), {});
        ASSERT_EQ(outcome.Files.size(), 1u) << outcome.Message;
        EXPECT_EQ(ReadPngImage(outcome.Files[0]).DotsPerInch, c.Recorded) << c.Device << " " << c.Wanted;
    }
}

// A sheet from the simulator, turned into the PNM file the pnm backend
// scans, comes back from the scanner with its code and its answers.
TEST(SaneScan, AScannedSheetReadsBackWithItsCodeAndAnswers) {
    TSaneTestConfig sane;
    TempDir sheets, folder;
    ASSERT_EQ(
        RunCommand(std::string(QUORLEN_CLI_PATH) + " simulate --questions 20 --answers 4 --count 1 --codes 4711 " +
                   "--preset office --seed 9 --format png --out " + sheets.Path().string() + " >/dev/null"),
        0);
    const Json truth = *ParseJson(ReadFileBytes(sheets.File("truth.json")));
    const TImage sheet = ReadPngImage(sheets.File(truth["Files"][0]["File"].get<std::string>()));
    quorlen::testing::WritePgm(sheets.File("sheet.pgm"), sheet.Width, sheet.Height, sheet.Samples);

    const TScanOutcome outcome = ScanToFolder(Settings("pnm:0", "", "Gray", {{"filename", sheets.File("sheet.pgm")}}),
                                              folder.Path().string(), {});
    ASSERT_EQ(outcome.Files.size(), 1u) << outcome.Message;
    EXPECT_EQ(outcome.End, TScanEnd::Done);
    EXPECT_TRUE(ReadPngImage(outcome.Files[0]).Samples == sheet.Samples);

    TReadOptions options;
    options.CheckEmpty.Set(false);
    options.AnswerPause = {};
    const TScanResult read = ReadScan(outcome.Files[0], options);
    EXPECT_EQ(read.Status, TScanStatus::Read) << read.Message;
    EXPECT_EQ(read.Code, "4711");
    ASSERT_EQ(read.Answers.Count(), 20);
    for (int q = 0; q < 20; ++q) EXPECT_EQ(read.Answers.ValueAt(q), truth["Files"][0]["Answers"][q].get<std::string>());
}
