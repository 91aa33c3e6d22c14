#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quorlen {

// What the operator asks of a scan: the device, where the sheets lie, how
// finely and in which colours, and any backend option by name.
struct TScanSettings {
    std::string Device;
    // "ADF" (the document feeder: the batch goes on until it is empty),
    // "Flatbed" (one page from the glass), a source the device names itself,
    // or empty: the feeder when the device has one, else whatever it scans.
    std::string Source;
    int Resolution = 200;
    // "Gray", "Color" or "Lineart" (one bit per pixel), or a mode the device
    // names itself.
    std::string Mode = "Gray";
    // Backend options in the order given, applied after the settings above
    // so that they can refine them.
    std::vector<std::pair<std::string, std::string>> Options;
};

// What the device was set to.
struct TAppliedScan {
    // The source feeds sheets: pages follow until the feeder is empty.
    bool Feeder = false;
    // The resolution in dots per inch, 0 when the device names none.
    int Resolution = 0;
    // Colour pages stay in colour; otherwise they are saved grey.
    bool Colour = false;
};

}  // namespace quorlen
