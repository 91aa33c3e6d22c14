// The library's face: the IDLLFunction object, its calls and the answers
// written into the host's buffer. Nothing here lets an exception out.
#include <quorlen/exporter.h>

#include <atomic>
#include <string>

#include "Export.h"

namespace quorlen_exporter {

namespace {
const char* const kCsvName = "Plik CSV (Excel, średnik)";
const char* const kXlsxName = "Skoroszyt Excel";
const char* const kDatabaseName = "Baza wyników (SQLite)";

// The method's name; the host sends ASCII.
std::string Narrow(const char16_t* text) {
    std::string out;
    if (!text) return out;
    for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '\x01';
    return out;
}

struct TExporter {
    QuorlenDLLFunction Face;
    std::atomic<uint32_t> Refs{1};
    QuorlenMemoryManager* Memory = nullptr;

    // The answer is ASCII (escaped JSON), so each byte is one UTF-16 unit.
    void Answer(const Json& answer) {
        if (!Memory) return;
        const std::string text = answer.dump(-1, ' ', true, Json::error_handler_t::replace);
        char16_t* buffer = Memory->Vtbl->GetBuffer(Memory, static_cast<int32_t>((text.size() + 1) * 2));
        if (!buffer) return;
        for (size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<unsigned char>(text[i]);
        buffer[text.size()] = 0;
    }

    Json Dispatch(const std::string& method, const char16_t* params) {
        if (method == "GetSaveFileType")
            return Json::array({{{"FilterName", kCsvName}, {"Filter", "*.csv"}},
                                {{"FilterName", kXlsxName}, {"Filter", "*.xlsx"}},
                                {{"Virtual", true}, {"DeviceName", kDatabaseName}}});
        const TRequest stream(params);
        const Json& request = stream.Head();
        request.at("Wyniki");
        const int choice = request.at("Method").get<int>();
        if (method == "SaveToFile") {
            const std::string fileName = request.at("FileName").get<std::string>();
            if (choice == 1)
                WriteCsv(fileName, stream);
            else if (choice == 2)
                WriteXlsx(fileName, stream);
            else
                return {{"Error", 2}, {"ErrorStr", "Nieznany typ pliku: " + std::to_string(choice)}};
            return {{"Error", 0}};
        }
        if (method == "SaveVirtual") {
            if (choice != 0) return {{"Error", 2}, {"ErrorStr", "Nieznane urządzenie: " + std::to_string(choice)}};
            const std::string path = DatabasePath();
            AppendToDatabase(path, stream);
            return {{"Error", 0}, {"Location", path}};
        }
        return {{"Error", 3}, {"ErrorStr", "Nieznana metoda: " + method}};
    }
};

TExporter& Self(void* self) { return *static_cast<TExporter*>(self); }

int32_t QueryInterface(void* self, const QuorlenGuid* iid, void** out) {
    static const QuorlenGuid unknown = QUORLEN_IID_IUNKNOWN_INIT;
    if (!out) return QUORLEN_E_NOINTERFACE;
    *out = nullptr;
    if (!iid || iid->Data1 != unknown.Data1 || iid->Data2 != unknown.Data2 || iid->Data3 != unknown.Data3) {
        return QUORLEN_E_NOINTERFACE;
    }
    for (int i = 0; i < 8; ++i)
        if (iid->Data4[i] != unknown.Data4[i]) return QUORLEN_E_NOINTERFACE;
    Self(self).Refs.fetch_add(1);
    *out = self;
    return QUORLEN_S_OK;
}

uint32_t AddRef(void* self) { return Self(self).Refs.fetch_add(1) + 1; }

uint32_t Release(void* self) {
    const uint32_t left = Self(self).Refs.fetch_sub(1) - 1;
    if (left == 0) {
        TExporter* exporter = &Self(self);
        if (exporter->Memory) exporter->Memory->Vtbl->Release(exporter->Memory);
        delete exporter;
    }
    return left;
}

void Execute(void* self, const char16_t* method, const char16_t* params) {
    TExporter& exporter = Self(self);
    try {
        exporter.Answer(exporter.Dispatch(Narrow(method), params));
    } catch (const std::exception& e) {
        try {
            exporter.Answer({{"Error", 1}, {"ErrorStr", e.what()}});
        } catch (...) {
        }
    } catch (...) {
    }
}

void Shutdown(void* self) {
    TExporter& exporter = Self(self);
    if (exporter.Memory) exporter.Memory->Vtbl->Release(exporter.Memory);
    exporter.Memory = nullptr;
}

const QuorlenDLLFunctionVtbl kVtbl = {QueryInterface, AddRef, Release, Execute, Shutdown};
}  // namespace

}  // namespace quorlen_exporter

extern "C" __attribute__((visibility("default"))) void CreateDLLFunction(void** outExporter, void* memoryManager) {
    using namespace quorlen_exporter;
    if (!outExporter) return;
    *outExporter = nullptr;
    try {
        auto* exporter = new TExporter;
        exporter->Face.Vtbl = &kVtbl;
        exporter->Memory = static_cast<QuorlenMemoryManager*>(memoryManager);
        if (exporter->Memory) exporter->Memory->Vtbl->AddRef(exporter->Memory);
        *outExporter = &exporter->Face;
    } catch (...) {
    }
}
