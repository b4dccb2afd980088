#include <gtest/gtest.h>

#include <string>

#include "FailingAllocator.h"
#include "ReaderTestSupport.h"

using kvortest::W;
using kvortest::WString;

namespace {

std::string Repeat(const std::string& part, size_t count)
{
    std::string out;
    out.reserve(part.size() * count);
    for (size_t i = 0; i < count; ++i) {
        out += part;
    }
    return out;
}

std::string Nested(size_t depth, const std::string& innermost = "")
{
    return Repeat("<e>", depth) + innermost + Repeat("</e>", depth);
}

// Levels below and including node, following first children.
int32_t Depth(IXmlNode* node)
{
    int32_t depth = 0;
    for (IXmlNode* child = node; child != nullptr;) {
        ++depth;
        IXmlNode* next = nullptr;
        child = child->GetFirstChild(&next) != 0 ? next : nullptr;
    }
    return depth;
}

struct Parsed {
    int32_t success;
    int32_t depth;
    int32_t children;
};

Parsed Parse(const std::string& document)
{
    const WString text = W(document);
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    Parsed parsed{-1, 0, 0};
    CJXMLNode root(cursor, parsed.success);
    if (parsed.success == 1) {
        parsed.depth = Depth(&root);
        IXmlNode* child = nullptr;
        for (uint32_t more = root.GetFirstChild(&child); more != 0; more = root.GetNextChild(&child)) {
            ++parsed.children;
        }
    }
    return parsed;
}

struct DepthCase {
    const char* name;
    std::string document;
    int32_t success;
    int32_t depth;
};

void PrintTo(const DepthCase& c, std::ostream* os) { *os << c.name; }

class NestingDepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(NestingDepthTest, LoadsUpToTheBoundAndFailsCleanlyBeyond)
{
    const DepthCase& c = GetParam();
    const long live = kvortest::LiveBlocks();
    const Parsed parsed = Parse(c.document);
    EXPECT_EQ(parsed.success, c.success);
    if (c.success == 1) {
        EXPECT_EQ(parsed.depth, c.depth);
    }
    EXPECT_EQ(kvortest::LiveBlocks(), live);
}

const int32_t kMax = CJXMLNode::kMaxDepth;

const DepthCase kDepthCases[] = {
    {"AtTheBound", Nested(kMax), 1, kMax},
    {"AtTheBoundWithText", Nested(kMax, "x"), 1, kMax},
    {"AtTheBoundSelfClosing", Nested(kMax - 1, "<e/>"), 1, kMax},
    {"OneBeyond", Nested(kMax + 1), 0, 0},
    {"OneBeyondSelfClosing", Nested(kMax, "<e/>"), 0, 0},
    {"FarBeyond", Nested(100000), 0, 0},
    {"FarBeyondUnclosed", Repeat("<e>", 100000), 0, 0},
};
INSTANTIATE_TEST_SUITE_P(Depth, NestingDepthTest, ::testing::ValuesIn(kDepthCases),
                         [](const ::testing::TestParamInfo<DepthCase>& info) { return info.param.name; });

TEST(NestingDepth, TooDeepBranchFailsEvenAfterGoodSiblings)
{
    const Parsed parsed = Parse("<r><a/>" + Nested(kMax) + "</r>");
    EXPECT_EQ(parsed.success, 0);
}

TEST(NestingDepth, DeepFileFailsToLoad)
{
    kvortest::TempDir dir;
    const std::string path = dir.File("deep.xml");
    kvortest::WriteText(path, "<?xml version='1.0'?>" + Nested(100000));
    const long live = kvortest::LiveBlocks();
    IXmlNode* root = nullptr;
    EXPECT_EQ(CJXMLNode::CreateRootNodeFromFile(W(path).c_str(), &root), 0u);
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(kvortest::LiveBlocks(), live);
}

TEST(ManySiblings, TwentyThousandChildrenLoadInOrder)
{
    const int32_t count = 20000;
    std::string document = "<r>";
    for (int32_t i = 0; i < count; ++i) {
        document += "<c i='" + std::to_string(i) + "'/>";
    }
    document += "</r>";
    const WString text = W(document);
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    int32_t success = 0;
    CJXMLNode root(cursor, success);
    ASSERT_EQ(success, 1);
    int32_t seen = 0;
    IXmlNode* child = nullptr;
    for (uint32_t more = root.GetFirstChild(&child); more != 0; more = root.GetNextChild(&child)) {
        ASSERT_EQ(child->GetAttrInt(KVOR_TEXT("i"), -1), seen);
        ++seen;
    }
    EXPECT_EQ(seen, count);
}

} // namespace
