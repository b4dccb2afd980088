// Whole operations with their 1st, 2nd, ... n-th allocation refused in
// turn, until one runs without a refusal: loading, reading through the
// parser object, reloading, and a table move that must grow.
// Each refused run must end in an outcome the operation allows for a
// missing block, with nothing leaked. Single steps (a save, a grown Add,
// FindOrAddChild) are swept by the document model's own tests.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FailingAllocator.h"
#include "JXMLNode.h"
#include "KeyValueTable.h"
#include "TestText.h"
#include "TreeSnapshot.h"
#include "XMLParser.h"

using namespace kvortest;

namespace {

// What one refused block may cost a load that still succeeds.
enum Loss { kKeyOrGrowth, kNullValue, kEmptyValue, kNoTable, kLossKinds };
typedef std::array<int, kLossKinds> Losses;

void CompareTrees(const NodeSnapshot& want, const NodeSnapshot& got, const std::string& where, Losses& losses)
{
    const std::string here = where + "/" + SnapshotAscii(want.name);
    ASSERT_EQ(SnapshotAscii(want.name), SnapshotAscii(got.name)) << where;
    EXPECT_EQ(want.hasContent, got.hasContent) << here;
    EXPECT_EQ(SnapshotAscii(want.content), SnapshotAscii(got.content)) << here;
    if (!got.attributeStorage) {
        EXPECT_TRUE(got.attributes.empty()) << here;
        losses[kNoTable] += want.attributes.empty() ? 0 : 1;
    } else {
        // got must be want's attributes, in order, less the losses.
        size_t next = 0;
        for (const AttributeSnapshot& attribute : want.attributes) {
            if (next == got.attributes.size() || got.attributes[next].key != attribute.key) {
                ++losses[kKeyOrGrowth];
                continue;
            }
            const AttributeSnapshot& have = got.attributes[next++];
            if (have == attribute) {
                continue;
            }
            if (!have.hasValue || have.value.empty()) {
                ++losses[have.hasValue ? kEmptyValue : kNullValue];
            } else {
                ADD_FAILURE() << here << ": " << SnapshotAscii(attribute.key) << " reads " << SnapshotAscii(have.value);
            }
        }
        EXPECT_EQ(next, got.attributes.size()) << here << ": attributes the document does not hold";
    }
    ASSERT_EQ(want.children.size(), got.children.size()) << here;
    for (size_t index = 0; index < want.children.size(); ++index) {
        CompareTrees(want.children[index], got.children[index], here, losses);
    }
}

const char kDeviceUi[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- settings -->\n"
                         "<config version=\"2\" mode='fast'>\n"
                         "  <!-- first --><window id=\"main\" rect=\"0, 0, 240, 320\" color=\"255,128,0\">\n"
                         "    <title lang=\"en\">Main window</title>\n    <button id=\"ok\" x='10'/>\n"
                         "  </window>\n  <note>hi there</note>\n</config>\n";

// More attributes than a new table holds, so the load grows one.
std::string ManyAttributes()
{
    std::string text = "<r>\n<wide";
    for (int index = 0; index < 66; ++index) {
        text += " a" + std::to_string(index) + "='" + std::to_string(index) + "'";
    }
    return text + "/>\n<last>x</last></r>";
}

struct Document {
    const char* name;
    std::string text;
    bool utf16;
};

void PrintTo(const Document& document, std::ostream* out)
{
    *out << document.name;
}

NodeSnapshot SnapshotOf(IXmlNode* root)
{
    return NodeInspector::Snapshot(*dynamic_cast<CJXMLNode*>(root));
}

class LoadSweep : public ::testing::TestWithParam<Document> {};

TEST_P(LoadSweep, EveryRefusalFailsTheLoadOrCostsOneAttributeAndNothingLeaks)
{
    TempDir dir;
    const std::string file = dir.File("document.xml");
    GetParam().utf16 ? WriteUtf16File(file, GetParam().text) : WriteText(file, GetParam().text);
    const WString path = W(file);
    IXmlNode* root = nullptr;
    ASSERT_EQ(1u, CJXMLNode::CreateRootNodeFromFile(path.c_str(), &root));
    const NodeSnapshot expected = SnapshotOf(root);
    delete root;

    IXmlNode* const sentinel = reinterpret_cast<IXmlNode*>(&dir); // a failed load must leave it
    uint32_t result = 0;
    long live = 0;
    int failedLoads = 0;
    Losses seen = {};
    const long allocations = SweepAllocationFailures(
        [&] {
            live = LiveBlocks();
            root = sentinel;
            result = CJXMLNode::CreateRootNodeFromFile(path.c_str(), &root);
        },
        [&](long nth) {
            if (result == 0) {
                EXPECT_NE(0, nth) << "the clean load failed";
                EXPECT_EQ(sentinel, root) << nth << ": a failed load handed out a tree";
                ++failedLoads;
            } else {
                Losses losses = {};
                CompareTrees(expected, SnapshotOf(root), "allocation " + std::to_string(nth) + " refused", losses);
                EXPECT_LE(losses[0] + losses[1] + losses[2] + losses[3], nth == 0 ? 0 : 1) << nth;
                for (int kind = 0; kind < kLossKinds; ++kind) {
                    seen[kind] += losses[kind];
                }
                delete root;
            }
            EXPECT_EQ(live, LiveBlocks()) << "allocation " << nth << " refused: blocks leaked";
        });
    ASSERT_GT(allocations, 0);
    // Each kind of loss comes from a different block; a sweep that never
    // met one of them did not reach every allocation of the load.
    EXPECT_GT(failedLoads, 0);
    for (int kind = 0; kind < kLossKinds; ++kind) {
        EXPECT_GT(seen[kind], 0) << "loss kind " << kind << " never seen";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, LoadSweep,
    ::testing::Values(Document{"AnsiWithEverything", kDeviceUi, false},
                      Document{"Utf16WithEverything", kDeviceUi, true},
                      Document{"AnsiMultibyte", "<r k\xC3\xB6='\xE2\x82\xAC 1'><t>\xE6\x97\xA5\xE6\x9C\xAC</t></r>",
                               false},
                      Document{"TableGrowsWhileLoading", ManyAttributes(), false}),
    [](const ::testing::TestParamInfo<Document>& info) { return std::string(info.param.name); });

class QuerySweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteText(m_dir.File("ui.xml"), kDeviceUi);
        ASSERT_EQ(KVOR_OK, m_parser.LoadXmlFile(W(m_dir.File("ui.xml")).c_str()));
        ASSERT_EQ(KVOR_OK, m_parser.FindNode(KVOR_TEXT("window"), &m_window, nullptr, nullptr, nullptr));
        ASSERT_EQ(KVOR_OK, m_parser.FindNode(KVOR_TEXT("config"), &m_config, nullptr, nullptr, nullptr));
    }

    // Runs query with each allocation refused in turn; a query that keeps
    // nothing must end with the blocks it began with.
    void Sweep(const std::function<void()>& query, const std::function<void(long)>& check, bool keepsNothing = true)
    {
        long live = 0;
        SweepAllocationFailures(
            [&] {
                live = LiveBlocks();
                query();
            },
            [&](long nth) {
                check(nth);
                EXPECT_TRUE(!keepsNothing || live == LiveBlocks()) << "allocation " << nth << " refused: blocks leaked";
            });
    }

    TempDir m_dir;
    CKvorXMLParser m_parser;
    IXmlNode* m_window = nullptr;
    IXmlNode* m_config = nullptr;
};

TEST_F(QuerySweep, RectangleReadsWhollyOrFailsOnlyForItsWorkBuffer)
{
    const std::vector<int32_t> whole = {0, 0, 240, 320}, zero = {0, 0, 0, 0}, untouched = {9, 9, 9, 9};
    XmlRect rect = {9, 9, 9, 9};
    uint32_t result = 0;
    int refused = 0;
    Sweep(
        [&] {
            rect = {9, 9, 9, 9};
            result = m_parser.GetNodeAttr(KVOR_TEXT("rect"), m_window, &rect);
        },
        [&](long nth) {
            const std::vector<int32_t> got = {rect.left, rect.top, rect.right, rect.bottom};
            if (result == KVOR_OK) {
                EXPECT_EQ(whole, got) << nth;
            } else { // without its work buffer no number is read: the zero default, or as it was
                EXPECT_NE(0, nth);
                EXPECT_TRUE(got == zero || got == untouched) << nth;
            }
            refused += result == KVOR_NOT_FOUND ? 1 : 0;
        });
    EXPECT_EQ(1, refused);
}

TEST_F(QuerySweep, ChildListLacksExactlyTheChildWhoseLinkWasRefused)
{
    CXmlNodeList list;
    uint32_t result = 0;
    Sweep(
        [&] {
            list.RemoveAll();
            result = m_parser.GetAllChildNodes(m_config, &list);
        },
        [&](long nth) {
            std::vector<std::string> names;
            for (XmlNodeListItem* item = list.head; item != nullptr; item = item->next) {
                names.push_back(U8(item->node->GetName()));
            }
            list.RemoveAll();
            EXPECT_EQ(KVOR_OK, result) << nth;
            const std::vector<std::vector<std::string>> expected = {{"window", "note"}, {"note"}, {"window"}};
            EXPECT_EQ(expected[nth < 2 ? nth : 2], names) << nth;
        });
}

TEST_F(QuerySweep, FailedReloadLeavesNoTreeBehind)
{
    const WString path = W(m_dir.File("ui.xml"));
    const long live = LiveBlocks();
    uint32_t result = 0;
    int failed = 0;
    Sweep([&] { result = m_parser.LoadXmlFile(path.c_str()); },
          [&](long nth) {
              IXmlNode* found = nullptr;
              const uint32_t search = m_parser.FindNode(KVOR_TEXT("config"), &found, nullptr, nullptr, nullptr);
              EXPECT_TRUE(result == KVOR_OK || result == KVOR_NOT_FOUND) << nth;
              EXPECT_EQ(result, search) << nth << ": the tree answers as the load did";
              failed += result == KVOR_OK ? 0 : 1;
          },
          false);
    // A load replaces the tree, so blocks balance only over the whole
    // sweep, which ends with a complete load.
    EXPECT_EQ(live, LiveBlocks());
    EXPECT_GT(failed, 0);
}

void Fill(CKeyValueTable& table, int first, int count)
{
    for (int index = first; index < first + count; ++index) {
        table.Add(W("k" + std::to_string(index)).c_str(), KVOR_TEXT("v"), static_cast<uint32_t>(index));
    }
}

TEST(TableSweep, TakeAllThatMustGrowMovesEverythingOrNothing)
{
    std::unique_ptr<CKeyValueTable> target;
    std::unique_ptr<CKeyValueTable> source;
    const auto reset = [&] {
        target = std::make_unique<CKeyValueTable>();
        source = std::make_unique<CKeyValueTable>();
        Fill(*target, 0, 60);
        Fill(*source, 60, 10);
    };
    reset();
    int32_t moved = 0;
    int refused = 0;
    SweepAllocationFailures([&] { moved = target->TakeAll(source.get()); },
                            [&](long nth) {
                                const bool all = moved == 10;
                                const WCHAR* last = nullptr;
                                target->GetAt(target->GetCount() - 1, &last, nullptr, nullptr);
                                EXPECT_TRUE(all || moved == 0) << nth << ": moved " << moved;
                                EXPECT_EQ(all ? 70 : 60, target->GetCount()) << nth;
                                EXPECT_EQ(all ? 0 : 10, source->GetCount()) << nth << ": a refusal keeps the source";
                                EXPECT_EQ(all ? "k69" : "k59", U8(last)) << nth;
                                refused += all ? 0 : 1;
                                reset();
                            });
    EXPECT_EQ(1, refused);
}

} // namespace
