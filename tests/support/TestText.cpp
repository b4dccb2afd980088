#include "TestText.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace kvortest {

WString W(const std::string& utf8)
{
    WString out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned long code = c;
        size_t extra = 0;
        if (c >= 0xF0) {
            code = c & 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            code = c & 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            code = c & 0x1F;
            extra = 1;
        }
        for (size_t k = 1; k <= extra && i + k < utf8.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<WCHAR>(0xD800 + (code >> 10)));
            out.push_back(static_cast<WCHAR>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<WCHAR>(code));
        }
    }
    return out;
}

std::string U8(const WCHAR* text)
{
    if (text == nullptr) {
        return "(null)";
    }
    std::string out;
    for (; *text != 0; ++text) {
        unsigned long code = static_cast<unsigned long>(*text);
        if (code >= 0xD800 && code < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<unsigned long>(text[1]) - 0xDC00);
            ++text;
        }
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
    return out;
}

std::string U8(const WString& text)
{
    return U8(text.c_str());
}

#if defined(_WIN32)
TempDir::TempDir()
{
    static unsigned counter = 0;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = "kvortest-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
        if (std::filesystem::create_directory(base / name)) {
            m_path = (base / name).string();
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
}
#else
TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kvortest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}
#endif

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<unsigned char> Utf16Bytes(const std::string& utf8)
{
    std::vector<unsigned char> bytes;
    for (WCHAR c : W(utf8)) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    return bytes;
}

void WriteUtf16File(const std::string& path, const std::string& utf8)
{
    std::vector<unsigned char> bytes{0xFF, 0xFE};
    std::vector<unsigned char> text = Utf16Bytes(utf8);
    bytes.insert(bytes.end(), text.begin(), text.end());
    WriteBytes(path, bytes);
}

std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path)
{
    return std::filesystem::exists(path);
}

namespace {
#if defined(_WIN32)
// The C library's environment; an empty value removes the variable.
void SetVariable(const char* name, const char* value)
{
    _putenv_s(name, value);
}
void RemoveVariable(const char* name)
{
    _putenv_s(name, "");
}
#else
void SetVariable(const char* name, const char* value)
{
    setenv(name, value, 1);
}
void RemoveVariable(const char* name)
{
    unsetenv(name);
}
#endif
} // namespace

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name), m_hadOld(false)
{
    if (const char* old = std::getenv(name)) {
        m_old = old;
        m_hadOld = true;
    }
    SetVariable(name, value.c_str());
}

ScopedEnv::~ScopedEnv()
{
    if (m_hadOld) {
        SetVariable(m_name.c_str(), m_old.c_str());
    } else {
        RemoveVariable(m_name.c_str());
    }
}

#if defined(_WIN32)
// On Windows the library writes to the debugger with OutputDebugStringW,
// which raises a first-chance exception carrying the text. A vectored
// handler takes it, so the lines land in the same file as on Linux.
namespace {

const DWORD kPrintException = 0x40010006;     // DBG_PRINTEXCEPTION_C
const DWORD kWidePrintException = 0x4001000A; // DBG_PRINTEXCEPTION_WIDE_C
std::string g_capturePath;
PVOID g_captureHandler = nullptr;

void AppendUtf8(const wchar_t* text, size_t length)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), bytes, nullptr, nullptr);
    }
    std::ofstream out(g_capturePath, std::ios::binary | std::ios::app);
    out << utf8;
}

LONG CALLBACK TakeDebugText(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->ExceptionCode == kWidePrintException && record->NumberParameters >= 2) {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]);
        AppendUtf8(text, std::wcslen(text));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (record->ExceptionCode == kPrintException && record->NumberParameters >= 2) {
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
        std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
        if (length > 0) {
            MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
        }
        AppendUtf8(wide.c_str(), std::wcslen(wide.c_str()));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void CaptureDebugOutput(const std::string& path)
{
    g_capturePath = path;
    AddVectoredExceptionHandler(1, TakeDebugText);
}

DebugCapture::DebugCapture() : m_env("KVOR_DEBUG_OUTPUT", m_dir.File("debug.txt"))
{
    g_capturePath = m_dir.File("debug.txt");
    g_captureHandler = AddVectoredExceptionHandler(1, TakeDebugText);
}

DebugCapture::~DebugCapture()
{
    RemoveVectoredExceptionHandler(g_captureHandler);
    g_captureHandler = nullptr;
}
#else
// The posix back end writes the debugger output to KVOR_DEBUG_OUTPUT itself.
void CaptureDebugOutput(const std::string&) {}

DebugCapture::DebugCapture() : m_env("KVOR_DEBUG_OUTPUT", m_dir.File("debug.txt")) {}

DebugCapture::~DebugCapture() {}
#endif

std::vector<std::string> DebugCapture::Lines() const
{
    return DebugLines(m_dir.File("debug.txt"));
}

std::vector<std::string> DebugLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

void DebugCapture::Clear()
{
    std::remove(m_dir.File("debug.txt").c_str());
}

} // namespace kvortest
