// Every simulated scan below is read with fixed options and operator answers,
// and the whole outcome (code, answers, geometry, status, message, and every
// question the operator is asked together with the pixels shown) is reduced
// to a digest. The stored digests pin the reading down bit for bit, so a
// change meant to keep results must leave them all as they are.
//
// After a change that alters results on purpose, re-record them with
//   QUORLEN_RECORD_IDENTITY=1 build/tests/core_identity_tests
// and commit tests/core/identity/ReadIdentity.digests. QUORLEN_IDENTITY_DUMP=FILE
// writes the full records as well.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/common/Json.h"
#include "core/identity/IdentityRead.h"
#include "support/TestSupport.h"
#include "testing/SimulateSheets.h"

namespace quorlen {
namespace {

namespace fs = std::filesystem;

const char* const DigestFile = QUORLEN_IDENTITY_DIGESTS;

uint64_t Fnv1a(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string Hex(uint64_t v) {
    std::ostringstream out;
    out << std::hex << v;
    return out.str();
}

struct TCombination {
    std::string Preset;
    int Dpi;
    std::string Format;
};

std::vector<TCombination> Combinations() {
    std::vector<TCombination> all;
    for (const char* preset : {"clean", "office", "rough"})
        for (int dpi : {150, 200, 300})
            for (const char* format : {"png", "jpg", "jpg-colour", "bmp", "bmp1"}) all.push_back({preset, dpi, format});
    return all;
}

// Ways of reading one scan: the options of a run and what the operator does.
std::vector<identity::TReadWay> Ways(const sim::TBatchOptions& o) {
    using identity::TOperator;
    return {
        {44, true, 0, false, TOperator::None},
        {44, false, o.Questions, false, TOperator::Answers},
        {30, true, o.Questions + 1, false, TOperator::Answers},
        {60, true, 0, true, TOperator::None},
        {44, true, 0, false, TOperator::AbortsAtThird},
    };
}

std::map<std::string, std::string> LoadDigests() {
    std::map<std::string, std::string> digests;
    std::ifstream in(DigestFile);
    std::string name, digest;
    while (in >> name >> digest) digests[name] = digest;
    return digests;
}

TEST(ReadIdentity, EveryPresetResolutionAndFormatReadsAsRecorded) {
    const bool record = std::getenv("QUORLEN_RECORD_IDENTITY") != nullptr;
    const std::map<std::string, std::string> stored = LoadDigests();
    if (!record) {
        ASSERT_FALSE(stored.empty()) << "no digests in " << DigestFile;
    }
    std::map<std::string, std::string> now;
    std::map<std::string, std::string> records;
    testing::TempDir tmp("identity");

    const std::vector<TCombination> all = Combinations();
    for (size_t k = 0; k < all.size(); ++k) {
        const TCombination& c = all[k];
        sim::TBatchOptions o;
        ASSERT_TRUE(sim::ApplyPreset(c.Preset, o));
        ASSERT_TRUE(sim::ParseFormat(c.Format, o.Format));
        o.Dpi = c.Dpi;
        o.Count = 2;
        o.Seed = static_cast<uint32_t>(1000 + k);
        o.Questions = 12 + static_cast<int>(k % 4) * 9;
        o.Answers = 3 + static_cast<int>(k % 4);
        o.Multi = k % 3 == 2;
        o.BlankRate = std::max(o.BlankRate, 0.1);
        o.DoubleRate = std::max(o.DoubleRate, 0.05);
        o.OutDir = (tmp.Path() / (c.Preset + "-" + std::to_string(c.Dpi) + "-" + c.Format)).string();
        const Json truth = sim::SimulateBatch(o);

        TScanGeometry stored0{};
        std::vector<std::string> files;
        for (const Json& f : truth["Files"]) files.push_back(f["File"].get<std::string>());
        // A file cut short reads as a load failure, whatever its format.
        {
            const fs::path whole = fs::path(o.OutDir) / files.front();
            const fs::path cut = fs::path(o.OutDir) / ("cut" + whole.extension().string());
            const std::string bytes = testing::ReadFileBytes(whole.string());
            testing::WriteFileBytes(cut.string(), bytes.substr(0, bytes.size() / 3));
            files.push_back(cut.filename().string());
        }
        for (const std::string& file : files) {
            const std::string path = (fs::path(o.OutDir) / file).string();
            const std::vector<identity::TReadWay> ways = Ways(o);
            for (size_t w = 0; w < ways.size(); ++w) {
                Json result = identity::ReadOnce(path, ways[w], stored0);
                // The message names the file; the temporary folder differs from run to run.
                std::string message = result["Message"].get<std::string>();
                if (const size_t at = message.find(o.OutDir); at != std::string::npos)
                    message.replace(at, o.OutDir.size(), "DIR");
                result["Message"] = message;
                const std::string name =
                    c.Preset + "/" + std::to_string(c.Dpi) + "/" + c.Format + "/" + file + "/" + std::to_string(w);
                const std::string text = DumpJsonCompact(result);
                now[name] = Hex(Fnv1a(text));
                records[name] = text;
                if (w == 0 && result["Status"] == 0 && stored0.Left == 0) {
                    const Json& g = result["Geometry"];
                    stored0 =
                        TScanGeometry{g["Left"].get<int32_t>(),   g["Top"].get<int32_t>(), g["Right"].get<int32_t>(),
                                      g["Bottom"].get<int32_t>(), g["Angle"].get<float>(), 44};
                }
            }
        }
    }

    // The full records, to see what a differing digest stands for.
    if (const char* dump = std::getenv("QUORLEN_IDENTITY_DUMP")) {
        std::ofstream out(dump, std::ios::trunc);
        for (const auto& [name, text] : records) out << name << ' ' << text << '\n';
    }
    if (record) {
        std::ofstream out(DigestFile, std::ios::trunc);
        for (const auto& [name, digest] : now) out << name << ' ' << digest << '\n';
        GTEST_SKIP() << "recorded " << now.size() << " digests into " << DigestFile;
    }
    EXPECT_EQ(now.size(), stored.size());
    int differing = 0;
    for (const auto& [name, digest] : now) {
        const auto it = stored.find(name);
        if (it == stored.end() || it->second != digest) {
            if (++differing <= 10) ADD_FAILURE() << name << " reads differently now: " << records[name];
        }
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace quorlen
