// The remark is one sentence of its own within "Uwagi", so that it can be
// found again and replaced when the list changes (a merge, a new key).
#include "core/results/RepeatedCodes.h"

namespace quorlen {
namespace {

const Json* ListOf(const Json& document) {
    if (!document.is_object()) return nullptr;
    const auto it = document.find("Lista");
    return it != document.end() && it->is_array() ? &*it : nullptr;
}

std::string CodeOf(const Json& entry) {
    const auto it = entry.is_object() ? entry.find("Student") : entry.end();
    return it != entry.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The remark without a sentence an earlier flagging put there.
std::string WithoutRepeatNote(std::string note, const std::string& code) {
    const std::string start = "Kod " + code + " powtarza się na ";
    const size_t at = note.find(start);
    if (at == std::string::npos) return note;
    const std::string end = " arkuszach.";
    const size_t stop = note.find(end, at);
    if (stop == std::string::npos) return note;
    size_t from = at, to = stop + end.size();
    if (to < note.size() && note[to] == ' ') ++to;
    else if (from > 0 && note[from - 1] == ' ') --from;
    return note.erase(from, to - from);
}

}  // namespace

std::map<std::string, int> RepeatedCodes(const Json& document) {
    std::map<std::string, int> counts;
    if (const Json* list = ListOf(document))
        for (const Json& entry : *list)
            if (std::string code = CodeOf(entry); !code.empty()) ++counts[code];
    std::erase_if(counts, [](const auto& c) { return c.second < 2; });
    return counts;
}

std::string RepeatedCodeNote(const std::string& code, int count) {
    return "Kod " + code + " powtarza się na " + std::to_string(count) + " arkuszach.";
}

std::string JoinNotes(const std::string& first, const std::string& second) {
    if (first.empty()) return second;
    if (second.empty()) return first;
    return first + " " + second;
}

void FlagRepeatedCodes(Json& document) {
    if (!ListOf(document)) return;
    const std::map<std::string, int> repeated = RepeatedCodes(document);
    for (Json& entry : document["Lista"]) {
        if (!entry.is_object()) continue;
        const std::string code = CodeOf(entry);
        const auto uwagi = entry.find("Uwagi");
        std::string note = uwagi != entry.end() && uwagi->is_string() ? uwagi->get<std::string>() : std::string();
        note = WithoutRepeatNote(note, code);
        if (const auto r = repeated.find(code); r != repeated.end())
            note = JoinNotes(note, RepeatedCodeNote(code, r->second));
        if (!note.empty())
            entry["Uwagi"] = note;
        else if (uwagi != entry.end() && uwagi->is_string())
            entry.erase("Uwagi");
    }
}

}  // namespace quorlen
