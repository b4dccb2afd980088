// The attribute table: exact keys, its stream format, its lock, and what a
// refused allocation may cost its operations.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include "MemoryStream.h"
#include "kvor/dom/KeyValueTable.h"
#include "DomTestSupport.h"

using namespace kvortest;

namespace {

typedef std::vector<unsigned char> Bytes;

// The entries of a table as "key=value/data", space separated; a null value reads "(null)".
std::string Entries(CKeyValueTable& table)
{
    std::string entries;
    const WCHAR *key = nullptr, *value = nullptr;
    uint32_t data = 0;
    for (int32_t index = 0; table.GetAt(index, &key, &value, &data) == 1; ++index) {
        entries += (index > 0 ? " " : "") + U8(key) + "=" + U8(value) + "/" + std::to_string(data);
    }
    return entries;
}

// Numbers (int) as 32-bit little-endian words; a text as its length and,
// unless empty, its characters and NUL.
struct Record {
    Record(int v) : bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)} {}
    Record(const std::string& text) : Record(static_cast<int>(text.size()))
    {
        for (char c : text.empty() ? text : text + '\0') {
            bytes.insert(bytes.end(), {static_cast<unsigned char>(c), 0});
        }
    }
    Record(const char* text) : Record(std::string(text)) {}
    Bytes bytes;
};
// The characters alone, without length or NUL.
Record Raw(const std::string& chars)
{
    Record raw(chars);
    raw.bytes = Bytes(raw.bytes.begin() + 4, raw.bytes.end() - 2);
    return raw;
}
Bytes Stream(std::initializer_list<Record> records)
{
    Bytes bytes;
    for (const Record& record : records) {
        bytes.insert(bytes.end(), record.bytes.begin(), record.bytes.end());
    }
    return bytes;
}

// One table through a sequence of calls: keys compare exactly and the first
// of duplicate keys is the one replaced or removed. A table whose array was
// refused does nothing and answers 0 to each of them.
TEST(KeyValueTable, ExactKeysAndFirstDuplicate)
{
    typedef CKeyValueTable Table;
    const struct { const char* name; int (*call)(Table&); int result; const char* after; } steps[] = {
        {"add of a present key", [](Table& t) { return t.Add(T("a"), T("2"), 0); }, 3, "a=1/0 b=x/0 a=2/0"},
        {"set", [](Table& t) { return t.Set(T("a"), T("9"), 5); }, 1, "a=9/5 b=x/0 a=2/0"},
        {"set of other case", [](Table& t) { return t.Set(T("A"), T("u"), 0); }, 4, "a=9/5 b=x/0 a=2/0 A=u/0"},
        {"remove of other case", [](Table& t) { return t.Remove(T("B")); }, 0, "a=9/5 b=x/0 a=2/0 A=u/0"},
        {"remove", [](Table& t) { return t.Remove(T("a")); }, 1, "b=x/0 a=2/0 A=u/0"},
        {"set to null", [](Table& t) { return t.Set(T("b"), nullptr, 7); }, 1, "b=(null)/7 a=2/0 A=u/0"},
        {"add of a null key", [](Table& t) { return t.Add(nullptr, T("v"), 0); }, 3, "b=(null)/7 a=2/0 A=u/0"},
        {"remove at the count", [](Table& t) { return t.RemoveAt(3); }, 0, "b=(null)/7 a=2/0 A=u/0"},
        {"remove at 0", [](Table& t) { return t.RemoveAt(0); }, 1, "a=2/0 A=u/0"},
        {"get at -1", [](Table& t) { return t.GetAt(-1, nullptr, nullptr, nullptr); }, 0, "a=2/0 A=u/0"},
        {"get at 0 into nothing", [](Table& t) { return t.GetAt(0, nullptr, nullptr, nullptr); }, 1, "a=2/0 A=u/0"},
        {"take all from itself", [](Table& t) { return t.TakeAll(&t); }, 0, "a=2/0 A=u/0"},
        {"take all from none", [](Table& t) { return t.TakeAll(nullptr); }, 0, "a=2/0 A=u/0"},
        {"no stream to load from", [](Table& t) { return t.LoadFrom(nullptr), 0; }, 0, "a=2/0 A=u/0"},
        {"no stream to save to", [](Table& t) { return t.SaveTo(nullptr), 0; }, 0, "a=2/0 A=u/0"},
    };
    CKeyValueTable table;
    table.Add(T("a"), T("1"), 0);
    table.Add(T("b"), T("x"), 0);
    std::optional<CKeyValueTable> bare;
    for (long nth = 1; !bare || bare->HasStorage(); ++nth) {
        ScopedAllocationFailure refuse(nth);
        bare.emplace();
    }
    for (const auto& step : steps) {
        EXPECT_EQ(step.call(table), step.result) << step.name;
        EXPECT_EQ(Entries(table), step.after) << step.name;
        EXPECT_EQ(step.call(*bare), 0) << step.name << ", without an array";
    }
    MemoryStream stream(Stream({1, "k", "v", 0}));
    bare->LoadFrom(&stream);
    bare->SaveTo(&stream);
    EXPECT_TRUE(stream.position == 0 && stream.bytes == Stream({1, "k", "v", 0}) && bare->GetCount() == 0);
}

