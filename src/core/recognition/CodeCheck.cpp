#include "core/recognition/CodeCheck.h"

#include <algorithm>

#include "core/project/SheetLayout.h"

namespace quorlen {

std::string CodeDoubt(TQuorlen& reader) {
    const std::string refused = "Kod arkusza nie został przyjęty: ";
    int firstEmpty = 0;  // the first position without a digit, 0 while there is none
    for (int p = 1; p <= CodePositions; ++p) {
        const int group = TSheetLayout::CodeGroupColumn(p);
        const int row = reader.CodeRuleRow + FirstCodeRowFromCodeRule + TSheetLayout::CodeRowOffset(p);
        int marked = 0;
        for (int k = 0; k <= 9; ++k) {
            const double ratio = reader.MarkRatio(group + 2 * k, row);
            if (ratio * std::max(reader.Level, 1) / 100 < kCodeOutlineShare)
                return refused + "kratki cyfry " + std::to_string(k) + " na pozycji " + std::to_string(p) +
                       " nie odnaleziono na skanie.";
            if (ratio > kCodeDoubtLow && ratio <= kCodeDoubtHigh)
                return refused + "kratka cyfry " + std::to_string(k) + " na pozycji " + std::to_string(p) +
                       " jest na granicy poziomu czerni.";
            marked += ratio > 1;
        }
        if (marked > 1) return refused + "na pozycji " + std::to_string(p) + " zaczernione są dwie cyfry lub więcej.";
        if (marked == 0 && firstEmpty == 0) firstEmpty = p;
        if (marked == 1 && firstEmpty != 0)
            return refused + "pozycja " + std::to_string(firstEmpty) + " jest pusta, a pozycja " + std::to_string(p) +
                   " ma cyfrę.";
    }
    return {};
}

}  // namespace quorlen
