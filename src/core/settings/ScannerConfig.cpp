// Whatever stands in config.json is only a suggestion for the dialog: each
// value is taken when it has the right type and a sane size, so a hand-edited
// or damaged file never keeps the dialog from opening.
#include "core/settings/ScannerConfig.h"

#include "core/settings/ShellConfig.h"

namespace quorlen {

namespace {

constexpr size_t kMaxText = 1024;
constexpr size_t kMaxDevices = 64;

std::string TextOf(const Json& object, const char* key, const std::string& fallback) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return fallback;
    const std::string& text = it->get_ref<const std::string&>();
    return text.size() <= kMaxText ? text : fallback;
}

}  // namespace

TScannerConfig ReadScannerConfig(const std::string& path) {
    TScannerConfig config;
    const std::optional<Json> section = ReadConfigSection(path);
    if (!section) return config;
    auto scanner = section->find("scanner");
    if (scanner == section->end() || !scanner->is_object()) return config;
    config.Device = TextOf(*scanner, "device", config.Device);
    config.Source = TextOf(*scanner, "source", config.Source);
    config.Mode = TextOf(*scanner, "mode", config.Mode);
    if (auto dpi = scanner->find("resolution");
        dpi != scanner->end() && dpi->is_number_integer() && *dpi >= 1 && *dpi <= 19200)
        config.Resolution = dpi->get<int>();
    if (auto devices = scanner->find("devices"); devices != scanner->end() && devices->is_array())
        for (const Json& d : *devices) {
            if (config.Devices.size() == kMaxDevices) break;
            if (!d.is_object()) continue;
            TScannerInfo info;
            info.Name = TextOf(d, "name", "");
            info.Vendor = TextOf(d, "label", "");
            if (!info.Name.empty()) config.Devices.push_back(info);
        }
    return config;
}

bool WriteScannerConfig(const std::string& path, const TScannerConfig& config) {
    Json devices = Json::array();
    for (const TScannerInfo& d : config.Devices) devices.push_back({{"name", d.Name}, {"label", d.Label()}});
    return UpdateConfigSection(path, [&](Json& section) {
        section["scanner"] = {{"devices", devices},
                              {"device", config.Device},
                              {"source", config.Source},
                              {"resolution", config.Resolution},
                              {"mode", config.Mode}};
    });
}

}  // namespace quorlen
