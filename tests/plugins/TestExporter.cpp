// A plug-in for the host's tests, steered by behaviour.json beside the
// library so that one build serves every case:
//   "types"       text answered to GetSaveFileType (default "[]")
//   "answer"      text answered to SaveToFile and SaveVirtual
//   "keepManager" take a reference to the memory manager (default true)
//   "neverAsk"    never ask for the buffer
//   "grow"        pad answer k with k * grow spaces, so that the buffer grows
//   "throwIn"     method whose Execute throws
//   "noObject"    CreateDLLFunction hands back nothing
//   "log"         file that gets one line per call
#include <dlfcn.h>
#include <quorlen/exporter.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/common/Json.h"
#include "core/common/Utf16.h"

namespace {

using quorlen::Json;

struct TTestExporter {
    QuorlenDLLFunction Face;
    uint32_t Refs = 1;
    QuorlenMemoryManager* Memory = nullptr;
    Json Behaviour;
    int Calls = 0;

    void Log(const std::string& line) const {
        if (!Behaviour.contains("log")) return;
        std::ofstream(Behaviour["log"].get<std::string>(), std::ios::app) << line << "\n";
    }
    void Write(std::string text) {
        text += std::string(static_cast<size_t>(Calls * Behaviour.value("grow", 0)), ' ');
        const std::u16string wide = quorlen::Utf8ToUtf16(text);
        char16_t* buffer = Memory->Vtbl->GetBuffer(Memory, static_cast<int32_t>((wide.size() + 1) * 2));
        std::copy(wide.begin(), wide.end(), buffer);
        buffer[wide.size()] = 0;
    }
};

TTestExporter& Self(void* self) { return *static_cast<TTestExporter*>(self); }

int32_t QueryInterface(void*, const QuorlenGuid*, void** out) {
    *out = nullptr;
    return QUORLEN_E_NOINTERFACE;
}
uint32_t AddRef(void* self) { return ++Self(self).Refs; }
uint32_t Release(void* self) {
    const uint32_t left = --Self(self).Refs;
    if (left == 0) {
        Self(self).Log("Release");
        delete &Self(self);
    }
    return left;
}

void Execute(void* self, const char16_t* method, const char16_t* params) {
    TTestExporter& e = Self(self);
    const std::string name = quorlen::Utf16ToUtf8(method);
    ++e.Calls;
    e.Log(name + " " + (params ? quorlen::Utf16ToUtf8(params) : std::string("null")));
    if (e.Behaviour.value("throwIn", "") == name) throw std::runtime_error("thrown across the boundary");
    if (e.Behaviour.value("neverAsk", false)) return;
    if (name == "GetSaveFileType")
        e.Write(e.Behaviour.value("types", "[]"));
    else
        e.Write(e.Behaviour.value("answer", "{\"Error\":0}"));
}

void Shutdown(void* self) {
    TTestExporter& e = Self(self);
    e.Log("Shutdown");
    if (e.Memory && e.Behaviour.value("keepManager", true)) e.Memory->Vtbl->Release(e.Memory);
    e.Memory = nullptr;
}

const QuorlenDLLFunctionVtbl kVtbl = {QueryInterface, AddRef, Release, Execute, Shutdown};

}  // namespace

extern "C" __attribute__((visibility("default"))) void CreateDLLFunction(void** out, void* memoryManager) {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&CreateDLLFunction), &info);
    const auto folder = std::filesystem::path(info.dli_fname).parent_path();
    const Json behaviour = quorlen::ParseJsonFile((folder / "behaviour.json").string()).value_or(Json::object());
    if (behaviour.value("noObject", false)) return;
    auto* e = new TTestExporter;
    e->Face.Vtbl = &kVtbl;
    e->Behaviour = behaviour;
    e->Memory = static_cast<QuorlenMemoryManager*>(memoryManager);
    if (e->Behaviour.value("keepManager", true)) e->Memory->Vtbl->AddRef(e->Memory);
    e->Log("Create");
    *out = e;
}
