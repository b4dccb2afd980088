// Whole operations with their 1st, 2nd, ... n-th allocation refused in
// turn, until one runs without a refusal: loading, saving, searching and
// reading, adding children and growing a table. Each refused run must end
// in one of the outcomes the operation allows for a missing block, with
// nothing leaked; the single-step refusals are the dom and reader tests'.
#include <algorithm>
#include <cstdio>
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

namespace {

using kvortest::LiveBlocks;
using kvortest::SweepAllocationFailures;
using kvortest::TempDir;
using kvortest::W;
using kvortest::WString;

// ---- Trees after a refused allocation ---------------------------------------

// How far a loaded tree may stray from the clean one: each refused block
// costs at most one of these.
struct TreeDifferences {
    int attributeMissing = 0;     // its key copy, or the grown entry array, was refused
    int valueNull = 0;            // its value copy was refused
    int valueEmpty = 0;           // the value token's copy was refused: it read as empty
    int tableWithoutStorage = 0;  // the element's entry array was refused: no attributes at all

    int Total() const { return attributeMissing + valueNull + valueEmpty + tableWithoutStorage; }
};

// got must be expected's attributes, in order, less the allowed losses.
void CompareAttributes(const NodeSnapshot& expected, const NodeSnapshot& got, const std::string& where,
                       TreeDifferences& differences)
{
    if (!got.attributeStorage) {
        EXPECT_TRUE(got.attributes.empty()) << where;
        if (!expected.attributes.empty()) {
            ++differences.tableWithoutStorage;
        }
        return;
    }
    size_t next = 0;
    for (const AttributeSnapshot& want : expected.attributes) {
        if (next < got.attributes.size() && got.attributes[next].key == want.key) {
            const AttributeSnapshot& have = got.attributes[next++];
            if (have == want) {
                continue;
            }
            if (!have.hasValue) {
                ++differences.valueNull;
            } else if (have.value.empty()) {
                ++differences.valueEmpty;
            } else {
                ADD_FAILURE() << where << ": attribute " << SnapshotAscii(want.key) << " reads '"
                              << SnapshotAscii(have.value) << "'";
            }
            continue;
        }
        ++differences.attributeMissing;
    }
    EXPECT_EQ(next, got.attributes.size()) << where << ": attributes the document does not hold";
}

void CompareTrees(const NodeSnapshot& expected, const NodeSnapshot& got, const std::string& where,
                  TreeDifferences& differences)
{
    const std::string here = where + "/" + SnapshotAscii(expected.name);
    ASSERT_EQ(SnapshotAscii(expected.name), SnapshotAscii(got.name)) << where;
    EXPECT_EQ(expected.hasContent, got.hasContent) << here;
    EXPECT_EQ(SnapshotAscii(expected.content), SnapshotAscii(got.content)) << here;
    CompareAttributes(expected, got, here, differences);
    ASSERT_EQ(expected.children.size(), got.children.size()) << here;
    for (size_t index = 0; index < expected.children.size(); ++index) {
        CompareTrees(expected.children[index], got.children[index], here, differences);
    }
}

// ---- Documents ----------------------------------------------------------------

struct Document {
    const char* name;
    std::string text;
    bool utf16;
};

const char kDeviceUi[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- settings -->\n"
    "<config version=\"2\" mode='fast'>\n"
    "  <!-- first --><window id=\"main\" rect=\"0, 0, 240, 320\" color=\"255,128,0\">\n"
    "    <title lang=\"en\">Main window</title>\n"
    "    <button id=\"ok\" x='10'/>\n"
    "  </window>\n"
    "  <note>hi there</note>\n"
    "</config>\n";

// More attributes than a new table holds, so the load grows one.
std::string ManyAttributes()
{
    std::string text = "<r>\n<wide";
    for (int index = 0; index < 66; ++index) {
        text += " a" + std::to_string(index) + "='" + std::to_string(index) + "'";
    }
    return text + "/>\n<last>x</last></r>";
}

std::vector<Document> Documents()
{
    return {
        {"AnsiWithEverything", kDeviceUi, false},
        {"Utf16WithEverything", kDeviceUi, true},
        {"AnsiMultibyte", "<r k\xC3\xB6='\xE2\x82\xAC 1'><t>\xE6\x97\xA5\xE6\x9C\xAC</t></r>", false},
        {"TableGrowsWhileLoading", ManyAttributes(), false},
    };
}

void WriteDocument(const Document& document, const std::string& path)
{
    if (document.utf16) {
        kvortest::WriteUtf16File(path, document.text);
    } else {
        kvortest::WriteText(path, document.text);
    }
}

NodeSnapshot SnapshotOf(IXmlNode* root)
{
    CJXMLNode* element = dynamic_cast<CJXMLNode*>(root);
    EXPECT_NE(element, nullptr);
    return element != nullptr ? NodeInspector::Snapshot(*element) : NodeSnapshot();
}

// Stands in the caller's variable; a failed load must leave it as it was.
IXmlNode* Sentinel()
{
    static int marker = 0;
    return reinterpret_cast<IXmlNode*>(&marker);
}

class LoadSweep : public ::testing::TestWithParam<Document> {};

TEST_P(LoadSweep, EveryRefusalFailsTheLoadOrCostsOneAttributeAndNothingLeaks)
{
    const Document& document = GetParam();
    TempDir dir;
    const std::string file = dir.File("document.xml");
    WriteDocument(document, file);
    const WString path = W(file);

    IXmlNode* clean = nullptr;
    ASSERT_EQ(1u, CJXMLNode::CreateRootNodeFromFile(path.c_str(), &clean));
    const NodeSnapshot expected = SnapshotOf(clean);
    delete clean;

    IXmlNode* root = nullptr;
    uint32_t result = 0;
    long live = 0;
    int failedLoads = 0;
    TreeDifferences seen;
    // Judges one run and frees its tree.
    auto checkLoad = [&](long nth) {
        const std::string step = "allocation " + std::to_string(nth) + " refused";
        if (result == 0) {
            EXPECT_NE(0, nth) << "the clean load failed";
            EXPECT_EQ(Sentinel(), root) << step << ": a failed load handed out a tree";
            ++failedLoads;
            return;
        }
        ASSERT_EQ(1u, result) << step;
        TreeDifferences differences;
        CompareTrees(expected, SnapshotOf(root), step, differences);
        EXPECT_LE(differences.Total(), nth == 0 ? 0 : 1) << step;
        seen.attributeMissing += differences.attributeMissing;
        seen.valueNull += differences.valueNull;
        seen.valueEmpty += differences.valueEmpty;
        seen.tableWithoutStorage += differences.tableWithoutStorage;
        delete root;
    };
    const long allocations = SweepAllocationFailures(
        [&] {
            live = LiveBlocks();
            root = Sentinel();
            result = CJXMLNode::CreateRootNodeFromFile(path.c_str(), &root);
        },
        [&](long nth) {
            checkLoad(nth);
            EXPECT_EQ(live, LiveBlocks()) << "allocation " << nth << " refused: blocks leaked";
        });

    ASSERT_GT(allocations, 0);
    // Each kind of loss comes from a different block; a sweep that never
    // met one of them did not reach every allocation of the load.
    EXPECT_GT(failedLoads, 0);
    EXPECT_GT(seen.attributeMissing, 0);
    EXPECT_GT(seen.valueNull, 0);
    EXPECT_GT(seen.valueEmpty, 0);
    EXPECT_GT(seen.tableWithoutStorage, 0);
}

INSTANTIATE_TEST_SUITE_P(Documents, LoadSweep, ::testing::ValuesIn(Documents()),
                         [](const ::testing::TestParamInfo<Document>& info) {
                             return std::string(info.param.name);
                         });

// ---- Saving ---------------------------------------------------------------------

// The lines of a saved file after its byte-order mark; empty when the file
// is missing or holds no mark.
std::vector<std::string> SavedLines(const std::string& path)
{
    std::vector<std::string> lines;
    if (!kvortest::FileExists(path)) {
        return lines;
    }
    const std::vector<unsigned char> bytes = kvortest::ReadBytes(path);
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
        return lines;
    }
    WString line;
    for (size_t index = 2; index + 1 < bytes.size(); index += 2) {
        const WCHAR c = static_cast<WCHAR>(bytes[index] | (bytes[index + 1] << 8));
        line.push_back(c);
        if (line.size() >= 2 && line[line.size() - 2] == 0x0D && c == 0x0A) {
            line.resize(line.size() - 2);
            lines.push_back(kvortest::U8(line));
            line.clear();
        }
    }
    EXPECT_TRUE(line.empty()) << path << " ends inside a line";
    return lines;
}

size_t Indentation(const std::string& line)
{
    return line.find_first_not_of(' ');
}

// One element's lines: its start tag down to its own end tag, or a single
// line (an empty element, or any line whose own copy was refused).
bool IsOneElementOrLine(const std::vector<std::string>& run)
{
    if (run.size() == 1) {
        return true;
    }
    const std::string& first = run.front();
    const size_t indentation = Indentation(first);
    if (first.compare(indentation, 1, "<") != 0 || first.compare(indentation, 2, "</") == 0) {
        return false;
    }
    const size_t nameEnd = first.find_first_of(" >", indentation);
    const std::string name = first.substr(indentation + 1, nameEnd - indentation - 1);
    return run.back() == std::string(indentation, ' ') + "</" + name + ">";
}

// got is clean with one element or one line taken out.
bool LacksOneElementOrLine(const std::vector<std::string>& clean, const std::vector<std::string>& got)
{
    if (got.size() >= clean.size()) {
        return false;
    }
    const size_t removed = clean.size() - got.size();
    for (size_t start = 0; start <= got.size(); ++start) {
        if (std::equal(got.begin(), got.begin() + static_cast<long>(start), clean.begin()) &&
            std::equal(got.begin() + static_cast<long>(start), got.end(),
                       clean.begin() + static_cast<long>(start + removed)) &&
            IsOneElementOrLine(std::vector<std::string>(clean.begin() + static_cast<long>(start),
                                                         clean.begin() + static_cast<long>(start + removed)))) {
            return true;
        }
    }
    return false;
}

TEST(SaveSweep, EveryRefusalLosesAtMostOneElementOrLineAndLeavesTheTree)
{
    TempDir dir;
    const std::string source = dir.File("source.xml");
    const std::string target = dir.File("saved.xml");
    kvortest::WriteText(source, kDeviceUi);
    const WString sourcePath = W(source);
    const WString targetPath = W(target);
    IXmlNode* root = nullptr;
    ASSERT_EQ(1u, CJXMLNode::CreateRootNodeFromFile(sourcePath.c_str(), &root));
    const NodeSnapshot tree = SnapshotOf(root);
    ASSERT_EQ(1u, root->SaveToFile(targetPath.c_str()));
    const std::vector<std::string> clean = SavedLines(target);
    ASSERT_EQ(12u, clean.size());

    uint32_t result = 0;
    long live = 0;
    int shortFiles = 0;
    int refusedFiles = 0;
    const long allocations = SweepAllocationFailures(
        [&] {
            std::remove(target.c_str());
            live = LiveBlocks();
            result = root->SaveToFile(targetPath.c_str());
        },
        [&](long nth) {
            {
                const std::vector<std::string> lines = SavedLines(target);
                if (result == 0) {
                    EXPECT_NE(0, nth);
                    EXPECT_TRUE(lines.empty()) << nth << ": the file was not created, yet holds lines";
                    ++refusedFiles;
                } else if (lines != clean) {
                    EXPECT_NE(0, nth);
                    EXPECT_TRUE(LacksOneElementOrLine(clean, lines)) << nth << ": " << lines.size() << " lines";
                    ++shortFiles;
                }
                EXPECT_TRUE(SnapshotOf(root) == tree) << nth << ": saving changed the tree";
            }
            EXPECT_EQ(live, LiveBlocks()) << "allocation " << nth << " refused: blocks leaked";
        });
    EXPECT_GT(allocations, 0);
    // Every line buffer and every line's copy was refused once; opening the
    // file was refused too where the system allocates its file objects in
    // the process (refusedFiles counts those runs).
    EXPECT_GT(shortFiles, static_cast<int>(clean.size()));
    EXPECT_EQ(allocations, shortFiles + refusedFiles);
    delete root;
}

// ---- Searching and reading through the parser object ----------------------------

class QuerySweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        kvortest::WriteText(m_dir.File("ui.xml"), kDeviceUi);
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
                if (keepsNothing) {
                    EXPECT_EQ(live, LiveBlocks()) << "allocation " << nth << " refused: blocks leaked";
                }
            });
    }

    TempDir m_dir;
    CKvorXMLParser m_parser;
    IXmlNode* m_window = nullptr;
    IXmlNode* m_config = nullptr;
};

