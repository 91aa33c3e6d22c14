#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "core/batch/BatchRun.h"
#include "core/batch/BatchTestSupport.h"
#include "core/batch/LoopHost.h"
#include "core/batch/ScanList.h"
#include "core/common/Json.h"
#include "core/recognition/ReadScan.h"

using namespace quorlen;
using namespace quorlen::testing;

namespace {

struct Started {
    int Item, Slot, Cpu;
};

// An engine on a loop host, driven on the test's thread as the GUI thread.
struct Harness {
    TLoopHost host;
    TBatchRun run{host};
    std::vector<Started> started;
    int finishedCalls = 0;
    std::vector<std::pair<int, int>> progressEvents;
    Harness(int maxWorkers, int cpuCount) {
        run.MaxWorkers = maxWorkers;
        run.CpuCount = cpuCount;
        run.AnswerPause = {};
        host.SetHandler([this](const TBatchMessage& m) { run.HandleMessage(m); });
        run.WorkerStarted = [this](int item, int slot, int cpu) { started.push_back({item, slot, cpu}); };
        run.Owner.Finished = [this] { ++finishedCalls; };
        run.Progress = [this](int max, int pos) { progressEvents.push_back({max, pos}); };
    }
    bool Start(const std::string& folder, int questions = 3, bool same = false) {
        TRunSettings s;
        s.ScanFolder = folder;
        s.QuestionCount = questions;
        s.AnswerCount = 2;
        s.AllScansAlike = same;
        return run.StartRun(s);
    }
    void Finish() {
        host.Run([this] { return !run.Running; });
    }
};

}  // namespace

TEST(ScanList, KeepsExactlyTheScanExtensionsAndSkipsFolders) {
    TempDir dir;
    for (const char* name : {"a.JPG", "b.jpeg", "c.Png", "d.bmp", "e.tif", "i.PDF", "j.Tiff", "f.jpg.bak", "h.jpgx",
                             "k.pdf#2", "l.tifff", "m.pd", "noext"})
        WriteFileBytes(dir.File(name), "x");
    std::filesystem::create_directory(dir.File("g.jpg"));
    std::filesystem::create_directory(dir.File("n.pdf"));
    std::set<std::string> names;
    for (const std::string& f : ListScanFiles(dir.Path().string()))
        names.insert(std::filesystem::path(f).filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"a.JPG", "b.jpeg", "c.Png", "d.bmp", "e.tif", "i.PDF", "j.Tiff"}));
}

TEST(MultiPageList, PagesStandInTheFilesOrderAndARefusedFileStaysAsOneScan) {
    const std::map<std::string, int> pages = {{"/s/a.pdf", 3}, {"/s/b.TIF", 1}, {"/s/c.tiff", 0}, {"/s/d.pdf", -1}};
    const TPageCounter count = [&](const std::string& path, std::string* why) {
        const int n = pages.at(path);
        if (n < 0) throw std::runtime_error("brak pamięci");
        if (n == 0) *why = "Plik TIFF jest uszkodzony";
        return n;
    };
    const std::vector<std::string> files = {"/s/z.jpg", "/s/a.pdf", "/s/b.TIF", "/s/c.tiff", "/s/d.pdf", "/s/e.png"};
    const std::vector<TListedScan> expected = {
        {"/s/z.jpg", ""},   {"/s/a.pdf#1", ""}, {"/s/a.pdf#2", ""}, {"/s/a.pdf#3", ""},
        {"/s/b.TIF", ""},   {"/s/c.tiff", "Plik TIFF jest uszkodzony"}, {"/s/d.pdf", "brak pamięci"},
        {"/s/e.png", ""},
    };
    EXPECT_EQ(ExpandScanPages(files, count), expected);
}

