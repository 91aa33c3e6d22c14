// The plug-in is loaded once with dlopen from the first place it is found and
// called with UTF-16 JSON through the memory manager; every failure, from a
// missing entry point to an "Error" in its answer, becomes a status or a refusal.
#include "core/exporter/ExporterHost.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/common/Utf16.h"
#include "core/scoring/ClassAnalysisJson.h"

namespace quorlen {

namespace {
const char* const kInformation = "Informacja";
const char* const kError = "Błąd";

// A relative value is ignored, as the XDG rules say: it would name a folder
// below wherever the program was started, where anyone may have put a library.
std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value == '/' ? std::string(value) : fallback;
}

// A library that others may write (or replace, through its folder) would run
// their code as ours: refused, with the place named. A sticky folder (/tmp)
// keeps others from replacing our files.
std::string WritableByOthers(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWOTH))
        return "plik " + path + " może zmieniać każdy użytkownik (uprawnienia zapisu dla wszystkich)";
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) == 0 && (st.st_mode & S_IWOTH) && !(st.st_mode & S_ISVTX))
        return "folder " + folder + " może zmieniać każdy użytkownik (uprawnienia zapisu dla wszystkich)";
    return {};
}

// An Error that is present and not 0 (nor null/false) is a failure; a
// plug-in that answers "Error": "disk full" has not saved anything either.
bool IsFailure(const Json& answer) {
    if (!answer.is_object() || !answer.contains("Error")) return false;
    const Json& error = answer["Error"];
    if (error.is_null()) return false;
    if (error.is_boolean()) return error.get<bool>();
    if (error.is_number()) return error.get<double>() != 0;
    return true;
}
}  // namespace

std::vector<std::string> ExporterCandidates(const TExporterSearch& search) {
    namespace fs = std::filesystem;
    std::vector<std::string> candidates;
    if (!search.DataFolder.empty()) candidates.push_back((fs::path(search.DataFolder) / ExporterFileName).string());
    if (!search.ProgramFolder.empty()) {
        const fs::path program(search.ProgramFolder);
        candidates.push_back((program / "DLLka" / ExporterFileName).string());
        candidates.push_back(
            (program.parent_path() / "lib" / "quorlen" / ExporterFileName).lexically_normal().string());
    }
    return candidates;
}

std::string FindExporter(const TExporterSearch& search) {
    for (const std::string& path : ExporterCandidates(search)) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) return path;
    }
    return {};
}

TExporterSearch DefaultExporterSearch(const std::string& appName) {
    TExporterSearch search;
    const std::string home = EnvOr("HOME", "");
    const std::string data = EnvOr("XDG_DATA_HOME", home.empty() ? std::string() : home + "/.local/share");
    search.DataFolder = EnvOr("QUORLEN_DATA_DIR", data.empty() ? std::string() : data + "/Brenvik/" + appName);
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) search.ProgramFolder = self.parent_path().string();
    return search;
}

TLoadStatus TExporterHost::LoadExporter(const TExporterSearch& search) {
    if (library_) return TLoadStatus::Loaded;
    if (failed_) return TLoadStatus::Failed;
    const std::string path = FindExporter(search);
    if (path.empty()) return TLoadStatus::NotFound;
    return LoadFrom(path);
}

