// Pages of PDF and TIFF files made by outside tools (img2pdf, ImageMagick,
// tiffcp, qpdf) from pictures written here, read against the pictures
// themselves.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/recognition/LoadScan.h"
#include "core/recognition/PdfPage.h"
#include "core/recognition/ReadScan.h"
#include "core/recognition/ScanPages.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::RunCommand;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

// A page of print and marks on slightly uneven paper: what the grey
// reduction sees in a scan, small enough to be quick.
sim::TGreyPicture Sheet(int w, int h, int seed) {
    sim::TGreyPicture p;
    p.Width = w;
    p.Height = h;
    p.Pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int v = 230 + (x * 13 + y * 7 + seed) % 20;
            if ((x / 9 + y / 11 + seed) % 7 == 0 || (x + seed) % 41 == 0) v = 25 + (x + y) % 30;
            if (x > w / 3 && x < w / 2 && y > h / 4 && y < h / 3) v = 90;  // a box filled in pencil
            p.At(x, y) = static_cast<uint8_t>(v);
        }
    return p;
}

void Tool(const std::string& command) { ASSERT_EQ(RunCommand(command + " 2>&1"), 0) << command; }

// The two rasters hold the same picture: with exactBytes, the same bits under
// the same palette; otherwise the same ink pixel for pixel.
void ExpectSameRaster(const TMonoBitmap& a, const TMonoBitmap& b, bool exactBytes, const std::string& what) {
    ASSERT_EQ(a.Width(), b.Width()) << what;
    ASSERT_EQ(a.Height(), b.Height()) << what;
    ASSERT_FALSE(a.Empty()) << what;
    int ink = 0;
    for (int32_t y = 0; y < a.Height(); ++y) {
        if (exactBytes) {
            ASSERT_EQ(0, std::memcmp(a.Row(y), b.Row(y), a.Stride())) << what << " row " << y;
        }
        for (int32_t x = 0; x < a.Width(); ++x) {
            ASSERT_EQ(a.IsBlack(x, y), b.IsBlack(x, y)) << what << " at " << x << "," << y;
            ink += a.IsBlack(x, y);
        }
    }
    if (exactBytes) {
        EXPECT_EQ(a.Pixel(0, 0) == TMonoBitmap::Black, b.Pixel(0, 0) == TMonoBitmap::Black) << what;
    }
    EXPECT_GT(ink, 0) << what << ": no ink at all";
}

TMonoBitmap Load(const std::string& name) {
    TMonoBitmap r;
    std::string detail;
    EXPECT_TRUE(LoadScan(name, r, &detail)) << name << ": " << detail;
    return r;
}

// An uncompressed one-bit TIFF of that size, all white, written byte by
// byte: the tools refuse sizes this large.
std::string OneBitTiff(uint32_t w, uint32_t h) {
    auto put = [](std::string& s, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i) & 255);
    };
    const uint32_t rowBytes = (w + 7) / 8;
    std::string s = "II";
    put(s, 42, 2);
    put(s, 8, 4);
    const uint32_t entries[][3] = {{256, 4, w}, {257, 4, h}, {258, 3, 1}, {259, 3, 1}, {262, 3, 0},
                                   {273, 4, 8 + 2 + 8 * 12 + 4}, {278, 4, h}, {279, 4, rowBytes * h}};
    put(s, 8, 2);
    for (const auto& e : entries) {
        put(s, e[0], 2);
        put(s, e[1], 2);
        put(s, 1, 4);
        put(s, e[2], 4);
    }
    put(s, 0, 4);
    s.append(static_cast<size_t>(rowBytes) * h, '\0');
    return s;
}

struct PageSource {
    const char* File;       // the picture the page is made of
    sim::TFileFormat Format;
    bool ExactBytes;        // the page's raster is the file's, bit for bit
};

}  // namespace

