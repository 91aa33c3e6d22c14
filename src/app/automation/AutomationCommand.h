#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/scoring/AnswerKey.h"

namespace quorlen {

// A command text that is not a JSON object; the message says where it breaks.
struct TInvalidCommand : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One automation command. A missing key, or one of another type, reads as 0,
// false or empty text.
struct TAutomationCommand {
    std::string Title;
    int QCnt = 0;
    int ACnt = 0;
    bool MultiChoice = false;
    bool CheckEmpty = false;
    std::string ScansFolder;
    int BlackLevel = 0;
    long long PrintFrom = 0;
    int PrintCount = 0;
    // PrintList was present and an array; its elements as codes of at most ten
    // characters (an element that yields a longer text, or null, is left out).
    bool HasPrintList = false;
    std::vector<std::string> PrintList;
    std::string Printer;
    // The file the "Plik PDF" destination writes; it has no operator to ask.
    std::string PdfFile;
    // "Klucz": the answer key the reply is scored with, or why it cannot be
    // read (the key reader's text). Neither when the command has none.
    std::optional<TAnswerKey> Key;
    std::string KeyError;
};

// Parses strict JSON; throws TInvalidCommand.
TAutomationCommand ParseAutomationCommand(std::string_view text);

// Print mode: a positive PrintFrom or PrintCount, or a PrintList array.
bool IsPrintMode(const TAutomationCommand& command);

// More sheets than one command prints: the codes of a counted range are
// built up front, and two billion of them would exhaust the memory.
constexpr int MaxCommandSheets = 100000;

// The sheets a print command asks for: a count and the codes; with codes the
// job prints one sheet per code, otherwise count sheets without codes.
struct TPrintPlan {
    int Count = 0;
    std::vector<std::string> Codes;
    // Count is beyond MaxCommandSheets: nothing is built or printed.
    bool TooMany = false;
};
TPrintPlan PlanPrint(const TAutomationCommand& command);

// The file a command's "Plik PDF" print may write, or throws
// std::runtime_error with the reason in Polish: the name must end in ".pdf"
// (any letter case), a relative name is taken in documentsFolder (never the
// server's own folder), and an existing file is replaced only when it is a
// regular file holding a PDF, so that a command cannot overwrite ~/.bashrc.
std::string PdfFileForCommand(const std::string& name, const std::string& documentsFolder);

// The replies, compact and ASCII-escaped.
std::string PrintedReply(int sheets);
std::string ErrorReply(int error, const std::string& text = {});

// The texts of the error replies.
extern const char* const BadParametersText;
extern const char* const NoScanFilesText;
extern const char* const BusyText;
extern const char* const TooManySheetsText;

}  // namespace quorlen