TEST(KeyValueStream, SaveToWritesCountThenKeyValueAndDataPerEntryAndLoadFromReadsThemBack)
{
    CKeyValueTable table, copy;
    table.Add(T("a"), T("bc"), 0);
    table.Add(T("k"), nullptr, 0x01020304);
    table.Add(T("e"), T(""), 0);
    MemoryStream three;
    table.SaveTo(&three);
    EXPECT_EQ(three.bytes, Stream({3, "a", "bc", 0, "k", "", 0x01020304, "e", "", 0}));
    copy.Add(T("stale"), nullptr, 0);
    copy.LoadFrom(&three);
    EXPECT_EQ(Entries(copy), "a=bc/0 k=/16909060 e=/0") << "a null value reads back empty";
}

// The loader reads what the count says whatever the stream delivers: what a
// cut stream does not deliver reads as empty texts and zeros. Only a text
// too long for its buffer ends the load, since the stream cannot be followed.
TEST(KeyValueStream, CutStreamsLoadEveryCountedRecord)
{
    const std::string k259(259, 'k'), k260(260, 'k');
    const struct { const char* name; Bytes bytes; std::string loaded; } cases[] = {
        {"empty stream", {}, ""},
        {"negative count", Stream({-1, "a", "b", 0}), ""},
        {"count of three over one record", Stream({3, "k", "v", 4}), "k=v/4 =/0 =/0"},
        {"no data word", Stream({1, "k", "v"}), "k=v/0"},
        {"key cut in its characters", Stream({1, 3, Raw("ab")}), "ab=/0"},
        {"key of 259 characters", Stream({1, k259, "v", 0}), k259 + "=v/0"},
        {"key of 260 characters", Stream({2, "ok", "v", 1, k260, "v", 0}), "ok=v/1"},
        {"value of 260 characters", Stream({2, "ok", "v", 1, "k", k260, 0}), "ok=v/1"},
        {"huge text length", Stream({1, -1}), ""},
        {"terminator overwritten", Stream({1, 2, Raw("abc"), "v", 0}), "ab=v/0"},
    };
    for (const auto& c : cases) {
        CKeyValueTable table;
        table.Add(T("stale"), nullptr, 0);
        MemoryStream stream(c.bytes);
        table.LoadFrom(&stream);
        EXPECT_EQ(Entries(table), c.loaded) << c.name;
    }
}

// A count beyond memory ends when the table cannot grow: the first growth
// comes after 64 records of two texts each.
TEST(KeyValueStream, LoadEndsWhenTheTableCannotGrow)
{
    CKeyValueTable table;
    MemoryStream stream(Stream({100000}));
    {
        ScopedAllocationFailure refuseGrowth(2 * CKeyValueTable::kInitialCapacity + 1);
        table.LoadFrom(&stream);
    }
    EXPECT_EQ(table.GetCount(), CKeyValueTable::kInitialCapacity);
}

