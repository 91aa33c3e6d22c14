#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorlen {

// One file as it was when opened: a file replaced or rewritten since is
// another key, so a document of its old bytes is never lent for it.
struct TDocumentKey {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = -1;
    time_t Seconds = 0;
    long Nanoseconds = 0;
    // Written out: the PDF reader is also compiled as C++17 (see CMake).
    bool operator==(const TDocumentKey& o) const {
        return Device == o.Device && Inode == o.Inode && Size == o.Size && Seconds == o.Seconds &&
               Nanoseconds == o.Nanoseconds;
    }

    static TDocumentKey Of(const struct stat& st) {
        return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    }
};

// Open documents of multi-page files kept between pages for the whole
// process: the run starts a thread for every scan, so a document kept per
// thread would be opened again for every page. Each is lent to one reader
// at a time (a parsed document is not for sharing between threads). A run
// starts 48 workers per core, so the documents of one file are bounded
// (Most); a reader beyond that waits until one comes back.
template <class TDocument>
class TDocumentShelf {
public:
    struct TKept {
        TDocumentKey Key;
        std::unique_ptr<TDocument> Document;
    };

    // A kept document of the file, or an empty one when the caller is to
    // open it; either way the caller then Gives the document or Returns
    // its place.
    TKept Take(const TDocumentKey& key) {
        std::unique_lock guard(lock_);
        for (;;) {
            for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
                if (!(it->Key == key)) continue;
                TKept found = std::move(*it);
                idle_.erase(std::next(it).base());
                lent_.push_back(key);
                return found;
            }
            if (Existing(key) < Most()) {
                lent_.push_back(key);
                return {key, nullptr};
            }
            returned_.wait(guard);
        }
    }
    void Give(TKept kept) {
        std::lock_guard guard(lock_);
        Unlend(kept.Key);
        idle_.push_back(std::move(kept));
        if (idle_.size() > Most()) idle_.erase(idle_.begin());
        returned_.notify_all();
    }
    // A document that failed or threw: its place is free, nothing is kept.
    void Return(const TDocumentKey& key) {
        std::lock_guard guard(lock_);
        Unlend(key);
        returned_.notify_all();
    }

    // Four per core: two per file held the run's readers back (a page of a
    // copier's PDF cost twice its JPEG), and a thousand-page file's
    // document is a few megabytes.
    static size_t Most() { return std::clamp<size_t>(4 * std::thread::hardware_concurrency(), 4, 64); }

private:
    size_t Existing(const TDocumentKey& key) const {
        size_t n = static_cast<size_t>(std::count(lent_.begin(), lent_.end(), key));
        for (const TKept& kept : idle_) n += kept.Key == key;
        return n;
    }
    void Unlend(const TDocumentKey& key) {
        const auto it = std::find(lent_.begin(), lent_.end(), key);
        if (it != lent_.end()) lent_.erase(it);
    }

    std::mutex lock_;
    std::condition_variable returned_;
    std::vector<TKept> idle_;       // the most recently given last
    std::vector<TDocumentKey> lent_;  // one per document out
};

}  // namespace quorlen
