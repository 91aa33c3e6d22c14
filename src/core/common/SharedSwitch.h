#pragma once

#include <atomic>
#include <memory>

namespace quorlen {

// An on/off setting that its owner may flip while readers on other threads
// consult it at each decision. Copies share one state, so a run's settings
// carry the owner's switch itself, not a snapshot of it.
class TSharedSwitch {
public:
    explicit TSharedSwitch(bool on = true) : state_(std::make_shared<std::atomic<bool>>(on)) {}
    bool On() const { return state_->load(std::memory_order_relaxed); }
    void Set(bool on) const { state_->store(on, std::memory_order_relaxed); }

private:
    std::shared_ptr<std::atomic<bool>> state_;
};

}  // namespace quorlen
