// The reader's own account of a load: where and why it stopped, and what a
// load that succeeded left out.
#include <algorithm>
#include <string>

#include "RejectedDocuments.h"
#include "kvor/reader/DocumentLoader.h"
#include "../dom/DomTestSupport.h"

using namespace kvortest;

namespace {

struct Account {
    bool loaded = false;
    std::string text; // the reason, or the first loss and its cause
    int line = 1;
    int column = 1;
};

// Loads utf8 as an ANSI document and reads the report back as a client would.
Account Load(const std::string& utf8)
{
    Account account;
    ReadReport report;
    DocumentText text;
    unsigned char* bytes = kvor::AllocateArray<unsigned char>(utf8.size());
    std::copy(utf8.begin(), utf8.end(), bytes);
    IXmlNode* root = nullptr;
    account.loaded = text.Decode(bytes, static_cast<uint32_t>(utf8.size())) && ParseDocument(text, &root, &report) == 1;
    delete root;
    ReadEvent event = account.loaded ? report.drops[0].cause : report.failure;
    WCHAR reason[512];
    ReadReport::Describe(event, text.Text(), text.Length(), reason, 512);
    account.text = account.loaded && report.dropCount > 0 ? U8(ReadReport::Describe(report.drops[0].loss))
                                                          : U8(reason);
    for (int32_t i = 0; i < event.offset; ++i) {
        const bool newline = text.Text()[i] == KVOR_TEXT('\n');
        account.line += newline ? 1 : 0;
        account.column = newline ? 1 : account.column + 1;
    }
    return account;
}

void ExpectAccount(const ReadCase& c, bool loads)
{
    const Account account = Load(c.document);
    EXPECT_EQ(loads, account.loaded);
    EXPECT_EQ(c.line, account.line);
    EXPECT_EQ(c.column, account.column);
    EXPECT_NE(std::string::npos, account.text.find(c.reason)) << account.text;
}

class RefusedDocument : public ::testing::TestWithParam<ReadCase> {};
class LossyDocument : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RefusedDocument, ReportsWhereAndWhyTheReaderStopped)
{
    ExpectAccount(GetParam(), false);
}

TEST_P(LossyDocument, LoadsAndReportsWhatItLeftOut)
{
    ExpectAccount(GetParam(), true);
}

INSTANTIATE_TEST_SUITE_P(Reader, RefusedDocument, ::testing::ValuesIn(kRefusedDocuments),
                         CaseName());
INSTANTIATE_TEST_SUITE_P(Reader, LossyDocument, ::testing::ValuesIn(kLossyDocuments), CaseName());

TEST(ReadReport, LenientFormsLoseNothing)
{
    // A comment after the last child, mismatched quotes, an end tag in
    // another case: accepted as they are.
    for (const char* text : {"<r><a/><!-- c --></r>", "<a x='1\"/>", "<?xml version='1.0'?><!-- c --><A></a>"}) {
        SCOPED_TRACE(text);
        const Account account = Load(text);
        EXPECT_TRUE(account.loaded);
        EXPECT_EQ("", account.text);
    }
}

} // namespace
