// The attribute table: exact keys, its stream format, its lock, and what a
// refused allocation may cost its operations.
#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "DomTestSupport.h"
#include "FailingAllocator.h"
#include "kvor/dom/KeyValueTable.h"

using namespace kvortest;

namespace {

#define T(s) KVOR_TEXT(s)
typedef std::vector<unsigned char> Bytes;

// One table through a sequence of calls: keys compare exactly and the first
// of duplicate keys is the one replaced or removed.
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
    };
    CKeyValueTable table;
    table.Add(T("a"), T("1"), 0);
    table.Add(T("b"), T("x"), 0);
    for (const auto& step : steps) {
        EXPECT_EQ(step.call(table), step.result) << step.name;
        EXPECT_EQ(Entries(table), step.after) << step.name;
    }
}

// Numbers as 32-bit little-endian; a text as its length and, unless empty, its characters and NUL.
struct StreamBuilder {
    Bytes bytes;
    StreamBuilder& Int(uint32_t v)
    {
        bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
        return *this;
    }
    StreamBuilder& Chars(const std::string& text)
    {
        for (char c : text) {
            bytes.insert(bytes.end(), {static_cast<unsigned char>(c), 0});
        }
        return *this;
    }
    StreamBuilder& Text(const std::string& text)
    {
        return text.empty() ? Int(0) : Int(static_cast<uint32_t>(text.size())).Chars(text + '\0');
    }
};

TEST(KeyValueStream, SaveToWritesCountThenKeyValueAndDataPerEntryAndLoadFromReadsThemBack)
{
    CKeyValueTable table;
    table.Add(T("a"), T("bc"), 0);
    table.Add(T("k"), nullptr, 0x01020304);
    table.Add(T("e"), T(""), 0);
    MemoryStream three;
    table.SaveTo(&three);
    EXPECT_EQ(three.bytes, StreamBuilder().Int(3).Text("a").Text("bc").Int(0).Text("k").Text("").Int(0x01020304)
                               .Text("e").Text("").Int(0).bytes);
    CKeyValueTable copy;
    copy.Add(T("stale"), nullptr, 0);
    copy.LoadFrom(&three);
    EXPECT_EQ(Entries(copy), "a=bc/0 k=/16909060 e=/0") << "a null value reads back empty";
}

// The loader reads what the count says whatever the stream delivers: what a
// cut stream does not deliver reads as empty texts and zeros. Only a text
// too long for its buffer ends the load, since the stream cannot be followed.
TEST(KeyValueStream, CutStreamsLoadEveryCountedRecord)
{
    const struct { const char* name; Bytes bytes; std::string loaded; } cases[] = {
        {"empty stream", {}, ""},
        {"negative count", StreamBuilder().Int(0xFFFFFFFF).Text("a").Text("b").Int(0).bytes, ""},
        {"count of three over one record", StreamBuilder().Int(3).Text("k").Text("v").Int(4).bytes,
         "k=v/4 =/0 =/0"},
        {"no data word", StreamBuilder().Int(1).Text("k").Text("v").bytes, "k=v/0"},
        {"key cut in its characters", StreamBuilder().Int(1).Int(3).Chars("ab").bytes, "ab=/0"},
        {"key of 259 characters", StreamBuilder().Int(1).Text(std::string(259, 'k')).Text("v").Int(0).bytes,
         std::string(259, 'k') + "=v/0"},
        {"key of 260 characters",
         StreamBuilder().Int(2).Text("ok").Text("v").Int(1).Text(std::string(260, 'k')).Text("v").Int(0).bytes,
         "ok=v/1"},
        {"huge text length", StreamBuilder().Int(1).Int(0xFFFFFFFF).bytes, ""},
        {"terminator overwritten", StreamBuilder().Int(1).Int(2).Chars("abc").Text("v").Int(0).bytes, "ab=v/0"},
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
    MemoryStream stream(StreamBuilder().Int(100000).bytes);
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
    std::multiset<std::string> expected, seen;
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 1000; i += 2) {
            expected.insert("k" + std::to_string(t) + "-" + std::to_string(i) + "=set/" + std::to_string(i));
        }
        threads.emplace_back([&table, &ready, t] {
            for (++ready; ready.load() < 4;) {
                std::this_thread::yield(); // all start together, so that the calls really overlap
            }
            for (int i = 0; i < 1000; ++i) {
                const WString key = W("k" + std::to_string(t) + "-" + std::to_string(i));
                table.Set(key.c_str(), T("added"), 0);
                table.Set(key.c_str(), T("set"), static_cast<uint32_t>(i));
                if (i % 2 == 1) {
                    table.Remove(key.c_str());
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::istringstream entries(Entries(table));
    for (std::string entry; entries >> entry;) {
        seen.insert(entry);
    }
    EXPECT_TRUE(seen == expected) << seen.size() << " entries, " << expected.size() << " expected";
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

// A table's count and last entry, as "count:key=value/data".
std::string Tail(CKeyValueTable& table)
{
    const WCHAR *key = nullptr, *value = nullptr;
    uint32_t data = 0;
    table.GetAt(table.GetCount() - 1, &key, &value, &data);
    return std::to_string(table.GetCount()) + ":" + U8(key) + "=" + U8(value) + "/" + std::to_string(data);
}

// Each operation with its 1st, 2nd, ... allocation refused until it runs
// clean; per run the result, the target's tail and the source's count. No
// run may leak once the tables are gone.
TEST(KeyValueTableAllocation, RefusalsKeepEveryEntry)
{
    const struct {
        const char* name;
        int targetCount, sourceCount;
        int (*call)(Tables&);
        std::vector<std::string> runs;
    } cases[] = {
        {"set of a present key keeps the old value when its copy is refused", 1, 0,
         [](Tables& t) { return t.target.Set(T("k0"), T("new"), 2); }, {"1 1:k0=v/2 0", "1 1:k0=new/2 0"}},
        // Growth refused; key copy refused; value copy refused, stored null; clean.
        {"add past capacity", CKeyValueTable::kInitialCapacity, 0,
         [](Tables& t) { return t.target.Add(T("new"), T("v"), 1); },
         {"0 64:k63=v/63 0", "64 64:k63=v/63 0", "65 65:new=(null)/1 0", "65 65:new=v/1 0"}},
        {"take all that must grow moves everything or nothing", 60, 10,
         [](Tables& t) { return t.target.TakeAll(&t.source); }, {"0 60:k59=v/59 10", "10 70:k69=v/69 0"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> runs;
        std::unique_ptr<Tables> tables;
        long live = 0;
        const auto reset = [&] {
            live = LiveBlocks();
            tables.reset(new Tables(c.targetCount, c.sourceCount));
        };
        reset();
        int result = 0;
        SweepAllocationFailures([&] { result = c.call(*tables); },
                                [&](long nth) {
                                    // Kept off the heap until the balance is checked.
                                    char run[64];
                                    std::snprintf(run, sizeof(run), "%d %s %d", result, Tail(tables->target).c_str(),
                                                  tables->source.GetCount());
                                    tables.reset();
                                    EXPECT_EQ(LiveBlocks(), live) << c.name << ", allocation " << nth << ": leaked";
                                    runs.push_back(run);
                                    reset();
                                });
        EXPECT_EQ(runs, c.runs) << c.name;
    }
}

} // namespace