TLoadStatus TExporterHost::LoadFrom(const std::string& path) {
    if (library_) return TLoadStatus::Loaded;
    if (failed_) return TLoadStatus::Failed;
    path_ = path;
    auto fail = [&](const std::string& reason) {
        failed_ = true;
        loadError_ = "Nie można załadować wtyczki eksportu " + path + ":\n" + reason;
        return TLoadStatus::Failed;
    };
    if (const std::string open = WritableByOthers(path); !open.empty()) return fail(open);
    // The memory manager exists before the library, as the plug-in may ask
    // for the buffer while it is created.
    memoryManager_ = TMemoryManager::Create([this](TMemoryManager&) { memoryManager_ = nullptr; });
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        // Nobody holds it yet: one reference and its release free it.
        memoryManager_->AddRef();
        memoryManager_->Release();
        return fail(why ? why : "dlopen");
    }
    dlerror();
    auto create = reinterpret_cast<QuorlenCreateDLLFunction>(dlsym(library, QUORLEN_ENTRY_POINT));
    if (!create) {
        memoryManager_->AddRef();
        memoryManager_->Release();
        dlclose(library);
        return fail("brak funkcji " + std::string(QUORLEN_ENTRY_POINT));
    }
    library_ = library;

    TMemoryManager* lent = memoryManager_;
    lent->AddRef();
    void* exporter = nullptr;
    try {
        create(&exporter, lent->Interface());
    } catch (...) {
        untrusted_ = true;
    }
    exporter_ = static_cast<QuorlenDLLFunction*>(exporter);
    // From here the plug-in alone keeps the memory manager alive.
    lent->Release();
    if (!exporter_) {
        Unload();
        return fail(untrusted_ ? "CreateDLLFunction przerwała pracę wyjątkiem"
                               : "CreateDLLFunction nie utworzyła obiektu");
    }

    virtualDevices_.reset();
    ReadFileTypes(CallExporter("GetSaveFileType"));
    return TLoadStatus::Loaded;
}

std::optional<Json> TExporterHost::CallExporter(const std::string& method, const Json* params) {
    if (!memoryManager_ || !exporter_ || untrusted_) return std::nullopt;
    if (!params) return CallExporterText(method, nullptr);
    const std::u16string text = Utf8ToUtf16(DumpJsonCompact(*params));
    return CallExporterText(method, &text);
}

std::optional<Json> TExporterHost::CallExporterText(const std::string& method, const std::u16string* params) {
    if (!memoryManager_ || !exporter_ || untrusted_) return std::nullopt;
    const std::u16string name = Utf8ToUtf16(method);
    try {
        exporter_->Vtbl->Execute(exporter_, name.c_str(), params ? params->c_str() : nullptr);
    } catch (...) {
        // Whatever state an exception left behind, the plug-in's code is not
        // run again in this process.
        untrusted_ = true;
        return std::nullopt;
    }
    if (!memoryManager_) return std::nullopt;
    const std::optional<std::u16string> answer = memoryManager_->Text();
    if (!answer) return std::nullopt;
    return ParseJson(Utf16ToUtf8(*answer));
}

void TExporterHost::ReadFileTypes(const std::optional<Json>& answer) {
    virtualDevices_ = Json::array();
    fileTypes_.clear();
    if (!answer || !answer->is_array()) return;
    for (const Json& entry : *answer)
        if (!entry.is_object()) return;
    for (const Json& entry : *answer) {
        const auto text = [&](const char* key) {
            return entry.contains(key) && entry[key].is_string() ? entry[key].get<std::string>() : std::string();
        };
        if (entry.contains("Virtual") && entry["Virtual"].is_boolean() && entry["Virtual"].get<bool>())
            virtualDevices_->push_back(entry);
        else
            fileTypes_.push_back({text("FilterName"), text("Filter")});
    }
    if (virtualDevices_->empty()) virtualDevices_.reset();
}

std::string TExporterHost::Filters() const {
    std::string filters = std::string(JsonFilterName) + "|" + JsonFilterPattern;
    for (const TExporterFileType& type : fileTypes_) filters += "|" + type.FilterName + "|" + type.Filter;
    return filters;
}

std::vector<std::string> TExporterHost::DeviceNames() const {
    std::vector<std::string> names;
    if (!virtualDevices_) return names;
    for (const Json& device : *virtualDevices_)
        names.push_back(device.contains("DeviceName") && device["DeviceName"].is_string()
                            ? device["DeviceName"].get<std::string>()
                            : std::string());
    return names;
}

TExporterOutcome TExporterHost::Refused(const std::string& why) { return {false, why, kError}; }

