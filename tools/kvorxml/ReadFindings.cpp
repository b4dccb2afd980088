#include "ReadFindings.h"

#include <iostream>

namespace kvorxml {
namespace {

const size_t kReasonCapacity = 512;

Finding Locate(const Document& document, ReadEvent event)
{
    WCHAR words[kReasonCapacity] = {};
    const WCHAR* text = document.Text() != nullptr ? document.Text() : KVOR_TEXT("");
    const int32_t length = document.Text() != nullptr ? document.Length() : 0;
    // Describe moves the offset onto the character it speaks of.
    ReadReport::Describe(event, text, length, words, kReasonCapacity);
    Finding finding;
    const int32_t offset = event.offset < 0 ? 0 : (event.offset > length ? length : event.offset);
    int32_t lineStart = 0;
    for (int32_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++finding.line;
            lineStart = i + 1;
        }
    }
    finding.column = offset - lineStart + 1;
    int32_t lineEnd = lineStart;
    while (lineEnd < length && text[lineEnd] != '\n') {
        ++lineEnd;
    }
    while (lineEnd > lineStart && text[lineEnd - 1] == '\r') {
        --lineEnd;
    }
    finding.lineText = WString(text + lineStart, static_cast<size_t>(lineEnd - lineStart));
    finding.reason = ToUtf8(words);
    return finding;
}

} // namespace

Finding FailureOf(const Document& document) { return Locate(document, document.Report().failure); }

std::vector<Finding> DropsOf(const Document& document)
{
    std::vector<Finding> drops;
    const ReadReport& report = document.Report();
    for (int32_t i = 0; i < report.dropCount && i < ReadReport::kMaxDrops; ++i) {
        const ReadDrop& drop = report.drops[i];
        Finding loss = Locate(document, drop.cause);
        const std::string cause = loss.reason;
        loss.reason = ToUtf8(ReadReport::Describe(drop.loss)) + (cause.empty() ? "" : " (" + cause + ")");
        drops.push_back(loss);
    }
    return drops;
}

void PrintFinding(const std::string& name, const Finding& finding, const std::string& prefix)
{
    // Long lines are cut around the column.
    const size_t kBefore = 60;
    const size_t kAfter = 40;
    const WString& line = finding.lineText;
    const size_t column = static_cast<size_t>(finding.column - 1);
    const size_t first = column > kBefore ? column - kBefore : 0;
    std::string caret;
    for (size_t i = first; i < column && i < line.size(); ++i) {
        caret += line[i] == '\t' ? '\t' : ' ';
    }
    const std::string shown = first < line.size() ? ToUtf8(line.substr(first, column - first + kAfter)) : "";
    const char* ellipsis = first > 0 ? "..." : "";
    std::cerr << name << ":" << finding.line << ":" << finding.column << ": " << prefix << finding.reason << "\n  "
              << ellipsis << shown << "\n  " << (first > 0 ? "   " : "") << caret << "^\n";
}

} // namespace kvorxml
