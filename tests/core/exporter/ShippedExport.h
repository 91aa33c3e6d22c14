#pragma once

// The shipped plug-in driven through quorlen-cli export; for the tests built
// with both (QUORLEN_SHIPPED_EXPORTER, QUORLEN_CLI_PATH).
#include <gtest/gtest.h>

#include "core/exporter/ExporterTestSupport.h"

namespace quorlen::testing {

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

}  // namespace quorlen::testing
