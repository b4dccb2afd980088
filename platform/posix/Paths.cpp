// Text and path conversion shared by the posix back end.
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

#include "PosixSupport.h"

namespace kvor {
namespace posix {

namespace {

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c < 0xE000; }

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// mkdir -p: the device's root always exists on the device, so it is made
// here on first use.
void MakeFolders(const std::string& path)
{
    if (path.empty() || mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
        return;
    }
    if (errno != ENOENT) {
        return;
    }
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) {
        return;
    }
    MakeFolders(path.substr(0, slash));
    mkdir(path.c_str(), 0755);
}

} // namespace

std::string ToUtf8(const WCHAR* text, size_t length)
{
    std::string out;
    if (text == nullptr) {
        return out;
    }
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t code = static_cast<uint32_t>(text[i]);
        if (IsHighSurrogate(code) && i + 1 < length && IsLowSurrogate(text[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::string ToUtf8(const WCHAR* text)
{
    return text == nullptr ? std::string() : ToUtf8(text, kvor::wcslen(text));
}

std::string DeviceRoot()
{
    std::string root = Variable("KVOR_DEVICE_ROOT");
    if (root.empty()) {
        const std::string state = Variable("XDG_STATE_HOME");
        root = state.empty() ? Variable("HOME") + "/.local/state/kvor" : state + "/kvor";
    }
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    return root;
}

std::string NativePath(const WCHAR* path)
{
    std::string native = ToUtf8(path);
    for (char& c : native) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (!native.empty() && native[0] == '/' && path[0] == u'\\') {
        const std::string root = DeviceRoot();
        MakeFolders(root);
        native.insert(0, root);
    }
    return native;
}

} // namespace posix
} // namespace kvor
