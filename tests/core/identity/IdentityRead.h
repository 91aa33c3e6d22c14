#pragma once

#include <string>

#include "core/common/Json.h"
#include "core/common/ScanGeometry.h"

namespace quorlen::identity {

enum class TOperator {
    None,          // no operator: everything taken as read
    Answers,       // corners: the middle of the area; answers: a fixed rule
    AbortsAtThird  // answers like Answers, then aborts at the third question
};

struct TReadWay {
    int Level = 44;
    bool CheckEmpty = true;
    int ExpectedCount = 0;
    bool UseStoredGeometry = false;
    TOperator Operator = TOperator::None;
};

// Reads one scan the way the batch does and returns everything observable:
// Status, Message, Code, Answers, Geometry and the operator's questions, each
// with its area and a digest of the black pixels it shows.
Json ReadOnce(const std::string& path, const TReadWay& way, const TScanGeometry& stored);

}  // namespace quorlen::identity
