#include "tools/helpdoc/ManPage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

namespace quorlen::helpdoc {

std::string Escape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '\\')
                out += "\\e";
            else if (c == '-')
                out += "\\-";
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        // One UTF-8 sequence; a broken one becomes the replacement character.
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        unsigned long code = length == 1 ? 0xFFFD : c & (0x3F >> (length - 1));
        bool broken = length == 1 || i + length > text.size();
        for (int k = 1; !broken && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) broken = true;
            code = (code << 6) | (next & 0x3F);
        }
        if (broken) code = 0xFFFD;
        char glyph[16];
        std::snprintf(glyph, sizeof glyph, "\\[u%04lX]", code);
        out += glyph;
        i += broken ? 1 : length;
    }
    return out;
}

namespace {

// A text line of the page: one that starts with a dot or an apostrophe
// would be read as a request.
std::string TextLine(const std::string& escaped) {
    if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\'')) return "\\&" + escaped + "\n";
    return escaped + "\n";
}

std::string Quoted(const std::string& escaped) {
    std::string out = "\"";
    for (char c : escaped) out += c == '"' ? std::string("\\(dq") : std::string(1, c);
    return out + "\"";
}

bool IsSeparator(char c) { return c == ' ' || c == '[' || c == ']' || c == '(' || c == ')' || c == '|' || c == ','; }

// Options and the program's own words in bold, placeholders (FILE, DIR,
// K/N) in italics, the rest roman.
std::string StyledWord(const std::string& word, const std::vector<std::string>& boldWords) {
    std::string body = word, tail;
    if (body.size() > 3 && body.compare(body.size() - 3, 3, "...") == 0) {
        tail = "...";
        body.resize(body.size() - 3);
    }
    const bool option = (body.size() > 1 && body[0] == '-') ||
                        (body.size() > 1 && body[0] == '/' && std::isupper(static_cast<unsigned char>(body[1])));
    std::string styled;
    if (option) {
        const size_t equals = body.find('=');
        styled = "\\fB" + Escape(body.substr(0, equals == std::string::npos ? body.size() : equals + 1)) + "\\fR";
        if (equals != std::string::npos && equals + 1 < body.size())
            styled += "\\fI" + Escape(body.substr(equals + 1)) + "\\fR";
    } else if (std::find(boldWords.begin(), boldWords.end(), body) != boldWords.end()) {
        styled = "\\fB" + Escape(body) + "\\fR";
    } else if (!body.empty() && std::isupper(static_cast<unsigned char>(body[0]))) {
        styled = "\\fI" + Escape(body) + "\\fR";
    } else {
        styled = Escape(body);
    }
    return styled + tail;
}

std::string Styled(const std::string& text, const std::vector<std::string>& boldWords) {
    std::string out, word;
    for (char c : text + ' ') {
        if (IsSeparator(c)) {
            if (!word.empty()) out += StyledWord(word, boldWords);
            word.clear();
            out += c;
        } else {
            word += c;
        }
    }
    out.pop_back();
    return out;
}

// The form's leading words that name the program (and the command) go to
// .SY, the rest follows it.
std::string Synopsis(const std::string& form, const std::vector<std::string>& names) {
    std::string head, rest = form;
    for (const std::string& name : names) {
        if (rest.rfind(name, 0) == 0 && (rest.size() == name.size() || rest[name.size()] == ' ')) {
            head += (head.empty() ? "" : " ") + name;
            rest = rest.size() > name.size() ? rest.substr(name.size() + 1) : std::string();
        }
    }
    if (head.empty()) return ".SY\n" + TextLine(Styled(form, names)) + ".YS\n";
    std::string out = ".SY " + (head.find(' ') == std::string::npos ? Escape(head) : Quoted(Escape(head))) + "\n";
    if (!rest.empty()) out += TextLine(Styled(rest, names));
    return out + ".YS\n";
}

std::string Entries(const std::vector<THelpEntry>& entries, const std::vector<std::string>& boldWords) {
    std::string out;
    for (const THelpEntry& entry : entries) {
        out += ".TP\n" + TextLine(Styled(entry.Term, boldWords));
        if (!entry.Text.empty()) out += TextLine(Escape(entry.Text));
    }
    return out;
}

std::string Verbatim(const std::vector<std::string>& lines) {
    std::string out = ".RS\n.nf\n";
    for (const std::string& line : lines) out += TextLine(Escape(line));
    return out + ".fi\n.RE\n";
}

// One block inside a section: a paragraph, a labelled paragraph, a list
// under its heading, or lines kept as they are.
std::string Block(const THelpBlock& block, const std::vector<std::string>& boldWords, bool headingShown) {
    std::string out;
    if (!block.Entries.empty()) {
        if (headingShown) out += ".PP\n" + TextLine("\\fB" + Escape(block.Heading) + ":\\fR");
        return out + Entries(block.Entries, boldWords);
    }
    if (!block.Verbatim.empty()) return ".PP\n" + Verbatim(block.Verbatim);
    if (!block.Heading.empty() && headingShown)
        return ".PP\n" + TextLine("\\fB" + Escape(block.Heading) + ":\\fR " + Escape(block.Text));
    return ".PP\n" + TextLine(Escape(block.Text));
}

