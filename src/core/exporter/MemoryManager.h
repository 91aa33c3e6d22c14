#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "quorlen/exporter.h"

namespace quorlen {

// The host's IMemoryManager: the buffer a plug-in writes its answers into.
// Reference-counted across the library boundary; created with no reference
// and destroyed when the last one is released, after which OnRelease runs
// (the host clears its own pointer there). Counting is atomic.
class TMemoryManager {
public:
    using TReleaseCallback = std::function<void(TMemoryManager& sender)>;

    // A new object with a count of 0; whoever takes the first reference owns it.
    static TMemoryManager* Create(TReleaseCallback onRelease);
    TMemoryManager(const TMemoryManager&) = delete;
    TMemoryManager& operator=(const TMemoryManager&) = delete;

    // The interface pointer handed to plug-ins.
    void* Interface() { return &face_; }
    uint32_t AddRef();
    uint32_t Release();
    // Grows the buffer to exactly size bytes when it is smaller, keeping its
    // content; the current address in every case (null while never asked for,
    // or when memory ran out).
    char16_t* GetBuffer(int32_t size);
    int32_t Capacity() const { return capacity_; }
    // The buffer's text up to its zero character; none while there is no
    // buffer or no zero within it (a plug-in that forgot the terminator must
    // not make the host read past the block).
    std::optional<std::u16string> Text() const;
    // Stops OnRelease from reaching a host that has gone.
    void DetachOnRelease() { onRelease_ = nullptr; }

    // What the interface pointer points at: the table, then the way back.
    struct Face {
        const QuorlenMemoryManagerVtbl* Vtbl;
        TMemoryManager* Owner;
    };

private:
    explicit TMemoryManager(TReleaseCallback onRelease);
    ~TMemoryManager();

    Face face_;
    std::atomic<uint32_t> refs_{0};
    char16_t* buffer_ = nullptr;
    int32_t capacity_ = 0;
    TReleaseCallback onRelease_;
};

}  // namespace quorlen
