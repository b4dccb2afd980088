// check: the library's own load decides; only a refused document is
// replayed to say where and why.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "Arguments.h"
#include "Commands.h"
#include "kvor/dom/JXMLNode.h"
#include "TextCodec.h"
#include "XmlDiagnosis.h"

namespace kvorxml {
namespace {

const char* const kCheckHelp =
    "usage: kvorxml check FILE\n"
    "Loads FILE as the library does. When it does not load, shows the line and\n"
    "column at which the reader stopped and what it expected there.\n"
    "Exit status 0 when the file loads, 1 when it does not.\n";

// The text exactly as the library reads it, ANSI through the same code page.
WString DecodeAsLibrary(const std::vector<unsigned char>& bytes)
{
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        return DecodeDocument(bytes);
    }
    const LPCSTR ansi = reinterpret_cast<LPCSTR>(bytes.data());
    const int count = static_cast<int>(bytes.size());
    const int length = count > 0 ? MultiByteToWideChar(CP_ACP, 0, ansi, count, nullptr, 0) : 0;
    WString text(static_cast<size_t>(length > 0 ? length : 0), 0);
    if (length > 0) {
        MultiByteToWideChar(CP_ACP, 0, ansi, count, &text[0], length);
    }
    return text;
}

struct Place {
    int line = 1;
    int column = 1;
    WString text; // the whole line, without its end
};

Place PlaceOf(const WString& text, size_t offset)
{
    Place place;
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
    IXmlNode* root = nullptr;
    if (CJXMLNode::CreateRootNodeFromFile(FromUtf8(path).c_str(), &root) == 1) {
        delete root;
        std::cout << path << ": loads\n";
        return kExitSuccess;
    }
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes)) {
        Complain("check", path + ": cannot be read");
        return kExitNothing;
    }
    const WString text = DecodeAsLibrary(bytes);
    XmlProblem problem = XmlDiagnosis::Diagnose(text.c_str(), static_cast<int32_t>(text.size()));
    if (problem.reason.empty()) {
        problem.reason = "the reader stopped without a syntax error (out of memory?)";
        problem.offset = static_cast<int32_t>(text.size());
    }
    const Place place = PlaceOf(text, static_cast<size_t>(problem.offset));
    std::cerr << path << ":" << place.line << ":" << place.column << ": " << problem.reason << "\n";
    ShowPlace(place);
    return kExitNothing;
}

} // namespace kvorxml