// A copier's PDF: every page is one picture as it is, so each reads exactly
// as its picture file does; the plain name is page 1.
TEST(MultiPageScan, PdfImagePagesReadExactlyAsTheirPictures) {
    TempDir dir;
    const PageSource sources[] = {
        {"grey.jpg", sim::TFileFormat::Jpeg, true},
        {"colour.jpg", sim::TFileFormat::JpegColour, true},
        {"grey.png", sim::TFileFormat::Png, false},
        {"second.jpg", sim::TFileFormat::Jpeg, true},
    };
    std::string list;
    for (size_t i = 0; i < std::size(sources); ++i) {
        sim::SavePicture(Sheet(331, 247, static_cast<int>(i)), dir.File(sources[i].File), sources[i].Format, 85);
        list += " " + dir.File(sources[i].File);
    }
    // A one-bit PNG, which img2pdf stores as one-bit Flate samples.
    Tool("convert " + dir.File("grey.png") + " -threshold 50% -depth 1 -type bilevel " + dir.File("bits.png"));
    list += " " + dir.File("bits.png");
    Tool("img2pdf" + list + " -o " + dir.File("skany.pdf"));

    std::string why;
    ASSERT_EQ(CountScanPages(dir.File("skany.pdf"), &why), 5) << why;
    for (size_t i = 0; i < std::size(sources); ++i)
        ExpectSameRaster(Load(dir.File("skany.pdf") + "#" + std::to_string(i + 1)), Load(dir.File(sources[i].File)),
                         sources[i].ExactBytes, sources[i].File);
    ExpectSameRaster(Load(dir.File("skany.pdf#5")), Load(dir.File("bits.png")), false, "bits.png");
    ExpectSameRaster(Load(dir.File("skany.pdf")), Load(dir.File("grey.jpg")), true, "plain name");
    WriteFileBytes(dir.File("KOPIA.PDF"), ReadFileBytes(dir.File("skany.pdf")));
    ExpectSameRaster(Load(dir.File("KOPIA.PDF#2")), Load(dir.File("colour.jpg")), true, "upper case");
}

// A PDF of fax pages (img2pdf keeps G4 data as CCITTFaxDecode): each page
// is its TIFF's one-bit picture, of the TIFF's size (taken, not rendered),
// whichever photometric the TIFF had.
TEST(MultiPageScan, PdfFaxPagesReadAsTheirTiffPages) {
    TempDir dir;
    const std::string d = dir.Path().string() + "/";
    sim::SavePicture(Sheet(301, 203, 5), d + "grey.png", sim::TFileFormat::Png);
    Tool("convert " + d + "grey.png -threshold 50% -depth 1 -compress none " + d + "bits.tif");
    Tool("tiffcp -c g4 " + d + "bits.tif " + d + "black0.tif");  // min-is-black, as convert wrote it
    Tool("convert " + d + "bits.tif -define tiff:photometric=min-is-white -compress group4 " + d + "white0.tif");
    Tool("img2pdf " + d + "black0.tif " + d + "white0.tif -o " + d + "fax.pdf");
    ASSERT_EQ(CountScanPages(d + "fax.pdf"), 2);
    ExpectSameRaster(Load(d + "fax.pdf#1"), Load(d + "black0.tif"), false, "min-is-black");
    ExpectSameRaster(Load(d + "fax.pdf#2"), Load(d + "white0.tif"), false, "min-is-white");
    ExpectSameRaster(Load(d + "fax.pdf#2"), Load(d + "bits.tif"), false, "the picture");
}

