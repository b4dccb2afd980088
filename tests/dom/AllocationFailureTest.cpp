// Each operation runs with its 1st, 2nd, ... allocation refused until it
// runs clean; every refusal must give the documented outcome and leak nothing.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "DomTestSupport.h"
#include "FailingAllocator.h"
#include "FileWrapper.h"
#include "JXMLNode.h"

using kvortest::Entries;
using kvortest::LiveBlocks;
using kvortest::SweepAllocationFailures;
using kvortest::W;

namespace {

#define T(s) KVOR_TEXT(s)

// Names the refused allocation in failure messages. (A SCOPED_TRACE would
// keep a block of the test framework alive and spoil the leak counts.)
struct Refused {
    long nth;
};
std::ostream& operator<<(std::ostream& out, const Refused& refused)
{
    return out << "with allocation " << refused.nth << " refused (0: none)";
}

std::unique_ptr<CKeyValueTable> FullTable()
{
    std::unique_ptr<CKeyValueTable> table(new CKeyValueTable);
    for (int i = 0; i < CKeyValueTable::kInitialCapacity; ++i) {
        table->Add(W("k" + std::to_string(i)).c_str(), T("v"), 0);
    }
    return table;
}

// Allocations of an Add that grows: the larger array, the key, the value.
TEST(AllocationFailure, AddThatGrows)
{
    const long before = LiveBlocks();
    {
        std::unique_ptr<CKeyValueTable> table = FullTable();
        const std::vector<std::string> full = Entries(*table);
        int32_t result = -1;
        const long allocations = SweepAllocationFailures(
            [&] { result = table->Add(T("new"), T("value"), 3); },
            [&](long nth) {
                const Refused refused{nth};
                std::vector<std::string> expected = full;
                switch (nth) {
                case 1: // the array: nothing changes
                    EXPECT_EQ(result, 0) << refused;
                    break;
                case 2: // the key copy: nothing added, the old count answered
                    EXPECT_EQ(result, 64) << refused;
                    break;
                case 3: // the value copy: stored without a value
                    EXPECT_EQ(result, 65) << refused;
                    expected.push_back("new=(null)/3");
                    break;
                default:
                    EXPECT_EQ(nth, 0) << refused;
                    EXPECT_EQ(result, 65) << refused;
                    expected.push_back("new=value/3");
                }
                EXPECT_EQ(Entries(*table), expected) << refused;
                table = FullTable();
            });
        EXPECT_EQ(allocations, 3);
    }
    EXPECT_EQ(LiveBlocks(), before);
}

TEST(AllocationFailure, SetKeepsTheOldValueWhenTheCopyFails)
{
    const long before = LiveBlocks();
    {
        CKeyValueTable table;
        table.Add(T("k"), T("old"), 1);
        int32_t result = -1;
        const long allocations = SweepAllocationFailures(
            [&] { result = table.Set(T("k"), T("new"), 2); },
            [&](long nth) {
                const Refused refused{nth};
                EXPECT_EQ(result, 1) << refused;
                EXPECT_EQ(Entries(table), (std::vector<std::string>{nth == 1 ? "k=old/2" : "k=new/2"})) << refused;
                table.Set(T("k"), T("old"), 1);
            });
        EXPECT_EQ(allocations, 1);
    }
    EXPECT_EQ(LiveBlocks(), before);
}

// The new child is the node, its table's events and array, and its link.
// Without an event the table still works; without anything else no child
// is added.
TEST(AllocationFailure, FindOrAddChild)
{
    const long before = LiveBlocks();
    {
        CJXMLNode root(T("root"));
        IXmlNode* existing = nullptr;
        ASSERT_EQ(root.FindOrAddChild(T("a"), &existing), 1u);
        IXmlNode* const untouched = reinterpret_cast<IXmlNode*>(&root);
        IXmlNode* out = untouched;
        uint32_t result = 0;
        std::vector<uint32_t> results;
        results.reserve(64);
        const long baseline = LiveBlocks();
        SweepAllocationFailures(
            [&] { result = root.FindOrAddChild(T("b"), &out); },
            [&](long nth) {
                const Refused refused{nth};
                results.push_back(result);
                IXmlNode* found = nullptr;
                if (result == 0) {
                    EXPECT_EQ(out, untouched) << refused;
                    EXPECT_EQ(root.FindFirstChild(T("b"), &found), 0u) << refused;
                } else {
                    ASSERT_NE(out, untouched) << refused;
                    EXPECT_EQ(root.FindFirstChild(T("b"), &found), 1u) << refused;
                    EXPECT_EQ(found, out) << refused;
                    out->SetAttrString(T("x"), T("1"));
                    EXPECT_EQ(kvortest::U8(out->GetAttrString(T("x"), nullptr)), "1") << refused;
                    root.RemoveChild(out);
                    delete out;
                }
                out = untouched;
                EXPECT_EQ(LiveBlocks(), baseline) << refused;
            });
        ASSERT_GE(results.size(), 4u);
        EXPECT_EQ(results.front(), 0u) << "the node itself";
        EXPECT_EQ(results[results.size() - 2], 0u) << "its link in the list";
        EXPECT_EQ(results.back(), 1u) << "the clean run";
    }
    EXPECT_EQ(LiveBlocks(), before);
}

// root a="1" > [child > [leaf], other "t"]
const std::vector<std::string> kFullDocument = {
    "<?xml version=\"1.0\"?>", "<root a=\"1\">", "    <child>", "        <leaf />", "    </child>",
    "    <other>",             "    t",          "    </other>", "</root>"};

std::vector<std::string> Without(size_t first, size_t last)
{
    std::vector<std::string> lines = kFullDocument;
    lines.erase(lines.begin() + static_cast<long>(first), lines.begin() + static_cast<long>(last) + 1);
    return lines;
}

std::vector<std::string> ReadLines(const std::string& path)
{
    const std::vector<unsigned char> bytes = kvortest::ReadBytes(path);
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        line.push_back(static_cast<char>(bytes[i]));
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
            lines.push_back(line.substr(0, line.size() - 2));
            line.clear();
        }
    }
    return lines;
}

