// Arbitrary bytes, nested to any depth the first byte asks for, through every
// reader of JSON: the parser, the answer key, the merge of results documents
// and config.json. Whatever parses must survive being copied, compared and
// written (each recursing once per level), and the rest must be refused, not
// crash.
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "FuzzFile.h"
#include "core/common/Json.h"
#include "core/results/MergeResults.h"
#include "core/scoring/AnswerKey.h"
#include "core/settings/ShellConfig.h"

using namespace quorlen;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // Up to 1020 levels around the input: past the limit and back under it.
    const size_t depth = static_cast<size_t>(data[0]) * 4;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string text = std::string(depth, '[') + input + std::string(depth, ']');
    if (const std::optional<Json> doc = ParseJson(text)) {
        if (JsonNestingDepth(text) > MaxJsonDepth) __builtin_trap();
        const Json copy = *doc;
        if (copy != *doc) __builtin_trap();
        if (!ParseJson(DumpJsonCompact(copy))) __builtin_trap();
        try {
            ParseAnswerKey(copy);
        } catch (const TKeyError&) {
        }
        try {
            MergeResults({{"a.json", copy}, {"b.json", copy}});
        } catch (const std::runtime_error&) {
        }
    }
    const std::string path = fuzz::InputFile(reinterpret_cast<const uint8_t*>(text.data()), text.size(), "config.json");
    if (path.empty()) return 0;
    (void)ReadShellConfig(path);
    (void)ReadDemoUrl(path);
    std::remove(path.c_str());
    return 0;
}