TEST_F(QuerySweep, SearchesFindTheSameNodesWhateverIsRefused)
{
    const int32_t ten = 10;
    struct Search {
        const char* name;
        const WCHAR* element;
        const WCHAR* attrName;
        const WCHAR* attrText;
        const int32_t* attrNumber;
        const WCHAR* expectedId; // null: not found
    } searches[] = {
        {"ByName", KVOR_TEXT("button"), nullptr, nullptr, nullptr, KVOR_TEXT("ok")},
        {"ByText", KVOR_TEXT("window"), KVOR_TEXT("id"), KVOR_TEXT("main"), nullptr, KVOR_TEXT("main")},
        {"ByNumber", KVOR_TEXT("button"), KVOR_TEXT("X"), nullptr, &ten, KVOR_TEXT("ok")},
        {"Missing", KVOR_TEXT("dialog"), nullptr, nullptr, nullptr, nullptr},
    };
    for (const Search& search : searches) {
        SCOPED_TRACE(search.name);
        IXmlNode* found = nullptr;
        uint32_t result = 0;
        Sweep(
            [&] {
                found = nullptr;
                result = m_parser.FindNode(search.element, &found, search.attrName, search.attrText,
                                           search.attrNumber);
            },
            [&](long nth) {
                if (search.expectedId == nullptr) {
                    EXPECT_EQ(KVOR_NOT_FOUND, result) << nth;
                    return;
                }
                ASSERT_EQ(KVOR_OK, result) << nth;
                EXPECT_EQ(kvortest::U8(search.expectedId), kvortest::U8(found->GetAttrString(KVOR_TEXT("id"), nullptr)));
            });
    }
}