// A refused line buffer drops its element with the subtree; a refused
// WriteLine drops its line; a refusal while creating the file fails the
// save. Every one of these happens once over the sweep.
TEST(AllocationFailure, SaveToFile)
{
    const long before = LiveBlocks();
    {
        CJXMLNode root(T("root"));
        root.SetAttrString(T("a"), T("1"));
        IXmlNode* child = nullptr;
        IXmlNode* leaf = nullptr;
        IXmlNode* other = nullptr;
        root.FindOrAddChild(T("child"), &child);
        child->FindOrAddChild(T("leaf"), &leaf);
        root.FindOrAddChild(T("other"), &other);
        JXMLNodeTestPeer::SetContent(*static_cast<CJXMLNode*>(other), "t");
        kvortest::TempDir dir;
        const std::string path = dir.File("out.xml");
        const kvortest::WString widePath = W(path);

        const std::map<std::vector<std::string>, std::string> outcomes = {
            {kFullDocument, "whole"},          {Without(1, 8), "root left out"},
            {Without(2, 4), "child left out"}, {Without(5, 7), "other left out"},
            {Without(0, 0), "line 0 lost"},    {Without(1, 1), "line 1 lost"},
            {Without(2, 2), "line 2 lost"},    {Without(3, 3), "line 3 lost or leaf left out"},
            {Without(4, 4), "line 4 lost"},    {Without(5, 5), "line 5 lost"},
            {Without(6, 6), "line 6 lost"},    {Without(7, 7), "line 7 lost"},
            {Without(8, 8), "line 8 lost"}};
        std::multiset<std::string> seen;
        uint32_t result = 0;
        long baseline = LiveBlocks(); // moved on by the blocks of `seen`
        SweepAllocationFailures(
            [&] {
                std::remove(path.c_str());
                result = root.SaveToFile(widePath.c_str());
            },
            [&](long nth) {
                const Refused refused{nth};
                EXPECT_EQ(LiveBlocks(), baseline) << refused;
                if (result == 0) {
                    seen.insert("not saved");
                } else {
                    const auto outcome = outcomes.find(ReadLines(path));
                    EXPECT_NE(outcome, outcomes.end()) << "an outcome no single refusal explains " << refused;
                    seen.insert(outcome != outcomes.end() ? outcome->second : "unexplained");
                }
                baseline = LiveBlocks();
            });
        for (const auto& outcome : outcomes) {
            EXPECT_GE(seen.count(outcome.second), 1u) << outcome.second;
        }
        EXPECT_EQ(seen.count("line 3 lost or leaf left out"), 2u);
        EXPECT_EQ(seen.count("whole"), 1u) << "only the clean run";
    }
    EXPECT_EQ(LiveBlocks(), before);
}

TEST(AllocationFailure, WriteLine)
{
    const long before = LiveBlocks();
    {
        kvortest::TempDir dir;
        CFileWrapper file;
        ASSERT_EQ(file.Open(W(dir.File("lines")).c_str(), CREATE_ALWAYS, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL),
                  1u);
        uint32_t result = 0;
        const long allocations = SweepAllocationFailures([&] { result = file.WriteLine(T("abc")); },
                                                         [&](long nth) {
                                                             const Refused refused{nth};
                                                             EXPECT_EQ(result, nth == 1 ? 0u : 10u) << refused;
                                                         });
        EXPECT_EQ(allocations, 1);
        file.Close();
        EXPECT_EQ(kvortest::ReadBytes(dir.File("lines")).size(), 10u) << "only the clean run wrote";
    }
    EXPECT_EQ(LiveBlocks(), before);
}

} // namespace
