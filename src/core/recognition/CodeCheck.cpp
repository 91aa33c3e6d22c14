#include "core/recognition/CodeCheck.h"

namespace quorlen {

std::string CodeDoubt(TQuorlen& reader) {
    for (int p = 1; p <= 10; ++p) {
        const int group = p <= 5 ? 4 : 28;
        const int row = reader.CodeRuleRow + 2 + 2 * ((p - 1) % 5);
        int marked = 0;
        for (int k = 0; k <= 9; ++k) {
            const double ratio = reader.MarkRatio(group + 2 * k, row);
            if (ratio > kCodeDoubtLow && ratio <= kCodeDoubtHigh)
                return "Kod arkusza nie został przyjęty: kratka cyfry " + std::to_string(k) + " na pozycji " +
                       std::to_string(p) + " jest na granicy poziomu czerni.";
            marked += ratio > 1;
        }
        if (marked > 1)
            return "Kod arkusza nie został przyjęty: na pozycji " + std::to_string(p) +
                   " zaczernione są dwie cyfry lub więcej.";
    }
    return {};
}

}  // namespace quorlen
