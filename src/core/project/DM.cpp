#include "core/project/DM.h"

namespace quorlen {

TDM& DM() {
    static TDM instance;
    return instance;
}

}  // namespace quorlen