std::string SectionName(const std::string& heading) {
    static const std::map<std::string, std::string> known = {
        {"Exit codes", "EXIT STATUS"}, {"Exit status", "EXIT STATUS"}, {"See also", "SEE ALSO"}};
    if (auto it = known.find(heading); it != known.end()) return it->second;
    std::string name = heading;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

int SectionRank(const std::string& name) {
    static const std::vector<std::string> order = {"DESCRIPTION", "OPTIONS",     "COMMANDS", "",
                                                   "EXIT STATUS", "ENVIRONMENT", "FILES"};
    const auto it = std::find(order.begin(), order.end(), name);
    return it == order.end() ? 3 : static_cast<int>(it - order.begin());
}

// "Prints answer sheets ... program." → "prints answer sheets ... program".
std::string Whatis(const THelpPage& page) {
    for (const THelpBlock& block : page.Blocks) {
        if (block.Text.empty() || !block.Heading.empty()) continue;
        std::string sentence = block.Text.substr(0, block.Text.find(". "));
        if (!sentence.empty() && sentence.back() == '.') sentence.pop_back();
        if (sentence.size() > 1 && std::isupper(static_cast<unsigned char>(sentence[0])) &&
            std::islower(static_cast<unsigned char>(sentence[1])))
            sentence[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(sentence[0])));
        return sentence;
    }
    return std::string();
}

std::string CommandSection(const TProgramHelp::TCommand& command, const std::string& program) {
    const std::vector<std::string> names = {program, command.Name};
    std::string out = ".SS " + Quoted(Escape(command.Name)) + "\n";
    for (const std::string& form : command.Page.Usage) out += Synopsis(form, names);
    // A command without a text of its own still says what it does.
    const bool hasText = std::any_of(command.Page.Blocks.begin(), command.Page.Blocks.end(),
                                     [](const THelpBlock& b) { return !b.Text.empty() && b.Heading.empty(); });
    if (!hasText && !command.Summary.empty()) out += ".PP\n" + TextLine(Escape(command.Summary));
    for (const THelpBlock& block : command.Page.Blocks) out += Block(block, names, true);
    return out;
}

}  // namespace

std::string WriteManPage(const TProgramHelp& help, const TManOptions& options) {
    const std::vector<std::string> names = {help.Name};
    std::string title = help.Name;
    for (char& c : title) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    // The sections in the order a reader of manual pages expects them, each
    // holding its blocks in the order of the help text.
    std::vector<std::pair<std::string, std::string>> sections;
    auto section = [&](const std::string& name) -> std::string& {
        for (auto& [known, body] : sections)
            if (known == name) return body;
        sections.emplace_back(name, std::string());
        return sections.back().second;
    };
    section("DESCRIPTION");
    std::string current = "DESCRIPTION";
    for (const THelpBlock& block : help.Top.Blocks) {
        if (!block.Entries.empty() && !block.Heading.empty()) {
            current = SectionName(block.Heading);
            if (current == "COMMANDS" && !help.Commands.empty()) {
                for (const TProgramHelp::TCommand& command : help.Commands)
                    section(current) += CommandSection(command, help.Name);
                continue;
            }
            section(current) += Entries(block.Entries, names);
        } else if (!block.Heading.empty() && SectionName(block.Heading) == "EXIT STATUS") {
            current = "EXIT STATUS";
            section(current) += ".PP\n" + TextLine(Escape(block.Text));
        } else {
            section(current) += Block(block, names, true);
        }
    }
    std::stable_sort(sections.begin(), sections.end(),
                     [](const auto& a, const auto& b) { return SectionRank(a.first) < SectionRank(b.first); });

    std::string out;
    out += ".\\\" Made from the program's own --help when it was built; do not edit.\n";
    out += ".TH " + Escape(title) + " 1 " + Quoted(options.Date) + " " +
           Quoted(Escape(help.Name + " " + help.Version)) + " " + Quoted(Escape(options.Manual)) + "\n";
    out += ".SH NAME\n" + TextLine(Escape(help.Name) + " \\- " + Escape(Whatis(help.Top)));
    out += ".SH SYNOPSIS\n";
    for (const std::string& form : help.Top.Usage) out += Synopsis(form, names);
    for (const auto& [name, body] : sections) {
        if (body.empty()) continue;
        std::string text = body;
        // The first paragraph of a section needs no paragraph break.
        if (text.rfind(".PP\n", 0) == 0) text.erase(0, 4);
        out += ".SH " + (name.find(' ') == std::string::npos ? name : Quoted(name)) + "\n" + text;
    }
    if (!options.SeeAlso.empty()) {
        out += ".SH \"SEE ALSO\"\n";
        for (size_t i = 0; i < options.SeeAlso.size(); ++i) {
            const std::string& page = options.SeeAlso[i];
            const size_t open = page.find('(');
            out += ".BR " + Escape(page.substr(0, open)) + " " + (open == std::string::npos ? "" : page.substr(open)) +
                   (i + 1 < options.SeeAlso.size() ? "," : "") + "\n";
        }
    }
    return out;
}

}  // namespace quorlen::helpdoc
