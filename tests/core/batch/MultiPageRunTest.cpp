// Copiers' PDF and TIFF files made by the outside tools an office has
// (img2pdf, qpdf, ImageMagick, tiffcp) from the simulator's scans, read
// through quorlen-cli analyze and through the engine itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>

#include "core/batch/BatchRun.h"
#include "core/batch/BatchTestSupport.h"
#include "core/batch/LoopHost.h"
#include "core/batch/ScanList.h"
#include "core/common/Json.h"
#include "core/recognition/ReadScan.h"
#include "core/recognition/ScanPages.h"
#include "support/TestSupport.h"
#include "testing/SimulateSheets.h"

using namespace quorlen;
using namespace quorlen::testing;

namespace {

const std::string Cli = QUORLEN_CLI_PATH;
const std::string Project = " --questions 10 --answers 4 --pause-us 0";

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Office scans of 10-question sheets, codes 1..count, in `folder`; the files
// in their names' order.
std::vector<std::string> OfficeScans(const std::string& folder, int count, sim::TFileFormat format,
                                     uint32_t seed = 7) {
    sim::TBatchOptions o;
    EXPECT_TRUE(sim::ApplyPreset("office", o));
    o.Questions = 10;
    o.Answers = 4;
    o.Count = count;
    o.Dpi = 150;
    o.Seed = seed;
    o.Format = format;
    o.OutDir = folder;
    sim::SimulateBatch(o);
    std::filesystem::remove(std::filesystem::path(folder) / "truth.json");
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder)) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Joined(const std::vector<std::string>& files) {
    std::string s;
    for (const std::string& f : files) s += " " + Quote(f);
    return s;
}

void Shell(const std::string& command) { ASSERT_EQ(RunCommand(command + " 2>&1 >/dev/null"), 0) << command; }

Json Analyze(const std::string& folder, const std::string& extra = "") {
    std::string out;
    EXPECT_EQ(RunCommand(Cli + " analyze " + Quote(folder) + Project + extra + " 2>/dev/null", &out), 0) << out;
    const std::optional<Json> doc = ParseJson(out);
    if (!doc) throw std::runtime_error("no results document: " + out);
    return *doc;
}

// Every record of a list by its scan's name.
std::map<std::string, Json> ByName(const Json& list) {
    std::map<std::string, Json> records;
    for (const Json& r : list) records[r["FileName"].get<std::string>()] = r;
    return records;
}

}  // namespace

// img2pdf takes each JPEG into its page as it is, so the pages must read as
// the files do: the same entries, byte for byte, but for the scan's name.
TEST(MultiPageRun, ACopiersPdfOfJpegsReadsExactlyAsTheJpegs) {
    TempDir jpegs("mp-jpegs"), pdf("mp-pdf");
    const std::vector<std::string> files = OfficeScans(jpegs.Path().string(), 12, sim::TFileFormat::Jpeg);
    Shell("img2pdf -o " + Quote(pdf.File("skany.pdf")) + Joined(files));
    const Json fromJpegs = Analyze(jpegs.Path().string());
    const Json fromPdf = Analyze(pdf.Path().string());
    ASSERT_EQ(fromJpegs["Lista"].size(), 12u);
    for (const char* list : {"Lista", "Pominiete"}) {
        ASSERT_EQ(fromPdf[list].size(), fromJpegs[list].size()) << list;
        const std::map<std::string, Json> byJpeg = ByName(fromJpegs[list]);
        for (size_t k = 0; k < fromPdf[list].size(); ++k) {
            Json page = fromPdf[list][k];
            // The pages stand in the file's order.
            const std::string name = page["FileName"];
            const int number = SplitScanPageName(name).Page;
            ASSERT_GE(number, 1) << name;
            const std::string jpeg = std::filesystem::path(files[static_cast<size_t>(number - 1)]).filename();
            ASSERT_TRUE(byJpeg.count(jpeg)) << jpeg;
            page["FileName"] = jpeg;
            EXPECT_EQ(page.dump(), byJpeg.at(jpeg).dump()) << name;
        }
    }
    for (size_t k = 0; k < fromPdf["Lista"].size(); ++k)
        EXPECT_EQ(fromPdf["Lista"][k]["FileName"], "skany.pdf#" + std::to_string(k + 1));
}