// A multi-page TIFF: one-bit pages of every compression and either
// photometric are the one-bit picture; lossless grey pages are the grey
// picture's reduction; tiled pages as stripped ones.
TEST(MultiPageScan, TiffPagesOfEveryCompressionReadAsTheirPictures) {
    TempDir dir;
    sim::SavePicture(Sheet(333, 251, 3), dir.File("grey.png"), sim::TFileFormat::Png);
    Tool("convert " + dir.File("grey.png") + " -threshold 50% -depth 1 -compress none " + dir.File("bits.tif"));
    struct Page {
        const char* Name;
        std::string Command;  // makes Name in the folder
        const char* Same;     // the picture it reads as
    };
    const std::string d = dir.Path().string() + "/";
    const Page pages[] = {
        {"g4.tif", "tiffcp -c g4 " + d + "bits.tif " + d + "g4.tif", "bits.tif"},
        {"g3.tif", "tiffcp -c g3:2d " + d + "bits.tif " + d + "g3.tif", "bits.tif"},
        {"white0.tif",
         "convert " + d + "bits.tif -define tiff:photometric=min-is-white -compress none " + d + "white0.tif",
         "bits.tif"},
        {"g4tiles.tif", "tiffcp -c g4 -t -w 64 -l 64 " + d + "bits.tif " + d + "g4tiles.tif", "bits.tif"},
        {"lzw.tif", "convert " + d + "grey.png -depth 8 -compress lzw " + d + "lzw.tif", "grey.png"},
        {"zip.tif", "convert " + d + "grey.png -depth 8 -compress zip " + d + "zip.tif", "grey.png"},
        {"packbits.tif", "convert " + d + "grey.png -depth 8 -type truecolor -compress rle " + d + "packbits.tif",
         "grey.png"},
        {"tiles.tif", "tiffcp -c lzw -t -w 32 -l 48 " + d + "lzw.tif " + d + "tiles.tif", "grey.png"},
    };
    std::string all;
    for (const Page& p : pages) {
        Tool(p.Command);
        all += " " + d + p.Name;
    }
    Tool("tiffcp" + all + " " + d + "skany.tif");
    std::string why;
    ASSERT_EQ(CountScanPages(d + "skany.tif", &why), static_cast<int>(std::size(pages))) << why;
    const TMonoBitmap bits = Load(d + "bits.tif");
    ASSERT_EQ(bits.Width(), 333);
    for (size_t i = 0; i < std::size(pages); ++i) {
        const std::string reference = pages[i].Same;
        ExpectSameRaster(Load(d + "skany.tif#" + std::to_string(i + 1)), Load(d + reference), false,
                         pages[i].Name);
    }
    // A JPEG-compressed page reads like the JPEG of the same picture: close,
    // not exact (two encoders).
    Tool("convert " + d + "grey.png -depth 8 -compress jpeg -quality 92 " + d + "jpeg.tif");
    const TMonoBitmap jpeg = Load(d + "jpeg.tif");
    const TMonoBitmap grey = Load(d + "grey.png");
    ASSERT_EQ(jpeg.Width(), grey.Width());
    int differ = 0;
    for (int y = 0; y < grey.Height(); ++y)
        for (int x = 0; x < grey.Width(); ++x) differ += jpeg.IsBlack(x, y) != grey.IsBlack(x, y);
    EXPECT_LT(differ, grey.Width() * grey.Height() / 50);
}

// Page 1, the last page, one past it, page 0 and a one-page file.
TEST(MultiPageScan, PageNumbersAtTheBoundaries) {
    TempDir dir;
    const std::string d = dir.Path().string() + "/";
    for (int i = 0; i < 3; ++i)
        sim::SavePicture(Sheet(120, 90, i), d + "p" + std::to_string(i) + ".jpg", sim::TFileFormat::Jpeg);
    Tool("img2pdf " + d + "p0.jpg " + d + "p1.jpg " + d + "p2.jpg -o " + d + "three.pdf");
    Tool("img2pdf " + d + "p0.jpg -o " + d + "one.pdf");
    Tool("convert " + d + "p0.jpg " + d + "p1.jpg " + d + "p2.jpg -depth 8 -compress lzw " + d + "three.tif");
    Tool("convert " + d + "p0.jpg -compress lzw " + d + "one.tif");
    struct Case {
        const char* Name;
        int Pages;
    };
    for (const Case c : {Case{"three.pdf", 3}, Case{"three.tif", 3}, Case{"one.pdf", 1}, Case{"one.tif", 1}}) {
        const std::string file = d + c.Name;
        EXPECT_EQ(CountScanPages(file), c.Pages) << c.Name;
        TMonoBitmap first, last, past;
        EXPECT_TRUE(LoadScan(file + "#1", first)) << c.Name;
        EXPECT_TRUE(LoadScan(file + "#" + std::to_string(c.Pages), last)) << c.Name;
        ExpectSameRaster(Load(file), first, true, std::string(c.Name) + " plain name");
        std::string detail;
        EXPECT_FALSE(LoadScan(file + "#" + std::to_string(c.Pages + 1), past, &detail)) << c.Name;
        EXPECT_NE(detail.find("ma " + std::to_string(c.Pages) + " stron"), std::string::npos) << detail;
        EXPECT_TRUE(past.Empty());
        // The scan job says why the page failed, not that the file is of an
        // unknown format (a file replaced by a shorter one between listing
        // and reading meets this).
        const std::string pastName = file + "#" + std::to_string(c.Pages + 1);
        const TScanResult job = ReadScan(pastName, TReadOptions{}, {});
        EXPECT_EQ(job.Status, TScanStatus::LoadFailed);
        EXPECT_EQ(job.Message, detail.substr(0, detail.size() - 1) + ":\r" + pastName);
        // "#0" is not a page name: the file name itself, which does not exist.
        EXPECT_FALSE(LoadScan(file + "#0", past)) << c.Name;
    }
    // Other scans count one page without being opened.
    EXPECT_EQ(CountScanPages(d + "p0.jpg"), 1);
    EXPECT_EQ(CountScanPages(d + "nie-ma.png"), 1);
}

