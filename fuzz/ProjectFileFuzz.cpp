// The project-file reader over arbitrary files: settings always within their
// ranges, and whatever was read can be written and read back with every
// number and switch intact.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "FuzzFile.h"
#include "core/common/TextFile.h"
#include "core/project/ProjectFile.h"

using namespace quorlen;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::InputFile(data, size, "project.spf");
    if (path.empty()) return 0;
    TProjectSettings read;
    try {
        read = ReadProjectFile(path, TProjectSettings{});
    } catch (const std::runtime_error&) {
        std::remove(path.c_str());
        return 0;
    }
    std::remove(path.c_str());
    if (read.QuestionCount < 3 || read.QuestionCount > 200 || read.AnswerCount < 2 || read.AnswerCount > 16 ||
        read.BlackLevel < TProjectSettings::MinLevel || read.BlackLevel > TProjectSettings::MaxLevel)
        std::abort();

    // The writer's bytes, without the file: Windows-1250, else UTF-8 with a mark.
    const std::string text = FormatProjectText(read);
    std::string bytes;
    if (!EncodeWindows1250(text, bytes)) bytes = "\xEF\xBB\xBF" + text;
    const TProjectSettings back = ParseProjectText(DecodeTextBytes(bytes), read.ScanFolder, TProjectSettings{});
    if (back.QuestionCount != read.QuestionCount || back.AnswerCount != read.AnswerCount ||
        back.MultipleChoice != read.MultipleChoice || back.BlackLevel != read.BlackLevel ||
        back.AllScansAlike != read.AllScansAlike || back.CheckEmpty != read.CheckEmpty)
        std::abort();
    return 0;
}
