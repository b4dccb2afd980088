#include <gtest/gtest.h>

#include "DomTestSupport.h"
#include "FailingAllocator.h"
#include "KeyValueTable.h"

using kvortest::Entries;
using kvortest::W;

namespace {

#define T(s) KVOR_TEXT(s)

// A table class of its own, so that TakeAll must copy instead of moving.
class CTaggedTable : public CKeyValueTable {
public:
    static constexpr uint32_t kClassId = 42;
    CTaggedTable() { AppendClassId(kClassId); }
    int removeAllCalls = 0;
    void RemoveAll() override
    {
        ++removeAllCalls;
        CKeyValueTable::RemoveAll();
    }
};

TEST(KeyValueTable, ConstructedTableIsEmptyWithClassIdThree)
{
    CKeyValueTable table;
    EXPECT_TRUE(table.HasStorage());
    EXPECT_EQ(table.GetCount(), 0);
    EXPECT_EQ(table.GetClassId(), KVOR_CLASS_KEY_VALUE_TABLE);
    const WCHAR* key = nullptr;
    EXPECT_EQ(table.GetNext(&key, nullptr, nullptr), 0);
}

TEST(KeyValueTable, IdentityIsTheObjectItself)
{
    CKeyValueTable first;
    CKeyValueTable second;
    EXPECT_EQ(first.Equals(&first), 1);
    EXPECT_EQ(first.Equals(&second), 0);
    EXPECT_NE(first.GetHashCode(), second.GetHashCode());
}

TEST(KeyValueTable, SixtyFifthAddGrowsAndKeepsOrder)
{
    CKeyValueTable table;
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(table.Add(W("k" + std::to_string(i)).c_str(), T("v"), static_cast<uint32_t>(i)), i + 1);
    }
    EXPECT_EQ(table.Add(T("k64"), T("v"), 64), 65);
    for (int i = 0; i <= 64; ++i) {
        const WCHAR* key = nullptr;
        uint32_t data = 0;
        ASSERT_EQ(table.GetAt(i, &key, nullptr, &data), 1);
        EXPECT_EQ(kvortest::U8(key), "k" + std::to_string(i));
        EXPECT_EQ(data, static_cast<uint32_t>(i));
    }
}

TEST(KeyValueTable, SetAndRemoveMatchExactlyAndTakeTheFirstDuplicate)
{
    struct Step {
        const char* name;
        int (*action)(CKeyValueTable&);
        int result;
        std::vector<std::string> after;
    };
    const Step steps[] = {
        {"duplicate add keeps both", [](CKeyValueTable& t) { return t.Add(T("a"), T("2"), 0); }, 3,
         {"a=1/0", "b=x/0", "a=2/0"}},
        {"set replaces the first only", [](CKeyValueTable& t) { return t.Set(T("a"), T("9"), 5); }, 1,
         {"a=9/5", "b=x/0", "a=2/0"}},
        {"set of other case adds", [](CKeyValueTable& t) { return t.Set(T("A"), T("u"), 0); }, 4,
         {"a=9/5", "b=x/0", "a=2/0", "A=u/0"}},
        {"remove of other case misses", [](CKeyValueTable& t) { return t.Remove(T("B")); }, 0,
         {"a=9/5", "b=x/0", "a=2/0", "A=u/0"}},
        {"remove takes the first", [](CKeyValueTable& t) { return t.Remove(T("a")); }, 1,
         {"b=x/0", "a=2/0", "A=u/0"}},
        {"set with null value", [](CKeyValueTable& t) { return t.Set(T("b"), nullptr, 7); }, 1,
         {"b=(null)/7", "a=2/0", "A=u/0"}},
        {"null key adds nothing", [](CKeyValueTable& t) { return t.Add(nullptr, T("v"), 0); }, 3,
         {"b=(null)/7", "a=2/0", "A=u/0"}},
        {"remove of null key", [](CKeyValueTable& t) { return t.Remove(nullptr); }, 0,
         {"b=(null)/7", "a=2/0", "A=u/0"}},
    };
    CKeyValueTable table;
    table.Add(T("a"), T("1"), 0);
    table.Add(T("b"), T("x"), 0);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_EQ(step.action(table), step.result);
        EXPECT_EQ(Entries(table), step.after);
    }
}

