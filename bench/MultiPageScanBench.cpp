// Loading a page of a multi-page scan against loading the picture it is made
// of: a G4 TIFF page against a one-bit BMP of the same sheet (300 dpi), a
// JPEG page of a copier's PDF against the JPEG file (200 dpi), each page from
// the middle of a long file; and counting the pages of a PDF of 10 000 tiny
// pages, with the peak memory it took. The files are made once by
// SimulateBatch, ImageMagick, tiffcp, img2pdf and qpdf.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/recognition/LoadScan.h"
#include "core/recognition/ScanPages.h"
#include "testing/SimulateSheets.h"

namespace {

namespace fs = std::filesystem;

void Shell(const std::string& command) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) throw std::runtime_error("failed: " + command);
}

std::string OnlyFile(const std::string& dir, const std::string& ext) {
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ext) return e.path().string();
    throw std::runtime_error("no " + ext + " in " + dir);
}

std::string Repeat(const std::string& word, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += " " + word;
    return s;
}

struct Files {
    std::string Dir, Bmp1, G4Page, Jpeg, PdfPage, Tiny10k;
    Files() {
        Dir = (fs::temp_directory_path() / ("quorlen-pages-bench-" + std::to_string(getpid()))).string();
        fs::create_directories(Dir);
        quorlen::sim::TBatchOptions o;
        quorlen::sim::ApplyPreset("office", o);
        o.Count = 1;
        o.Dpi = 300;
        o.Format = quorlen::sim::TFileFormat::Bmp1;
        o.OutDir = Dir + "/bmp";
        quorlen::sim::SimulateBatch(o);
        Bmp1 = OnlyFile(o.OutDir, ".bmp");
        o.Dpi = 200;
        o.Format = quorlen::sim::TFileFormat::Jpeg;
        o.OutDir = Dir + "/jpg";
        quorlen::sim::SimulateBatch(o);
        Jpeg = OnlyFile(o.OutDir, ".jpg");
        // Page 50 of a 100-page G4 TIFF; page 150 of a 300-page PDF.
        Shell("convert " + Bmp1 + " -depth 1 -compress group4 " + Dir + "/g4.tif");
        Shell("tiffcp" + Repeat(Dir + "/g4.tif", 100) + " " + Dir + "/g4x100.tif");
        G4Page = Dir + "/g4x100.tif#50";
        Shell("img2pdf" + Repeat(Jpeg, 300) + " -o " + Dir + "/copier.pdf");
        PdfPage = Dir + "/copier.pdf#150";
        Shell("convert -size 24x16 xc:white -fill black -draw 'rectangle 3,3 12,9' -quality 80 " + Dir + "/t.jpg");
        Shell("img2pdf" + Repeat(Dir + "/t.jpg", 100) + " -o " + Dir + "/t100.pdf");
        Shell("qpdf --empty --pages" + Repeat(Dir + "/t100.pdf", 100) + " -- " + Dir + "/tiny10k.pdf");
        Tiny10k = Dir + "/tiny10k.pdf";
    }
    ~Files() { fs::remove_all(Dir); }
};

const Files& TheFiles() {
    static Files files;
    return files;
}

void Load(benchmark::State& state, const std::string& name) {
    quorlen::TMonoBitmap raster;
    for (auto _ : state) {
        if (!quorlen::LoadScan(name, raster)) state.SkipWithError(("cannot load " + name).c_str());
        benchmark::DoNotOptimize(raster.Bits().data());
    }
    state.SetLabel(std::to_string(raster.Width()) + "x" + std::to_string(raster.Height()));
}

void BM_OneBitBmp(benchmark::State& s) { Load(s, TheFiles().Bmp1); }
void BM_G4TiffPage(benchmark::State& s) { Load(s, TheFiles().G4Page); }
void BM_JpegFile(benchmark::State& s) { Load(s, TheFiles().Jpeg); }
void BM_PdfJpegPage(benchmark::State& s) { Load(s, TheFiles().PdfPage); }

long StatusKb(const char* field) {
    FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = 0;
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, std::strlen(field)) == 0) kb = std::atol(line + std::strlen(field));
    if (f) std::fclose(f);
    return kb;
}

// Counted in a child process: the memory the count took is its peak
// resident size less what it held when it began.
void BM_CountPages10000TinyPages(benchmark::State& state) {
    const std::string file = TheFiles().Tiny10k;
    long tookKb = -1;
    for (auto _ : state) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) state.SkipWithError("pipe");
        const pid_t child = fork();
        if (child == 0) {
            const long before = StatusKb("VmRSS:");
            const int pages = quorlen::CountScanPages(file);
            const long took = pages == 10000 ? StatusKb("VmHWM:") - before : -1;
            (void)!write(pipeFds[1], &took, sizeof took);
            _exit(0);
        }
        close(pipeFds[1]);
        if (read(pipeFds[0], &tookKb, sizeof tookKb) != sizeof tookKb) tookKb = -1;
        close(pipeFds[0]);
        waitpid(child, nullptr, 0);
    }
    if (tookKb < 0) state.SkipWithError("wrong page count");
    state.counters["took_MB"] = static_cast<double>(tookKb) / 1024;
}

}  // namespace

BENCHMARK(BM_OneBitBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4TiffPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PdfJpegPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountPages10000TinyPages)->Unit(benchmark::kMillisecond)->Iterations(3);
