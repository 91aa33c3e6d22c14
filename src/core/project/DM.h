#pragma once

#include <string>

namespace quorlen {

// The small process-wide object shared by the project panel and the renderer.
struct TDM {
    std::string PrintLine2;
    std::string PrintLine1;
};

// The one instance of the process, created on first use.
TDM& DM();

}  // namespace quorlen