// Threads add (a Set of a new key), replace and remove their own keys in one
// table at once, through several growths of its array. Each call is atomic,
// so nothing may be lost, doubled or torn.
TEST(KeyValueTableConcurrency, SetAndRemoveFromFourThreadsLoseNothing)
{
    CKeyValueTable table;
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < 4; ++t) {
        threads.emplace_back([&table, &ready, t] {
            for (++ready; ready.load() < 4;) {
                std::this_thread::yield(); // all start together, so that the calls really overlap
            }
            for (uint32_t n = t * 1000; n < t * 1000 + 1000; ++n) {
                const WString key = W(std::to_string(n));
                table.Set(key.c_str(), T("added"), 0);
                table.Set(key.c_str(), T("set"), n);
                if (n % 2 == 1) {
                    table.Remove(key.c_str());
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    // Each even number below 4000 once, as key and data word.
    std::set<uint32_t> seen;
    const WCHAR *key = nullptr, *value = nullptr;
    uint32_t data = 0;
    for (int32_t index = 0; table.GetAt(index, &key, &value, &data) == 1; ++index) {
        EXPECT_TRUE(U8(key) == std::to_string(data) && U8(value) == "set" && data % 2 == 0) << U8(key);
        seen.insert(data);
    }
    EXPECT_EQ(table.GetCount(), 2000);
    EXPECT_EQ(seen.size(), 2000u);
}

// A table of another class may allocate its texts otherwise: TakeAll copies
// its entries and has it free its own. The root's slots answer identity.
TEST(KeyValueTable, TakeAllCopiesFromAnotherClassAndTheRootComparesIdentity)
{
    struct OtherTable : CKeyValueTable {
        OtherTable() { AppendClassId(9); }
    } source;
    source.Add(T("a"), T("1"), 7);
    source.Add(T("b"), nullptr, 0);
    CKeyValueTable table;
    table.Add(T("k"), T("v"), 0);
    EXPECT_EQ(table.TakeAll(&source), 2);
    EXPECT_EQ(Entries(table), "k=v/0 a=1/7 b=(null)/0");
    EXPECT_EQ(source.GetCount(), 0);
    EXPECT_EQ(table.GetHashCode(), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&table)));
    EXPECT_EQ(table.Equals(&table), 1);
    EXPECT_EQ(table.Equals(&source), 0);
}

// Two tables filled with "k<i>=v/<i>" entries: the one operated on and a source.
struct Tables {
    CKeyValueTable target, source;
    Tables(int targetCount, int sourceCount)
    {
        for (int i = 0; i < targetCount + sourceCount; ++i) {
            (i < targetCount ? target : source).Add(W("k" + std::to_string(i)).c_str(), T("v"), uint32_t(i));
        }
    }
};

// Each operation with its 1st, 2nd, ... allocation refused until it runs
// clean; per run the result, the target's count and last entry, and the
// source's count. No run may leak once the tables are gone.
TEST(KeyValueTableAllocation, RefusalsKeepEveryEntry)
{
    const struct {
        const char* name;
        int targetCount, sourceCount;
        int (*call)(Tables&);
        const char* runs;
    } cases[] = {
        {"set of a present key keeps the old value when its copy is refused", 1, 0,
         [](Tables& t) { return t.target.Set(T("k0"), T("new"), 2); }, "1 1:k0=v/2 0; 1 1:k0=new/2 0; "},
        // Growth refused; key copy refused; value copy refused, stored null; clean.
        {"add past capacity", CKeyValueTable::kInitialCapacity, 0,
         [](Tables& t) { return t.target.Add(T("new"), T("v"), 1); },
         "0 64:k63=v/63 0; 64 64:k63=v/63 0; 65 65:new=(null)/1 0; 65 65:new=v/1 0; "},
        {"take all that must grow moves everything or nothing", 60, 10,
         [](Tables& t) { return t.target.TakeAll(&t.source); }, "0 60:k59=v/59 10; 10 70:k69=v/69 0; "},
    };
    for (const auto& c : cases) {
        char runs[256] = ""; // off the heap, which is balanced after each run
        std::unique_ptr<Tables> tables(new Tables(c.targetCount, c.sourceCount));
        int result = 0;
        SweepBalanced([&] { result = c.call(*tables); },
                      [&](long) {
                          const WCHAR *key = nullptr, *value = nullptr;
                          uint32_t data = 0;
                          const int32_t count = tables->target.GetCount();
                          tables->target.GetAt(count - 1, &key, &value, &data);
                          std::snprintf(runs + std::strlen(runs), sizeof(runs) - std::strlen(runs),
                                        "%d %d:%s=%s/%u %d; ", result, count, U8(key).c_str(), U8(value).c_str(),
                                        data, tables->source.GetCount());
                          tables.reset(new Tables(c.targetCount, c.sourceCount));
                      });
        EXPECT_EQ(std::string(runs), c.runs) << c.name;
    }
}

} // namespace