TEST(BatchRun, EmptyFolderStartsNothing) {
    TempDir dir;
    Harness h(4, 2);
    bool told = false;
    h.run.Owner.NoScanFiles = [&] { told = true; };
    EXPECT_FALSE(h.Start(dir.Path().string()));
    EXPECT_TRUE(told);
    EXPECT_FALSE(h.run.Running);
    EXPECT_TRUE(h.run.Results.Empty());
}

TEST(BatchRun, OneFileNeedsNoWorkerAndFillsTheBar) {
    TempDir dir;
    WriteSheetScan(dir.File("s1.jpg"), 3, 2, "12");
    Harness h(8, 2);
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.Finish();
    EXPECT_TRUE(h.started.empty());
    EXPECT_EQ(h.finishedCalls, 1);
    EXPECT_EQ(h.run.ProgressPosition, h.run.ProgressMax);
    EXPECT_EQ(h.run.ProgressMax, 3);
    const Json doc = h.run.Results.Snapshot();
    ASSERT_EQ(doc["Lista"].size(), 1u);
    EXPECT_EQ(doc["Lista"][0]["Student"], "12");
    EXPECT_EQ(doc["Lista"][0]["Wyniki"], Json::array({"A", "B", "A"}));
}

// A file whose pages cannot be counted is one scan of the run, skipped with
// the reason, whether it comes first (read on the host thread) or later; the
// pages of the others are the run's scans and its progress.
TEST(BatchRun, AFileWithoutPagesIsSkippedWithItsReasonAndPagesAreScans) {
    TempDir dir;
    WriteSheetScan(dir.File("s1.jpg"), 3, 2, "12");
    WriteFileBytes(dir.File("a.pdf"), "%PDF");
    WriteFileBytes(dir.File("b.tif"), "II*");
    Harness h(2, 2);
    int counted = 0;
    h.run.CountPages = [&](const std::string& path, std::string* why) {
        ++counted;
        if (path.ends_with("a.pdf")) {
            *why = "Plik PDF jest zaszyfrowany";
            return 0;
        }
        return 3;
    };
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.Finish();
    EXPECT_EQ(counted, 2);
    EXPECT_EQ(h.run.Items.size(), 5u);
    EXPECT_EQ(h.run.FolderScanCount, 5);
    EXPECT_EQ(h.run.ProgressMax, 15);
    const Json doc = h.run.Results.Snapshot();
    ASSERT_EQ(doc["Lista"].size(), 1u);
    std::map<std::string, Json> skipped;
    for (const Json& s : doc["Pominiete"]) skipped[s["FileName"]] = s;
    ASSERT_EQ(skipped.size(), 4u) << doc.dump();
    EXPECT_EQ(skipped["a.pdf"]["Status"], -1);
    EXPECT_EQ(skipped["a.pdf"]["Message"], "Plik PDF jest zaszyfrowany:\r" + dir.File("a.pdf"));
    // The pages were listed and read (and, being no pictures, not loaded).
    for (const char* page : {"b.tif#1", "b.tif#2", "b.tif#3"}) EXPECT_EQ(skipped[page]["Status"], -1) << page;
}

TEST(BatchRun, OneWorkerReadsTheRestInListingOrderOnProcessorZero) {
    TempDir dir;
    WriteBrokenScans(dir, 10);
    Harness h(1, 2);
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.Finish();
    ASSERT_EQ(h.started.size(), 9u);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(h.started[static_cast<size_t>(i)].Item, i + 1);
        EXPECT_EQ(h.started[static_cast<size_t>(i)].Slot, 0);
        EXPECT_EQ(h.started[static_cast<size_t>(i)].Cpu, 0);
    }
    EXPECT_EQ(h.run.Results.Snapshot()["Pominiete"].size(), 10u);
}

