#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/common/Json.h"
#include "core/exporter/MemoryManager.h"

namespace quorlen {

inline constexpr const char* ExporterFileName = "QuorlenExporter.so";
inline constexpr const char* JsonFilterName = "Pliki JSON";
inline constexpr const char* JsonFilterPattern = "*.json";

// Where a plug-in may be: the data folder first, then DLLka beside the
// program, then the installed plug-in folder (<prefix>/lib/quorlen, found
// from the program's folder <prefix>/bin). Never the current folder: a
// downloaded folder holding a DLLka must not run its code in our session.
struct TExporterSearch {
    std::string DataFolder;     // not created by the search; empty = skipped
    std::string ProgramFolder;  // folder of the running executable
};
std::vector<std::string> ExporterCandidates(const TExporterSearch& search);
// The first candidate that exists, or empty.
std::string FindExporter(const TExporterSearch& search);
// Without Qt: QUORLEN_DATA_DIR, else $XDG_DATA_HOME (default ~/.local/share)
// followed by Brenvik/<appName>; the program folder from /proc/self/exe. A
// relative value of any of these variables (HOME too) is ignored.
TExporterSearch DefaultExporterSearch(const std::string& appName = "quorlen");

struct TExporterFileType {
    std::string FilterName;
    std::string Filter;
};

// What a save through the plug-in tells the operator: the text, its caption
// ("Informacja" or "Błąd") and whether it is the error box.
struct TExporterOutcome {
    bool Ok = false;
    std::string Text;
    std::string Caption;
};

enum class TLoadStatus { NotFound, Loaded, Failed };

// The host side of the exporter plug-in: loading, calls and their answers,
// the file types and devices offered, unloading. One per main window; every
// call on the thread that owns it.
class TExporterHost {
public:
    TExporterHost() = default;
    ~TExporterHost() { Unload(); }
    TExporterHost(const TExporterHost&) = delete;
    TExporterHost& operator=(const TExporterHost&) = delete;

    // Searches and loads once per process: a missing library is searched
    // again next time; a library that cannot be loaded, or has no entry point,
    // is reported once (LoadError) and never called.
    TLoadStatus LoadExporter(const TExporterSearch& search);
    // Loads the given file (no search).
    TLoadStatus LoadFrom(const std::string& path);
    bool Loaded() const { return library_ != nullptr; }
    bool LoadFailed() const { return failed_; }
    const std::string& LoadError() const { return loadError_; }
    const std::string& LibraryPath() const { return path_; }

    // One call; the parsed answer, or none when the call was skipped (memory
    // manager gone, buffer never asked for, plug-in untrusted) or the answer
    // is not JSON.
    std::optional<Json> CallExporter(const std::string& method, const Json* params = nullptr);
    // The same with the parameters as the text the plug-in gets.
    std::optional<Json> CallExporterText(const std::string& method, const std::u16string* params);

    // "Pliki JSON|*.json" followed by the plug-in's types, bar-separated.
    std::string Filters() const;
    const std::vector<TExporterFileType>& FileTypes() const { return fileTypes_; }
    // The plug-in's device entries, none when it lists no device.
    const std::optional<Json>& VirtualDevices() const { return virtualDevices_; }
    std::vector<std::string> DeviceNames() const;

    // The plug-in branches of the save flow: filterIndex counts the save
    // dialog's filters from 1 (2 = the plug-in's first type). A scored
    // document goes out with its class figures added ("Analiza").
    TExporterOutcome SaveResultsToFile(const std::string& fileName, int filterIndex, const Json& document);
    TExporterOutcome SaveResultsToDevice(int device, const Json& document);
    // The same for a document that is already compact JSON text (see
    // StreamResultsFile) and carries no key: a large class is never held as
    // a tree. The text is taken over so that it is not held twice.
    TExporterOutcome SaveResultsTextToFile(const std::string& fileName, int filterIndex, std::u16string document);
    TExporterOutcome SaveResultsTextToDevice(int device, std::u16string document);

    bool MemoryManagerAlive() const { return memoryManager_ != nullptr; }
    // Shutdown, release and dlclose; the memory manager is left to the plug-in.
    void Unload();

private:
    void ReadFileTypes(const std::optional<Json>& answer);
    TExporterOutcome Outcome(const std::optional<Json>& answer, const std::string& success);
    TExporterOutcome Refused(const std::string& why);

    void* library_ = nullptr;
    QuorlenDLLFunction* exporter_ = nullptr;
    TMemoryManager* memoryManager_ = nullptr;
    bool failed_ = false;
    bool untrusted_ = false;
    std::string path_;
    std::string loadError_;
    std::vector<TExporterFileType> fileTypes_;
    std::optional<Json> virtualDevices_;
};

}  // namespace quorlen
