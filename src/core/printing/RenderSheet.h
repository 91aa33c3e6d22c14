#pragma once

#include <memory>
#include <string>

#include "core/common/MonoBitmap.h"

namespace quorlen {

// The project's two lines of its own under the header; an empty one prints
// its placeholder.
struct TPrintLines {
    std::string Line1;
    std::string Line2;
};

// Draws one answer sheet: the first page, and in *continuationPage the second
// page when the questions from firstQuestion on do not fit on one page (left
// empty otherwise). headerText is the caller's
// part of the header, lines separated by CR. Throws std::invalid_argument for
// a code that is not empty or 1..10 decimal digits, an answer count outside
// 2..16, a question number below 1, and a header with so many lines that no
// question row is left on the page.
TMonoBitmap RenderSheet(int questionCount, int answerCount, const std::string& code, const std::string& headerText,
                        int firstQuestion = 1, std::unique_ptr<TMonoBitmap>* continuationPage = nullptr,
                        const TPrintLines& printLines = {});

}  // namespace quorlen