// Bad files: each gives 0 pages with a reason and fails to load with one;
// none crashes or hangs.
TEST(MultiPageScan, BadFilesAreRefusedWithTheirReason) {
    TempDir dir;
    const std::string d = dir.Path().string() + "/";
    sim::SavePicture(Sheet(200, 150, 1), d + "p.jpg", sim::TFileFormat::Jpeg);
    sim::SavePicture(Sheet(200, 150, 1), d + "p.png", sim::TFileFormat::Png);
    Tool("img2pdf " + d + "p.jpg " + d + "p.jpg -o " + d + "good.pdf");
    Tool("qpdf --encrypt tajne wlasciciel 256 -- " + d + "good.pdf " + d + "password.pdf");
    Tool("convert " + d + "p.png -depth 8 -compress lzw " + d + "a.tif");
    Tool("tiffcp " + d + "a.tif " + d + "a.tif " + d + "good.tif");
    const std::string pdf = ReadFileBytes(d + "good.pdf");
    const std::string tif = ReadFileBytes(d + "good.tif");
    WriteFileBytes(d + "cut.pdf", pdf.substr(0, pdf.size() / 2));
    WriteFileBytes(d + "tail.pdf", pdf.substr(0, pdf.size() - 30));
    WriteFileBytes(d + "cut.tif", tif.substr(0, tif.size() * 2 / 3));
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919 + i / 13) & 255);
    WriteFileBytes(d + "garbage.pdf", "%PDF-1.4\n" + garbage);
    WriteFileBytes(d + "garbage.tif", "II*\0" + garbage);
    WriteFileBytes(d + "empty.tiff", "");
    WriteFileBytes(d + "jpeg-inside.pdf", ReadFileBytes(d + "p.jpg"));
    ::mkfifo((d + "fifo.pdf").c_str(), 0600);

    struct Case {
        const char* Name;
        const char* Reason;  // in the count's reason and the load's detail
    };
    for (const Case c : {Case{"password.pdf", "zaszyfrowany"}, Case{"cut.pdf", "uszkodzony"},
                         Case{"tail.pdf", "uszkodzony"}, Case{"garbage.pdf", "uszkodzony"},
                         Case{"jpeg-inside.pdf", "uszkodzony"}, Case{"cut.tif", "uszkodzony"},
                         Case{"garbage.tif", "uszkodzony"}, Case{"empty.tiff", "uszkodzony"},
                         Case{"fifo.pdf", "zwykły plik"}, Case{"nie-ma.pdf", "nie ma takiego pliku"}}) {
        std::string why;
        EXPECT_EQ(CountScanPages(d + c.Name, &why), 0) << c.Name;
        EXPECT_NE(why.find(c.Reason), std::string::npos) << c.Name << ": " << why;
        TMonoBitmap r;
        std::string detail;
        EXPECT_FALSE(LoadScan(d + c.Name + "#2", r, &detail)) << c.Name;
        EXPECT_NE(detail.find(c.Reason), std::string::npos) << c.Name << ": " << detail;
        EXPECT_TRUE(r.Empty()) << c.Name;
    }
    // A file that cannot be read as a file is told apart from one that does
    // not decode; a missing one keeps the ordinary message.
    std::string unreadable;
    TMonoBitmap r;
    EXPECT_FALSE(LoadScan(d + "fifo.pdf#1", r, nullptr, {}, &unreadable));
    EXPECT_NE(unreadable.find("zwykły plik"), std::string::npos);
    unreadable.clear();
    EXPECT_FALSE(LoadScan(d + "nie-ma.tif#1", r, nullptr, {}, &unreadable));
    EXPECT_FALSE(LoadScan(d + "cut.pdf", r, nullptr, {}, &unreadable));
    EXPECT_EQ(unreadable, "");

    // Encrypted without a password to open (permissions only): read as any
    // viewer reads it.
    Tool("qpdf --encrypt '' wlasciciel 256 -- " + d + "good.pdf " + d + "owner.pdf");
    EXPECT_EQ(CountScanPages(d + "owner.pdf"), 2);
    ExpectSameRaster(Load(d + "owner.pdf#2"), Load(d + "p.jpg"), true, "owner.pdf");
}

