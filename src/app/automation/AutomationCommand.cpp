#include "app/automation/AutomationCommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

#include "core/common/Json.h"
#include "core/common/Text.h"

namespace quorlen {

const char* const BadParametersText = "Podaj poprawne parametry wywołania.";
const char* const NoScanFilesText = "Brak plików ze skanera w podanym folderze.";
const char* const BusyText = "Program jest zajęty innym zadaniem.";
const char* const TooManySheetsText = "Zbyt wiele arkuszy do wydruku (najwyżej 100000).";

namespace {

constexpr long long MaxCodeValue = 9999999999LL;

// A JSON number as a whole number, halves to even; NaN never occurs in JSON
// text, and values past the 64-bit range are pinned to it.
long long WholeNumber(const Json& value) {
    if (value.is_number_integer()) {
        if (value.is_number_unsigned() && value.get<unsigned long long>() > std::numeric_limits<long long>::max())
            return std::numeric_limits<long long>::max();
        return value.get<long long>();
    }
    const double d = std::nearbyint(value.get<double>());
    if (d >= 9.2e18) return std::numeric_limits<long long>::max();
    if (d <= -9.2e18) return std::numeric_limits<long long>::min();
    return static_cast<long long>(d);
}

int IntKey(const Json& command, const char* key) {
    const auto it = command.find(key);
    if (it == command.end() || !it->is_number()) return 0;
    const long long v = WholeNumber(*it);
    return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

long long Int64Key(const Json& command, const char* key) {
    const auto it = command.find(key);
    return it != command.end() && it->is_number() ? WholeNumber(*it) : 0;
}

bool BoolKey(const Json& command, const char* key) {
    const auto it = command.find(key);
    return it != command.end() && it->is_boolean() && it->get<bool>();
}

std::string TextKey(const Json& command, const char* key) {
    const auto it = command.find(key);
    return it != command.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The decimal text of a list element; false for an element that is skipped.
// A value beyond 64 bits has far more than ten digits and is dropped anyway.
bool ElementText(const Json& element, std::string& text) {
    if (element.is_null()) return false;
    long long value = 0;
    if (element.is_number()) {
        value = WholeNumber(element);
    } else if (element.is_boolean()) {
        value = element.get<bool>() ? 1 : 0;
    } else if (element.is_string()) {
        const std::string& s = element.get_ref<const std::string&>();
        const char* first = s.data() + (!s.empty() && s[0] == '+' ? 1 : 0);
        const char* last = s.data() + s.size();
        const auto [end, error] = std::from_chars(first, last, value);
        if (error == std::errc::result_out_of_range) return false;
        // "12a" is no code: its sheet prints without one, as a line of a
        // codes file does, instead of as code 0.
        if (error != std::errc() || end != last || first == last) {
            text.clear();
            return true;
        }
    }
    text = std::to_string(value);
    return true;
}

}  // namespace

TAutomationCommand ParseAutomationCommand(std::string_view text) {
    Json json;
    if (JsonNestingDepth(text) > MaxJsonDepth)
        throw TInvalidCommand("Polecenie nie jest poprawnym tekstem JSON: jest zagnieżdżone głębiej niż " +
                              std::to_string(MaxJsonDepth) + " poziomów.");
    try {
        json = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& e) {
        throw TInvalidCommand(std::string("Polecenie nie jest poprawnym tekstem JSON: ") + e.what());
    }
    if (!json.is_object()) throw TInvalidCommand("Polecenie musi być obiektem JSON.");

    TAutomationCommand c;
    c.Title = TextKey(json, "Title");
    c.QCnt = IntKey(json, "QCnt");
    c.ACnt = IntKey(json, "ACnt");
    c.MultiChoice = BoolKey(json, "MultiChoice");
    c.CheckEmpty = BoolKey(json, "CheckEmpty");
    c.ScansFolder = TextKey(json, "ScansFolder");
    c.BlackLevel = IntKey(json, "BlackLevel");
    c.PrintFrom = Int64Key(json, "PrintFrom");
    c.PrintCount = IntKey(json, "PrintCount");
    c.Printer = TextKey(json, "Printer");
    c.PdfFile = TextKey(json, "PdfFile");
    // A key that cannot be read is the caller's to hear about, not a
    // malformed command: the reply says what is wrong with it.
    const auto key = json.find("Klucz");
    if (key != json.end() && !key->is_null()) {
        try {
            c.Key = ParseAnswerKey(*key);
        } catch (const TKeyError& e) {
            c.KeyError = e.what();
        }
    }
    // A PrintList of another type counts as absent.
    const auto list = json.find("PrintList");
    if (list != json.end() && list->is_array()) {
        c.HasPrintList = true;
        for (const Json& element : *list) {
            std::string code;
            if (ElementText(element, code) && code.size() <= 10) c.PrintList.push_back(code);
        }
    }
    return c;
}

std::string PdfFileForCommand(const std::string& name, const std::string& documentsFolder) {
    const std::string base = std::filesystem::path(name).filename().string();
    if (base.size() <= 4 || ToUpperAscii(base.substr(base.size() - 4)) != ".PDF")
        throw std::runtime_error("Nazwa pliku w kluczu PdfFile musi kończyć się na .pdf: \"" + name + "\".");
    const std::filesystem::path given(name);
    const std::filesystem::path path = given.is_absolute() ? given : std::filesystem::path(documentsFolder) / given;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return path.string();
    // Only a PDF is ever replaced: its first bytes say so.
    bool isPdf = false;
    if (S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        char head[5] = {};
        if (fd >= 0) {
            isPdf = ::read(fd, head, sizeof head) == 5 && std::string_view(head, 5) == "%PDF-";
            ::close(fd);
        }
    }
    if (!isPdf)
        throw std::runtime_error("Plik " + path.string() + " istnieje i nie jest plikiem PDF; nie zostanie zastąpiony.");
    return path.string();
}

bool IsPrintMode(const TAutomationCommand& command) {
    return command.PrintFrom > 0 || command.PrintCount > 0 || command.HasPrintList;
}

TPrintPlan PlanPrint(const TAutomationCommand& command) {
    TPrintPlan plan;
    plan.Count = command.PrintCount;
    if (command.HasPrintList) {
        plan.Codes = command.PrintList;
        plan.Count = static_cast<int>(plan.Codes.size());
    }
    if (plan.Count < 0) plan.Count = 1;
    if (plan.Count > MaxCommandSheets) {
        plan.TooMany = true;
        return plan;
    }
    if (plan.Codes.empty() && command.PrintFrom > 0) {
        // Past ten digits a sheet carries no code; the sum must not overflow.
        for (int i = 0; i < plan.Count; ++i)
            plan.Codes.push_back(command.PrintFrom <= MaxCodeValue ? std::to_string(command.PrintFrom + i) : "-");
    }
    return plan;
}

std::string PrintedReply(int sheets) { return DumpJsonCompact(Json{{"PrintCount", sheets}}); }

std::string ErrorReply(int error, const std::string& text) {
    Json reply{{"Error", error}};
    if (!text.empty()) reply["ErrorStr"] = text;
    return DumpJsonCompact(reply);
}

}  // namespace quorlen
