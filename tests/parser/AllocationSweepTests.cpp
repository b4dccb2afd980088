// Operations with their 1st, 2nd, ... n-th allocation refused in turn,
// until one runs without a refusal: loading, saving, reading through the
// parser object, reloading and adding a child. Each refused run must end in
// an outcome the operation allows for a missing block, with nothing leaked.
#include <algorithm>
#include <array>
#include <cstdio>

#include "LoggerFixture.h"
#include "kvor/parser/XMLParser.h"
#include "../dom/DomTestSupport.h"

using namespace kvortest;

namespace {

// What one refused block may cost a load that still succeeds.
enum Loss { kKeyOrGrowth, kNullValue, kEmptyValue, kNoTable, kLossKinds };
typedef std::array<int, kLossKinds> Losses;

void CompareTrees(const NodeSnapshot& want, const NodeSnapshot& got, const std::string& where, Losses& losses)
{
    const std::string here = where + "/" + U8(want.name);
    ASSERT_TRUE(want.name == got.name && want.hasContent == got.hasContent && want.content == got.content) << here;
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
            if (!(have == attribute)) {
                EXPECT_TRUE(!have.hasValue || have.value.empty()) << here << ": " << U8(have.key) << "=" << U8(have.value);
                ++losses[have.hasValue ? kEmptyValue : kNullValue];
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

// Loads the device's document, ANSI or UTF-16, from a file in dir with each allocation refused in turn:
// every refusal fails the load or costs one attribute, and nothing leaks.
// Returns the number of loads made.
long SweepLoad(bool utf16, const TempDir& dir)
{
    const std::string file = dir.File("document.xml");
    utf16 ? WriteUtf16File(file, kDeviceUi) : WriteText(file, kDeviceUi);
    const WString path = W(file);
    IXmlNode* root = nullptr;
    EXPECT_EQ(1u, CJXMLNode::CreateRootNodeFromFile(path.c_str(), &root));
    const NodeSnapshot expected = SnapshotOf(root);
    delete root;

    IXmlNode* const sentinel = reinterpret_cast<IXmlNode*>(const_cast<TempDir*>(&dir)); // a failed load must leave it
    uint32_t result = 0;
    int failedLoads = 0;
    Losses seen = {};
    const long allocations = SweepBalanced(
        [&] {
            root = sentinel;
            result = CJXMLNode::CreateRootNodeFromFile(path.c_str(), &root);
        },
        [&](long nth) {
            if (result == 0) {
                EXPECT_NE(0, nth) << "the clean load failed";
                EXPECT_EQ(sentinel, root) << nth << ": a failed load handed out a tree";
                ++failedLoads;
                return;
            }
            Losses losses = {};
            CompareTrees(expected, SnapshotOf(root), "allocation " + std::to_string(nth) + " refused", losses);
            EXPECT_LE(losses[0] + losses[1] + losses[2] + losses[3], nth == 0 ? 0 : 1) << nth;
            std::transform(seen.begin(), seen.end(), losses.begin(), seen.begin(), std::plus<int>());
            delete root;
        });
    EXPECT_GT(allocations, 0);
    // Each kind of loss comes from a different block; a sweep that never
    // met one of them did not reach every allocation of the load.
    EXPECT_GT(failedLoads, 0);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 0), 0) << "a loss kind never seen";
    return allocations + 2;
}

// The ANSI document is swept with logging on below.
TEST(LoadSweep, EveryRefusalFailsTheLoadOrCostsOneAttributeAndNothingLeaks)
{
    TempDir dir;
    SweepLoad(true, dir);
}

// The same for the ANSI document with the parser's zone logging everything
// to a log file: each load still writes its entry and exit lines, whole,
// whatever was refused.
TEST_F(LoggerTest, LoadSweepWithLoggingOnLogsEveryLoadsEntryAndExit)
{
    SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", 2);
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/kvorXMLParser", "OutputEnable", 1);
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/kvorXMLParser", "Severity", 0);
    Start();
    ASSERT_EQ(1u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), KVOR_TEXT("kvorXMLParser"), 1));
    const long loads = SweepLoad(false, m_dir);
    Stop();
    const std::vector<std::string> lines = TextLines(LogText());
    ASSERT_FALSE(lines.empty());
    long entries = 0, exits = 0;
    for (size_t index = 1; index < lines.size(); ++index) { // after the header
        const std::string& line = lines[index];
        ASSERT_EQ(0u, line.find("[A][")) << index << ": " << line;
        ASSERT_NE(std::string::npos, line.find("][kvorXMLP]")) << index << ": " << line;
        entries += line.find("CJXMLNode::CreateRootNodeFromFile(") != std::string::npos && line.back() == '+';
        exits += line.find("CJXMLNode::CreateRootNodeFromFile() -") != std::string::npos;
    }
    EXPECT_EQ(loads, entries);
    EXPECT_EQ(loads, exits);
}

// got is clean less one line, or less one element's lines from its start
// tag down to its own end tag.
bool LacksOneElementOrLine(const std::vector<std::string>& clean, const std::vector<std::string>& got)
{
    const size_t removed = clean.size() - got.size();
    for (size_t start = 0; got.size() < clean.size() && start <= got.size(); ++start) {
        const auto split = got.begin() + static_cast<long>(start);
        if (!std::equal(got.begin(), split, clean.begin()) ||
            !std::equal(split, got.end(), clean.begin() + static_cast<long>(start + removed))) {
            continue;
        }
        const std::string& first = clean[start];
        const size_t indent = first.find_first_not_of(' ');
        const std::string name = first.substr(indent + 1, first.find_first_of(" >", indent) - indent - 1);
        const bool element = first.compare(indent, 1, "<") == 0 && first.compare(indent, 2, "</") != 0 &&
                             clean[start + removed - 1] == std::string(indent, ' ') + "</" + name + ">";
        if (removed == 1 || element) {
            return true;
        }
    }
    return false;
}

