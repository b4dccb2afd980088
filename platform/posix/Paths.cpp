// Text and path conversion shared by the posix back end.
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "PosixSupport.h"
#include "SystemCalls.h"

namespace kvor {
namespace posix {

namespace {

bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c < 0xE000; }

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

} // namespace

size_t EncodeUtf8(const WCHAR* text, size_t length, char* out)
{
    size_t at = 0;
    for (size_t i = 0; i < length; ++i) {
        uint32_t code = text[i];
        if (IsHighSurrogate(code) && i + 1 < length && IsLowSurrogate(text[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
            code = 0xFFFD;
        }
        const int extra = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
        static const unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
        out[at++] = static_cast<char>(kLead[extra] | (code >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k) {
            out[at++] = static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F));
        }
    }
    return at;
}

std::string ToUtf8(const WCHAR* text, size_t length)
{
    std::string out(text == nullptr ? 0 : length * 3, '\0');
    out.resize(text == nullptr ? 0 : EncodeUtf8(text, length, &out[0]));
    return out;
}

// The device's root always exists on the device, so it is made on first use.
void MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0755);
    }
    mkdir(path.c_str(), 0755);
}

bool WriteAll(int descriptor, const char* bytes, size_t length)
{
    while (length > 0) {
        const ssize_t put = sys::Write(descriptor, bytes, length);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            // A write that moves nothing leaves no errno; the disk is full.
            if (put == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes += put;
        length -= static_cast<size_t>(put);
    }
    return true;
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
