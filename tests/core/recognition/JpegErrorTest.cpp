#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/recognition/LoadScan.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

// A small CMYK JPEG (the loader's only path with a second row buffer).
std::string CmykJpeg(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = 32;
    cinfo.image_height = 16;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(32 * 4, 200);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
    return ReadFileBytes(path);
}

}  // namespace

// A second frame header after the picture's data makes libjpeg fail at the
// very end, after every row was read: the loader must still release what it
// holds (a leak here shows under the address sanitizer) and report failure.
TEST(JpegErrors, AFatalErrorAfterTheRowsFailsTheFileAndFreesItsBuffers) {
    TempDir dir;
    const std::string path = dir.File("cmyk.jpg");
    const std::string jpeg = CmykJpeg(path);
    TMonoBitmap raster;
    ASSERT_TRUE(LoadScan(path, raster));

    size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    const size_t sofLength =
        (static_cast<unsigned char>(jpeg[sof + 2]) << 8 | static_cast<unsigned char>(jpeg[sof + 3])) + 2;
    std::string broken = jpeg.substr(0, jpeg.size() - 2) + jpeg.substr(sof, sofLength) + "\xFF\xD9";
    WriteFileBytes(path, broken);
    std::string detail;
    EXPECT_FALSE(LoadScan(path, raster, &detail));
    EXPECT_NE(detail.find("JPEG"), std::string::npos) << detail;
    EXPECT_TRUE(raster.Empty());
}
