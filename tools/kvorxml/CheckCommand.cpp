// check: the library's own reader decides whether a file loads and, when
// it does not, says where and why; for a file that loads, what it left out.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "Arguments.h"
#include "Commands.h"
#include "TextCodec.h"
#include "kvor/reader/DocumentLoader.h"

namespace kvorxml {
namespace {

const char* const kCheckHelp =
    "usage: kvorxml check FILE\n"
    "Loads FILE as the library does. When it does not load, shows the line and\n"
    "column at which the reader stopped and what it expected there.\n"
    "Exit status 0 when the file loads, 1 when it does not.\n";

struct Place {
    int line = 1;
    int column = 1;
    WString text; // the whole line, without its end
};

Place PlaceOf(const WString& text, int32_t at)
{
    Place place;
    const size_t offset = static_cast<size_t>(at < 0 ? 0 : at);
    size_t lineStart = 0;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++place.line;
            lineStart = i + 1;
        }
    }
    place.column = static_cast<int>(offset - lineStart) + 1;
    size_t lineEnd = text.find('\n', lineStart);
    place.text = text.substr(lineStart, (lineEnd == WString::npos ? text.size() : lineEnd) - lineStart);
    while (!place.text.empty() && place.text.back() == '\r') {
        place.text.pop_back();
    }
    return place;
}

// The line with a caret under the column, cut around it when long.
void ShowPlace(const Place& place)
{
    const size_t kBefore = 60;
    const size_t kAfter = 40;
    size_t column = static_cast<size_t>(place.column - 1);
    size_t first = column > kBefore ? column - kBefore : 0;
    WString shown = place.text.substr(first, column - first + kAfter);
    std::string caret;
    for (size_t i = first; i < column && i < place.text.size(); ++i) {
        caret += place.text[i] == '\t' ? '\t' : ' ';
    }
    std::cerr << "  " << (first > 0 ? "..." : "") << ToUtf8(shown) << "\n  " << (first > 0 ? "   " : "") << caret
              << "^\n";
}

} // namespace

int CheckCommand(const Words& words)
{
    Arguments arguments(words, {}, {"--help"});
    if (arguments.Has("--help")) {
        std::cout << kCheckHelp;
        return kExitSuccess;
    }
    if (!arguments.Error().empty() || arguments.Positional().size() != 1) {
        return UsageError("check", arguments.Error().empty() ? "expected one FILE" : arguments.Error());
    }
    const std::string& path = arguments.Positional()[0];
    // The load creates a missing file; a check must not.
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        Complain("check", path + ": " + std::strerror(errno));
        return kExitNothing;
    }
    if (S_ISDIR(info.st_mode)) {
        Complain("check", path + ": is a folder");
        return kExitNothing;
    }
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes)) {
        Complain("check", path + ": cannot be read");
        return kExitNothing;
    }
    ReadReport report;
    DocumentText text;
    IXmlNode* root = nullptr;
    unsigned char* block = kvor::AllocateArray<unsigned char>(bytes.size());
    if (bytes.empty()) {
        report.failure.problem = ReadProblem::kEmptyFile;
        report.failure.offset = 0;
    } else if (block != nullptr) {
        std::copy(bytes.begin(), bytes.end(), block);
    }
    const bool loads = block != nullptr && text.Decode(block, static_cast<uint32_t>(bytes.size())) &&
                       ParseDocument(text, &root, &report) == 1;
    delete root;
    const WString wide(text.Text() != nullptr ? text.Text() : KVOR_TEXT(""), static_cast<size_t>(text.Length()));
    for (int32_t i = 0; i < report.dropCount && i < ReadReport::kMaxDrops; ++i) {
        ReadDrop& drop = report.drops[i];
        WCHAR cause[512];
        ReadReport::Describe(drop.cause, wide.c_str(), static_cast<int32_t>(wide.size()), cause, 512);
        const Place place = PlaceOf(wide, drop.cause.offset);
        std::cerr << path << ":" << place.line << ":" << place.column << ": warning: " << ToUtf8(ReadReport::Describe(drop.loss))
                  << (cause[0] != 0 ? " (" + ToUtf8(cause) + ")" : std::string()) << "\n";
        ShowPlace(place);
    }
    if (loads) {
        std::cout << path << ": loads\n";
        return kExitSuccess;
    }
    if (report.failure.problem == ReadProblem::kNone) {
        report.failure.problem = ReadProblem::kOutOfMemory;
        report.failure.offset = 0;
    }
    WCHAR reason[512];
    ReadReport::Describe(report.failure, wide.c_str(), static_cast<int32_t>(wide.size()), reason, 512);
    const Place place = PlaceOf(wide, report.failure.offset);
    std::cerr << path << ":" << place.line << ":" << place.column << ": " << ToUtf8(reason) << "\n";
    ShowPlace(place);
    return kExitNothing;
}

} // namespace kvorxml
