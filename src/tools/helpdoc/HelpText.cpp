#include "tools/helpdoc/HelpText.h"

#include <algorithm>
#include <sstream>

namespace quorlen::helpdoc {

namespace {

size_t Indent(const std::string& line) {
    const size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? line.size() : first;
}

std::string Trim(const std::string& s) {
    const size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

void Append(std::string& text, const std::string& words) {
    if (words.empty()) return;
    if (!text.empty()) text += ' ';
    text += words;
}

std::vector<std::vector<std::string>> Paragraphs(const std::string& text) {
    std::vector<std::vector<std::string>> paragraphs(1);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        for (char& c : line)
            if (c == '\t') c = ' ';
        line.erase(line.find_last_not_of(' ') + 1);
        if (line.empty()) {
            if (!paragraphs.back().empty()) paragraphs.emplace_back();
        } else {
            paragraphs.back().push_back(line);
        }
    }
    if (paragraphs.back().empty()) paragraphs.pop_back();
    return paragraphs;
}

std::string FirstWord(const std::string& s) {
    const std::string t = Trim(s);
    return t.substr(0, t.find(' '));
}

void ParseUsage(const std::vector<std::string>& lines, THelpPage& page) {
    const std::string first = Trim(lines[0].substr(std::string("Usage:").size()));
    page.Usage.push_back(first);
    // A line that starts with the program's name is a form of its own; any
    // other runs the form before it on.
    const std::string program = FirstWord(first);
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string line = Trim(lines[i]);
        if (FirstWord(line) == program)
            page.Usage.push_back(line);
        else
            Append(page.Usage.back(), line);
    }
}

// Entries start at the block's own indent; a term ends at the first run of
// two blanks. Deeper lines carry the entry's text on.
std::vector<THelpEntry> ParseEntries(const std::vector<std::string>& lines) {
    std::vector<THelpEntry> entries;
    const size_t base = Indent(lines[0]);
    for (const std::string& line : lines) {
        if (Indent(line) <= base || entries.empty()) {
            const std::string body = line.substr(std::min(Indent(line), line.size()));
            const size_t gap = body.find("  ");
            THelpEntry entry;
            entry.Term = Trim(body.substr(0, gap));
            if (gap != std::string::npos) entry.Text = Trim(body.substr(gap));
            entries.push_back(std::move(entry));
        } else {
            Append(entries.back().Text, Trim(line));
        }
    }
    return entries;
}

// "Exit codes: 0 done, ..." opens with the label of a section of its own.
// Other sentences with a colon early on ("Command keys: Title, ...") stay
// plain text: a guess at labels would take "Copies the file: ..." for one.
bool SplitLabel(const std::string& line, std::string& label, std::string& rest) {
    for (const char* known : {"Exit codes", "Exit status"}) {
        const std::string prefix = std::string(known) + ":";
        if (line.rfind(prefix, 0) == 0) {
            label = known;
            rest = Trim(line.substr(prefix.size()));
            return true;
        }
    }
    return false;
}

}  // namespace

THelpPage ParseHelp(const std::string& text) {
    THelpPage page;
    for (const std::vector<std::string>& lines : Paragraphs(text)) {
        const std::string& first = lines[0];
        if (first.rfind("Usage:", 0) == 0 && page.Usage.empty()) {
            ParseUsage(lines, page);
            continue;
        }
        THelpBlock block;
        const bool heading = Indent(first) == 0 && first.back() == ':' && first.find(": ") == std::string::npos;
        if (heading && lines.size() > 1 && Indent(lines[1]) > 0) {
            block.Heading = first.substr(0, first.size() - 1);
            const std::vector<std::string> body(lines.begin() + 1, lines.end());
            block.Entries = ParseEntries(body);
        } else if (Indent(first) > 0) {
            for (const std::string& line : lines)
                block.Verbatim.push_back(line.substr(std::min(Indent(first), Indent(line))));
        } else {
            std::string rest;
            if (!SplitLabel(first, block.Heading, rest)) rest = Trim(first);
            block.Text = rest;
            for (size_t i = 1; i < lines.size(); ++i) Append(block.Text, Trim(lines[i]));
        }
        page.Blocks.push_back(std::move(block));
    }
    return page;
}

const THelpBlock* FindList(const THelpPage& page, const std::string& heading) {
    for (const THelpBlock& block : page.Blocks)
        if (block.Heading == heading && !block.Entries.empty()) return &block;
    return nullptr;
}

namespace {

// "--out FILE" → {"--out", "FILE"}; "--level=L" → {"--level", "L"}.
TOption SplitOption(const std::string& term) {
    TOption option;
    const size_t end = term.find_first_of(" =");
    option.Name = term.substr(0, end);
    if (end != std::string::npos) option.Argument = Trim(term.substr(end + 1));
    return option;
}

void AddOption(std::vector<TOption>& options, TOption option) {
    if (option.Name.size() < 2 || option.Name[0] != '-') return;
    // "--" alone or "-" (standard input) is no option.
    if (option.Name == "--" || option.Name.find_first_not_of('-') == std::string::npos) return;
    for (TOption& known : options)
        if (known.Name == option.Name) {
            if (known.Argument.empty()) known.Argument = option.Argument;
            return;
        }
    options.push_back(std::move(option));
}

bool IsSeparator(char c) { return c == ' ' || c == '[' || c == ']' || c == '(' || c == ')' || c == '|'; }

}  // namespace

std::vector<TOption> PageOptions(const THelpPage& page) {
    std::vector<TOption> options;
    for (const THelpBlock& block : page.Blocks) {
        for (const THelpEntry& entry : block.Entries) {
            // "-a, --all FILE": the argument, named once, belongs to each.
            std::vector<std::string> names;
            std::string term = entry.Term;
            for (size_t comma; (comma = term.find(", ")) != std::string::npos; term = Trim(term.substr(comma + 1)))
                names.push_back(term.substr(0, comma));
            const TOption last = SplitOption(term);
            for (const std::string& name : names) {
                TOption option = SplitOption(name);
                if (option.Argument.empty()) option.Argument = last.Argument;
                option.Text = entry.Text;
                AddOption(options, option);
            }
            TOption option = last;
            option.Text = entry.Text;
            AddOption(options, option);
        }
    }
    // A usage line such as "[--level L] [--faults]": the word after an option
    // is its argument unless it is an option or punctuation itself.
    for (const std::string& usage : page.Usage) {
        std::vector<std::string> words;
        std::string word;
        for (char c : usage + ' ') {
            if (IsSeparator(c)) {
                if (!word.empty()) words.push_back(word);
                word.clear();
                words.push_back(std::string(1, c));
            } else {
                word += c;
            }
        }
        for (size_t i = 0; i < words.size(); ++i) {
            if (words[i].size() < 2 || words[i][0] != '-') continue;
            TOption option = SplitOption(words[i]);
            if (option.Argument.empty() && i + 2 < words.size() && words[i + 1] == " " &&
                !IsSeparator(words[i + 2][0]) && words[i + 2][0] != '-')
                option.Argument = words[i + 2];
            AddOption(options, option);
        }
    }
    return options;
}

}  // namespace quorlen::helpdoc
