#include <gtest/gtest.h>

#include "DomTestSupport.h"
#include "KeyValueTable.h"

using kvortest::Entries;
using kvortest::W;

namespace {

#define T(s) KVOR_TEXT(s)
typedef std::vector<std::string> Lines;

TEST(KeyValueTable, SixtyFifthAddGrowsAndKeepsOrder)
{
    CKeyValueTable table;
    Lines expected;
    for (int i = 0; i < 65; ++i) {
        EXPECT_EQ(table.Add(W("k" + std::to_string(i)).c_str(), T("v"), static_cast<uint32_t>(i)), i + 1);
        expected.push_back("k" + std::to_string(i) + "=v/" + std::to_string(i));
    }
    EXPECT_EQ(Entries(table), expected);
}

// One table through a sequence of calls: keys compare exactly and the first
// of duplicate keys is the one replaced or removed.
TEST(KeyValueTable, ExactKeysAndFirstDuplicate)
{
    struct Step {
        const char* name;
        int (*action)(CKeyValueTable&);
        int result;
        Lines after;
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
        {"remove at count", [](CKeyValueTable& t) { return t.RemoveAt(3); }, 0, {"b=(null)/7", "a=2/0", "A=u/0"}},
        {"remove at 0 shifts down", [](CKeyValueTable& t) { return t.RemoveAt(0); }, 1, {"a=2/0", "A=u/0"}},
        {"get at -1", [](CKeyValueTable& t) { return t.GetAt(-1, nullptr, nullptr, nullptr); }, 0,
         {"a=2/0", "A=u/0"}},
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

TEST(KeyValueTable, CursorIsNotAdjustedByRemovals)
{
    CKeyValueTable table;
    for (const WCHAR* key : {T("a"), T("b"), T("c")}) {
        table.Add(key, nullptr, 0);
    }
    const WCHAR* key = nullptr;
    ASSERT_EQ(table.GetNext(&key, nullptr, nullptr), 1);
    table.Remove(T("a"));
    ASSERT_EQ(table.GetNext(&key, nullptr, nullptr), 1);
    EXPECT_EQ(kvortest::U8(key), "c") << "index 1 now holds c";
    EXPECT_EQ(table.GetNext(&key, nullptr, nullptr), 0);
}

// A table class of its own, so that TakeAll must copy instead of moving.
class CTaggedTable : public CKeyValueTable {
public:
    CTaggedTable() { AppendClassId(42); }
};

TEST(KeyValueTable, TakeAllMovesFromItsOwnClassAndCopiesFromOthers)
{
    CKeyValueTable plain;
    CTaggedTable tagged;
    for (CKeyValueTable* source : {static_cast<CKeyValueTable*>(&plain), static_cast<CKeyValueTable*>(&tagged)}) {
        const bool moves = source == &plain;
        SCOPED_TRACE(moves ? "same class" : "other class");
        source->Add(T("x"), T("1"), 1);
        source->Add(T("y"), nullptr, 2);
        const WCHAR* sourceKey = nullptr;
        source->GetAt(0, &sourceKey, nullptr, nullptr);
        CKeyValueTable target;
        target.Add(T("t"), T("0"), 0);

        EXPECT_EQ(target.TakeAll(source), 2);
        EXPECT_EQ(source->GetCount(), 0);
        EXPECT_EQ(Entries(target), (Lines{"t=0/0", "x=1/1", "y=(null)/2"}));
        const WCHAR* takenKey = nullptr;
        target.GetAt(1, &takenKey, nullptr, nullptr);
        EXPECT_EQ(takenKey == sourceKey, moves);
        EXPECT_EQ(source->Add(T("z"), nullptr, 0), 1) << "the source stays usable";
        EXPECT_EQ(target.TakeAll(&target), 0) << "from itself";
    }
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
    const WCHAR* key = nullptr;
    ASSERT_EQ(target.GetAt(119, &key, nullptr, nullptr), 1);
    EXPECT_EQ(kvortest::U8(key), "s59");
    EXPECT_EQ(target.Add(T("more"), nullptr, 0), 121);
}

} // namespace
