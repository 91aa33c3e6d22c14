#include "support/SaneTestConfig.h"

#include <dlfcn.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

// The test backend leaks a page buffer per feeder page. Held loaded (below),
// its frames carry its name, and this keeps LeakSanitizer's report to ours.
// It replaces the page reader's own suppression, so it repeats that one
// (fontconfig's configuration, kept once per process).
extern "C" const char* __lsan_default_suppressions() { return "leak:libsane-test.so\nleak:libfontconfig.so\n"; }

namespace quorlen::testing {

namespace {

// SANE unloads a backend at sane_exit; a leak of an unloaded library cannot
// be told apart from one of ours. A reference of the test's own keeps it.
void HoldTestBackend() {
    static const bool held = [] {
        for (const char* path :
             {"/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1", "/usr/lib/aarch64-linux-gnu/sane/libsane-test.so.1",
              "/usr/lib/sane/libsane-test.so.1"})
            if (dlopen(path, RTLD_NOW | RTLD_NODELETE)) return true;
        return false;
    }();
    (void)held;
}

std::string Fixed(double v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

}  // namespace

TSaneTestConfig::TSaneTestConfig(double widthMm, double heightMm, const std::string& moreTestConf) {
    HoldTestBackend();
    setenv("SANE_CONFIG_DIR", Dir().c_str(), 1);
    WriteFileBytes(Dir() + "/dll.conf", "test\npnm\n");
    // The stock values, with the page size asked for.
    WriteFileBytes(Dir() + "/test.conf",
                   "number_of_devices 2\nmode Gray\ndepth 8\nresolution_min 1.0\nresolution_max 1200.0\n"
                   "resolution_quant 1.0\nresolution 50.0\ntest-picture \"Solid black\"\n"
                   "geometry_min 0.0\ngeometry_max " +
                       Fixed(std::max({widthMm, heightMm, 200.0})) + "\ngeometry_quant 1.0\ntl_x 0.0\ntl_y 0.0\nbr_x " +
                       Fixed(widthMm) + "\nbr_y " + Fixed(heightMm) + "\n" + moreTestConf);
}

std::string TSaneTestConfig::Dir() const {
    static const TempDir dir("quorlen-sane");
    return dir.Path().string();
}

std::string TSaneTestConfig::Environment() const { return "SANE_CONFIG_DIR='" + Dir() + "' "; }

TImage ReadPngImage(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) throw std::runtime_error("not a PNG: " + path);
    TImage out;
    out.Width = static_cast<int>(image.width);
    out.Height = static_cast<int>(image.height);
    out.Channels = (image.format & PNG_FORMAT_FLAG_COLOR) ? 3 : 1;
    image.format = out.Channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    out.Samples.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.Samples.data(), 0, nullptr))
        throw std::runtime_error("bad PNG: " + path);
    // The simplified reader says nothing of depth or resolution: the header does.
    const std::string bytes = ReadFileBytes(path);
    out.BitDepth = static_cast<unsigned char>(bytes.at(24));
    if (const size_t phys = bytes.find("pHYs"); phys != std::string::npos) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + phys + 4);
        const double perMetre = (p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        out.DotsPerInch = static_cast<int>(std::lround(perMetre * 0.0254));
    }
    return out;
}

TImage ReadPnmImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    in >> magic;
    auto number = [&in] {
        in >> std::ws;
        while (in.peek() == '#') {
            std::string comment;
            std::getline(in, comment);
            in >> std::ws;
        }
        int n = 0;
        in >> n;
        return n;
    };
    TImage out;
    out.Width = number();
    out.Height = number();
    const int maxValue = magic == "P4" ? 1 : number();
    in.get();
    out.Channels = magic == "P6" ? 3 : 1;
    out.BitDepth = magic == "P4" ? 1 : maxValue > 255 ? 16 : 8;
    const size_t pixels = static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height);
    if (magic == "P4") {
        const size_t rowBytes = (static_cast<size_t>(out.Width) + 7) / 8;
        std::string bits(rowBytes * static_cast<size_t>(out.Height), '\0');
        in.read(bits.data(), static_cast<std::streamsize>(bits.size()));
        for (int y = 0; y < out.Height; ++y)
            for (int x = 0; x < out.Width; ++x) {
                const bool black = static_cast<unsigned char>(bits[y * rowBytes + x / 8]) & (0x80 >> (x % 8));
                out.Samples.push_back(black ? '\0' : '\xff');
            }
        return out;
    }
    const size_t sampleBytes = out.BitDepth == 16 ? 2 : 1;
    std::string raw(pixels * static_cast<size_t>(out.Channels) * sampleBytes, '\0');
    in.read(raw.data(), static_cast<std::streamsize>(raw.size()));
    // 16-bit PNM is big-endian: the high byte comes first.
    for (size_t i = 0; i < raw.size(); i += sampleBytes) out.Samples.push_back(raw[i]);
    return out;
}

std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void WritePgm(const std::string& path, int width, int height, const std::string& samples) {
    WriteFileBytes(path, "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" + samples);
}

}  // namespace quorlen::testing