TEST_F(QuerySweep, RectangleReadsWhollyOrFailsWithResultOne)
{
    XmlRect rect = {9, 9, 9, 9};
    uint32_t result = 0;
    int refused = 0;
    Sweep(
        [&] {
            rect = {9, 9, 9, 9};
            result = m_parser.GetNodeAttr(KVOR_TEXT("rect"), m_window, &rect);
        },
        [&](long nth) {
            if (result == KVOR_OK) {
                EXPECT_EQ(0, rect.left);
                EXPECT_EQ(0, rect.top);
                EXPECT_EQ(240, rect.right);
                EXPECT_EQ(320, rect.bottom);
                return;
            }
            // The work buffer was refused: no number was read, so the
            // rectangle is either the zero default or as it was.
            EXPECT_NE(0, nth);
            EXPECT_EQ(KVOR_NOT_FOUND, result);
            EXPECT_TRUE((rect.left == 0 && rect.right == 0) || (rect.left == 9 && rect.right == 9));
            ++refused;
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
                names.push_back(kvortest::U8(item->node->GetName()));
            }
            const std::vector<std::string> all = {"window", "note"};
            EXPECT_EQ(KVOR_OK, result) << nth;
            if (nth == 0) {
                EXPECT_EQ(all, names);
            } else {
                ASSERT_EQ(1u, names.size()) << nth;
                EXPECT_EQ(all[nth == 1 ? 1 : 0], names[0]) << "the other child's link was refused";
            }
            list.RemoveAll();
        });
    list.RemoveAll();
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
              if (result == KVOR_OK) {
                  EXPECT_EQ(KVOR_OK, search) << nth;
              } else {
                  EXPECT_EQ(KVOR_NOT_FOUND, result) << nth;
                  EXPECT_EQ(KVOR_NOT_FOUND, search) << nth << ": the old tree survived a failed load";
                  ++failed;
              }
          },
          false);
    // A load replaces the tree, so blocks balance only over the whole
    // sweep, which ends with a complete load.
    EXPECT_EQ(live, LiveBlocks());
    EXPECT_GT(failed, 0);
}

