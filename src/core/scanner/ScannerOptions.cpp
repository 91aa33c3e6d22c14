// Option values are read in the C locale (a decimal point, whatever the
// desktop's language) so that a command line means the same everywhere.
#include "core/scanner/ScannerOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "core/scanner/ScannerError.h"

namespace quorlen {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool Contains(const std::string& haystack, const char* needle) { return haystack.find(needle) != std::string::npos; }

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string Quoted(const std::string& s) { return "„" + s + "”"; }

[[noreturn]] void BadValue(const SANE_Option_Descriptor& option, const std::string& text, const std::string& wants) {
    throw TScannerError(SANE_STATUS_INVAL, "Zła wartość opcji " + Quoted(option.name ? option.name : "") + ": " +
                                               Quoted(text) + " (" + wants + ").");
}

std::string Joined(const std::vector<std::string>& values) {
    std::string all;
    for (const std::string& v : values) all += (all.empty() ? "" : ", ") + v;
    return all;
}

size_t WordCount(const SANE_Option_Descriptor& option) {
    return std::max<size_t>(1, static_cast<size_t>(std::max(option.size, 0)) / sizeof(SANE_Word));
}

// A number followed by nothing but its unit: letters, "%" or "µ".
std::optional<double> ParseNumber(const std::string& text) {
    const std::string t = Trim(text);
    double value = 0;
    const char* end = t.data() + t.size();
    auto [rest, error] = std::from_chars(t.data(), end, value);
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    for (const char* p = rest; p < end; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (!(std::isalpha(c) || c == '%' || c >= 0x80)) return std::nullopt;
    }
    return value;
}

SANE_Word ToWord(const SANE_Option_Descriptor& option, double value, const std::string& text) {
    const double limit =
        option.type == SANE_TYPE_FIXED ? 32767.0 : static_cast<double>(std::numeric_limits<int>::max());
    if (std::fabs(value) > limit) BadValue(option, text, "liczba poza zakresem");
    return option.type == SANE_TYPE_FIXED ? SANE_FIX(value) : static_cast<SANE_Word>(std::lround(value));
}

std::string MatchString(const SANE_Option_Descriptor& option, const std::string& text) {
    if (option.constraint_type != SANE_CONSTRAINT_STRING_LIST) return text;
    const std::vector<std::string> offered = OfferedValues(option);
    for (const std::string& v : offered)
        if (v == text) return v;
    for (const std::string& v : offered)
        if (Lower(v) == Lower(text)) return v;
    std::vector<std::string> begins;
    for (const std::string& v : offered)
        if (!text.empty() && Lower(v).rfind(Lower(text), 0) == 0) begins.push_back(v);
    if (begins.size() == 1) return begins.front();
    BadValue(option, text, "dozwolone: " + Joined(offered));
}

}  // namespace

void* TOptionValue::Data() {
    if (!Words.empty()) return Words.data();
    if (!Text.empty()) return Text.data();
    return nullptr;
}

std::vector<std::string> OfferedValues(const SANE_Option_Descriptor& option) {
    std::vector<std::string> values;
    if (option.constraint_type == SANE_CONSTRAINT_STRING_LIST && option.constraint.string_list)
        for (const SANE_String_Const* s = option.constraint.string_list; *s; ++s) values.emplace_back(*s);
    return values;
}

