// Text and file helpers shared by the tests.
#ifndef KVOR_TEST_TEXT_H
#define KVOR_TEST_TEXT_H

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "kvorXMLParser.h"

namespace kvortest {

typedef std::basic_string<WCHAR> WString;

// UTF-8 text as UTF-16 and back, by the standard library's own conversions
// through a path, whichever type WCHAR is; text that is not valid throws.
inline WString W(const std::string& utf8) { return std::filesystem::u8path(utf8).string<WCHAR>(); }
// For messages, null reads as "(null)".
inline std::string U8(const WCHAR* text) { return text == nullptr ? "(null)" : std::filesystem::path(text).u8string(); }
inline std::string U8(const WString& text) { return U8(text.c_str()); }

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline void WriteText(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
// UTF-16LE with the byte-order mark.
void WriteUtf16File(const std::string& path, const std::string& utf8);
std::vector<unsigned char> ReadBytes(const std::string& path);
// The same bytes as a string.
inline std::string ReadText(const std::string& path)
{
    const std::vector<unsigned char> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}
// The text of a UTF-16LE file after its byte-order mark, as UTF-8.
std::string Utf16FileText(const std::string& path);
// text with each run of decimal digits as one "0", so that times, thread
// ids and source lines, which differ from run to run, compare equal.
std::string DigitsMasked(const std::string& text);
inline bool FileExists(const std::string& path) { return std::filesystem::exists(path); }
// The bytes of text as UTF-16LE, without a byte-order mark.
std::vector<unsigned char> Utf16Bytes(const std::string& utf8);

// Sets an environment variable for one scope, restoring the old value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_hadOld;
};

// A word as one word of the posix shell, whatever it holds.
std::string Quoted(const std::string& word);
// Runs program with arguments (shell words) through the system's shell,
// with the variables set over this process's environment, in folder (posix
// only; empty: this process's), through the emulator in a build for
// user-mode emulation. Gives its exit status, on posix 128 + the number of
// a signal that ended it.
int RunProgram(const std::map<std::string, std::string>& environment, const std::string& program,
               const std::string& arguments, const std::string& folder = "");

// The lines of a text, or of a debugger output file, without line ends.
std::vector<std::string> TextLines(const std::string& text);
inline std::vector<std::string> DebugLines(const std::string& path) { return TextLines(ReadText(path)); }

// Sends the kernel debugger output of this process to a file from now on
// (an empty path: no longer). On Linux the back end itself writes it where
// KVOR_DEBUG_OUTPUT says; on Windows a handler of this process takes it.
void CaptureDebugOutput(const std::string& path);

// Sends the kernel debugger output to a file of its own for one scope.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture() { CaptureDebugOutput(""); }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    // Everything written so far, one string per line, without line ends.
    std::vector<std::string> Lines() const { return DebugLines(m_dir.File("debug.txt")); }
    void Clear() { std::remove(m_dir.File("debug.txt").c_str()); }

private:
    TempDir m_dir;
    ScopedEnv m_env;
};

} // namespace kvortest

#endif // KVOR_TEST_TEXT_H
