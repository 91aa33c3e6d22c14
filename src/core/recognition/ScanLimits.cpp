#include "core/recognition/ScanLimits.h"

namespace quorlen {

uint64_t RasterBytes(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return 0;
    return (static_cast<uint64_t>(width) + 63) / 64 * 8 * static_cast<uint64_t>(height);
}

bool AcceptScanSize(int64_t width, int64_t height, uint64_t workingBytes, const TScanSizeHook& hook,
                    std::string* error) {
    auto refuse = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    if (width <= 0 || height <= 0) return refuse("the picture has no pixels");
    if (width > kMaxScanSide || height > kMaxScanSide)
        return refuse("the picture is larger than 65535 pixels either way (" + std::to_string(width) + " × " +
                      std::to_string(height) + ")");
    if (width * height > kMaxScanPixels)
        return refuse("the picture has " + std::to_string(width * height / 1'000'000) +
                      " megapixels, over the limit of " + std::to_string(kMaxScanPixels / 1'000'000));
    if (hook) hook(static_cast<int32_t>(width), static_cast<int32_t>(height), workingBytes);
    return true;
}

}  // namespace quorlen
