// The buffer is a COM-style object: a vtable of plain C functions over an
// atomic reference count, so that a plug-in built with any compiler can use it.
#include "core/exporter/MemoryManager.h"

#include <cstdlib>
#include <cstring>

namespace quorlen {

namespace {
bool SameGuid(const QuorlenGuid& a, const QuorlenGuid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TMemoryManager& Self(void* self) { return *static_cast<TMemoryManager::Face*>(self)->Owner; }

int32_t QueryInterfaceEntry(void* self, const QuorlenGuid* iid, void** out) {
    static const QuorlenGuid unknown = QUORLEN_IID_IUNKNOWN_INIT;
    static const QuorlenGuid manager = QUORLEN_IID_IMEMORYMANAGER_INIT;
    if (!out) return QUORLEN_E_NOINTERFACE;
    *out = nullptr;
    if (!iid || (!SameGuid(*iid, unknown) && !SameGuid(*iid, manager))) return QUORLEN_E_NOINTERFACE;
    Self(self).AddRef();
    *out = self;
    return QUORLEN_S_OK;
}
uint32_t AddRefEntry(void* self) { return Self(self).AddRef(); }
uint32_t ReleaseEntry(void* self) { return Self(self).Release(); }
char16_t* GetBufferEntry(void* self, int32_t size) { return Self(self).GetBuffer(size); }

const QuorlenMemoryManagerVtbl kVtbl = {QueryInterfaceEntry, AddRefEntry, ReleaseEntry, GetBufferEntry};
}  // namespace

TMemoryManager* TMemoryManager::Create(TReleaseCallback onRelease) { return new TMemoryManager(std::move(onRelease)); }

TMemoryManager::TMemoryManager(TReleaseCallback onRelease) : face_{&kVtbl, this}, onRelease_(std::move(onRelease)) {}

TMemoryManager::~TMemoryManager() {
    std::free(buffer_);
    buffer_ = nullptr;
    capacity_ = 0;
    if (onRelease_) onRelease_(*this);
}

uint32_t TMemoryManager::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32_t TMemoryManager::Release() {
    const uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

char16_t* TMemoryManager::GetBuffer(int32_t size) {
    if (size > capacity_) {
        void* grown = std::realloc(buffer_, static_cast<size_t>(size));
        if (!grown) return nullptr;
        buffer_ = static_cast<char16_t*>(grown);
        capacity_ = size;
    }
    return buffer_;
}

std::optional<std::u16string> TMemoryManager::Text() const {
    if (!buffer_) return std::nullopt;
    const size_t units = static_cast<size_t>(capacity_) / sizeof(char16_t);
    for (size_t i = 0; i < units; ++i)
        if (buffer_[i] == 0) return std::u16string(buffer_, i);
    return std::nullopt;
}

}  // namespace quorlen