// A device's document loaded through the parser object.
class UiSweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteText(m_dir.File("ui.xml"), kDeviceUi);
        ASSERT_EQ(KVOR_OK, m_parser.LoadXmlFile(W(m_dir.File("ui.xml")).c_str()));
        ASSERT_EQ(KVOR_OK, m_parser.FindNode(KVOR_TEXT("window"), &m_window, nullptr, nullptr, nullptr));
        ASSERT_EQ(KVOR_OK, m_parser.FindNode(KVOR_TEXT("config"), &m_config, nullptr, nullptr, nullptr));
    }

    TempDir m_dir;
    CKvorXMLParser m_parser;
    IXmlNode* m_window = nullptr;
    IXmlNode* m_config = nullptr;
};

TEST_F(UiSweep, SaveLosesAtMostOneElementOrLineAndLeavesTheTree)
{
    const std::string target = m_dir.File("saved.xml");
    const WString path = W(target);
    const NodeSnapshot tree = SnapshotOf(m_config);
    ASSERT_EQ(1u, m_config->SaveToFile(path.c_str()));
    const std::vector<std::string> clean = TextLines(Utf16FileText(target));
    ASSERT_EQ(12u, clean.size());

    uint32_t result = 0;
    int shortFiles = 0, refusedFiles = 0;
    const long allocations = SweepBalanced(
        [&] {
            std::remove(target.c_str());
            result = m_config->SaveToFile(path.c_str());
        },
        [&](long nth) {
            const std::vector<std::string> lines = TextLines(Utf16FileText(target));
            EXPECT_TRUE(nth != 0 || (result == 1 && lines == clean)) << "the clean save";
            EXPECT_TRUE(result == 1 || lines.empty()) << nth << ": the file was not created, yet holds lines";
            EXPECT_TRUE(result == 0 || lines == clean || LacksOneElementOrLine(clean, lines))
                << nth << ": " << lines.size() << " lines";
            EXPECT_TRUE(SnapshotOf(m_config) == tree) << nth << ": saving changed the tree";
            refusedFiles += result == 0 ? 1 : 0;
            shortFiles += result == 1 && lines != clean ? 1 : 0;
        });
    // Every line buffer and every line's copy was refused once; opening the
    // file too where the system allocates its file objects in the process.
    EXPECT_GT(shortFiles, static_cast<int>(clean.size()));
    EXPECT_EQ(allocations, shortFiles + refusedFiles);
}

TEST_F(UiSweep, RectangleReadsWhollyOrFailsOnlyForItsWorkBuffer)
{
    const std::vector<int32_t> whole = {0, 0, 240, 320}, zero = {0, 0, 0, 0}, untouched = {9, 9, 9, 9};
    XmlRect rect = {9, 9, 9, 9};
    uint32_t result = 0;
    int refused = 0;
    SweepBalanced(
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

TEST_F(UiSweep, ChildListLacksExactlyTheChildWhoseLinkWasRefused)
{
    CXmlNodeList list;
    uint32_t result = 0;
    SweepBalanced([&] { result = m_parser.GetAllChildNodes(m_config, &list); },
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

TEST_F(UiSweep, FailedReloadLeavesNoTreeBehind)
{
    const WString path = W(m_dir.File("ui.xml"));
    const long live = LiveBlocks();
    uint32_t result = 0;
    int failed = 0;
    SweepBalanced([&] { result = m_parser.LoadXmlFile(path.c_str()); },
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

// Only the node and its link are needed: a node whose attribute table got
// no array is added all the same, a table on which every call does nothing.
TEST(ModelSweep, FindOrAddChildAddsOneChildOrNothing)
{
    CJXMLNode parent(KVOR_TEXT("r"));
    parent.AddChild(kvor::New<CJXMLNode>(KVOR_TEXT("a")));
    const NodeSnapshot before = Snapshot(parent);
    IXmlNode* const sentinel = &parent; // a refusal must leave it
    IXmlNode* out = nullptr;
    uint32_t result = 0;
    int refused = 0;
    int withoutTable = 0;
    SweepBalanced(
        [&] {
            out = sentinel;
            result = parent.FindOrAddChild(KVOR_TEXT("c"), &out);
        },
        [&](long nth) {
            if (result == 0) {
                EXPECT_NE(0, nth);
                EXPECT_EQ(sentinel, out) << nth;
                EXPECT_TRUE(Snapshot(parent) == before) << nth;
                ++refused;
                return;
            }
            ASSERT_EQ(1u, result) << nth;
            EXPECT_EQ(2u, Snapshot(parent).children.size()) << nth;
            const bool stored = Snapshot(NodeAccess::Of(out)).attributeStorage;
            withoutTable += stored ? 0 : 1;
            out->SetAttrString(KVOR_TEXT("k"), KVOR_TEXT("v"));
            EXPECT_EQ(stored ? "v" : "", U8(out->GetAttrString(KVOR_TEXT("k"), KVOR_TEXT("")))) << nth;
            ASSERT_EQ(1u, parent.RemoveChild(out));
            delete out;
        });
    EXPECT_EQ(2, refused); // the node, its link
    EXPECT_EQ(1, withoutTable);
}

} // namespace
