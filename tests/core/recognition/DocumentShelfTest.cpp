// The shelf of open multi-page documents: what is lent, kept and waited for.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/recognition/DocumentShelf.h"

using namespace quorlen;

namespace {

struct TDoc {
    int Id = 0;
};

TDocumentKey Key(ino_t inode, off_t size = 100) {
    TDocumentKey k;
    k.Inode = inode;
    k.Size = size;
    return k;
}

}  // namespace

TEST(DocumentShelf, ADocumentGivenBackIsLentAgainOnlyForTheSameFileAsItWas) {
    TDocumentShelf<TDoc> shelf;
    auto first = shelf.Take(Key(1));
    ASSERT_FALSE(first.Document);  // nothing kept yet: the caller opens it
    first.Document = std::make_unique<TDoc>(TDoc{7});
    shelf.Give(std::move(first));
    // Another file, and the same file rewritten (another size), open their own.
    for (const TDocumentKey& other : {Key(2), Key(1, 101)}) {
        auto taken = shelf.Take(other);
        EXPECT_FALSE(taken.Document);
        shelf.Return(other);
    }
    auto again = shelf.Take(Key(1));
    ASSERT_TRUE(again.Document);
    EXPECT_EQ(again.Document->Id, 7);
    shelf.Return(Key(1));  // it threw: not kept
    EXPECT_FALSE(shelf.Take(Key(1)).Document);
    shelf.Return(Key(1));
}

// However many workers read one file at once, no more documents of it exist
// than the bound; the others wait for one to come
// back, and a place given up without a document frees them too.
TEST(DocumentShelf, ReadersBeyondTheBoundWaitForADocumentToComeBack) {
    TDocumentShelf<TDoc> shelf;
    std::vector<TDocumentShelf<TDoc>::TKept> out;
    for (size_t i = 0; i < TDocumentShelf<TDoc>::Most(); ++i) out.push_back(shelf.Take(Key(5)));
    // A different file is not held up.
    shelf.Return(shelf.Take(Key(6)).Key);
    std::atomic<int> served{0};
    std::thread waiter([&] {
        auto kept = shelf.Take(Key(5));
        served = kept.Document ? kept.Document->Id : -1;
        shelf.Return(kept.Key);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(served, 0) << "a reader past the bound was not held";
    out[0].Document = std::make_unique<TDoc>(TDoc{3});
    shelf.Give(std::move(out[0]));
    waiter.join();
    EXPECT_EQ(served, 3);
    const auto refill = shelf.Take(Key(5));  // the bound is reached again
    std::thread second([&] {
        auto kept = shelf.Take(Key(5));
        served = kept.Document ? 99 : -1;
        shelf.Return(kept.Key);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(served, 3) << "a reader past the bound was not held";
    shelf.Return(out[1].Key);
    second.join();
    EXPECT_EQ(served, -1);
    for (size_t i = 2; i < out.size(); ++i) shelf.Return(out[i].Key);
    shelf.Return(refill.Key);
}