// A G4 TIFF of one-bit pages (a copier's one-bit scans, recompressed by
// tiffcp) and a grey LZW one, as a copier's "TIFF" setting writes them: every
// page reads as the picture it was made from, but for the scan's name.
TEST(MultiPageRun, MultiPageTiffsReadEveryPageAsItsPicture) {
    struct Case {
        const char* Name;
        sim::TFileFormat Source;
        std::string Make;  // the sources' names and the TIFF's follow
    } cases[] = {
        {"g4.tif", sim::TFileFormat::Bmp1, "convert %s -compress None %d/plain.tif && tiffcp -c g4 %d/plain.tif %t"},
        {"grey.TIFF", sim::TFileFormat::Png, "convert %s -colorspace Gray -compress LZW %t"},
    };
    for (const Case& c : cases) {
        TempDir pictures("mp-pictures"), tiffs("mp-tiff");
        const std::vector<std::string> files = OfficeScans(pictures.Path().string(), 5, c.Source, 11);
        const Json fromPictures = Analyze(pictures.Path().string());
        ASSERT_EQ(fromPictures["Lista"].size(), 5u) << c.Name;
        std::string make = c.Make;
        auto put = [&make](const std::string& key, const std::string& value) {
            for (size_t at; (at = make.find(key)) != std::string::npos;) make.replace(at, key.size(), value);
        };
        put("%s", Joined(files).substr(1));
        put("%d", Quote(pictures.Path().string()));
        put("%t", Quote(tiffs.File(c.Name)));
        Shell(make);
        const Json doc = Analyze(tiffs.Path().string());
        ASSERT_EQ(doc["Lista"].size(), 5u) << c.Name << ": " << doc.dump();
        const std::map<std::string, Json> byPicture = ByName(fromPictures["Lista"]);
        for (size_t k = 0; k < 5; ++k) {
            Json page = doc["Lista"][k];
            EXPECT_EQ(page["FileName"], std::string(c.Name) + "#" + std::to_string(k + 1));
            const std::string picture = std::filesystem::path(files[k]).filename().string();
            page["FileName"] = picture;
            EXPECT_EQ(page.dump(), byPicture.at(picture).dump()) << c.Name << " page " << k + 1;
        }
    }
}

// The backs of a duplex stack: listed as blank pages, never a question to the
// operator, and the sheets between them read as usual.
TEST(MultiPageRun, DuplexBlanksAreListedAndNothingIsAsked) {
    TempDir work("mp-duplex"), scans("mp-duplex-scans");
    const std::vector<std::string> files = OfficeScans(work.Path().string(), 4, sim::TFileFormat::Jpeg, 3);
    Shell("convert -size 1240x1754 xc:'gray(97%)' -attenuate 0.4 +noise Gaussian -quality 90 " +
        Quote(work.File("back.jpg")));
    std::string pages;
    for (const std::string& f : files) pages += " " + Quote(f) + " " + Quote(work.File("back.jpg"));
    Shell("img2pdf -o " + Quote(scans.File("duplex.pdf")) + pages);

    TLoopHost host;
    TBatchRun run(host);
    run.MaxWorkers = 3;
    run.CpuCount = 2;
    run.AnswerPause = {};
    int asked = 0;
    run.Owner.GetStartPoint = [&](const TScanView&, TRect, TPoint&, bool& ok) { ++asked, ok = false; };
    run.Owner.GetOdp = [&](const TScanView&, TRect, int, std::string&, bool& ok) { ++asked, ok = false; };
    host.SetHandler([&](const TBatchMessage& m) { run.HandleMessage(m); });
    TRunSettings s;
    s.ScanFolder = scans.Path().string();
    s.QuestionCount = 10;
    s.AnswerCount = 4;
    s.CheckEmpty.Set(false);
    ASSERT_TRUE(run.StartRun(s));
    host.Run([&] { return !run.Running; });
    const Json doc = run.Results.Snapshot();
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(doc["Lista"].size(), 4u) << doc.dump();
    ASSERT_EQ(doc["Pominiete"].size(), 4u) << doc.dump();
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(doc["Lista"][k]["FileName"], "duplex.pdf#" + std::to_string(2 * k + 1));
        const Json& blank = doc["Pominiete"][k];
        EXPECT_EQ(blank["FileName"], "duplex.pdf#" + std::to_string(2 * k + 2));
        EXPECT_EQ(blank["Status"], static_cast<int>(TScanStatus::Blank));
        EXPECT_EQ(blank["Message"], "Pusta strona");
    }
}

