#include <gtest/gtest.h>

#include <string>

#include "FailingAllocator.h"
#include "ReaderTestSupport.h"

using kvortest::Nested;

namespace {

// Levels below and including node, following first children.
int32_t Depth(IXmlNode* node)
{
    IXmlNode* child = nullptr;
    return node->GetFirstChild(&child) != 0 ? 1 + Depth(child) : 1;
}

struct DepthCase {
    const char* name;
    std::string document;
    int32_t depth; // 0: the element must fail
};
KVOR_PRINTS_CASE_NAME(DepthCase)

class NestingDepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(NestingDepthTest, ParsesUpToTheBoundAndFailsCleanlyBeyond)
{
    const DepthCase& c = GetParam();
    kvortest::TextCursor text(c.document);
    const long live = kvortest::LiveBlocks();
    {
        int32_t success = -1;
        CJXMLNode root(text.cursor, success);
        EXPECT_EQ(success, c.depth > 0 ? 1 : 0);
        if (success == 1) {
            EXPECT_EQ(Depth(&root), c.depth);
        }
    }
    EXPECT_EQ(kvortest::LiveBlocks(), live);
}

const int32_t kMax = CJXMLNode::kMaxDepth;

const DepthCase kDepthCases[] = {
    {"AtTheBound", Nested(kMax), kMax},
    {"AtTheBoundWithText", Nested(kMax, "x"), kMax},
    {"AtTheBoundSelfClosing", Nested(kMax - 1, "<e/>"), kMax},
    // What stands below the deepest element and is no element fails there
    // as at any depth: this comment is skipped, and the parent's end follows.
    {"CommentBelowTheBoundInFailedChild", Nested(kMax - 2, "<p><q/><x><!--c--></p>"), kMax},
    {"OneBeyond", Nested(kMax + 1), 0},
    {"OneBeyondSelfClosing", Nested(kMax, "<e/>"), 0},
    // A start tag beyond the bound fails the load, even where its parent's
    // end would follow and a broken child would only be left out.
    {"BeyondTheBoundFailsTheWholeLoad", "<r><a/>" + Nested(kMax - 1).substr(0, 3 * (kMax - 1)) + "<x</r>", 0},
    {"OneBeyondAfterGoodSiblings", "<r><a/>" + Nested(kMax) + "</r>", 0},
    {"FarBeyond", Nested(100000), 0},
    {"FarBeyondUnclosed", Nested(100000).substr(0, 300000), 0},
};
INSTANTIATE_TEST_SUITE_P(Depth, NestingDepthTest, ::testing::ValuesIn(kDepthCases), kvortest::CaseName());

TEST(ManySiblings, TwentyThousandChildrenLoadInOrder)
{
    const int32_t count = 20000;
    std::string document = "<r>";
    for (int32_t i = 0; i < count; ++i) {
        document += "<c i='" + std::to_string(i) + "'/>";
    }
    kvortest::TextCursor text(document + "</r>");
    int32_t success = 0;
    CJXMLNode root(text.cursor, success);
    ASSERT_EQ(success, 1);
    int32_t seen = 0;
    IXmlNode* child = nullptr;
    for (uint32_t more = root.GetFirstChild(&child); more != 0; more = root.GetNextChild(&child), ++seen) {
        ASSERT_EQ(child->GetAttrInt(KVOR_TEXT("i"), -1), seen);
    }
    EXPECT_EQ(seen, count);
}

} // namespace