TEST(BatchRun, WorkersArePinnedRoundRobinAndEveryFileIsReadOnce) {
    {
        TempDir dir;
        WriteBrokenScans(dir, 3);
        Harness h(8, 2);
        ASSERT_TRUE(h.Start(dir.Path().string()));
        h.Finish();
        ASSERT_EQ(h.started.size(), 2u);
        EXPECT_EQ(h.run.SlotCount, 2);
        EXPECT_EQ(h.started[0].Cpu, 0);
        EXPECT_EQ(h.started[1].Cpu, 1);
    }
    TempDir dir;
    WriteBrokenScans(dir, 20);
    Harness h(8, 4);
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.Finish();
    ASSERT_EQ(h.started.size(), 19u);
    std::map<int, int> cpuOfSlot;
    std::multiset<int> items;
    for (const Started& s : h.started) {
        items.insert(s.Item);
        if (s.Item <= 8) {
            EXPECT_EQ(s.Slot, s.Item - 1);
            EXPECT_EQ(s.Cpu, (s.Item - 1) % 4);
            cpuOfSlot[s.Slot] = s.Cpu;
        } else {
            EXPECT_EQ(s.Cpu, cpuOfSlot.at(s.Slot)) << "a replacement keeps its slot's processor";
        }
    }
    for (int i = 1; i < 20; ++i) EXPECT_EQ(items.count(i), 1u) << i;
    const Json doc = h.run.Results.Snapshot();
    EXPECT_EQ(doc["Pominiete"].size(), 20u);
    EXPECT_EQ(doc["Pominiete"][0]["Status"], -1);
}

TEST(BatchRun, ProgressOfTheFirstFileNeverMovesTheBar) {
    TempDir dir;
    WriteBrokenScans(dir, 1);
    Harness h(2, 2);
    h.run.Running = true;
    h.run.ProgressMax = 100;
    h.run.ProgressPosition = 10;
    h.run.HandleMessage({WM_SCANPROGRESS, 0, 5});
    EXPECT_EQ(h.run.ProgressPosition, 10);
    h.run.HandleMessage({WM_SCANPROGRESS, 3, 5});
    EXPECT_EQ(h.run.ProgressPosition, 11);
    h.run.Running = false;
}

TEST(BatchRun, CancelWithNoChangesNothingAndYesStopsStartingFiles) {
    TempDir dir;
    WriteBrokenScans(dir, 30);
    {
        Harness h(1, 1);
        int asked = 0;
        h.run.Owner.ConfirmCancel = [&] {
            ++asked;
            return false;
        };
        ASSERT_TRUE(h.Start(dir.Path().string()));
        h.run.RequestCancel();
        h.Finish();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(h.started.size(), 29u);
        EXPECT_EQ(h.run.ProgressPosition, h.run.ProgressMax);
    }
    Harness h(1, 1);
    h.run.Owner.ConfirmCancel = [] { return true; };
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.run.RequestCancel();
    h.Finish();
    EXPECT_EQ(h.started.size(), 1u);  // the worker already running ends; no further file
    EXPECT_LT(h.run.ProgressPosition, h.run.ProgressMax);
    EXPECT_EQ(h.finishedCalls, 1);
    // The two files read, then one record for each file the run never read:
    // the document accounts for the whole folder.
    const Json skipped = h.run.Results.Snapshot()["Pominiete"];
    ASSERT_EQ(skipped.size(), 30u);
    std::set<std::string> files;
    for (size_t i = 0; i < skipped.size(); ++i) {
        files.insert(skipped[i]["FileName"].get<std::string>());
        if (i < 2) continue;
        EXPECT_EQ(skipped[i]["Status"], -2);
        EXPECT_EQ(skipped[i]["Message"], "Nie przeanalizowano: analiza została przerwana.");
    }
    EXPECT_EQ(files.size(), 30u);
}

TEST(BatchRun, EndingFromTheOperatorDialogDuringTheFirstScanStartsNoWorker) {
    TempDir dir;
    // Every file asks, so whichever the folder lists first is the one ended.
    for (int i = 0; i < 4; ++i) WriteBlankScan(dir.File("b" + std::to_string(i) + ".png"));
    Harness h(4, 2);
    int questions = 0;
    h.run.Owner.GetStartPoint = [&](const TScanView&, TRect, TPoint&, bool& ok) {
        ++questions;
        ok = false;
        h.run.CancelRun();  // "Zakończ"
    };
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.Finish();
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(h.started.empty());
    EXPECT_EQ(h.run.ProgressPosition, h.run.ProgressMax);
    EXPECT_EQ(h.run.Results.Snapshot()["Pominiete"].size(), 4u);
}