// Each damaged file gives its own line with a reason in Polish, and the
// sheets beside them are read.
TEST(MultiPageRun, DamagedFilesAreSkippedEachWithItsReason) {
    TempDir work("mp-bad"), scans("mp-bad-scans");
    const std::vector<std::string> files = OfficeScans(work.Path().string(), 3, sim::TFileFormat::Jpeg, 5);
    const std::string good = work.File("good.pdf");
    Shell("img2pdf -o " + Quote(good) + Joined(files));
    std::filesystem::copy_file(files[0], scans.File("kartka.jpg"));
    const std::string bytes = ReadFileBytes(good);
    WriteFileBytes(scans.File("obciety.pdf"), bytes.substr(0, bytes.size() / 2));
    Shell("qpdf --encrypt tajne tajne 256 -- " + Quote(good) + " " + Quote(scans.File("zaszyfrowany.pdf")));
    WriteFileBytes(scans.File("smieci.pdf"), "%PDF-1.4\n" + std::string(4000, '\x7f'));
    WriteFileBytes(scans.File("smieci.tif"), "II*\0" + std::string(600, 'x'));
    WriteFileBytes(scans.File("pusty.tiff"), "");
    const Json doc = Analyze(scans.Path().string());
    ASSERT_GE(doc["Lista"].size(), 1u) << doc.dump();
    EXPECT_EQ(ByName(doc["Lista"]).count("kartka.jpg"), 1u) << doc.dump();
    const std::map<std::string, Json> skipped = ByName(doc["Pominiete"]);
    std::set<std::string> reasons;
    for (const char* name : {"zaszyfrowany.pdf", "smieci.pdf", "smieci.tif", "pusty.tiff"}) {
        ASSERT_TRUE(skipped.count(name)) << name << " in " << doc.dump();
        const Json& s = skipped.at(name);
        EXPECT_EQ(s["Status"], static_cast<int>(TScanStatus::LoadFailed)) << name;
        const std::string message = s["Message"];
        EXPECT_NE(message.find(":\r" + scans.File(name)), std::string::npos) << message;
        EXPECT_EQ(message.find(".:"), std::string::npos) << message;
        reasons.insert(message.substr(0, message.find('\r')));
    }
    // A cut file may still give the pages before the cut; what it cannot give
    // is listed, never lost.
    size_t cut = 0;
    for (const auto& [name, record] : skipped)
        if (name.rfind("obciety.pdf", 0) == 0) ++cut;
    for (const Json& e : doc["Lista"]) cut += e["FileName"].get<std::string>().rfind("obciety.pdf", 0) == 0;
    EXPECT_GE(cut, 1u);
    // The encrypted file says so, not that it is damaged like the others.
    EXPECT_GE(reasons.size(), 2u);
}

// Pages are the shards' units: one PDF spreads over every part, and the
// parts' merge is the one run.
TEST(MultiPageRun, ShardsSplitAPdfByPageAndTheirMergeIsOneRun) {
    TempDir work("mp-shard"), scans("mp-shard-scans"), out("mp-shard-out");
    const std::vector<std::string> files = OfficeScans(work.Path().string(), 9, sim::TFileFormat::Jpeg, 9);
    Shell("img2pdf -o " + Quote(scans.File("skany.pdf")) + Joined(files));
    WriteBrokenScans(scans, 1);
    const Json whole = Analyze(scans.Path().string());
    ASSERT_EQ(whole["Lista"].size() + whole["Pominiete"].size(), 10u);
    std::string merge = Cli + " merge";
    size_t used = 0;
    for (int k = 1; k <= 3; ++k) {
        const std::string part = out.File("p" + std::to_string(k) + ".json");
        ASSERT_EQ(RunCommand(Cli + " analyze " + Quote(scans.Path().string()) + Project + " --shard " +
                             std::to_string(k) + "/3 --out " + Quote(part) + " 2>/dev/null"),
                  0);
        const std::optional<Json> doc = ParseJsonFile(part);
        ASSERT_TRUE(doc);
        EXPECT_EQ((*doc)["FolderScans"], 10);
        used += (*doc)["Lista"].size() > 0;
        merge += " " + Quote(part);
    }
    EXPECT_GE(used, 2u) << "the nine pages all hashed to one part";
    std::string text;
    ASSERT_EQ(RunCommand(merge + " 2>/dev/null", &text), 0) << text;
    const std::optional<Json> merged = ParseJson(text);
    ASSERT_TRUE(merged);
    for (const char* list : {"Lista", "Pominiete"}) EXPECT_EQ(ByName((*merged)[list]), ByName(whole[list])) << list;
}
