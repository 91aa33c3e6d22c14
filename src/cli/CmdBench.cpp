#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "cli/Command.h"
#include "core/common/Json.h"
#include "core/common/Text.h"
#include "core/recognition/Deskew.h"
#include "core/recognition/LoadScan.h"
#include "core/recognition/Quorlen.h"
#include "core/recognition/ReadScan.h"
#include "testing/SimulateSheets.h"

namespace quorlen::cli {
namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Plain JPEG decoding into memory, the floor any reader of the file pays.
bool DecodeJpegOnly(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string bytes = s.str();
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&cinfo);
    std::vector<uint8_t> picture(static_cast<size_t>(cinfo.output_width) * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = picture.data() + static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// A "Vm…:" line of /proc/self/status in kB: VmHWM is the peak, VmRSS now.
long StatusKb(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return 0;
}

// Reads without pauses, so that only computing is measured.
TReadOptions BenchOptions() {
    TReadOptions options;
    options.Level = 44;
    options.AnswerPause = {};
    return options;
}

// Runs one job in this fresh process and prints the growth of its peak
// resident memory, so that the parent can measure a job in isolation. A first
// job runs before; the memory it freed goes back to the system (or the second
// job would reuse pages already counted as resident) and the peak is reset to
// the resident memory (clear_refs), so that the figure is what a job holds
// rather than the pages of code and libraries a process touches once. Where
// the reset is refused (an old kernel) that first job is counted too.
int MeasureOne(const std::string& file) {
    ReadScan(file, BenchOptions());
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKb("VmRSS:");
    const TScanResult result = ReadScan(file, BenchOptions());
    std::cout << (StatusKb("VmHWM:") - before) << "\n";
    return result.Status == TScanStatus::Read ? ExitOk : ExitFailure;
}

long PeakOfOneJobKb(const std::string& file) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return -1;
    self[n] = 0;
    const std::string command = std::string(self) + " bench --measure-one '" + file + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    long kb = -1;
    if (std::fscanf(pipe, "%ld", &kb) != 1) kb = -1;
    pclose(pipe);
    return kb;
}

int RunBench(const Args& args) {
    args.RejectUnknown({"dpi", "format", "count", "questions", "answers", "dir", "measure-one"});
    if (auto one = args.Get("measure-one")) return MeasureOne(*one);
    sim::TBatchOptions o;
    o.Dpi = args.Int("dpi", 200, 150, 300);
    std::string formatName = args.Get("format").value_or("jpg");
    if (!sim::ParseFormat(formatName, o.Format)) throw UsageError("--format must be png, jpg, jpg-colour, bmp or bmp1");
    o.Count = args.Int("count", 10, 1, 1000);
    o.Questions = args.Int("questions", 50, 3, 200);
    o.Answers = args.Int("answers", 5, 2, 16);
    o.RotateMax = 1.0;
    o.Seed = 42;
    const std::string dir = args.Get("dir").value_or(
        (std::filesystem::temp_directory_path() / ("quorlen-bench-" + std::to_string(getpid()))).string());
    o.OutDir = dir;
    std::cerr << "Generating " << o.Count << " scans in " << dir << "\n";
    Json truth = sim::SimulateBatch(o, [](int d, int t) { ShowProgress("simulate", d, t); });

    std::vector<double> decode, load, deskew, locate, read, job, tileShare;
    std::vector<double> decodeCpu, jobCpu;  // thread CPU time: steadier than wall time on a loaded machine
    std::vector<std::string> files;
    int failures = 0;
    for (const auto& f : truth["Files"])
        files.push_back((std::filesystem::path(dir) / f["File"].get<std::string>()).string());
    for (const std::string& file : files) {
        const bool isJpeg = EqualsIgnoreCase(std::filesystem::path(file).extension().string(), ".jpg");
        if (isJpeg) {
            auto t0 = Clock::now();
            const double c0 = CpuMs();
            DecodeJpegOnly(file);
            decode.push_back(Ms(t0, Clock::now()));
            decodeCpu.push_back(CpuMs() - c0);
        }
        TMonoBitmap raster;
        auto t0 = Clock::now();
        LoadScan(file, raster);
        load.push_back(Ms(t0, Clock::now()));

        TMonoBitmap copy = raster;
        TQuorlen probe(copy, 1, TScanGeometry{0, 0, 0, 0, 0, 44});
        probe.ScaleX = copy.Width() / static_cast<double>(SheetWidth);
        probe.ScaleY = copy.Height() / static_cast<double>(SheetHeight);
        double angle = 0;
        probe.MeasureSkew(angle);
        t0 = Clock::now();
        Deskew(copy, angle);
        deskew.push_back(Ms(t0, Clock::now()));

        copy = raster;
        TQuorlen locator(copy, 1, TScanGeometry{0, 0, 0, 0, 0, 44});
        t0 = Clock::now();
        locator.LocateSheet();
        const double located = Ms(t0, Clock::now());
        locate.push_back(located);

        copy = raster;
        TQuorlen whole(copy, 1, TScanGeometry{0, 0, 0, 0, 0, 44});
        t0 = Clock::now();
        whole.Run();
        read.push_back(Ms(t0, Clock::now()) - located);
        if (const TDeskewTiles* tiles = whole.Tiles(); tiles && tiles->TileCount() > 0)
            tileShare.push_back(100.0 * tiles->TilesMade() / tiles->TileCount());

        t0 = Clock::now();
        const double c0 = CpuMs();
        const TScanResult result = ReadScan(file, BenchOptions());
        job.push_back(Ms(t0, Clock::now()));
        jobCpu.push_back(CpuMs() - c0);
        failures += result.Status != TScanStatus::Read;
    }
    // Medians of wall time follow the machine's load; the reduction's own cost
    // is clearer as the best thread CPU time of repeated runs on one scan.
    double bestLoad = 1e9, bestDecode = 1e9;
    const bool firstIsJpeg = !decode.empty();
    for (int i = 0; i < 20 && firstIsJpeg; ++i) {
        TMonoBitmap raster;
        double t0 = CpuMs();
        LoadScan(files.front(), raster);
        bestLoad = std::min(bestLoad, CpuMs() - t0);
        t0 = CpuMs();
        DecodeJpegOnly(files.front());
        bestDecode = std::min(bestDecode, CpuMs() - t0);
    }
    const long peakKb = PeakOfOneJobKb(files.front());
    TMonoBitmap first;
    LoadScan(files.front(), first);
    const double pixels = static_cast<double>(first.Width()) * first.Height();

    std::printf("scans: %zu (%d dpi, %s, %d questions x %d answers, %dx%d px), %d read with a non-zero status\n",
                files.size(), o.Dpi, formatName.c_str(), o.Questions, o.Answers, first.Width(), first.Height(),
                failures);
    std::printf("median ms per scan, one thread:\n");
    if (!decode.empty()) std::printf("  decode (libjpeg, grey)      %7.2f\n", Median(decode));
    std::printf("  load (decode + reduction)   %7.2f\n", Median(load));
    if (!decode.empty()) std::printf("  reduction                   %7.2f\n", Median(load) - Median(decode));
    std::printf("  deskew of the whole page    %7.2f\n", Median(deskew));
    std::printf("  location (its tiles)        %7.2f\n", Median(locate));
    std::printf("  reading (its tiles)         %7.2f\n", Median(read));
    std::printf("  whole job (no pauses)       %7.2f\n", Median(job));
    if (!decode.empty()) std::printf("  job / decode                %7.2f\n", Median(job) / Median(decode));
    if (!decode.empty())
        std::printf("  the same in thread CPU time %7.2f (job %.2f ms, decode %.2f ms)\n",
                    Median(jobCpu) / Median(decodeCpu), Median(jobCpu), Median(decodeCpu));
    if (!tileShare.empty())
        std::printf("deskew tiles (%d px) the reading made: %.0f %%\n", TDeskewTiles::TileSide, Median(tileShare));
    if (firstIsJpeg)
        std::printf("reduction of the first scan, best of 20, thread CPU time: %.2f ms (load %.2f, decode %.2f)\n",
                    bestLoad - bestDecode, bestLoad, bestDecode);
    if (peakKb >= 0)
        std::printf("peak memory of one job: %.1f MB (%.2f bytes per scan pixel)\n", peakKb / 1024.0,
                    peakKb * 1024.0 / pixels);
    if (!args.Has("dir")) std::filesystem::remove_all(dir);
    return ExitOk;
}

const Registrar registrar({
    "bench",
    "measure the reading speed per stage on simulated scans",
    "Usage: quorlen-cli bench [--dpi D] [--format F] [--count N] [--questions Q] [--answers A] [--dir DIR]\n\n"
    "Generates scans with the simulator (A4, turned up to 1 degree), then reads\n"
    "each on one thread and prints the median milliseconds per stage: decoding,\n"
    "reduction to black and white, deskew of the whole page (for comparison: a\n"
    "job rotates only the tiles it reads), location and reading with the tiles\n"
    "they make, and the whole scan job without its per-answer pause, with the\n"
    "ratio of the job to decoding alone (in wall time, then in thread CPU time,\n"
    "which a loaded machine disturbs less), the share of deskew tiles a reading\n"
    "made, the reduction's cost on the first scan as the best thread CPU time\n"
    "of 20 loads less 20 decodes (steady under load), and the peak memory of\n"
    "one job measured in a fresh process after a first job.\n\n"
    "Options:\n"
    "  --dpi D          150, 200 or 300 (default 200)\n"
    "  --format F       jpg (default), jpg-colour, png, bmp or bmp1\n"
    "  --count N        number of scans (default 10)\n"
    "  --questions Q    questions per sheet (default 50)\n"
    "  --answers A      answers per question (default 5)\n"
    "  --dir DIR        keep the generated scans in DIR\n",
    RunBench,
    {},
});

}  // namespace
}  // namespace quorlen::cli
