// A plain vector of lines searched from the front: sheets have at most a few
// hundred lines, and the first line of a name must win anyway.
#include "core/common/AnswerList.h"

#include "core/common/Text.h"

namespace quorlen {

void TAnswerList::Add(std::string_view name, std::string_view value) {
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).append("=").append(value);
    lines_.push_back(std::move(line));
}

std::string TAnswerList::Name(int index) const {
    const std::string& line = Line(index);
    size_t eq = line.find('=');
    return eq == std::string::npos ? line : line.substr(0, eq);
}

std::string TAnswerList::ValueAt(int index) const {
    const std::string& line = Line(index);
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

int TAnswerList::IndexOfName(std::string_view name) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view line = lines_[i];
        size_t eq = line.find('=');
        if (eq != std::string_view::npos && EqualsIgnoreCase(line.substr(0, eq), name)) return static_cast<int>(i);
    }
    return -1;
}

std::string TAnswerList::Value(std::string_view name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueAt(i);
}

void TAnswerList::SetValue(std::string_view name, std::string_view value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) lines_.erase(lines_.begin() + i);
        return;
    }
    std::string line = std::string(name) + "=" + std::string(value);
    if (i >= 0)
        lines_[static_cast<size_t>(i)] = std::move(line);
    else
        lines_.push_back(std::move(line));
}

bool TAnswerList::Remove(std::string_view name) {
    int i = IndexOfName(name);
    if (i < 0) return false;
    lines_.erase(lines_.begin() + i);
    return true;
}

}  // namespace quorlen