TEST(BatchRun, ProgressEventsFollowTheFirstScanAndEachAnswer) {
    TempDir dir;
    for (int i = 0; i < 3; ++i) WriteSheetScan(dir.File("s" + std::to_string(i) + ".jpg"), 4, 2, std::to_string(i + 1));
    Harness h(2, 2);
    ASSERT_TRUE(h.Start(dir.Path().string(), 4));
    h.Finish();
    // One event after the first scan, then one per answer a worker recorded;
    // the end of the run sends none of its own.
    ASSERT_EQ(h.progressEvents.size(), 1u + 2u * 4u);
    EXPECT_EQ(h.progressEvents[0], std::make_pair(12, 4));
    for (size_t i = 1; i < h.progressEvents.size(); ++i)
        EXPECT_EQ(h.progressEvents[i], std::make_pair(12, 4 + static_cast<int>(i))) << i;
}

TEST(BatchRun, AFirstScanThatFailsLeavesLaterScansWithoutSharedGeometry) {
    TempDir dir;
    // Identical sheets with a double mark: the first scan (whichever it is)
    // is interrupted by the operator, the workers' scans are answered.
    for (int i = 0; i < 3; ++i) {
        TMonoBitmap page = RenderSheet(3, 2, "7", "Brenvik Quorlen\rTest");
        sim::TPageMarks marks;
        marks.Boxes = {{0, 1}, {1}, {0}};
        sim::MarkAnswers(page, 3, 2, 1, marks, 1);
        sim::TScanParams params;
        params.Dpi = 150;
        sim::SavePicture(sim::PlaceOnA4(page, params), dir.File("s" + std::to_string(i) + ".png"),
                         sim::TFileFormat::Png);
    }
    Harness h(2, 2);
    const auto hostThread = std::this_thread::get_id();
    h.run.Owner.GetOdp = [&](const TScanView&, TRect, int, std::string& answer, bool& ok) {
        answer = "A";
        ok = std::this_thread::get_id() != hostThread || h.run.NextIndex > 1;
    };
    ASSERT_TRUE(h.Start(dir.Path().string(), 3, true));
    h.Finish();
    EXPECT_EQ(h.run.SharedGeometry.Left, 0);
    const Json lista = h.run.Results.Snapshot()["Lista"];
    ASSERT_EQ(lista.size(), 3u);
    int complete = 0;
    for (const Json& e : lista)
        if (!e.contains("Status")) {
            ++complete;
            EXPECT_EQ(e["Wyniki"], Json::array({"A", "B", "A"}));
        }
    EXPECT_EQ(complete, 2);
}

// A system with no thread to give: the failures listed by the numbers of the
// creation attempts that fail (0 = every one).
struct ThreadFailure {
    const char* Name;
    std::set<int> Failing;
    bool All;
};

TEST(BatchRun, AWorkerThreadThatCannotBeCreatedLosesNoFile) {
    for (const ThreadFailure& c : {ThreadFailure{"every thread", {}, true}, ThreadFailure{"second thread", {2}, false},
                                   ThreadFailure{"first two", {1, 2}, false}}) {
        TempDir dir;
        for (int i = 0; i < 6; ++i)
            WriteSheetScan(dir.File("s" + std::to_string(i) + ".jpg"), 3, 2, std::to_string(10 + i));
        Harness h(3, 2);
        int attempts = 0;
        h.run.CreateThread = [&](std::function<void()> body) {
            ++attempts;
            if (c.All || c.Failing.count(attempts))
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            return std::thread(std::move(body));
        };
        ASSERT_TRUE(h.Start(dir.Path().string())) << c.Name;
        h.Finish();
        EXPECT_EQ(h.finishedCalls, 1) << c.Name;
        const Json doc = h.run.Results.Snapshot();
        std::set<std::string> codes;
        for (const Json& e : doc["Lista"]) codes.insert(e["Student"].get<std::string>());
        EXPECT_EQ(codes, (std::set<std::string>{"10", "11", "12", "13", "14", "15"})) << c.Name;
        EXPECT_EQ(doc["Lista"].size(), 6u) << c.Name;
        EXPECT_EQ(h.run.ProgressPosition, h.run.ProgressMax) << c.Name;
    }
}

