// check's diagnosis: for each document the library refuses, the line,
// column and reason at which the reader stopped.
#include <gtest/gtest.h>

#include "kvor/dom/JXMLNode.h"
#include "TestText.h"
#include "TextCodec.h"
#include "XmlDiagnosis.h"

namespace {

struct Refused {
    const char* name;
    const char* document;
    int line;
    int column;
    const char* reason; // a part of the reason that names the fault
};

const Refused kRefused[] = {
    {"quote in text", "<r>\n  <a>it's</a>\n</r>", 2, 8, "text may not contain a quote character"},
    {"double quote in text", "<a>say \"hi\"</a>", 1, 8, "text may not contain a quote character"},
    {"text after child", "<r>\n  <a/>text</r>", 2, 7, "either text or child elements, not both"},
    {"child after text", "<r>text<a/></r>", 1, 8, "either text or child elements, not both"},
    {"cdata", "<r>\n<a><![CDATA[x]]></a></r>", 2, 4, "CDATA sections are not supported"},
    {"doctype", "<?xml version='1.0'?>\n<!DOCTYPE r>\n<r/>", 2, 1, "document type declarations"},
    {"unclosed comment", "<r>\n  <!-- never closed\n  <a/>\n</r>", 2, 3, "comment is not closed"},
    {"end tag mismatch", "<r>\n  <a></b>\n</r>", 2, 6, "end tag </b> does not match start tag <a>"},
    {"two comments in a row", "<!--1-->\n<!--2-->\n<a/>", 2, 1, "only one comment"},
    {"attribute without value", "<r>\n  <a b/>\n</r>", 2, 7, "attribute \"b\" has no value"},
    {"unquoted value", "<a b=12/>", 1, 6, "must be quoted"},
    {"angle bracket in value", "<a b='x>y'/>", 1, 8, "may not contain '<' or '>'"},
    {"greater-than in text", "<a>x > y</a>", 1, 6, "text may not contain '>'"},
    {"comment alone", "<a><!-- c --></a>", 1, 14, "a comment alone is not content"},
    {"processing instruction", "<?xml version='1.0'?><?pi x?><a/>", 1, 22, "processing instructions"},
    {"comment before declaration", "<!-- c --><?xml version='1.0'?><a/>", 1, 11, "processing instructions"},
    {"bad declaration", "<?xml version='1.0'><a/>", 1, 20, "\"?>\""},
    {"not xml", "hello", 1, 1, "expected '<'"},
    {"empty", "", 1, 1, "the file is empty"},
    {"declaration only", "<?xml version='1.0'?>\n", 2, 1, "ends where an element was expected"},
    {"file ends inside", "<a>\n<b/>", 2, 5, "expected its end tag </a>"},
    {"end tag not closed", "<a></a", 1, 7, "expected '>'"},
    {"long text", nullptr, 1, 263, "longer than 259 characters"},
};

std::string Document(const Refused& entry)
{
    if (entry.document != nullptr) {
        return entry.document;
    }
    return "<a>" + std::string(259, 'x') + "yy</a>";
}

struct Place {
    int line;
    int column;
};

Place PlaceOf(const std::string& text, int32_t offset)
{
    Place place = {1, 1};
    for (int32_t i = 0; i < offset; ++i) {
        if (text[static_cast<size_t>(i)] == '\n') {
            ++place.line;
            place.column = 1;
        } else {
            ++place.column;
        }
    }
    return place;
}

TEST(XmlDiagnosisTest, NamesLineColumnAndReasonOfEachRefusedDocument)
{
    kvortest::TempDir dir;
    for (const Refused& entry : kRefused) {
        SCOPED_TRACE(entry.name);
        const std::string text = Document(entry);
        // The table holds only what the library itself refuses.
        kvortest::WriteText(dir.File("doc.xml"), text);
        IXmlNode* root = nullptr;
        if (CJXMLNode::CreateRootNodeFromFile(kvortest::W(dir.File("doc.xml")).c_str(), &root) != 0) {
            delete root;
            ADD_FAILURE() << "the library loads this document";
            continue;
        }

        const kvorxml::WString wide = kvorxml::FromUtf8(text);
        const XmlProblem problem = XmlDiagnosis::Diagnose(wide.c_str(), static_cast<int32_t>(wide.size()));
        const Place place = PlaceOf(text, problem.offset);
        EXPECT_EQ(entry.line, place.line);
        EXPECT_EQ(entry.column, place.column);
        EXPECT_NE(std::string::npos, problem.reason.find(entry.reason)) << problem.reason;
    }
}

TEST(XmlDiagnosisTest, DeepestNestingIsReportedAtTheElementBeyondTheBound)
{
    std::string text;
    for (int i = 0; i < CJXMLNode::kMaxDepth + 1; ++i) {
        text += "<e>";
    }
    for (int i = 0; i < CJXMLNode::kMaxDepth + 1; ++i) {
        text += "</e>";
    }
    const kvorxml::WString wide = kvorxml::FromUtf8(text);
    const XmlProblem problem = XmlDiagnosis::Diagnose(wide.c_str(), static_cast<int32_t>(wide.size()));
    EXPECT_EQ(3 * CJXMLNode::kMaxDepth, problem.offset);
    EXPECT_NE(std::string::npos, problem.reason.find("256 levels")) << problem.reason;
}

TEST(XmlDiagnosisTest, FindsNothingInDocumentsTheReaderAccepts)
{
    // Lenient forms: a broken child that its parent's end tag follows, a
    // comment after the last child, mismatched quotes, trailing rubbish.
    const char* const accepted[] = {
        "<r><a/><b=</r>",
        "<r><a/><!-- c --></r>",
        "<a x='1\"/>",
        "<a/>trailing <rubbish",
        "<?xml version='1.0'?><!-- c --><A></a>",
    };
    for (const char* text : accepted) {
        SCOPED_TRACE(text);
        const kvorxml::WString wide = kvorxml::FromUtf8(text);
        EXPECT_EQ("", XmlDiagnosis::Diagnose(wide.c_str(), static_cast<int32_t>(wide.size())).reason);
    }
}

} // namespace
