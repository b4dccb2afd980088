#include "TestText.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <list>
#include <random>
#include <regex>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace kvortest {

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) { // a name another test process holds is passed over
        const std::filesystem::path path =
            base / ("kvortest-" + std::to_string(random()) + "-" + std::to_string(++counter));
        if (std::filesystem::create_directory(path)) {
            m_path = path.string();
            return;
        }
    }
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

// Every target is little-endian: the units' bytes are already in order.
std::vector<unsigned char> Utf16Bytes(const std::string& utf8)
{
    const WString text = W(utf8);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    return std::vector<unsigned char>(bytes, bytes + 2 * text.size());
}

void WriteUtf16File(const std::string& path, const std::string& utf8)
{
    const std::vector<unsigned char> bytes = Utf16Bytes(utf8);
    WriteText(path, "\xFF\xFE" + std::string(bytes.begin(), bytes.end()));
}

std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Utf16FileText(const std::string& path)
{
    const std::string bytes = ReadText(path);
    WString text(bytes.size() < 2 ? 0 : (bytes.size() - 2) / 2, 0);
    std::memcpy(&text[0], bytes.data() + 2, 2 * text.size());
    return U8(text);
}

std::string DigitsMasked(const std::string& text)
{
    return std::regex_replace(text, std::regex("[0-9]+"), "0");
}

// The C library's environment; on Windows the process's environment, which
// a child inherits, follows it, and an empty value removes the variable.
ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name), m_hadOld(false)
{
    if (const char* old = std::getenv(name)) {
        m_old = old;
        m_hadOld = true;
    }
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

ScopedEnv::~ScopedEnv()
{
#if defined(_WIN32)
    _putenv_s(m_name.c_str(), m_hadOld ? m_old.c_str() : "");
#else
    m_hadOld ? setenv(m_name.c_str(), m_old.c_str(), 1) : unsetenv(m_name.c_str());
#endif
}

std::string Quoted(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

int RunProgram(const std::map<std::string, std::string>& environment, const std::string& program,
               const std::string& arguments, [[maybe_unused]] const std::string& folder)
{
#if defined(_WIN32)
    std::list<ScopedEnv> set; // inherited; on Windows a test runs one program at a time
    for (const auto& variable : environment) {
        set.emplace_back(variable.first.c_str(), variable.second);
    }
    return std::system((program + " " + arguments).c_str());
#else
    // On the command line, so that threads may start programs with variables of their own.
    std::string command = folder.empty() ? "env " : "cd " + Quoted(folder) + " && env ";
    for (const auto& variable : environment) {
        command += variable.first + "=" + Quoted(variable.second) + " ";
    }
#if defined(KVOR_TEST_EMULATOR)
    command += KVOR_TEST_EMULATOR " ";
#endif
    const int status = std::system((command + Quoted(program) + " " + arguments).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

#if defined(_WIN32)
// On Windows the library writes to the debugger with OutputDebugStringW,
// which raises a first-chance exception carrying the text. A vectored
// handler takes it, so the lines land in a file as on Linux.
namespace {

const DWORD kPrintException = 0x40010006;     // DBG_PRINTEXCEPTION_C
const DWORD kWidePrintException = 0x4001000A; // DBG_PRINTEXCEPTION_WIDE_C

std::string& CapturePath()
{
    static std::string path; // set before other files' static objects are
    return path;
}

LONG CALLBACK TakeDebugText(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    const bool wide = record->ExceptionCode == kWidePrintException;
    if (CapturePath().empty() || (!wide && record->ExceptionCode != kPrintException) ||
        record->NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // Nothing here allocates: the test may be refusing allocations meanwhile,
    // and a refusal must reach the library, not its debugger output.
    const int kChars = 8192;
    wchar_t converted[kChars];
    const wchar_t* text = converted;
    if (wide) {
        text = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]);
    } else if (MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(record->ExceptionInformation[1]), -1,
                                   converted, kChars) == 0) {
        converted[0] = L'\0';
    }
    char utf8[3 * kChars];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
    const HANDLE file = CreateFileA(CapturePath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, utf8, bytes > 0 ? static_cast<DWORD>(bytes - 1) : 0, &written, nullptr);
        CloseHandle(file);
    }
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

void CaptureDebugOutput(const std::string& path)
{
    static const PVOID handler = AddVectoredExceptionHandler(1, TakeDebugText);
    static_cast<void>(handler);
    CapturePath() = path;
}
#else
// The posix back end writes the debugger output to KVOR_DEBUG_OUTPUT itself.
void CaptureDebugOutput(const std::string&) {}
#endif

DebugCapture::DebugCapture() : m_env("KVOR_DEBUG_OUTPUT", m_dir.File("debug.txt"))
{
    CaptureDebugOutput(m_dir.File("debug.txt"));
}

std::vector<std::string> TextLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

} // namespace kvortest
