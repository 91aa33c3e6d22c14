// config.json is read leniently (each value on its own, defaults for the
// rest); a write re-reads the file and replaces only our three values, so the
// file's other keys survive.
#include "core/settings/ShellConfig.h"

#include <limits>

#include "core/common/AtomicFile.h"
#include "core/common/Json.h"

namespace quorlen {

namespace {

// Far beyond any settings file; a link to /dev/zero or a runaway file is no
// settings file and is ignored like a broken one.
constexpr uint64_t MaxConfigBytes = 1024 * 1024;

bool FlagOf(const Json& config, const char* key) {
    auto it = config.find(key);
    return it != config.end() && it->is_boolean() && it->get<bool>();
}

int LevelOf(const Json& config) {
    auto it = config.find("tbrPoziom");
    if (it == config.end() || !it->is_number_integer()) return 0;
    // A value beyond int would wrap into the accepted range; it is out of range.
    const auto v = it->get<long long>();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return 0;
    return static_cast<int>(v);
}

}  // namespace

std::optional<Json> ReadConfigSection(const std::string& path) {
    std::optional<Json> doc;
    try {
        doc = ParseJsonFile(path, nullptr, MaxConfigBytes);
    } catch (...) {
        return std::nullopt;
    }
    if (!doc || !doc->is_object()) return std::nullopt;
    auto it = doc->find("config");
    if (it == doc->end() || !it->is_object()) return std::nullopt;
    return *it;
}

TShellConfig ReadShellConfig(const std::string& path) {
    TShellConfig result;
    const std::optional<Json> it = ReadConfigSection(path);
    if (!it) return result;
    result.BlackLevel = LevelOf(*it);
    result.DownloadDemoFiles = FlagOf(*it, "downloadDemoFiles");
    result.UseDemoFiles = FlagOf(*it, "useDemoFiles");
    return result;
}

std::string ReadDemoUrl(const std::string& path) {
    const std::optional<Json> config = ReadConfigSection(path);
    if (!config) return std::string();
    auto url = config->find("demoUrl");
    return url != config->end() && url->is_string() ? url->get<std::string>() : std::string();
}

bool WriteShellConfig(const std::string& path, const TShellConfig& config) {
    return UpdateConfigSection(path, [&config](Json& section) {
        section["tbrPoziom"] = config.BlackLevel;
        section["downloadDemoFiles"] = config.DownloadDemoFiles;
        section["useDemoFiles"] = config.UseDemoFiles;
    });
}

bool UpdateConfigSection(const std::string& path, const std::function<void(Json& section)>& change) {
    Json doc = Json::object();
    try {
        std::optional<Json> read = ParseJsonFile(path, nullptr, MaxConfigBytes);
        if (read && read->is_object()) doc = std::move(*read);
    } catch (...) {
        // An unreadable file is replaced by a fresh one.
    }
    Json& section = doc["config"];
    if (!section.is_object()) section = Json::object();
    change(section);
    try {
        WriteFileAtomically(path, DumpJsonCompact(doc));
    } catch (...) {
        return false;
    }
    return true;
}

}  // namespace quorlen
