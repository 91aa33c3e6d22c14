#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlen {

// Ordered text lines of the form name=value. Names compare case-insensitively
// (ASCII); where a name occurs twice, the first line counts.
class TAnswerList {
public:
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& Line(int index) const { return lines_.at(static_cast<size_t>(index)); }
    const std::vector<std::string>& Lines() const { return lines_; }
    void Clear() { lines_.clear(); }

    // Appends a raw line as it is.
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Add(std::string_view name, std::string_view value);

    // The text before the first "=", or the whole line when there is none.
    std::string Name(int index) const;
    // The text after the first "=", kept exactly; empty when there is none.
    std::string ValueAt(int index) const;

    // Index of the first line with that name, -1 when absent.
    int IndexOfName(std::string_view name) const;
    // Value of the first line with that name; empty when absent.
    std::string Value(std::string_view name) const;
    // Sets the value of the first line with that name, or appends a line.
    // An empty value removes that line instead, as a list of settings does:
    // a name with nothing to say is not kept.
    void SetValue(std::string_view name, std::string_view value);
    // Removes the first line with that name; false when there was none.
    bool Remove(std::string_view name);

    bool operator==(const TAnswerList& other) const = default;

private:
    std::vector<std::string> lines_;
};

}  // namespace quorlen
