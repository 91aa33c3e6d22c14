// The project file is name=value lines read through the text decoder, each
// value taken on its own so that one bad line keeps only its old setting;
// written in Windows-1250 when every character fits, else as UTF-8 with a mark.
#include "core/project/ProjectFile.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <map>
#include <vector>

#include "core/common/AtomicFile.h"
#include "core/common/Text.h"
#include "core/common/TextFile.h"

namespace quorlen {

namespace {

const char* const kKeys[] = {"Nazwa",  "IlePytan",  "IleOdpowiedzi", "Wybor",      "SkanFolder",
                             "Poziom", "TakieSame", "KontrPuste",    "PrintLine2", "PrintLine1"};

// Upper-cased name → value of the first line with that name.
std::map<std::string, std::string> ReadValues(const std::string& text) {
    std::map<std::string, std::string> values;
    for (const std::string& line : SplitLines(text)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        values.emplace(ToUpperAscii(line.substr(0, eq)), line.substr(eq + 1));
    }
    return values;
}

}  // namespace

std::optional<std::string> ProjectFileValue(const std::string& text, const std::string& key) {
    const auto values = ReadValues(text);
    auto it = values.find(ToUpperAscii(key));
    if (it == values.end()) return std::nullopt;
    return it->second;
}

TProjectSettings ParseProjectText(const std::string& text, const std::string& projectFolder,
                                  const TProjectSettings& current) {
    const auto values = ReadValues(text);
    auto find = [&](const char* key) -> const std::string* {
        auto it = values.find(ToUpperAscii(key));
        return it == values.end() ? nullptr : &it->second;
    };
    TProjectSettings s = current;
    int number = 0;

    const std::string* v = find("Nazwa");
    s.ProjectName = v ? *v : std::string();
    if ((v = find("IlePytan")) && TryParseInt(*v, number)) s.QuestionCount = ClampQuestionCount(number);
    if ((v = find("IleOdpowiedzi")) && TryParseInt(*v, number)) s.AnswerCount = ClampAnswerCount(number);
    v = find("Wybor");
    s.MultipleChoice = !(v && *v == "1");
    v = find("SkanFolder");
    s.ScanFolder = (v && !v->empty()) ? *v : projectFolder;
    if ((v = find("Poziom")) && TryParseInt(*v, number) && number >= TProjectSettings::MinLevel &&
        number <= TProjectSettings::MaxLevel)
        s.BlackLevel = number;
    if ((v = find("TakieSame")) && TryParseInt(*v, number)) s.AllScansAlike = number != 0;
    if ((v = find("KontrPuste")) && TryParseInt(*v, number)) s.CheckEmpty = number != 0;
    v = find("PrintLine2");
    s.PrintLine2 = v ? *v : std::string();
    v = find("PrintLine1");
    s.PrintLine1 = v ? *v : std::string();
    return s;
}

TProjectSettings ReadProjectFile(const std::string& path, const TProjectSettings& current) {
    const std::string text = ReadTextFile(path);
    // A picture or random bytes given as the project were taken as "all
    // defaults, multiple choice": a project file is text with a known key.
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f')
            throw std::runtime_error("Plik " + path + " nie jest plikiem projektu (zawiera dane binarne).");
    const auto values = ReadValues(text);
    const bool known = std::any_of(std::begin(kKeys), std::end(kKeys),
                                   [&](const char* key) { return values.count(ToUpperAscii(key)) > 0; });
    if (!known) throw std::runtime_error("Plik " + path + " nie jest plikiem projektu (brak znanych ustawień).");
    std::filesystem::path folder = std::filesystem::absolute(std::filesystem::path(path)).parent_path();
    return ParseProjectText(text, folder.string(), current);
}

std::string FormatProjectText(const TProjectSettings& s) {
    const std::string values[] = {s.ProjectName,
                                  std::to_string(s.QuestionCount),
                                  std::to_string(s.AnswerCount),
                                  s.MultipleChoice ? "N" : "1",
                                  s.ScanFolder,
                                  std::to_string(s.BlackLevel),
                                  s.AllScansAlike ? "1" : "0",
                                  s.CheckEmpty ? "1" : "0",
                                  s.PrintLine2,
                                  s.PrintLine1};
    std::string text = std::string(ProjectFileComment) + "\r\n";
    for (size_t i = 0; i < std::size(kKeys); ++i) {
        if (values[i].empty()) continue;
        text += kKeys[i];
        text += '=';
        text += values[i];
        text += "\r\n";
    }
    return text;
}

void WriteProjectFile(const std::string& path, const TProjectSettings& settings) {
    WriteProjectText(path, FormatProjectText(settings));
}

void WriteProjectText(const std::string& path, const std::string& text) {
    std::string bytes;
    if (!EncodeWindows1250(text, bytes)) bytes = "\xEF\xBB\xBF" + text;
    WriteFileAtomically(path, bytes);
}

}  // namespace quorlen
