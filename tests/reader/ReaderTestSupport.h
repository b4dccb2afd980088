// Helpers of the reader tests: a cursor over test text and nested trees.
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
