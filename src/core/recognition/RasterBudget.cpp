#include "core/recognition/RasterBudget.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>

namespace quorlen {

namespace {

// glibc serves a block below its mmap threshold from the heap of the calling
// thread's arena and keeps it there once freed; the threshold itself grows up
// to 32 MB as large blocks are freed. A raster of a big scan would then stay
// resident in every worker's arena long after its share was returned, and the
// budget would bound nothing the system sees. A fixed threshold keeps blocks
// of 4 MB and more (the rasters of scans above about 200 dpi A3) in their own
// mappings, which go back to the system when freed.
void ReturnFreedRastersToTheSystem() {
    static std::once_flag once;
    std::call_once(once, [] { ::mallopt(M_MMAP_THRESHOLD, 4 << 20); });
}

}  // namespace

TRasterBudget::TRasterBudget(uint64_t capacityBytes) : capacity_(capacityBytes) { ReturnFreedRastersToTheSystem(); }

TRasterBudget::THold& TRasterBudget::THold::operator=(THold&& other) noexcept {
    if (this != &other) {
        Release();
        budget_ = other.budget_;
        bytes_ = other.bytes_;
        other.budget_ = nullptr;
    }
    return *this;
}

void TRasterBudget::THold::Release() {
    if (budget_) budget_->Return(bytes_);
    budget_ = nullptr;
}

TRasterBudget::THold TRasterBudget::Acquire(uint64_t bytes) {
    std::unique_lock lock(mutex_);
    const uint64_t ticket = nextTicket_++;
    roomFreed_.wait(lock, [&] { return serving_ == ticket && (held_ == 0 || held_ + bytes <= capacity_); });
    ++serving_;
    Grant(bytes);
    // The next in line may fit beside this one.
    roomFreed_.notify_all();
    return THold(this, bytes);
}

TRasterBudget::THold TRasterBudget::AcquireNow(uint64_t bytes) {
    std::lock_guard lock(mutex_);
    Grant(bytes);
    return THold(this, bytes);
}

void TRasterBudget::Grant(uint64_t bytes) {
    held_ += bytes;
    peak_ = std::max(peak_, held_);
}

void TRasterBudget::Return(uint64_t bytes) {
    {
        std::lock_guard lock(mutex_);
        held_ -= bytes;
    }
    roomFreed_.notify_all();
}

uint64_t TRasterBudget::Capacity() const {
    std::lock_guard lock(mutex_);
    return capacity_;
}

void TRasterBudget::SetCapacity(uint64_t bytes) {
    {
        std::lock_guard lock(mutex_);
        capacity_ = bytes;
    }
    roomFreed_.notify_all();
}

uint64_t TRasterBudget::Held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

uint64_t TRasterBudget::PeakHeld() const {
    std::lock_guard lock(mutex_);
    return peak_;
}

uint64_t DefaultRasterBudget() {
    constexpr uint64_t kFloor = 256ull << 20;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return kFloor;
    return std::max(kFloor, static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 4);
}

}  // namespace quorlen