// The size is told before pixel memory exists, and a page over the limits is
// refused from its size: a TIFF page wider than 65535 pixels, a PDF page of
// 200 × 200 inches (1.6 gigapixels at the render resolution).
TEST(MultiPageScan, PagesOverTheLimitsAreRefusedBeforeDecoding) {
    TempDir dir;
    const std::string d = dir.Path().string() + "/";
    WriteFileBytes(d + "wide.tif", OneBitTiff(70000, 8));
    TMonoBitmap r;
    std::string detail;
    EXPECT_EQ(CountScanPages(d + "wide.tif"), 1);
    EXPECT_FALSE(LoadScan(d + "wide.tif#1", r, &detail));
    EXPECT_NE(detail.find("65535"), std::string::npos) << detail;

    // Vector pages are written here and given a proper cross-reference
    // table by qpdf.
    const std::string big =
        "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
        "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
        "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 14400 14400]/Contents 4 0 R>>endobj\n"
        "4 0 obj<</Length 24>>stream\n0 0 100 100 re f        \nendstream endobj\n"
        "trailer<</Root 1 0 R/Size 5>>\n%%EOF\n";
    WriteFileBytes(d + "raw.pdf", big);
    Tool("qpdf " + d + "raw.pdf " + d + "huge.pdf || test $? -eq 3");
    EXPECT_EQ(CountScanPages(d + "huge.pdf"), 1);
    bool told = false;
    EXPECT_FALSE(LoadScan(d + "huge.pdf", r, &detail, [&](int32_t, int32_t, uint64_t) { told = true; }));
    EXPECT_NE(detail.find("megapixels"), std::string::npos) << detail;
    EXPECT_FALSE(told);

    // Within the limits the hook hears the page's size; when it throws (no
    // memory to be had) the page fails cleanly.
    sim::SavePicture(Sheet(210, 140, 2), d + "p.png", sim::TFileFormat::Png);
    Tool("img2pdf " + d + "p.png -o " + d + "p.pdf");
    Tool("convert " + d + "p.png -threshold 50% -depth 1 -compress group4 " + d + "p.tif");
    for (const char* name : {"p.pdf", "p.tif"}) {
        int32_t w = 0, h = 0;
        EXPECT_TRUE(LoadScan(d + name, r, &detail, [&](int32_t width, int32_t height, uint64_t) {
            w = width, h = height;
        })) << name << detail;
        EXPECT_EQ(w, 210) << name;
        EXPECT_EQ(h, 140) << name;
        EXPECT_FALSE(LoadScan(d + name, r, &detail, [](int32_t, int32_t, uint64_t) {
            throw std::runtime_error("no memory");
        })) << name;
        EXPECT_TRUE(r.Empty()) << name;
    }
}