TExporterOutcome TExporterHost::Outcome(const std::optional<Json>& answer, const std::string& success) {
    if (untrusted_)
        return Refused("Wtyczka eksportu " + path_ + " przerwała pracę wyjątkiem; nie będzie więcej wywoływana.");
    if (answer && IsFailure(*answer)) {
        const Json& text = (*answer).contains("ErrorStr") ? (*answer)["ErrorStr"] : Json();
        return Refused(text.is_string() ? text.get<std::string>()
                                        : "Wtyczka eksportu zgłosiła błąd " + (*answer)["Error"].dump() + ".");
    }
    // Where the plug-in put the results, when it says: a database the
    // teacher never chose has to be named to be found again.
    const Json* where = answer && answer->is_object() && answer->contains("Location") ? &(*answer)["Location"] : nullptr;
    if (where && where->is_string() && !where->get<std::string>().empty())
        return {true, success + ":\n" + where->get<std::string>(), kInformation};
    return {true, success, kInformation};
}

namespace {
// The document as the plug-in receives it: with the class figures of a
// scored run, written compact with its keys sorted, as the text path sends
// a file's document.
std::u16string WithClassAnalysis(const Json& document) {
    Json wyniki = document;
    AddClassAnalysis(wyniki);
    return Utf8ToUtf16(DumpJsonCompact(wyniki));
}
}  // namespace

TExporterOutcome TExporterHost::SaveResultsToFile(const std::string& fileName, int filterIndex, const Json& document) {
    return SaveResultsTextToFile(fileName, filterIndex, WithClassAnalysis(document));
}

TExporterOutcome TExporterHost::SaveResultsToDevice(int device, const Json& document) {
    return SaveResultsTextToDevice(device, WithClassAnalysis(document));
}

namespace {
// The parameters around the document, in the order a tree writes its keys.
std::u16string WithDocument(const Json& members, std::u16string document) {
    std::string head = DumpJsonCompact(members);
    head.pop_back();
    head += head.size() > 1 ? ",\"Wyniki\":" : "\"Wyniki\":";
    document.insert(document.begin(), head.begin(), head.end());
    document += u'}';
    return document;
}
}  // namespace

TExporterOutcome TExporterHost::SaveResultsTextToFile(const std::string& fileName, int filterIndex,
                                                      std::u16string document) {
    if (filterIndex < 2 || filterIndex - 1 > static_cast<int>(fileTypes_.size()))
        return Refused("Wtyczka eksportu nie oferuje typu pliku nr " + std::to_string(filterIndex - 1) + ".");
    const std::u16string params =
        WithDocument({{"FileName", fileName}, {"Method", filterIndex - 1}}, std::move(document));
    const std::optional<Json> answer = CallExporterText("SaveToFile", &params);
    return Outcome(answer, "Wyniki zostały zapisane do pliku\n" + fileName);
}

TExporterOutcome TExporterHost::SaveResultsTextToDevice(int device, std::u16string document) {
    const std::vector<std::string> names = DeviceNames();
    if (device < 0 || device >= static_cast<int>(names.size()))
        return Refused("Wtyczka eksportu nie oferuje urządzenia nr " + std::to_string(device) + ".");
    const std::u16string params = WithDocument({{"Method", device}}, std::move(document));
    const std::optional<Json> answer = CallExporterText("SaveVirtual", &params);
    return Outcome(answer, "Wyniki zostały zapisane do " + names[device]);
}

void TExporterHost::Unload() {
    if (exporter_) {
        // Even a plug-in that threw gets the chance to let go of what it
        // holds; nothing it throws now leaves this function.
        try {
            exporter_->Vtbl->Shutdown(exporter_);
            exporter_->Vtbl->Release(exporter_);
        } catch (...) {
        }
    }
    exporter_ = nullptr;
    // A plug-in that still holds the memory manager keeps it; its release,
    // whenever it comes, must not reach this host.
    if (memoryManager_) memoryManager_->DetachOnRelease();
    memoryManager_ = nullptr;
    if (library_) dlclose(library_);
    library_ = nullptr;
}

}  // namespace quorlen