TEST(KeyValueTable, RemoveAtShiftsLaterEntriesDown)
{
    CKeyValueTable table;
    table.Add(T("a"), T("1"), 1);
    table.Add(T("b"), nullptr, 2);
    table.Add(T("c"), T("3"), 3);
    EXPECT_EQ(table.RemoveAt(3), 0);
    EXPECT_EQ(table.RemoveAt(-1), 0);
    EXPECT_EQ(table.RemoveAt(0), 1);
    EXPECT_EQ(Entries(table), (std::vector<std::string>{"b=(null)/2", "c=3/3"}));
    EXPECT_EQ(table.GetAt(2, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(table.GetAt(-1, nullptr, nullptr, nullptr), 0);
}

TEST(KeyValueTable, CursorWalksEntriesAndIsNotAdjustedByRemovals)
{
    CKeyValueTable table;
    table.Add(T("a"), T("1"), 0);
    table.Add(T("b"), T("2"), 0);
    table.Add(T("c"), T("3"), 0);
    const WCHAR* key = nullptr;
    ASSERT_EQ(table.GetNext(&key, nullptr, nullptr), 1);
    EXPECT_EQ(kvortest::U8(key), "a");
    table.Remove(T("a"));
    // The cursor stays at index 1, which now holds "c": "b" is skipped.
    ASSERT_EQ(table.GetNext(&key, nullptr, nullptr), 1);
    EXPECT_EQ(kvortest::U8(key), "c");
    EXPECT_EQ(table.GetNext(&key, nullptr, nullptr), 0);
    table.ResetCursor();
    ASSERT_EQ(table.GetNext(&key, nullptr, nullptr), 1);
    EXPECT_EQ(kvortest::U8(key), "b");
}

TEST(KeyValueTable, DestructionAndRemoveAllFreeEveryText)
{
    const long before = kvortest::LiveBlocks();
    {
        CKeyValueTable table;
        for (int i = 0; i < 100; ++i) {
            table.Add(T("key"), i % 2 ? T("value") : nullptr, 0);
        }
        table.RemoveAll();
        EXPECT_EQ(table.GetCount(), 0);
        table.Add(T("again"), T("v"), 0);
    }
    EXPECT_EQ(kvortest::LiveBlocks(), before);
}

TEST(KeyValueTable, TakeAllMovesFromATableWithoutCopying)
{
    CKeyValueTable source;
    source.Add(T("x"), T("1"), 1);
    source.Add(T("y"), nullptr, 2);
    const WCHAR* sourceKey = nullptr;
    source.GetAt(0, &sourceKey, nullptr, nullptr);
    CKeyValueTable target;
    target.Add(T("t"), T("0"), 0);

    EXPECT_EQ(target.TakeAll(&source), 2);
    EXPECT_EQ(source.GetCount(), 0);
    EXPECT_TRUE(source.HasStorage());
    EXPECT_EQ(Entries(target), (std::vector<std::string>{"t=0/0", "x=1/1", "y=(null)/2"}));
    const WCHAR* movedKey = nullptr;
    target.GetAt(1, &movedKey, nullptr, nullptr);
    EXPECT_EQ(movedKey, sourceKey) << "the text changed owner without a copy";
    // The source is usable again.
    EXPECT_EQ(source.Add(T("z"), T("3"), 3), 1);
}

TEST(KeyValueTable, TakeAllCopiesFromAnotherClassAndEmptiesIt)
{
    CTaggedTable source;
    ASSERT_EQ(source.GetClassId(), CTaggedTable::kClassId);
    source.Add(T("x"), T("1"), 1);
    source.Add(T("y"), nullptr, 2);
    const WCHAR* sourceKey = nullptr;
    source.GetAt(0, &sourceKey, nullptr, nullptr);
    CKeyValueTable target;

    EXPECT_EQ(target.TakeAll(&source), 2);
    EXPECT_EQ(source.GetCount(), 0);
    EXPECT_EQ(source.removeAllCalls, 1) << "the source frees its own texts";
    EXPECT_EQ(Entries(target), (std::vector<std::string>{"x=1/1", "y=(null)/2"}));
    const WCHAR* copiedKey = nullptr;
    target.GetAt(0, &copiedKey, nullptr, nullptr);
    EXPECT_NE(copiedKey, sourceKey);
}

TEST(KeyValueTable, MoveAllFromGrowsBeyondTheCapacity)
{
    CKeyValueTable source;
    CKeyValueTable target;
    for (int i = 0; i < 60; ++i) {
        source.Add(W("s" + std::to_string(i)).c_str(), nullptr, 0);
        target.Add(W("t" + std::to_string(i)).c_str(), nullptr, 0);
    }
    EXPECT_EQ(target.MoveAllFrom(&source), 60);
    EXPECT_EQ(target.GetCount(), 120);
    const WCHAR* key = nullptr;
    ASSERT_EQ(target.GetAt(119, &key, nullptr, nullptr), 1);
    EXPECT_EQ(kvortest::U8(key), "s59");
    EXPECT_EQ(target.Add(T("more"), nullptr, 0), 121);
}

TEST(KeyValueTable, TakingFromItselfOrNothingChangesNothing)
{
    CKeyValueTable table;
    table.Add(T("a"), T("1"), 0);
    EXPECT_EQ(table.TakeAll(&table), 0);
    EXPECT_EQ(table.MoveAllFrom(&table), 0);
    EXPECT_EQ(table.TakeAll(nullptr), 0);
    EXPECT_EQ(Entries(table), (std::vector<std::string>{"a=1/0"}));
}

TEST(KeyValueTable, AllocTextRefusesCountsBeyondSignedRange)
{
    CKeyValueTable table;
    EXPECT_EQ(table.AllocText(0x80000000u), nullptr);
    WCHAR* text = table.AllocText(4);
    EXPECT_NE(text, nullptr);
    table.FreeText(text);
    table.FreeText(nullptr);
}

} // namespace