TOptionValue EncodeOptionValue(const SANE_Option_Descriptor& option, const std::string& text) {
    TOptionValue value;
    if ((option.cap & SANE_CAP_AUTOMATIC) && Lower(Trim(text)) == "auto") {
        value.Action = SANE_ACTION_SET_AUTO;
        return value;
    }
    switch (option.type) {
        case SANE_TYPE_BOOL: {
            const std::string t = Lower(Trim(text));
            bool on = false;
            if (t.empty() || t == "yes" || t == "true" || t == "on" || t == "1")
                on = true;
            else if (!(t == "no" || t == "false" || t == "off" || t == "0"))
                BadValue(option, text, "oczekiwano yes albo no");
            value.Words = {on ? SANE_TRUE : SANE_FALSE};
            return value;
        }
        case SANE_TYPE_INT:
        case SANE_TYPE_FIXED: {
            std::vector<SANE_Word> words;
            size_t start = 0;
            while (true) {
                const size_t comma = text.find(',', start);
                const std::string part =
                    text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                const std::optional<double> n = ParseNumber(part);
                if (!n) BadValue(option, text, "oczekiwano liczby");
                words.push_back(ToWord(option, *n, text));
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            const size_t count = WordCount(option);
            if (words.size() == 1) words.resize(count, words.front());
            if (words.size() != count) BadValue(option, text, "oczekiwano " + std::to_string(count) + " liczb");
            value.Words = std::move(words);
            return value;
        }
        case SANE_TYPE_STRING: {
            const std::string s = MatchString(option, text);
            if (static_cast<long long>(s.size()) + 1 > option.size) BadValue(option, text, "za długi tekst");
            value.Text.assign(static_cast<size_t>(option.size), '\0');
            std::copy(s.begin(), s.end(), value.Text.begin());
            return value;
        }
        case SANE_TYPE_BUTTON:
            return value;
        default:
            BadValue(option, text, "tej opcji nie ustawia się wartością");
    }
}

std::optional<std::string> PickSource(const std::vector<std::string>& offered, const std::string& wanted) {
    const std::string want = Lower(wanted);
    for (const std::string& v : offered)
        if (Lower(v) == want) return v;
    if (want == "adf") {
        // The plain feeder first: duplex and back-side variants scan more than
        // the one side a sheet carries.
        for (const std::string& v : offered) {
            const std::string l = Lower(v);
            if (IsFeederSource(v) && !Contains(l, "duplex") && !Contains(l, "back")) return v;
        }
        for (const std::string& v : offered)
            if (IsFeederSource(v)) return v;
    } else if (want == "flatbed") {
        for (const char* word : {"flatbed", "normal", "table", "glass", "platen"})
            for (const std::string& v : offered)
                if (Contains(Lower(v), word)) return v;
        for (const std::string& v : offered)
            if (!IsFeederSource(v)) return v;
    }
    return std::nullopt;
}

bool IsFeederSource(const std::string& value) {
    const std::string l = Lower(value);
    return Contains(l, "adf") || Contains(l, "feeder") || Contains(l, "duplex");
}

std::optional<std::string> PickMode(const std::vector<std::string>& offered, const std::string& wanted) {
    std::string want = Lower(wanted);
    for (const std::string& v : offered)
        if (Lower(v) == want) return v;
    if (want == "grey") want = "gray";
    if (want == "colour") want = "color";
    auto first = [&](auto matches) -> std::optional<std::string> {
        for (const std::string& v : offered)
            if (matches(Lower(v))) return v;
        return std::nullopt;
    };
    if (want == "gray") return first([](const std::string& l) { return Contains(l, "gray") || Contains(l, "grey"); });
    if (want == "color")
        return first([](const std::string& l) {
            return (Contains(l, "color") || Contains(l, "colour")) && !Contains(l, "lineart") &&
                   !Contains(l, "halftone");
        });
    if (want == "lineart")
        return first([](const std::string& l) {
            return (Contains(l, "lineart") || Contains(l, "line art") || l == "binary" || Contains(l, "black")) &&
                   !Contains(l, "color") && !Contains(l, "colour");
        });
    return std::nullopt;
}

double WordValue(const SANE_Option_Descriptor& option, SANE_Word word) {
    return option.type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : static_cast<double>(word);
}

SANE_Word NearestAllowed(const SANE_Option_Descriptor& option, double wanted) {
    auto toWord = [&](double v) {
        return option.type == SANE_TYPE_FIXED ? SANE_FIX(v) : static_cast<SANE_Word>(std::lround(v));
    };
    if (option.constraint_type == SANE_CONSTRAINT_RANGE && option.constraint.range) {
        const SANE_Range& r = *option.constraint.range;
        const double lo = WordValue(option, r.min), hi = WordValue(option, r.max), quant = WordValue(option, r.quant);
        double v = std::clamp(wanted, lo, hi);
        if (quant > 0) v = std::min(hi, lo + std::round((v - lo) / quant) * quant);
        return toWord(v);
    }
    if (option.constraint_type == SANE_CONSTRAINT_WORD_LIST && option.constraint.word_list &&
        option.constraint.word_list[0] > 0) {
        const SANE_Word* list = option.constraint.word_list;
        SANE_Word best = list[1];
        for (SANE_Word i = 1; i <= list[0]; ++i)
            if (std::fabs(WordValue(option, list[i]) - wanted) < std::fabs(WordValue(option, best) - wanted))
                best = list[i];
        return best;
    }
    return toWord(wanted);
}

}  // namespace quorlen
