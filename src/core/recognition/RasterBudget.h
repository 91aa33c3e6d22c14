#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quorlen {

// Bounds the memory that the rasters of concurrently read scans hold at once.
// A scan job takes its share once the picture's size is known and before any
// pixel memory exists, and gives it back when its raster is gone; a job whose
// share does not fit waits for room. Shares are granted in the order asked,
// so a large scan is not overtaken for ever, and a share larger than the whole
// budget is granted when nothing else is held: that scan then runs alone.
class TRasterBudget {
public:
    // A granted share; returned when the object goes.
    class THold {
    public:
        THold() = default;
        ~THold() { Release(); }
        THold(THold&& other) noexcept : budget_(other.budget_), bytes_(other.bytes_) { other.budget_ = nullptr; }
        THold& operator=(THold&& other) noexcept;
        THold(const THold&) = delete;
        THold& operator=(const THold&) = delete;
        void Release();
        uint64_t Bytes() const { return budget_ ? bytes_ : 0; }

    private:
        friend class TRasterBudget;
        THold(TRasterBudget* budget, uint64_t bytes) : budget_(budget), bytes_(bytes) {}
        TRasterBudget* budget_ = nullptr;
        uint64_t bytes_ = 0;
    };

    explicit TRasterBudget(uint64_t capacityBytes);
    TRasterBudget(const TRasterBudget&) = delete;
    TRasterBudget& operator=(const TRasterBudget&) = delete;

    // Waits until the share fits (or nothing else is held), then grants it.
    THold Acquire(uint64_t bytes);
    // Grants at once, over the budget if need be: for a thread that must never
    // wait, such as the one that answers the waiting jobs' operator questions.
    THold AcquireNow(uint64_t bytes);

    uint64_t Capacity() const;
    void SetCapacity(uint64_t bytes);
    uint64_t Held() const;
    // The most held at once since construction, for tests and measurements.
    uint64_t PeakHeld() const;

private:
    void Grant(uint64_t bytes);  // with mutex_ held
    void Return(uint64_t bytes);

    mutable std::mutex mutex_;
    std::condition_variable roomFreed_;
    uint64_t capacity_;
    uint64_t held_ = 0;
    uint64_t peak_ = 0;
    uint64_t nextTicket_ = 0;
    uint64_t serving_ = 0;
};

// The budget a batch run gets: a quarter of the machine's memory, at least
// 256 MiB, so that a folder of huge scans cannot exhaust it whatever the
// number of workers.
uint64_t DefaultRasterBudget();

}  // namespace quorlen