// Pages that are not one image are rendered: text and a filled rectangle at
// 200 dpi, a page with a fine image beside its text at 300 dpi.
TEST(MultiPageScan, PagesThatAreNotOneImageAreRendered) {
    TempDir dir;
    const std::string d = dir.Path().string() + "/";
    // Letter size, 612 × 792 points: the rectangle covers x 72..216 pt and
    // y 72..144 pt from the bottom.
    const std::string content =
        "0 g 72 72 144 72 re f BT /F1 36 Tf 72 600 Td (Kartka 1) Tj ET 0 0 1 rg 300 300 50 50 re f";
    const std::string text =
        "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
        "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
        "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Contents 4 0 R"
        "/Resources<</Font<</F1<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>>>>>>>endobj\n"
        "4 0 obj<</Length " +
        std::to_string(content.size()) + ">>stream\n" + content +
        "\nendstream endobj\ntrailer<</Root 1 0 R/Size 5>>\n%%EOF\n";
    WriteFileBytes(d + "raw.pdf", text);
    Tool("qpdf " + d + "raw.pdf " + d + "text.pdf || test $? -eq 3");
    const TMonoBitmap page = Load(d + "text.pdf");
    EXPECT_NEAR(page.Width(), 1700, 2);
    EXPECT_NEAR(page.Height(), 2200, 2);
    // 200 dpi: the rectangle spans x 200..600, y (from the top) 1800..2000.
    EXPECT_TRUE(page.IsBlack(400, 1900));
    EXPECT_TRUE(page.IsBlack(205, 1805));
    EXPECT_FALSE(page.IsBlack(190, 1900));
    EXPECT_FALSE(page.IsBlack(400, 1790));
    EXPECT_FALSE(page.IsBlack(1000, 1000));
    // Blue paint is dark grey: ink.
    EXPECT_TRUE(page.IsBlack(900, 1300));
    int textInk = 0;
    for (int y = 440; y < 560; ++y)
        for (int x = 200; x < 800; ++x) textInk += page.IsBlack(x, y);
    EXPECT_GT(textInk, 2000);

    // The same page with a 300-dpi picture on a third of it: rendered finer.
    sim::SavePicture(Sheet(850, 1100, 4), d + "fine.jpg", sim::TFileFormat::Jpeg);
    Tool("img2pdf --pagesize Letter --imgsize 2.833inx3.667in " + d + "fine.jpg -o " + d + "small-image.pdf");
    const TMonoBitmap fine = Load(d + "small-image.pdf");
    EXPECT_NEAR(fine.Width(), 2550, 2);
    EXPECT_NEAR(fine.Height(), 3300, 2);
}

// Every worker reads pages at once: each page's raster is the one read alone.
TEST(MultiPageScan, PagesReadOnManyThreadsAtOnceAsAlone) {
    TempDir dir;
    const std::string d = dir.Path().string() + "/";
    std::string list;
    for (int i = 0; i < 4; ++i) {
        sim::SavePicture(Sheet(160, 120, i), d + "p" + std::to_string(i) + ".jpg", sim::TFileFormat::Jpeg);
        list += " " + d + "p" + std::to_string(i) + ".jpg";
    }
    Tool("img2pdf" + list + " -o " + d + "a.pdf");
    Tool("convert" + list + " -threshold 50% -depth 1 -compress group4 " + d + "a.tif");
    Tool("img2pdf --pagesize A5 " + d + "p0.jpg " + d + "p1.jpg -o " + d + "render.pdf");
    std::vector<std::string> names;
    for (int i = 1; i <= 4; ++i) names.push_back(d + "a.pdf#" + std::to_string(i));
    for (int i = 1; i <= 4; ++i) names.push_back(d + "a.tif#" + std::to_string(i));
    names.push_back(d + "render.pdf#1");
    names.push_back(d + "render.pdf#2");
    names.push_back(d + "a.pdf#9");  // fails alike on every thread
    std::vector<TMonoBitmap> alone;
    for (const std::string& n : names) {
        TMonoBitmap r;
        LoadScan(n, r);
        alone.push_back(r);
    }
    constexpr int kThreads = 4;
    std::vector<std::vector<TMonoBitmap>> seen(kThreads, std::vector<TMonoBitmap>(names.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round)
                for (size_t k = 0; k < names.size(); ++k) {
                    const size_t i = (k + static_cast<size_t>(t)) % names.size();
                    LoadScan(names[i], seen[t][i]);
                }
        });
    for (auto& t : threads) t.join();
    for (int t = 0; t < kThreads; ++t)
        for (size_t i = 0; i < names.size(); ++i) {
            ASSERT_EQ(seen[t][i].Width(), alone[i].Width()) << names[i];
            ASSERT_EQ(seen[t][i].Height(), alone[i].Height()) << names[i];
            for (int32_t y = 0; y < alone[i].Height(); ++y)
                ASSERT_EQ(0, std::memcmp(seen[t][i].Row(y), alone[i].Row(y), alone[i].Stride())) << names[i];
        }
    EXPECT_TRUE(alone.back().Empty());
}

