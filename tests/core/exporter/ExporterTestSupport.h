#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/common/Json.h"
#include "support/TestSupport.h"

namespace quorlen::testing {

// Puts a copy of the steerable test plug-in, as QuorlenExporter.so, into
// folder (created) with its behaviour; the plug-in logs its calls to log.
void InstallTestExporter(const std::filesystem::path& folder, Json behaviour, const std::string& log);
// The log's lines.
std::vector<std::string> LogLines(const std::string& log);
// A small results document with two entries.
Json SampleResults();

#ifdef QUORLEN_SHIPPED_EXPORTER
// One folder with the results file and the data folder; every command runs
// with QUORLEN_DATA_DIR pointing into it.
struct TShippedExport {
    TempDir dir;
    std::string results = dir.File("wyniki.json");
    explicit TShippedExport(const Json& document = SampleResults()) { WriteFileBytes(results, document.dump()); }
    std::string Data() const { return dir.File("data"); }
    std::string Database() const { return dir.File("data/wyniki.sqlite"); }
    // quorlen-cli export with the options; its exit code, stdout and stderr in *output.
    int Run(const std::string& options, std::string* output = nullptr) const {
        return RunCommand("QUORLEN_DATA_DIR='" + Data() + "' " QUORLEN_CLI_PATH " export '" + results + "' " + options +
                              " --plugin " QUORLEN_SHIPPED_EXPORTER " 2>&1",
                          output);
    }
    std::string Python(const std::string& script) const {
        const std::string file = dir.File("check.py");
        WriteFileBytes(file, script);
        std::string out;
        EXPECT_EQ(RunCommand("/usr/bin/python3 '" + file + "' 2>&1", &out), 0) << out;
        return out;
    }
    std::string Sql(const std::string& query) const {
        std::string out;
        EXPECT_EQ(RunCommand("sqlite3 '" + Database() + "' \"" + query + "\" 2>&1", &out), 0) << out;
        return out;
    }
};
#endif

}  // namespace quorlen::testing