TEST(BatchRun, SharedGeometryComesFromASuccessfulFirstScanOnly) {
    TempDir good, bad;
    WriteSheetScan(good.File("a.jpg"), 3, 2, "1");
    WriteBrokenScans(bad, 2);
    Harness h(2, 2);
    ASSERT_TRUE(h.Start(bad.Path().string(), 3, true));
    h.Finish();
    EXPECT_EQ(h.run.SharedGeometry.Left, 0);
    EXPECT_EQ(h.run.SharedGeometry.Level, 44);
    ASSERT_TRUE(h.Start(good.Path().string(), 3, true));
    h.Finish();
    EXPECT_NE(h.run.SharedGeometry.Left, 0);
}

TEST(BatchRun, OperatorQuestionsOfWorkersComeOneAtATimeOnTheHostThread) {
    TempDir dir;
    WriteSheetScan(dir.File("a0.jpg"), 3, 2, "5");
    for (int i = 1; i <= 4; ++i) WriteBlankScan(dir.File("blank" + std::to_string(i) + ".png"));
    Harness h(4, 2);
    std::atomic<int> open{0};
    int maxOpen = 0, calls = 0;
    const auto hostThread = std::this_thread::get_id();
    h.run.Owner.GetStartPoint = [&](const TScanView&, TRect, TPoint& pt, bool&) {
        EXPECT_EQ(std::this_thread::get_id(), hostThread);
        maxOpen = std::max(maxOpen, ++open);
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pt = {1, 1};
        --open;
    };
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.Finish();
    EXPECT_EQ(maxOpen, 1);
    EXPECT_GE(calls, 4 * 2 - 2);  // both corners of each blank page (the first file may be one of them)
}

TEST(BatchRun, CancelledRunAnswersPendingQuestionsWithAnAbortWithoutTheHost) {
    TempDir dir;
    for (int i = 0; i < 6; ++i) WriteBlankScan(dir.File("b" + std::to_string(i) + ".png"));
    Harness h(5, 2);
    int calls = 0;
    h.run.Owner.GetStartPoint = [&](const TScanView&, TRect, TPoint&, bool& ok) {
        ++calls;
        if (calls == 3) h.run.CancelRun();
        ok = true;
    };
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.Finish();
    // Two questions of the first file, then the first worker question cancels:
    // every later question is answered by the workers themselves.
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(h.run.Results.Snapshot()["Pominiete"].size(), 6u);
}

TEST(BatchRun, CancelConfirmationWaitsForAnOpenQuestionWithoutDeadlock) {
    TempDir dir;
    WriteSheetScan(dir.File("a0.jpg"), 3, 2, "5");
    for (int i = 1; i <= 6; ++i) WriteBlankScan(dir.File("blank" + std::to_string(i) + ".png"));
    Harness h(6, 2);
    int calls = 0;
    h.run.Owner.GetStartPoint = [&](const TScanView&, TRect, TPoint& pt, bool&) {
        ++calls;
        pt = {0, 0};
    };
    bool confirmed = false;
    h.run.Owner.ConfirmCancel = [&] {
        confirmed = true;
        return true;
    };
    ASSERT_TRUE(h.Start(dir.Path().string()));
    // Workers are now asking; the host must serve them while it waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    h.run.RequestCancel();
    EXPECT_TRUE(confirmed);
    h.Finish();
    EXPECT_FALSE(h.run.Running);
}

