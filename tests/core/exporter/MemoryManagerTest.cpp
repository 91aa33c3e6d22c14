#include <gtest/gtest.h>

#include <cstring>

#include "core/common/Utf16.h"
#include "core/exporter/MemoryManager.h"

namespace quorlen {
namespace {

QuorlenMemoryManager* Face(TMemoryManager* m) { return static_cast<QuorlenMemoryManager*>(m->Interface()); }

TEST(MemoryManager, GrowsToExactlyTheSizeAndKeepsTheContent) {
    TMemoryManager* m = TMemoryManager::Create(nullptr);
    QuorlenMemoryManager* face = Face(m);
    face->Vtbl->AddRef(face);
    EXPECT_EQ(m->Text(), std::nullopt) << "never asked for";
    char16_t* first = face->Vtbl->GetBuffer(face, 8);
    ASSERT_NE(first, nullptr);
    std::memcpy(first, u"abc", 8);
    EXPECT_EQ(m->Capacity(), 8);
    EXPECT_EQ(face->Vtbl->GetBuffer(face, 4), first) << "a smaller request keeps the block";
    EXPECT_EQ(m->Capacity(), 8);
    char16_t* grown = face->Vtbl->GetBuffer(face, 1 << 20);
    EXPECT_EQ(m->Capacity(), 1 << 20);
    EXPECT_EQ(std::u16string(grown), u"abc");
    EXPECT_EQ(face->Vtbl->GetBuffer(face, 0), grown);
    EXPECT_EQ(face->Vtbl->GetBuffer(face, -5), grown);
    face->Vtbl->Release(face);
}

TEST(MemoryManager, TextStopsAtTheBlocksEndWithoutAZero) {
    TMemoryManager* m = TMemoryManager::Create(nullptr);
    m->AddRef();
    char16_t* b = m->GetBuffer(6);
    std::memcpy(b, u"xyz", 6);  // three units, no terminator within the block
    EXPECT_EQ(m->Text(), std::nullopt);
    b = m->GetBuffer(7);  // an odd size holds three whole units still
    EXPECT_EQ(m->Text(), std::nullopt);
    b = m->GetBuffer(8);
    b[3] = 0;
    EXPECT_EQ(m->Text(), u"xyz");
    m->Release();
}

TEST(MemoryManager, AnswersQueryInterfaceForItsTwoInterfacesOnly) {
    struct Case {
        QuorlenGuid iid;
        int32_t result;
    };
    const Case cases[] = {
        {QUORLEN_IID_IUNKNOWN_INIT, QUORLEN_S_OK},
        {QUORLEN_IID_IMEMORYMANAGER_INIT, QUORLEN_S_OK},
        {{0x6F1D3A52u, 0x8E47u, 0x4C1Bu, {0x9A, 0x2E, 0x51, 0xB0, 0xC7, 0xD4, 0xE3, 0xAA}}, QUORLEN_E_NOINTERFACE},
    };
    TMemoryManager* m = TMemoryManager::Create(nullptr);
    QuorlenMemoryManager* face = Face(m);
    face->Vtbl->AddRef(face);
    for (const Case& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(face->Vtbl->QueryInterface(face, &c.iid, &out), c.result);
        EXPECT_EQ(out, c.result == QUORLEN_S_OK ? static_cast<void*>(face) : nullptr);
        if (out) {
            EXPECT_EQ(face->Vtbl->Release(face), 1u);
        }
    }
    EXPECT_EQ(face->Vtbl->QueryInterface(face, nullptr, nullptr), QUORLEN_E_NOINTERFACE);
    EXPECT_EQ(face->Vtbl->Release(face), 0u);
}

TEST(MemoryManager, TheLastReleaseFreesTheBufferThenCallsBack) {
    int capacityInCallback = -1;
    bool called = false;
    TMemoryManager* m = TMemoryManager::Create([&](TMemoryManager& sender) {
        called = true;
        capacityInCallback = sender.Capacity();
    });
    m->AddRef();
    m->AddRef();
    m->GetBuffer(100);
    EXPECT_EQ(m->Release(), 1u);
    EXPECT_FALSE(called);
    EXPECT_EQ(m->Release(), 0u);
    EXPECT_TRUE(called);
    EXPECT_EQ(capacityInCallback, 0);
}

TEST(Utf16, ConvertsBothWaysAndReplacesWhatIsIllFormed) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case roundTrips[] = {
        {"", u""},
        {"Zapisz", u"Zapisz"},
        {"Zażółć gęślą jaźń", u"Zażółć gęślą jaźń"},
        {"€ 😀", u"€ 😀"},
    };
    for (const Case& c : roundTrips) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
    }
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD83D)) + u"a"),
              "\xEF\xBF\xBD"
              "a");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDE00))), "\xEF\xBF\xBD");
    const Case broken[] = {
        {"\xC3", u"\xFFFD"},          // cut short
        {"\xC0\xAF", u"\xFFFD"},      // overlong
        {"\xED\xA0\x80", u"\xFFFD"},  // a surrogate
        {"\xFF"
         "a",
         u"\xFFFD"
         "a"},  // not a lead byte
    };
    for (const Case& c : broken) EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
}

}  // namespace
}  // namespace quorlen
