// Helpers of the reader tests: a cursor over test text and names for
// parameterised cases.
#ifndef KVOR_READER_TEST_SUPPORT_H
#define KVOR_READER_TEST_SUPPORT_H

#include <string>

#include <gtest/gtest.h>

#include "../dom/DomTestSupport.h"
#include "kvor/reader/ElementReader.h"
#include "RejectedDocuments.h"
#include "kvor/reader/XmlCursor.h"

namespace kvortest {

// The cursor does not own its text; this keeps both together.
struct TextCursor {
    explicit TextCursor(const std::string& utf8)
        : text(W(utf8)), cursor(text.data(), static_cast<int32_t>(text.size())) {}
    WString text;
    XmlCursor cursor;
};

// Names a parameterised case after its name member, in listings and in test names.
#define KVOR_PRINTS_CASE_NAME(Case) \
    void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
struct CaseName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const { return info.param.name; }
};

// The rendering of inner below levels of e.
inline std::string NestedTree(size_t levels, const std::string& inner)
{
    std::string open, close;
    for (size_t i = 0; i < levels; ++i) {
        open += "e{";
        close += "}";
    }
    return open + inner + close;
}

const char* const kFailed = "FAIL";

} // namespace kvortest

#endif // KVOR_READER_TEST_SUPPORT_H