// ---- Growing the model ----------------------------------------------------------

TEST(ModelGrowthSweep, FindOrAddChildAddsOneUsableChildOrNothing)
{
    CJXMLNode parent(KVOR_TEXT("r"));
    parent.AddChild(kvor::New<CJXMLNode>(KVOR_TEXT("a")));
    parent.AddChild(kvor::New<CJXMLNode>(KVOR_TEXT("b")));
    const NodeSnapshot before = NodeInspector::Snapshot(parent);
    ASSERT_EQ(2u, before.children.size());

    IXmlNode* out = nullptr;
    uint32_t result = 0;
    long live = 0;
    int refused = 0;
    SweepAllocationFailures(
        [&] {
            live = LiveBlocks();
            out = Sentinel();
            result = parent.FindOrAddChild(KVOR_TEXT("c"), &out);
        },
        [&](long nth) {
            if (result == 0) {
                EXPECT_NE(0, nth);
                EXPECT_EQ(Sentinel(), out) << nth;
                EXPECT_TRUE(NodeInspector::Snapshot(parent) == before) << nth;
                EXPECT_EQ(live, LiveBlocks()) << nth;
                ++refused;
                return;
            }
            // Added: the new child is usable, attributes included.
            ASSERT_EQ(1u, result) << nth;
            ASSERT_NE(Sentinel(), out);
            EXPECT_EQ("c", kvortest::U8(out->GetName()));
            out->SetAttrString(KVOR_TEXT("k"), KVOR_TEXT("v"));
            EXPECT_EQ("v", kvortest::U8(out->GetAttrString(KVOR_TEXT("k"), nullptr))) << nth;
            EXPECT_EQ(3u, NodeInspector::Snapshot(parent).children.size());
            ASSERT_EQ(1u, parent.RemoveChild(out));
            delete out;
            EXPECT_EQ(live, LiveBlocks()) << nth;
        });
    EXPECT_GT(refused, 1); // the node, its entry array, its link
}