// A worker keeps its last PDF open for the next page; a file replaced under
// the same name (renamed over, or rewritten in place) is read anew.
TEST(MultiPageScan, AReplacedPdfIsReadAnew) {
    TempDir dir;
    const std::string d = dir.Path().string() + "/";
    for (int i = 0; i < 3; ++i)
        sim::SavePicture(Sheet(150 + 10 * i, 100, i), d + "p" + std::to_string(i) + ".jpg", sim::TFileFormat::Jpeg);
    Tool("img2pdf " + d + "p0.jpg -o " + d + "a.pdf");
    Tool("img2pdf " + d + "p1.jpg " + d + "p2.jpg -o " + d + "b.pdf");
    const std::string scan = d + "skany.pdf";
    struct Step {
        const char* From;
        bool InPlace;
        const char* FirstPage;
        int Pages;
    };
    for (const Step s : {Step{"a.pdf", false, "p0.jpg", 1}, Step{"b.pdf", false, "p1.jpg", 2},
                         Step{"a.pdf", true, "p0.jpg", 1}, Step{"b.pdf", true, "p1.jpg", 2}}) {
        if (s.InPlace) {
            WriteFileBytes(scan, ReadFileBytes(d + s.From));
        } else {
            WriteFileBytes(scan + ".new", ReadFileBytes(d + s.From));
            ASSERT_EQ(std::rename((scan + ".new").c_str(), scan.c_str()), 0);
        }
        ExpectSameRaster(Load(scan + "#1"), Load(d + s.FirstPage), true, s.From);
        TMonoBitmap r;
        EXPECT_EQ(LoadScan(scan + "#2", r), s.Pages == 2) << s.From;
    }
}

// Our own print job's PDF: each sheet is a picture on a page with margins,
// not one full page, so the page is rendered, and each reads its code.
TEST(MultiPageScan, PrintedSheetsReadThroughTheRenderedPage) {
    TempDir dir;
    const std::string pdf = dir.File("arkusze.pdf");
    if (RunCommand("QT_QPA_PLATFORM=offscreen timeout 60 " + std::string(QUORLEN_CLI_PATH) +
                   " print --questions 20 --answers 4 --count 3 --start-from 4711 --pdf " + pdf + " >/dev/null 2>&1") !=
        0)
        GTEST_SKIP() << "this build prints no sheets";
    ASSERT_EQ(CountScanPages(pdf), 3);
    for (int page = 1; page <= 3; ++page) {
        const std::string name = ScanPageName(pdf, page);
        EXPECT_NEAR(Load(name).Width(), 1654, 2);  // A4 at 200 dpi
        TReadOptions options;
        options.CheckEmpty = TSharedSwitch(false);
        const TScanResult r = ReadScan(name, options);
        EXPECT_EQ(r.Status, TScanStatus::Read) << name << ": " << r.Message;
        EXPECT_EQ(r.Code, std::to_string(4710 + page)) << name;
        EXPECT_EQ(r.Answers.Count(), 20) << name;
    }
}