TEST(BatchRun, OneOrTwoThreadsGiveTheSameEntriesOverTwoHundredScans) {
    TempDir dir;
    // Twenty distinct sheets, each copied ten times under other names.
    for (int i = 0; i < 20; ++i) {
        const std::string first = dir.File("s" + std::to_string(i) + "_0.jpg");
        WriteSheetScan(first, 3, 2, std::to_string(100 + i));
        for (int k = 1; k < 10; ++k)
            std::filesystem::copy_file(first, dir.File("s" + std::to_string(i) + "_" + std::to_string(k) + ".jpg"));
    }
    std::map<std::string, std::string> byFile[2];
    for (int threads : {1, 2}) {
        Harness h(threads, 2);
        ASSERT_TRUE(h.Start(dir.Path().string()));
        h.Finish();
        const Json doc = h.run.Results.Snapshot();
        ASSERT_EQ(doc["Lista"].size(), 200u) << threads;
        for (const auto& e : doc["Lista"]) {
            const std::string name = e["FileName"];
            EXPECT_TRUE(byFile[threads - 1].emplace(name, e.dump()).second) << "duplicate " << name;
        }
    }
    EXPECT_EQ(byFile[0], byFile[1]);
}

// The first worker is held back, so the files after it end first: the
// document must still list every record in the order of the scan list.
TEST(BatchRun, EntriesAndSkippedScansStandInScanListOrderWhateverOrderWorkersFinish) {
    TempDir dir;
    for (int i = 0; i < 4; ++i) WriteSheetScan(dir.File("s" + std::to_string(i) + ".jpg"), 3, 2, std::to_string(20 + i));
    WriteBrokenScans(dir, 4);
    Harness h(8, 2);
    std::vector<int> finishOrder;
    h.host.SetHandler([&](const TBatchMessage& m) {
        if (m.Message == WM_SCANFINISHED) finishOrder.push_back(static_cast<int>(m.WParam));
        h.run.HandleMessage(m);
    });
    // The seven files after the first go one to a worker; the first worker
    // waits for the other six to end rather than for a fixed time, which a
    // sanitizer's slow build outran.
    int created = 0;
    std::atomic<int> othersDone{0};
    h.run.CreateThread = [&](std::function<void()> body) {
        const bool holdBack = ++created == 1;
        return std::thread([holdBack, &othersDone, body = std::move(body)] {
            if (!holdBack) {
                body();
                ++othersDone;
                return;
            }
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (othersDone.load() < 6 && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            body();
        });
    };
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.Finish();
    ASSERT_EQ(finishOrder.size(), 7u);
    ASSERT_EQ(finishOrder.back(), 1) << "the held-back worker ended last";

    std::vector<std::string> listed, inDocument;
    for (const auto& item : h.run.Items) listed.push_back(std::filesystem::path(item->FileName).filename().string());
    const Json doc = h.run.Results.Snapshot();
    ASSERT_EQ(doc["Lista"].size() + doc["Pominiete"].size(), listed.size());
    // Each list is the scan list with the other list's files taken out.
    for (const char* key : {"Lista", "Pominiete"}) {
        std::set<std::string> inList;
        std::vector<std::string> got, want;
        for (const Json& e : doc[key]) {
            got.push_back(e["FileName"]);
            inList.insert(e["FileName"]);
        }
        for (const std::string& name : listed)
            if (inList.count(name)) want.push_back(name);
        EXPECT_EQ(got, want) << key;
    }
}

TEST(AnalyzeCommand, TwoRunsOverOneFolderGiveTheSameDocument) {
    TempDir dir;
    for (int i = 0; i < 12; ++i)
        WriteSheetScan(dir.File("s" + std::to_string(i) + ".jpg"), 3, 2, std::to_string(300 + i));
    WriteBrokenScans(dir, 12);
    const std::string cli = QUORLEN_CLI_PATH;
    std::string runs[2];
    for (std::string& text : runs) {
        const std::string out = dir.File("runs.json");
        ASSERT_EQ(RunCommand(cli + " analyze " + dir.Path().string() + " --questions 3 --answers 2 --threads 24 --out " +
                             out + " 2>/dev/null"),
                  0);
        auto doc = ParseJsonFile(out);
        ASSERT_TRUE(doc);
        std::filesystem::remove(out);
        // Only the start time may differ.
        doc->erase("Date");
        doc->erase("Date2");
        text = DumpJsonIndented(*doc);
    }
    EXPECT_EQ(runs[0], runs[1]);
    // And the order is the folder's listing order.
    std::vector<std::string> listed, got;
    for (const std::string& f : ListScanFiles(dir.Path().string())) {
        const std::string name = std::filesystem::path(f).filename().string();
        if (name[0] == 's') listed.push_back(name);
    }
    const Json first = *ParseJson(runs[0]);
    for (const Json& e : first["Lista"]) got.push_back(e["FileName"]);
    EXPECT_EQ(got, listed);
}

TEST(BatchRun, ARepeatedCodeIsFlaggedOnEachOfItsEntriesWhenTheRunEnds) {
    TempDir dir;
    WriteSheetScan(dir.File("a.jpg"), 3, 2, "1001");
    std::filesystem::copy_file(dir.File("a.jpg"), dir.File("b.jpg"));
    WriteSheetScan(dir.File("c.jpg"), 3, 2, "5");
    Harness h(2, 2);
    ASSERT_TRUE(h.Start(dir.Path().string()));
    h.Finish();
    const Json lista = h.run.Results.Snapshot()["Lista"];
    ASSERT_EQ(lista.size(), 3u);
    for (const Json& e : lista)
        if (e["Student"] == "1001")
            EXPECT_EQ(e["Uwagi"], "Kod 1001 powtarza się na 2 arkuszach.") << e.dump();
        else
            EXPECT_FALSE(e.contains("Uwagi")) << e.dump();
}

TEST(BatchRun, DefaultWorkerLimit) {
    EXPECT_EQ(DefaultMaxWorkers(2), 96);
    EXPECT_EQ(DefaultMaxWorkers(0), 48);
    EXPECT_EQ(DefaultMaxWorkers(64), 98);
}

TEST(AnalyzeCommand, ReadsAFolderAndReportsAnEmptyOne) {
    TempDir dir, empty;
    WriteSheetScan(dir.File("a.jpg"), 3, 2, "11");
    WriteSheetScan(dir.File("b.jpg"), 3, 2, "22");
    WriteFileBytes(dir.File("c.png"), "broken");
    const std::string cli = QUORLEN_CLI_PATH;
    std::string out;
    ASSERT_EQ(RunCommand(cli + " analyze " + dir.Path().string() + " --questions 3 --answers 2 --threads 2", &out), 0);
    auto doc = ParseJson(out);
    ASSERT_TRUE(doc) << out;
    EXPECT_EQ((*doc)["Lista"].size(), 2u);
    EXPECT_EQ((*doc)["Pominiete"].size(), 1u);
    EXPECT_EQ((*doc)["QCnt"], 3);

    ASSERT_EQ(RunCommand(cli + " analyze " + dir.Path().string() + " --questions 3 --answers 2 --out " +
                         dir.File("wyniki.json") + " 2>/dev/null"),
              0);
    EXPECT_EQ((*ParseJsonFile(dir.File("wyniki.json")))["Lista"].size(), 2u);

    EXPECT_EQ(RunCommand(cli + " analyze " + empty.Path().string() + " 2>&1", &out), 1);
    EXPECT_NE(out.find("Brak plików ze skanera w podanym folderze."), std::string::npos);
    EXPECT_EQ(RunCommand(cli + " analyze " + dir.Path().string() + " --threads 0 2>/dev/null"), 2);
}