WString Key(int index)
{
    return W("k" + std::to_string(index));
}

void Fill(CKeyValueTable& table, int count, int first = 0)
{
    for (int index = first; index < first + count; ++index) {
        table.Add(Key(index).c_str(), KVOR_TEXT("v"), static_cast<uint32_t>(index));
    }
}

std::vector<std::string> KeysOf(CKeyValueTable& table)
{
    std::vector<std::string> keys;
    for (int32_t index = 0; index < table.GetCount(); ++index) {
        const WCHAR* key = nullptr;
        table.GetAt(index, &key, nullptr, nullptr);
        keys.push_back(kvortest::U8(key));
    }
    return keys;
}

TEST(ModelGrowthSweep, TableAddPastCapacityKeepsEveryEntryWhateverIsRefused)
{
    const int full = CKeyValueTable::kInitialCapacity;
    auto table = std::make_unique<CKeyValueTable>();
    Fill(*table, full);
    int32_t result = 0;
    long live = 0;
    std::vector<int32_t> outcomes;
    SweepAllocationFailures(
        [&] {
            live = LiveBlocks();
            result = table->Add(Key(full).c_str(), KVOR_TEXT("v"), 1);
        },
        [&](long nth) {
            const long now = LiveBlocks();
            outcomes.push_back(result);
            std::vector<std::string> keys = KeysOf(*table);
            const WCHAR* value = KVOR_TEXT("?");
            if (result == full + 1) {
                ASSERT_EQ(1, table->GetAt(full, nullptr, &value, nullptr));
                EXPECT_TRUE(value == nullptr || kvortest::U8(value) == "v") << nth;
                keys.pop_back();
                EXPECT_LT(live, now);
            } else {
                EXPECT_NE(0, nth);
                EXPECT_TRUE(result == 0 || result == full) << nth << ": " << result;
                EXPECT_EQ(live, now) << nth << ": blocks leaked";
            }
            ASSERT_EQ(static_cast<size_t>(full), keys.size()) << nth;
            EXPECT_EQ("k0", keys.front());
            EXPECT_EQ("k63", keys.back());
            // Every step starts from a full table of the first capacity.
            table = std::make_unique<CKeyValueTable>();
            Fill(*table, full);
        });
    // Growth refused (0), key copy refused (64), value copy refused (65, null), clean (65).
    EXPECT_EQ(std::vector<int32_t>({0, full, full + 1, full + 1}), outcomes);
}

TEST(ModelGrowthSweep, TakeAllThatMustGrowMovesEverythingOrNothing)
{
    auto target = std::make_unique<CKeyValueTable>();
    auto source = std::make_unique<CKeyValueTable>();
    Fill(*target, 60);
    Fill(*source, 10, 60);
    int32_t moved = 0;
    int refused = 0;
    SweepAllocationFailures([&] { moved = target->TakeAll(source.get()); },
                            [&](long nth) {
                                if (moved == 0) {
                                    EXPECT_NE(0, nth);
                                    EXPECT_EQ(60, target->GetCount());
                                    EXPECT_EQ(10, source->GetCount()) << "a refused move keeps the source";
                                    ++refused;
                                } else {
                                    EXPECT_EQ(10, moved);
                                    EXPECT_EQ(70, target->GetCount());
                                    EXPECT_EQ(0, source->GetCount());
                                    EXPECT_EQ("k69", KeysOf(*target).back());
                                }
                                target = std::make_unique<CKeyValueTable>();
                                source = std::make_unique<CKeyValueTable>();
                                Fill(*target, 60);
                                Fill(*source, 10, 60);
                            });
    EXPECT_EQ(1, refused);
}

} // namespace
